#include "app/MainFrm.h"

#include "app/AppSettings.h"
#include "app/InstalledFiles.h"
#include "app/FlatSplitterWnd.h"
#include "app/LeftView.h"
#include "app/Logo.h"
#include "app/RightView.h"
#include "app/ToolBarExt.h"
#include "app/UiText.h"
#include "app/Veskador3SE.h"
#include "app/WindowPlacement.h"
#include "document/Registry.h"
#include "document/SettingsFolders.h"
#include "device/VmDevice.h"
#include "devicefiles/AutoUpdate.h"
#include "devicefiles/DeviceFileCommands.h"
#include "devicefiles/FileListText.h"
#include "devicefiles/MeasurementDownload.h"
#include "devicefiles/MeasurementImport.h"
#include "devicefiles/VeskamonConnection.h"
#include "devicefiles/VeskoraConnection.h"
#include "devicefiles/WizardHelp.h"
#include "devicefiles/core/FirmwareUpdateCheck.h"
#include "devicefiles/core/ProgramVersionCheck.h"
#include "measurement/CnvFile.h"
#include "measurement/ConvTable.h"
#include "platform/core/StringTable.h"
#include "platform/gui/BitmapTable.h"
#include "platform/gui/MessageBox.h"
#include "resources/StringIds.h"
#include "seriesview/GuidanceDlg.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include <mutex>

namespace
{
constexpr uint32_t IDR_MAINFRAME = 10;
constexpr uint32_t IDB_TOOLBAR = 142;
constexpr uint32_t IDB_TOOLBAR_DISABLED = 1323;
// The maker's home page, which the logo opens.
const QString kHomePage = QStringLiteral("https://www.velmor.example/");
// How often the toolbar's command states are brought up to date while the program idles.
constexpr int kCommandUpdateMs = 250;

CVersion VersionOf(uint32_t wParam, uint32_t lParam)
{
    const uint64_t value = (uint64_t{wParam & 0xFFFF} << 48) | (uint64_t{wParam >> 16} << 32) |
                           (uint64_t{lParam & 0xFFFF} << 16) | uint64_t{lParam >> 16};
    return CVersion(value);
}


// The sentence that says why a conversion file gave no records.
uint32_t StandardCnvProblemText(NCnvProblem problem)
{
    switch (problem)
    {
    case cnvUnreadable:
        return 1191;
    case cnvNotConversions:
        return 1192;
    case cnvDamaged:
        return 1193;
    case cnvBadChecksum:
        return 1194;
    case cnvScrambled:
        return 1195;
    case cnvNoProblem:
    case cnvNoUsableRecord:
        break;
    }
    return 1196;
}

// Both testers are told that their connections end; each request gets a short while, then
// is cut short, so the ports are free on return.
void CloseTesterLinks()
{
    CVeskoraConnection::Instance().Disconnect();
    CVeskoraConnection::Instance().FinishDisconnect();
    CVeskamonConnection::Instance().Disconnect();
    CVeskamonConnection::Instance().FinishDisconnect();
}
} // namespace


