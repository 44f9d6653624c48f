#pragma once
#include "app/CommandIds.h"
#include "app/StatusLine.h"
#include "app/UpgradeTool.h"
#include "controls/ProgressDlg.h"
#include "document/VeskDoc.h"
#include "device/Callback.h"
#include "devicefiles/core/VersionNoticeTarget.h"
#include "streamio/Version.h"

#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>

class CFlatSplitterWnd;
class CGuidanceDlg;
class CLiveMeasurement;
class CLogo;
class CProgramVersionCheck;
class CToolBarExt;
class QAction;
class QLabel;
class QMenu;
class QTimer;

// The program's single main window: the project tree on the left, the series view on the
// top right and the live pane below it (without height until live mode is on), the
// toolbar with the logo, the status line, and the "New version available!" menu. It
// holds the project document.
//
// Every command is a QAction with the command's id. A command goes to the right pane
// first (SetRightPane), then to the handlers registered here, then to the application.
// A command nobody handles is disabled.
class CMainFrame : public QMainWindow, public Device::CCallback, public VersionNoticeTarget, public StatusLine
{
    Q_OBJECT
public:
    static constexpr int kLeftPaneWidth = 200;
    // The live pane's share of the inner splitter while live mode is on.
    static constexpr int kLivePaneHeight = 126;
    static constexpr int kKeepAliveTimerId = 59213;
    static constexpr int kKeepAliveMs = 2000;

    // The command line, including the program's name: exactly one further argument is
    // opened as the project.
    explicit CMainFrame(const QStringList& arguments = {}, QWidget* parent = nullptr);
    ~CMainFrame() override;

    CVeskDoc& Document() { return m_doc; }

    // Commands
    using Handler = std::function<void()>;
    using UpdateHandler = std::function<void(SCmdUI&)>;
    // The handler of a command of this window (and its update handler: without one the
    // command is enabled).
    void SetCommandHandler(uint32_t id, Handler handler, UpdateHandler update = {});
    void SetRightPane(CommandTarget* pane) { m_rightPane = pane; }
    // Runs the command; false when nobody handles it.
    bool OnCmdMsg(uint32_t id);
    // Asks the handlers for the command's state; false when nobody handles it.
    bool OnUpdateCmdMsg(uint32_t id, SCmdUI& ui);
    // Brings every action's enabled and checked state up to date.
    void UpdateCommandUI();
    QAction* Action(uint32_t id) const;

    // Panes
    CFlatSplitterWnd* OuterSplitter() const { return m_outer; }
    CFlatSplitterWnd* InnerSplitter() const { return m_inner; }
    QWidget* LeftView() const { return m_leftView; }
    QWidget* RightView() const { return m_rightView; }
    QWidget* LiveView() const { return m_liveView; }
    CToolBarExt* ToolBar() const { return m_toolBar; }
    CLogo* Logo() const { return m_logo; }

    // Live mode: who switches it calls OnSize afterwards.
    void SetLiveFlag(bool live) { m_live = live; }
    bool IsLive() const { return m_live; }
    // Measure (MainFrmLive.cpp): live mode on over the connected indentation tester (the
    // wizard connects one when none is held), or off.
    void OnMeasure();
    CLiveMeasurement* LiveMeasurement() const { return m_liveMeasurement; }
    CGuidanceDlg* GuidanceDlg() const { return m_guidance.get(); }
    // Gives the series view and the live pane their heights.
    void OnSize();

    // Versions that the update checks report, as (first | second << 16) and
    // (third | fourth << 16); 0 and 0 clear a version. Called on the UI thread (the
    // checks queue their calls).
    void OnNewProgramVersion(uint32_t wParam, uint32_t lParam) override;
    void OnNewDeviceOsVersion(uint32_t wParam, uint32_t lParam) override;
    void OnNewDeviceAppVersion(uint32_t wParam, uint32_t lParam) override;
    void UpdateNewVersionMenu();
    void RemoveNewVersionMenu();
    // Sets the menus' and bars' texts again from the string table (the language changed).
    void RebuildTexts();
    QMenu* NewVersionMenu() const { return m_newVersionMenu; }
    // Updates: the check for a newer program runs from the start (ends when the window
    // closes); "Check for updates..." and the menu's program entry run the update wizard.
    void OnCheckForUpdates();
    CProgramVersionCheck* VersionCheck() const { return m_versionCheck.get(); }
    CVersion NewestProgramVersion() const { return m_newestProgram; }
    CVersion NewestDeviceOsVersion() const { return m_newestDeviceOs; }
    CVersion NewestDeviceAppVersion() const { return m_newestDeviceApp; }

