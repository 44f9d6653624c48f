// The main window's menu bar and the texts of its bars, all from the string table, and
// their rebuild after the language has changed.
#include "app/MainFrm.h"
#include "app/UiText.h"
#include "platform/core/StringTable.h"
#include "resources/StringIds.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace
{
struct SMenuItem
{
    uint32_t command; // 0: a separator
    uint32_t text;
};
} // namespace

void CMainFrame::CreateMenus()
{
    using namespace StringId;
    const auto fill = [this](QMenu* menu, std::initializer_list<SMenuItem> items)
    {
        for (const SMenuItem& item : items)
        {
            if (item.command == 0)
            {
                menu->addSeparator();
                continue;
            }
            QAction* action = MakeAction(item.command, QString());
            UiText::Set(action, item.text);
            menu->addAction(action);
        }
    };
    const auto addMenu = [&](uint32_t title, std::initializer_list<SMenuItem> items, QMenu* parent = nullptr)
    {
        QMenu* menu = MakeMenu(QString(), {}, parent);
        UiText::Set(menu, title);
        fill(menu, items);
        return menu;
    };

    QMenu* file = addMenu(IDS_MENU_FILE, {});
    addMenu(IDS_MENU_OPEN, {{Cmd::ID_OPEN_PROJECT, IDS_CMD_OPEN_PROJECT}, {Cmd::ID_DOWNLOAD, IDS_CMD_DOWNLOAD}}, file);
    addMenu(IDS_MENU_IMPORT, {{Cmd::ID_IMPORT, IDS_CMD_IMPORT}}, file);
    fill(file, {{Cmd::ID_CLOSE_PROJECT, IDS_CMD_CLOSE_PROJECT},
              {0, 0},
              {Cmd::ID_SAVE_PROJECT, IDS_CMD_SAVE_PROJECT},
              {Cmd::ID_SAVE_AS, IDS_CMD_SAVE_AS},
              {0, 0}});
    addMenu(IDS_MENU_EXPORT,
            {{Cmd::ID_EXPORT_GRAPHIC, IDS_CMD_EXPORT_GRAPHIC}, {Cmd::ID_EXPORT_TEXT, IDS_CMD_EXPORT_TEXT}}, file);
    fill(file, {{Cmd::ID_PRINT, IDS_CMD_PRINT},
              {0, 0},
              {Cmd::ID_APP_SETTINGS, IDS_CMD_APP_SETTINGS},
              {0, 0},
              {Cmd::ID_APP_EXIT, IDS_CMD_APP_EXIT}});

    addMenu(IDS_MENU_EDIT, {{Cmd::ID_EDIT_SELECT_ALL, IDS_CMD_SELECT_ALL},
                            {Cmd::ID_EDIT_COPY, IDS_CMD_COPY},
                            {Cmd::ID_EDIT_PASTE, IDS_CMD_PASTE},
                            {Cmd::ID_EDIT_DELETE, IDS_CMD_DELETE}});
    m_actions[Cmd::ID_EDIT_SELECT_ALL]->setShortcut(QKeySequence::SelectAll);
    m_actions[Cmd::ID_EDIT_COPY]->setShortcut(QKeySequence::Copy);
    m_actions[Cmd::ID_EDIT_PASTE]->setShortcut(QKeySequence::Paste);
    m_actions[Cmd::ID_EDIT_DELETE]->setShortcut(QKeySequence::Delete);

    QMenu* veskora = addMenu(IDS_MENU_VESKORA, {{Cmd::ID_DISCONNECT, IDS_CMD_DISCONNECT},
                                                {0, 0},
                                                {Cmd::ID_DOWNLOAD_LOG, IDS_CMD_DOWNLOAD_LOG},
                                                {Cmd::ID_BACKUP_PROFILES, IDS_CMD_BACKUP_PROFILES},
                                                {Cmd::ID_RESTORE_PROFILES, IDS_CMD_RESTORE_PROFILES},
                                                {0, 0},
                                                {Cmd::ID_LANGUAGE_MANAGER, IDS_CMD_LANGUAGE_MANAGER},
                                                {Cmd::ID_CONVERSIONS_MANAGER, IDS_CMD_CONVERSIONS_MANAGER},
                                                {Cmd::ID_HELPFILES_MANAGER, IDS_CMD_HELPFILES_MANAGER},
                                                {0, 0},
                                                {Cmd::ID_UPGRADE_DEVICE, IDS_CMD_UPGRADE_DEVICE}});
    // The download command under a second entry with a text of its own.
    auto* explorer = new QAction(veskora);
    UiText::Set(explorer, IDS_CMD_EXPLORER);
    connect(explorer, &QAction::triggered, this, [this] { OnCmdMsg(Cmd::ID_DOWNLOAD); });
    connect(m_actions[Cmd::ID_DOWNLOAD], &QAction::enabledChanged, explorer, &QAction::setEnabled);
    explorer->setEnabled(m_actions[Cmd::ID_DOWNLOAD]->isEnabled());
    veskora->insertAction(veskora->actions().value(0), explorer);

    addMenu(IDS_MENU_VESKAMON, {{Cmd::ID_MEASURE, IDS_CMD_MEASURE}});
    addMenu(IDS_MENU_HELP, {{Cmd::ID_HELP_MANUAL, IDS_CMD_HELP_MANUAL},
                            {Cmd::ID_HELP_UPGRADE, IDS_CMD_HELP_UPGRADE},
                            {0, 0},
                            {Cmd::ID_CHECK_UPDATES, IDS_CMD_CHECK_UPDATES},
                            {Cmd::ID_PRODUCT_REGISTRATION, IDS_CMD_PRODUCT_REGISTRATION},
                            {Cmd::ID_CUSTOMER_FEEDBACK, IDS_CMD_CUSTOMER_FEEDBACK},
                            {0, 0},
                            {Cmd::ID_APP_ABOUT, IDS_CMD_APP_ABOUT}});
}

void CMainFrame::RebuildTexts()
{
    // Menus, toolbar tips (the actions' texts), the drop-down menu and the status line.
    UiText::Retranslate(this);
    // The version popup is built from its texts each time.
    RemoveNewVersionMenu();
    UpdateNewVersionMenu();
}