CMainFrame::CMainFrame(const QStringList& arguments, QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("MainFrame"));
    // Without an owner, as it is made before the window exists.
    m_progress.Create(nullptr);
    setWindowTitle(Platform::LoadString(StringId::IDS_APP_TITLE));
    const QImage icon = Platform::BitmapTable::Instance().Get(IDR_MAINFRAME);
    if (!icon.isNull())
        setWindowIcon(QIcon(QPixmap::fromImage(icon)));

    // Nearly the whole screen, with the title bar on it to grab.
    WindowPlacement::PlaceOnScreen(this);

    CreateClient();
    CreateMenus();
    // The settings command: the dialog, then the window and the views brought up to date.
    SetCommandHandler(Cmd::ID_APP_SETTINGS, [this] { OnAppSettings(); });
    CreateToolBar();
    CreateStatusBar();
    CreateLogo();

    SetCommandHandler(Cmd::ID_APP_EXIT, [this] { OnCloseCommand(); });
    SetCommandHandler(Cmd::ID_PRODUCT_REGISTRATION, [this] { OnProductRegistration(); });
    SetCommandHandler(Cmd::ID_CUSTOMER_FEEDBACK, [this] { OnCustomerFeedback(); });

    StartUpdateCheck();
    // F1 and the Help buttons of the wizards open the manual, as the Help menu does.
    WizardHelp::SetHandler([](QWidget* owner, uint32_t) { InstalledFiles::OpenManual(owner); });

    // Tester connections: the firmware check reports here, the timer keeps a connected
    // portable tester's remote connection open, and Disconnect is usable while one is held.
    CVeskoraConnection::Instance().SetNotifyTarget(this, WM_NEW_DEVICE_APP_VERSION, WM_NEW_DEVICE_OS_VERSION);
    SetKeepAliveHandler([] { CVeskoraConnection::Instance().OnKeepAliveTimer(); });
    SetCommandHandler(
        Cmd::ID_DISCONNECT, [] { CVeskoraConnection::Instance().Disconnect(); },
        [](SCmdUI& ui) { ui.enabled = CVeskoraConnection::Instance().GetDevice() != nullptr; });

    // Measurements into the project.
    SetCommandHandler(Cmd::ID_DOWNLOAD, [this] { OnDownloadMeasurements(); });
    SetCommandHandler(
        Cmd::ID_DOWNLOAD_AND_ADD, [this] { OnDownloadMeasurements(); },
        [this](SCmdUI& ui) { ui.enabled = m_doc.HasFolders(); });
    SetCommandHandler(Cmd::ID_IMPORT, [this] { OnImportMeasurements(); });
    setAcceptDrops(true);

    // The portable tester's own files and its upgrade tool.
    for (const uint32_t id : {Cmd::ID_CONVERSIONS_MANAGER, Cmd::ID_HELPFILES_MANAGER, Cmd::ID_LANGUAGE_MANAGER,
                              Cmd::ID_DOWNLOAD_LOG, Cmd::ID_BACKUP_PROFILES, Cmd::ID_RESTORE_PROFILES})
        SetCommandHandler(id, [this, id] { OnDeviceFileCommand(id); });
    SetCommandHandler(Cmd::ID_UPGRADE_DEVICE, [this] { OnUpgradeDevice(); });

    Settings::InitDefaultFolders(Settings::Registry());
    QString folder;
    if (!Settings::Registry().ReadString(Settings::kConversionPathStdCnv, folder) || folder.isEmpty())
        folder = Settings::DefaultFolder(Settings::kConversionPathStdCnv);
    if (!folder.endsWith(u'/'))
        folder += u'/';
    m_conversionsFolder = folder;
    LoadStandardConversions(m_conversionsFolder);

    if (arguments.size() == 2)
        m_doc.OpenProject(arguments.at(1), false);

    m_updateTimer = new QTimer(this);
    m_updateTimer->setInterval(kCommandUpdateMs);
    connect(m_updateTimer, &QTimer::timeout, this, &CMainFrame::UpdateCommandUI);
    m_updateTimer->start();
    UpdateCommandUI();
}

CMainFrame::~CMainFrame()
{
    // Nothing of the update check runs past this point.
    m_versionCheck.reset();
    // The sampling thread ends before the tester goes and the panes leave the document.
    StopLiveMeasurement();
    m_keepAliveTimer->stop();
    CloseTesterLinks();
    m_updateTimer->stop();
    RemoveNewVersionMenu();
    // The panes leave the document's views before the document goes.
    SetRightPane(nullptr);
    delete m_rightView;
    m_rightView = nullptr;
    static_cast<CLeftView*>(m_leftView)->SetDocument(nullptr);
}

