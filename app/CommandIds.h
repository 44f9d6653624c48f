#pragma once
#include <cstdint>

// Command ids of the main window's menus and toolbar. They keep their numbers: string
// texts, menus and the toolbar refer to them.
namespace Cmd
{
inline constexpr uint32_t ID_PRINT = 102;
inline constexpr uint32_t ID_UPGRADE_DEVICE = 103;
inline constexpr uint32_t ID_HELP_UPGRADE = 104;
inline constexpr uint32_t ID_EDIT_COPY = 105;
inline constexpr uint32_t ID_NEW_PROGRAM = 106;
inline constexpr uint32_t ID_APP_SETTINGS = 110;
inline constexpr uint32_t ID_SAVE_AS = 1040;
inline constexpr uint32_t ID_EDIT_DELETE = 1051;
inline constexpr uint32_t ID_DOWNLOAD = 1052;
inline constexpr uint32_t ID_EDIT_SELECT_ALL = 1054;
inline constexpr uint32_t ID_CHECK_UPDATES = 1055;
inline constexpr uint32_t ID_EXPORT_GRAPHIC = 1070;
inline constexpr uint32_t ID_EXPORT_TEXT = 1072;
inline constexpr uint32_t ID_EDIT_PASTE = 1082;
inline constexpr uint32_t ID_OPEN_PROJECT = 1092;
inline constexpr uint32_t ID_ADD_PROJECT = 1101;
inline constexpr uint32_t ID_DOWNLOAD_AND_ADD = 1121;
inline constexpr uint32_t ID_MEASURE = 1300;
inline constexpr uint32_t ID_IMPORT = 1305;
inline constexpr uint32_t ID_DOWNLOAD_LOG = 1306;
inline constexpr uint32_t ID_BACKUP_PROFILES = 1307;
inline constexpr uint32_t ID_RESTORE_PROFILES = 1308;
inline constexpr uint32_t ID_LANGUAGE_MANAGER = 1309;
inline constexpr uint32_t ID_HELPFILES_MANAGER = 1311;
inline constexpr uint32_t ID_CONVERSIONS_MANAGER = 1312;
inline constexpr uint32_t ID_DISCONNECT = 1313;
inline constexpr uint32_t ID_PRODUCT_REGISTRATION = 1324;
inline constexpr uint32_t ID_CUSTOMER_FEEDBACK = 1325;
inline constexpr uint32_t ID_CLOSE_PROJECT = 57602;
inline constexpr uint32_t ID_SAVE_PROJECT = 57603;
inline constexpr uint32_t ID_APP_ABOUT = 57664;
inline constexpr uint32_t ID_APP_EXIT = 57665;
inline constexpr uint32_t ID_HELP_MANUAL = 57670;
} // namespace Cmd

// The state a command's update handler fills in before a menu or the toolbar shows it.
struct SCmdUI
{
    bool enabled = true;
    bool checked = false;
};

// A window that takes commands before the main window does (the right pane). Each
// answer is true when this target handles the command.
class CommandTarget
{
public:
    virtual ~CommandTarget() = default;
    virtual bool OnCommand(uint32_t id) = 0;
    virtual bool OnUpdateCommand(uint32_t id, SCmdUI& ui) = 0;
};