    // Status line: a text is kept and shown; the idle message shows the kept text.
    void SetMessageText(const QString& text) override;
    void OnAppSettings();
    void ShowIdleMessage();
    QString StatusText() const;

    // The folder of the standard conversion files, with a trailing separator.
    const QString& ConversionsFolder() const { return m_conversionsFolder; }
    // Loads every ".cnv" file of the folder into the conversion table and warns once
    // when it holds no "Standard.cnv".
    void LoadStandardConversions(const QString& folder);

    void OnLogoClick();
    void OnProductRegistration();
    void OnCustomerFeedback();

    // Device::CCallback, from the device job thread. The window hands itself to no job
    // yet; a progress report moves the progress dialog on the UI thread.
    void OnDeviceFound(Device::CVmDevice* device) override;
    void OnStatusText(const QString& text) override;
    void OnJobFinished(const QString& text, int32_t code) override;
    void OnProgress(int32_t value, int32_t mode, uint32_t durationMs) override;
    CProgressDlg& ProgressDialog() { return m_progress; }

    // The keep-alive timer's tick; the tester connection fills it.
    void SetKeepAliveHandler(Handler handler) { m_keepAlive = std::move(handler); }

    // Measurements into the project: the download from the portable tester into the
    // current folder, and the import of local files and folders (also by drop, anywhere
    // on the window: the drop is taken at once and its import follows as a queued call).
    void OnDownloadMeasurements();
    void OnImportMeasurements();
    void ImportFiles(const QStringList& paths);
    // A transfer (download or import) is running: every command is disabled, a drop is
    // refused and a close waits for its end, so that nothing deletes the device or the
    // document underneath it.
    bool IsTransferRunning() const { return m_transfers > 0; }

    // The portable tester's own files (file managers, LOG files, profiles) and its
    // upgrade tool. While the tool runs it counts as a transfer: the window keeps
    // repainting, but no command touches the testers until it ends.
    void OnDeviceFileCommand(uint32_t id);
    void OnUpgradeDevice();
    bool IsUpgradeToolRunning() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateClient();
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void CreateLogo();
    QAction* MakeAction(uint32_t id, const QString& text);
    QMenu* MakeMenu(const QString& title, std::initializer_list<std::pair<uint32_t, QString>> items,
                    QMenu* parent = nullptr);
    void OnCloseCommand();
    void CreateLiveMeasurement();
    // Ends a running live measurement and lays the window out without the live pane.
    void EndLiveMode();
    void StopLiveMeasurement();
    // Runs a transfer command (see IsTransferRunning); a close asked for meanwhile follows.
    void RunTransfer(const std::function<void()>& transfer);
    void EndTransfer();
    void StartUpdateCheck();

    struct SHandler
    {
        Handler run;
        UpdateHandler update;
    };

    CProgressDlg m_progress;
    CVeskDoc m_doc;
    CFlatSplitterWnd* m_outer = nullptr;
    CFlatSplitterWnd* m_inner = nullptr;
    QWidget* m_leftView = nullptr;
    QWidget* m_rightView = nullptr;
    QWidget* m_liveView = nullptr;
    CToolBarExt* m_toolBar = nullptr;
    CLogo* m_logo = nullptr;
    QLabel* m_message = nullptr;
    QLabel* m_capsIndicator = nullptr;
    QLabel* m_numIndicator = nullptr;
    QTimer* m_keepAliveTimer = nullptr;
    QTimer* m_updateTimer = nullptr;
    QMenu* m_newVersionMenu = nullptr;
    CommandTarget* m_rightPane = nullptr;
    std::map<uint32_t, QAction*> m_actions;
    std::map<uint32_t, SHandler> m_handlers;
    Handler m_keepAlive;
    QString m_keptStatus;
    QString m_conversionsFolder;
    bool m_live = false;
    std::unique_ptr<CGuidanceDlg> m_guidance;
    CLiveMeasurement* m_liveMeasurement = nullptr;
    int m_transfers = 0;
    std::unique_ptr<CUpgradeTool> m_upgradeTool;
    bool m_closePending = false;
    CVersion m_newestProgram;
    CVersion m_newestDeviceOs;
    CVersion m_newestDeviceApp;
    std::unique_ptr<CProgramVersionCheck> m_versionCheck;
};