void CMainFrame::CreateClient()
{
    m_outer = new CFlatSplitterWnd(Qt::Horizontal, this);
    m_outer->setObjectName(QStringLiteral("OuterSplitter"));
    // The project tree (left pane).
    auto* leftView = new CLeftView(m_outer);
    leftView->SetDocument(&m_doc);
    m_leftView = leftView;
    m_leftView->setObjectName(QStringLiteral("LeftView"));
    m_inner = new CFlatSplitterWnd(Qt::Vertical, m_outer);
    m_inner->setObjectName(QStringLiteral("InnerSplitter"));
    // The right pane: series tab sheet, project file commands (first to see every command).
    auto* rightView = new CRightView(m_inner);
    rightView->SetDocument(&m_doc);
    SetRightPane(rightView);
    m_rightView = rightView;
    CreateLiveMeasurement();
    for (QWidget* pane : {m_leftView, m_rightView, m_liveView})
    {
        pane->setAutoFillBackground(true);
        pane->setBackgroundRole(QPalette::Base);
    }
    m_outer->addWidget(m_leftView);
    m_outer->addWidget(m_inner);
    m_inner->addWidget(m_rightView);
    m_inner->addWidget(m_liveView);
    // The bar between series view and live pane moves only in live mode.
    m_inner->SetHitTestEnabled(false);
    m_outer->SetPaneInfo(0, kLeftPaneWidth, 0);
    m_inner->installEventFilter(this);
    m_outer->installEventFilter(this);
    setCentralWidget(m_outer);

    m_keepAliveTimer = new QTimer(this);
    m_keepAliveTimer->setObjectName(QStringLiteral("KeepAliveTimer"));
    m_keepAliveTimer->setInterval(kKeepAliveMs);
    connect(m_keepAliveTimer, &QTimer::timeout, this,
            [this]
            {
                if (m_keepAlive)
                    m_keepAlive();
            });
    m_keepAliveTimer->start();
}

QAction* CMainFrame::MakeAction(uint32_t id, const QString& text)
{
    auto it = m_actions.find(id);
    if (it != m_actions.end())
        return it->second;
    auto* action = new QAction(text, this);
    action->setData(id);
    const qsizetype tab = text.indexOf(u'\t');
    if (tab >= 0)
        action->setText(text.left(tab));
    connect(action, &QAction::triggered, this, [this, id] { OnCmdMsg(id); });
    m_actions.emplace(id, action);
    return action;
}

QMenu* CMainFrame::MakeMenu(const QString& title, std::initializer_list<std::pair<uint32_t, QString>> items,
                            QMenu* parent)
{
    QMenu* menu = parent ? parent->addMenu(title) : menuBar()->addMenu(title);
    for (const auto& [id, text] : items)
    {
        if (id == 0)
            menu->addSeparator();
        else
            menu->addAction(MakeAction(id, text));
    }
    connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUI);
    return menu;
}

void CMainFrame::CreateToolBar()
{
    m_toolBar = new CToolBarExt(this);
    m_toolBar->setObjectName(QStringLiteral("ToolBar"));
    const uint32_t buttons[] = {Cmd::ID_DOWNLOAD,
                                Cmd::ID_MEASURE,
                                Cmd::ID_UPGRADE_DEVICE,
                                0,
                                Cmd::ID_OPEN_PROJECT,
                                Cmd::ID_SAVE_PROJECT,
                                0,
                                Cmd::ID_EXPORT_TEXT,
                                Cmd::ID_EXPORT_GRAPHIC,
                                Cmd::ID_PRINT,
                                0,
                                Cmd::ID_HELP_MANUAL};
    for (uint32_t id : buttons)
    {
        if (id == 0)
            m_toolBar->addSeparator();
        else
            m_toolBar->addAction(Action(id));
    }
    // The download button's arrow offers downloading and disconnecting.
    if (auto* download = qobject_cast<QToolButton*>(m_toolBar->ButtonOf(Action(Cmd::ID_DOWNLOAD))))
    {
        auto* menu = new QMenu(download);
        QAction* get = menu->addAction(QString());
        UiText::Set(get, StringId::IDS_DOWNLOAD_MENU_DOWNLOAD);
        connect(get, &QAction::triggered, this, [this] { OnCmdMsg(Cmd::ID_DOWNLOAD); });
        menu->addSeparator();
        QAction* disconnect = menu->addAction(QString());
        UiText::Set(disconnect, StringId::IDS_DOWNLOAD_MENU_DISCONNECT);
        connect(disconnect, &QAction::triggered, this, [this] { OnCmdMsg(Cmd::ID_DISCONNECT); });
        connect(menu, &QMenu::aboutToShow, this,
                [this, get, disconnect]
                {
                    UpdateCommandUI();
                    get->setEnabled(Action(Cmd::ID_DOWNLOAD)->isEnabled());
                    disconnect->setEnabled(Action(Cmd::ID_DISCONNECT)->isEnabled());
                });
        download->setMenu(menu);
        download->setPopupMode(QToolButton::MenuButtonPopup);
    }
    m_toolBar->SetButtonImages(Platform::BitmapTable::Instance().Get(IDB_TOOLBAR),
                               Platform::BitmapTable::Instance().Get(IDB_TOOLBAR_DISABLED));
    addToolBar(Qt::TopToolBarArea, m_toolBar);
}

