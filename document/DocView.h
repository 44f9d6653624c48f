#pragma once
#include <cstdint>

// Messages the document and the panes exchange. They keep their numbers: the command
// messages and the document's notification share one range above WM_USER.
inline constexpr uint32_t WM_USER = 0x0400;
inline constexpr uint32_t WM_CMD_PRINT = WM_USER + 1;
inline constexpr uint32_t WM_CMD_EXPORT_GRAPHIC = WM_USER + 2;
inline constexpr uint32_t WM_CMD_EXPORT_TEXT = WM_USER + 3;
inline constexpr uint32_t WM_DOC_UPDATE = WM_USER + 4;
inline constexpr uint32_t WM_CMD_SELECT_ALL = WM_USER + 7;
inline constexpr uint32_t WM_CMD_DELETE = WM_USER + 8;
inline constexpr uint32_t WM_CMD_CAN_DELETE = WM_USER + 9;
inline constexpr uint32_t WM_CMD_CAN_SELECT_ALL = WM_USER + 10;
inline constexpr uint32_t WM_CMD_COPY = WM_USER + 11;
inline constexpr uint32_t WM_CMD_CUT = WM_USER + 12;
inline constexpr uint32_t WM_CMD_PASTE = WM_USER + 13;
inline constexpr uint32_t WM_CMD_RENAME = WM_USER + 14;
inline constexpr uint32_t WM_CMD_NEW_FOLDER = WM_USER + 15;
inline constexpr uint32_t WM_CMD_CAN_COPY = WM_USER + 16;

// Hints of WM_DOC_UPDATE. The negative hints are flag sets (the negated hint); a hint of
// 0 or more names the series of the current folder that changed.
inline constexpr int DOC_HINT_ALL = -1;        // folders, current folder or series
inline constexpr int DOC_HINT_NEW_SERIES = -4; // a new series was opened for live measuring
inline constexpr int DOC_HINT_SELECTION = -32; // only the selected series index changed
inline constexpr int DOC_HINT_SAVED = -64;     // saved: the project's name or path may be new, no series changed

// A window that shows the document. The document calls it synchronously, so a view may
// call back into the document (even register or unregister views) from OnDocUpdate.
class DocView
{
public:
    virtual ~DocView() = default;
    virtual void OnDocUpdate(int hint) = 0;
};

// A pane to which edit commands of the other pane are relayed (the project tree and the
// series page), synchronously, with the message's number.
class DocCommandPeer
{
public:
    virtual ~DocCommandPeer() = default;
    virtual void OnDocCommand(uint32_t message) = 0;
};
