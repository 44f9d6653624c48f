#pragma once
#include "platform/gui/ControlNotify.h"
#include "platform/gui/GdiObjects.h"

#include <QString>

#include <cstdint>

class CGridCtrl;
class QWidget;

// A cell position; -1 in either coordinate means none.
struct CGridCellPos
{
    int row = -1;
    int col = -1;

    bool IsValid() const { return row >= 0 && col >= 0; }
    friend bool operator==(const CGridCellPos&, const CGridCellPos&) = default;
};

// A range of cells, both ends inclusive; -1 means none.
struct CGridCellRect
{
    int minRow = -1;
    int minCol = -1;
    int maxRow = -1;
    int maxCol = -1;

    bool IsValid() const { return minRow >= 0 && minCol >= 0 && maxRow >= 0 && maxCol >= 0; }
    bool Contains(int row, int col) const
    {
        return IsValid() && row >= minRow && row <= maxRow && col >= minCol && col <= maxCol;
    }
    friend bool operator==(const CGridCellRect&, const CGridCellRect&) = default;
};

// Cell state bits.
enum : uint32_t
{
    CELLSTATE_FOCUSED = 0x01,
    CELLSTATE_SELECTED = 0x02,
    CELLSTATE_DROPHILITED = 0x04,
    CELLSTATE_READONLY = 0x08,
    CELLSTATE_FIXED = 0x10,
    CELLSTATE_FIXEDROW = 0x20,
    CELLSTATE_FIXEDCOL = 0x40,
    CELLSTATE_MODIFIED = 0x80,
};

// Which grid lines are drawn.
enum : int
{
    GVL_NONE = 0,
    GVL_HORZ = 1,
    GVL_VERT = 2,
    GVL_BOTH = 3,
};

// Notification codes of the grid, besides Notify::NM_CLICK, NM_DBLCLK and NM_RCLICK.
namespace Notify
{
inline constexpr int GRIDN_SELCHANGING = -100;
inline constexpr int GRIDN_SELCHANGED = -101;
inline constexpr int GRIDN_KEYCOMMAND = -103;
inline constexpr int GRIDN_FOCUSCHANGED = -120;
inline constexpr int GRIDN_BEGINLABELEDIT = -175;
inline constexpr int GRIDN_ENDLABELEDIT = -176;
inline constexpr int GRIDN_EDITUNCHANGED = -195;
} // namespace Notify

// Scroll requests, for the horizontal and the vertical bar alike.
enum : int
{
    SB_LINEUP = 0,
    SB_LINELEFT = 0,
    SB_LINEDOWN = 1,
    SB_LINERIGHT = 1,
    SB_PAGEUP = 2,
    SB_PAGELEFT = 2,
    SB_PAGEDOWN = 3,
    SB_PAGERIGHT = 3,
    SB_THUMBPOSITION = 4,
    SB_THUMBTRACK = 5,
    SB_TOP = 6,
    SB_LEFT = 6,
    SB_BOTTOM = 7,
    SB_RIGHT = 7,
    SB_ENDSCROLL = 8,
};

// Scroll bars.
enum : int
{
    SB_HORZ = 0,
    SB_VERT = 1,
};

// The payload of every notification the grid sends.
struct GRIDNOTIFY
{
    CGridCtrl* hwndFrom = nullptr;
    int idFrom = 0;
    int code = 0;
    int row = -1;
    int column = -1;
};

// The receiver of the grid's notifications: its owner, or else its parent widget when
// that implements this interface. Calls are synchronous; the reply goes back to the grid
// (a negative reply refuses where the grid asks).
class IGridNotifyTarget
{
public:
    virtual ~IGridNotifyTarget() = default;
    virtual intptr_t OnGridNotify(const GRIDNOTIFY& notify) = 0;
    // After every left-button release that began over a cell, as a queued call: the
    // grid's command to its owner (control id and the grid itself).
    virtual void OnGridCommand(CGridCtrl*, int /*id*/) {}
};

// The control id of every in-place editor.
enum : int
{
    IDC_INPLACE_EDITOR = 8,
};

// Which members of a GRIDITEM are valid.
enum : unsigned
{
    GVIF_TEXT = 0x1,
    GVIF_IMAGE = 0x2,
    GVIF_PARAM = 0x4,
};

// One cell's values, as an in-place editor reports them when it ends.
struct GRIDITEM
{
    int row = -1;
    int col = -1;
    unsigned mask = 0;
    uint32_t nState = 0;
    unsigned nFormat = 0;
    int iImage = 0;
    uint32_t crBkClr = 0;
    uint32_t crFgClr = 0;
    intptr_t lParam = 0;
    Platform::LogFont lfFont;
    unsigned nMargin = 0;
    QString strText;
};

// The end-of-edit notification of an in-place editor: sender, its id and the code, then
// the item (text in strText, the key that ended the edit in lParam).
struct GRIDDISPINFO
{
    QWidget* hwndFrom = nullptr;
    int idFrom = 0;
    int code = 0;
    GRIDITEM item;
};

// The edit commands the grid carries out, by their standard command ids (not those of
// the main window's menus, Cmd in app/CommandIds.h).
namespace GridCmd
{
inline constexpr int ID_EDIT_COPY = 0xE122;
inline constexpr int ID_EDIT_CUT = 0xE123;
inline constexpr int ID_EDIT_PASTE = 0xE125;
inline constexpr int ID_EDIT_SELECT_ALL = 0xE12A;
} // namespace GridCmd

// The texts of a printout, filled by the caller of CGridCtrl::Print.
struct GRIDPRINTTEXTS
{
    QString headerLeft;
    QString headerCentre;
    QString headerRight;
    // String id of a format with two integer fields: page and page count.
    uint32_t pageFormatId = 0;
    QString title;
    // String ids of a date picture and a time picture ("dd.MM.yyyy", "HH:mm").
    uint32_t dateFormatId = 0;
    uint32_t timeFormatId = 0;
};