void CMainFrame::CreateStatusBar()
{
    m_message = new QLabel(m_keptStatus, this);
    m_message->setObjectName(QStringLiteral("MessagePane"));
    m_capsIndicator = new QLabel(this);
    m_numIndicator = new QLabel(this);
    UiText::Set(m_capsIndicator, StringId::IDS_CAPS);
    UiText::Set(m_numIndicator, StringId::IDS_NUM);
    // The lock states cannot be read portably; the indicators stay grey.
    m_capsIndicator->setEnabled(false);
    m_numIndicator->setEnabled(false);
    statusBar()->addWidget(m_message, 1);
    statusBar()->addPermanentWidget(m_capsIndicator);
    statusBar()->addPermanentWidget(m_numIndicator);
    statusBar()->setSizeGripEnabled(true);
}

void CMainFrame::CreateLogo()
{
    m_logo = new CLogo(m_toolBar);
    if (!m_logo->LoadBitmaps(CLogo::kBitmapNormal, CLogo::kBitmapPressed))
    {
        delete m_logo;
        m_logo = nullptr;
        return;
    }
    m_toolBar->setMinimumHeight(std::max(m_toolBar->sizeHint().height(), m_logo->height()));
    connect(m_logo, &CLogo::LogoClicked, this, &CMainFrame::OnLogoClick);
    connect(m_logo, &CLogo::StatusTextChanged, this,
            [this](const QString& text, bool entered)
            {
                if (entered)
                    m_message->setText(text);
                else
                    ShowIdleMessage();
            });
    m_toolBar->installEventFilter(this);
}

void CMainFrame::SetCommandHandler(uint32_t id, Handler handler, UpdateHandler update)
{
    if (!handler)
        m_handlers.erase(id);
    else
        m_handlers[id] = SHandler{std::move(handler), std::move(update)};
}

QAction* CMainFrame::Action(uint32_t id) const
{
    auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

bool CMainFrame::OnCmdMsg(uint32_t id)
{
    // No command may run underneath a transfer (see IsTransferRunning).
    if (IsTransferRunning())
        return false;
    if (m_rightPane && m_rightPane->OnCommand(id))
        return true;
    auto it = m_handlers.find(id);
    if (it != m_handlers.end())
    {
        // Copied: the handler may replace itself.
        const Handler run = it->second.run;
        run();
        return true;
    }
    if (id == Cmd::ID_APP_ABOUT)
    {
        theApp().OnAppAbout();
        return true;
    }
    return false;
}

bool CMainFrame::OnUpdateCmdMsg(uint32_t id, SCmdUI& ui)
{
    ui = SCmdUI{};
    if (m_rightPane && m_rightPane->OnUpdateCommand(id, ui))
        return true;
    auto it = m_handlers.find(id);
    if (it != m_handlers.end())
    {
        if (it->second.update)
            it->second.update(ui);
        return true;
    }
    return id == Cmd::ID_APP_ABOUT;
}

void CMainFrame::UpdateCommandUI()
{
    for (const auto& [id, action] : m_actions)
    {
        SCmdUI ui;
        const bool handled = OnUpdateCmdMsg(id, ui);
        action->setEnabled(handled && ui.enabled && !IsTransferRunning());
        if (action->isCheckable() || ui.checked)
        {
            action->setCheckable(true);
            action->setChecked(ui.checked);
        }
    }
}

void CMainFrame::OnSize()
{
    const int h = m_inner->contentsRect().height();
    if (m_live)
    {
        m_inner->SetPaneInfo(0, std::max(0, h - kLivePaneHeight), 0);
        m_inner->SetHitTestEnabled(true);
    }
    else
    {
        m_inner->SetPaneInfo(0, std::max(0, h), 0);
        m_inner->SetHitTestEnabled(false);
    }
    m_inner->RecalcLayout();
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize)
    {
        if (watched == m_outer)
            m_outer->RecalcLayout();
        else if (watched == m_inner)
            OnSize();
        else if (watched == m_toolBar && m_logo)
            m_logo->Reposition();
    }
    else if (watched == m_toolBar && m_logo &&
             (event->type() == QEvent::LayoutRequest || event->type() == QEvent::Show))
    {
        QTimer::singleShot(0, m_logo, &CLogo::Reposition);
    }
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (m_logo)
        m_logo->Reposition();
}

void CMainFrame::paintEvent(QPaintEvent* event)
{
    QMainWindow::paintEvent(event);
    if (m_logo)
        m_logo->Reposition();
}

void CMainFrame::OnNewProgramVersion(uint32_t wParam, uint32_t lParam)
{
    m_newestProgram = VersionOf(wParam, lParam);
    UpdateNewVersionMenu();
}

void CMainFrame::OnNewDeviceOsVersion(uint32_t wParam, uint32_t lParam)
{
    m_newestDeviceOs = VersionOf(wParam, lParam);
    UpdateNewVersionMenu();
}

void CMainFrame::OnNewDeviceAppVersion(uint32_t wParam, uint32_t lParam)
{
    m_newestDeviceApp = VersionOf(wParam, lParam);
    UpdateNewVersionMenu();
}

void CMainFrame::UpdateNewVersionMenu()
{
    QString program;
    if (m_newestProgram.GetValue() != 0)
        program = Platform::LoadString(StringId::IDS_UPDATE_PROGRAM)
                      .replace(QStringLiteral("%s"), m_newestProgram.Format(3));
    QString device;
    if (m_newestDeviceOs.GetValue() != 0)
        device = Platform::LoadString(StringId::IDS_UPDATE_DEVICE_OS)
                     .replace(QStringLiteral("%s"), m_newestDeviceOs.Format(3));
    else if (m_newestDeviceApp.GetValue() != 0)
        device = Platform::LoadString(StringId::IDS_UPDATE_DEVICE_APP)
                     .replace(QStringLiteral("%s"), m_newestDeviceApp.Format(3));
    RemoveNewVersionMenu();
    if (program.isEmpty() && device.isEmpty())
        return;
    m_newVersionMenu = menuBar()->addMenu(Platform::LoadString(StringId::IDS_NEW_VERSION_MENU));
    m_newVersionMenu->setObjectName(QStringLiteral("NewVersionMenu"));
    if (!program.isEmpty())
    {
        QAction* a = m_newVersionMenu->addAction(program);
        a->setData(Cmd::ID_NEW_PROGRAM);
        connect(a, &QAction::triggered, this, [this] { OnCmdMsg(Cmd::ID_NEW_PROGRAM); });
    }
    if (!device.isEmpty())
    {
        QAction* a = m_newVersionMenu->addAction(device);
        a->setData(Cmd::ID_UPGRADE_DEVICE);
        connect(a, &QAction::triggered, this, [this] { OnCmdMsg(Cmd::ID_UPGRADE_DEVICE); });
    }
}

void CMainFrame::RemoveNewVersionMenu()
{
    if (!m_newVersionMenu)
        return;
    menuBar()->removeAction(m_newVersionMenu->menuAction());
    // Its own entry may be the caller: the menu is still handling that click, so it goes
    // once the event loop has it back.
    m_newVersionMenu->deleteLater();
    m_newVersionMenu = nullptr;
}

void CMainFrame::StartUpdateCheck()
{
    SetCommandHandler(Cmd::ID_CHECK_UPDATES, [this] { OnCheckForUpdates(); });
    SetCommandHandler(Cmd::ID_NEW_PROGRAM, [this] { OnCheckForUpdates(); });
    // Start-up asks the update server once, in the background; the answer comes as a
    // queued call, so it changes the menu on this thread.
    m_versionCheck = std::make_unique<CProgramVersionCheck>();
    m_versionCheck->Start(this, [this](uint32_t w, uint32_t l) { OnNewProgramVersion(w, l); });
}

void CMainFrame::OnCheckForUpdates()
{
    // The wizard has a client of its own; the background check just ends.
    m_versionCheck->Stop();
    // A package is only downloaded and checked, never run: the program goes on, and so
    // does the open project.
    CAutoUpdate wizard(this);
    wizard.RunWizard();
}

// Runs the settings dialog, brings the window's texts up to date after a language
// change, and tells every view to redraw.
void CMainFrame::OnAppSettings()
{
    CAppSettings dialog;
    dialog.DoModal();
    // The wait cursor only while the windows are brought up to date: an application-wide
    // cursor set before the dialog would stay busy over the dialog itself.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (dialog.IsLanguageChanged())
    {
        // Menus, bars and the version menu take their texts from the language now in use.
        RebuildTexts();
    }
    // Also after Cancel: the views redraw with the formats and texts now in use.
    Document().RefreshAllViews();
    QApplication::restoreOverrideCursor();
}

void CMainFrame::SetMessageText(const QString& text)
{
    m_keptStatus = text;
    // The panes may speak before the status bar exists; it shows the kept text then.
    if (m_message)
        m_message->setText(text);
}

void CMainFrame::ShowIdleMessage()
{
    if (m_message)
        m_message->setText(m_keptStatus);
}

QString CMainFrame::StatusText() const
{
    return m_message->text();
}

void CMainFrame::LoadStandardConversions(const QString& folder)
{
    QString f = folder;
    if (!f.endsWith(u'/'))
        f += u'/';
    m_doc.SetConversionFolder(f);
    const SCnvFolderLoad loaded = LoadCnvFolder(CConvTable::Instance(), f);
    // A file that cannot be opened does not stop the start; the user learns which.
    if (!loaded.unreadable.isEmpty())
        Platform::ShowMessageBox(
            this, FileListText(Platform::LoadString(StringId::IDS_UNREADABLE_CONVERSIONS), loaded.unreadable),
            QString(), Platform::MB_OK | Platform::MB_ICONWARNING);
    if (!loaded.standardFound)
    {
        Platform::ShowMessageBox(this, QStringLiteral("Failed to load Standard.cnv from folder ") + f,
                                 QString(), Platform::MB_OK);
    }
    else if (loaded.standardRecords == 0)
    {
        // A file that is there but gives nothing would otherwise pass unnoticed.
        Platform::ShowMessageBox(this,
                                 Platform::LoadString(StringId::IDS_STANDARD_CNV_UNUSABLE).replace(QStringLiteral("%s"), f) +
                                     Platform::LoadString(StandardCnvProblemText(loaded.standardProblem)),
                                 QString(), Platform::MB_OK | Platform::MB_ICONEXCLAMATION);
    }
}

void CMainFrame::OnLogoClick()
{
    OpenWebPage(kHomePage);
}

void CMainFrame::OnProductRegistration()
{
    OpenWebPage(Platform::LoadString(StringId::IDS_REGISTRATION_PAGE));
}

void CMainFrame::OnCustomerFeedback()
{
    OpenWebPage(Platform::LoadString(StringId::IDS_FEEDBACK_PAGE));
}

void CMainFrame::OnDeviceFound(Device::CVmDevice* device)
{
    // A device handed over is ours; with nothing to use it for, it goes at once rather
    // than leaking with its open link.
    delete device;
}

void CMainFrame::OnStatusText(const QString&)
{
}

void CMainFrame::OnJobFinished(const QString&, int32_t)
{
}

void CMainFrame::OnProgress(int32_t value, int32_t, uint32_t)
{
    // Queued to the UI thread; dropped when the window is gone by then.
    QMetaObject::invokeMethod(
        this, [this, value] { m_progress.SetPos(value * 10); }, Qt::QueuedConnection);
}

void CMainFrame::OnCloseCommand()
{
    close();
}

void CMainFrame::RunTransfer(const std::function<void()>& transfer)
{
    if (IsTransferRunning())
        return;
    ++m_transfers;
    UpdateCommandUI();
    transfer();
    EndTransfer();
}

void CMainFrame::EndTransfer()
{
    --m_transfers;
    UpdateCommandUI();
    if (m_closePending && !IsTransferRunning())
    {
        m_closePending = false;
        close();
    }
}

void CMainFrame::OnDeviceFileCommand(uint32_t id)
{
    RunTransfer(
        [this, id]
        {
            CDeviceFileCommands commands(this, CVeskoraConnection::Instance());
            switch (id)
            {
            case Cmd::ID_CONVERSIONS_MANAGER:
                commands.OnConversionsManager();
                break;
            case Cmd::ID_HELPFILES_MANAGER:
                commands.OnHelpFilesManager();
                break;
            case Cmd::ID_LANGUAGE_MANAGER:
                commands.OnLanguageManager();
                break;
            case Cmd::ID_DOWNLOAD_LOG:
                commands.OnDownloadLogFiles();
                break;
            case Cmd::ID_BACKUP_PROFILES:
                commands.OnBackupProfiles();
                break;
            case Cmd::ID_RESTORE_PROFILES:
                commands.OnRestoreProfiles();
                break;
            default:
                break;
            }
        });
}

bool CMainFrame::IsUpgradeToolRunning() const
{
    return m_upgradeTool && m_upgradeTool->IsRunning();
}

void CMainFrame::OnUpgradeDevice()
{
    // Commands are refused during a transfer (OnCmdMsg), so nothing uses a tester here.
    if (IsTransferRunning())
        return;
    // A missing tool changes nothing: the testers stay connected and the notices stay.
    const QString tool = CUpgradeTool::InstalledPath();
    if (tool.isEmpty())
    {
        Platform::ShowMessageBox(this, Platform::LoadString(StringId::IDS_UPGRADE_TOOL_MISSING), QString(),
                                 Platform::MB_OK | Platform::MB_ICONSTOP);
        return;
    }
    // The tool talks to the testers itself: live sampling ends, both links close.
    EndLiveMode();
    CloseTesterLinks();
    m_newestDeviceOs = CVersion();
    m_newestDeviceApp = CVersion();
    UpdateNewVersionMenu();
    WriteUpgradeToolLanguage();
    if (!m_upgradeTool)
        m_upgradeTool = std::make_unique<CUpgradeTool>();
    ++m_transfers;
    UpdateCommandUI();
    if (!m_upgradeTool->Start(tool, [this] { EndTransfer(); }))
        EndTransfer();
}

void CMainFrame::OnDownloadMeasurements()
{
    RunTransfer(
        [this]
        {
            CMeasurementDownload download(m_doc, CVeskoraConnection::Instance(), this);
            download.DownloadMeasurementFiles(m_doc.GetCurrentFolderPath());
        });
}

void CMainFrame::OnImportMeasurements()
{
    RunTransfer([this] { CMeasurementImport(m_doc, this).OnImportMeasurements(); });
}

void CMainFrame::ImportFiles(const QStringList& paths)
{
    RunTransfer([this, &paths] { CMeasurementImport(m_doc, this).ImportFiles(paths); });
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event)
{
    if (!IsTransferRunning() && event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event)
{
    if (IsTransferRunning())
    {
        event->ignore();
        return;
    }
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    event->acceptProposedAction();
    // The drag's source waits until the drop returns: the import starts after it, and
    // counts as running from now on, so no command and no second drop gets in between.
    ++m_transfers;
    UpdateCommandUI();
    QMetaObject::invokeMethod(
        this,
        [this, dropped = CMeasurementImport::CollectDroppedPaths(paths)]
        {
            CMeasurementImport(m_doc, this).ImportFiles(dropped);
            EndTransfer();
        },
        Qt::QueuedConnection);
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    // A transfer holds the document and the device: the window closes when it ends.
    if (IsTransferRunning())
    {
        m_closePending = true;
        event->ignore();
        return;
    }
    // A modified project is offered for saving; Cancel or a failed save keeps the window.
    if (!m_doc.CloseProject())
    {
        event->ignore();
        return;
    }
    m_versionCheck->Stop();
    RemoveNewVersionMenu();
    event->accept();
}
