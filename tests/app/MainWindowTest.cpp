#include "app/FlatSplitterWnd.h"
#include "app/Logo.h"
#include "app/InstalledFiles.h"
#include "app/LeftView.h"
#include "app/LocalTree.h"
#include "app/MainFrm.h"
#include "app/UpgradeTool.h"
#include "document/SettingsFolders.h"
#include "app/ToolBarExt.h"
#include "platform/core/StringTable.h"
#include "tests/app/AppTestSupport.h"
#include "tests/document/DocTestSupport.h"
#include "tests/support/FileDialogRecorder.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/TempDir.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPointer>
#include <QProgressBar>
#include <QScreen>
#include <QSplitterHandle>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <memory>
#include <thread>

namespace
{
class MainWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        previousOpener = SetWebPageOpener(
            [this](const QString& address)
            {
                opened << address;
                return true;
            });
        frame = std::make_unique<CMainFrame>(QStringList{QStringLiteral("veskador3")});
        frame->show();
        QApplication::processEvents();
        boxes.boxes.clear(); // the missing Standard.cnv
    }
    void TearDown() override
    {
        frame.reset();
        SetWebPageOpener(previousOpener);
    }

    // Lays the window out at a client size.
    void ResizeTo(int width, int height)
    {
        frame->resize(width, height);
        QApplication::processEvents();
        QApplication::sendPostedEvents();
        QApplication::processEvents();
    }

    AppEnvironment env;
    MessageBoxRecorder boxes;
    QStringList opened;
    WebPageOpener previousOpener;
    std::unique_ptr<CMainFrame> frame;
};

struct RightPaneStub final : CommandTarget
{
    QList<uint32_t> ran;
    bool OnCommand(uint32_t id) override
    {
        if (id != Cmd::ID_PRINT)
            return false;
        ran << id;
        return true;
    }
    bool OnUpdateCommand(uint32_t id, SCmdUI& ui) override
    {
        if (id != Cmd::ID_PRINT)
            return false;
        ui.enabled = printable;
        return true;
    }
    bool printable = false;
};

QStringList MenuTitles(QMenuBar* bar)
{
    QStringList titles;
    for (QAction* a : bar->actions())
        titles << a->text();
    return titles;
}
} // namespace

TEST_F(MainWindow, AStandardCnvThatGivesNoConversionsIsReportedWithTheReason)
{
    TempDir dir;
    {
        QFile f(dir.File(QStringLiteral("Standard.cnv")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(40, 'x'));
    }
    frame->LoadStandardConversions(dir.Path());
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text,
              QStringLiteral("No conversions could be loaded from Standard.cnv in folder ") + dir.Path() +
                  QStringLiteral("/. It is not a conversion file."));
}

TEST_F(MainWindow, OpensNearlyAsLargeAsTheScreen)
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    CMainFrame fresh;
    const QRect g = fresh.geometry();
    EXPECT_EQ(g.topLeft(), screen.topLeft() + QPoint(2, 2));
    EXPECT_EQ(g.width(), screen.width() - 4);
    EXPECT_EQ(g.height(), static_cast<int>(screen.height() * 0.9));
    EXPECT_EQ(fresh.windowTitle(), QStringLiteral("Velmor Veskador 3"));
    EXPECT_EQ(MenuTitles(fresh.menuBar()),
              QStringList({QStringLiteral("&File"), QStringLiteral("&Edit"), QStringLiteral("Veskora 3"),
                           QStringLiteral("Veskamon 3"), QStringLiteral("&Help")}));
}

TEST_F(MainWindow, TheDownloadCommandHasAnEntryInTwoMenus)
{
    QMenu* veskora = frame->menuBar()->actions()[2]->menu();
    ASSERT_NE(veskora, nullptr);
    QAction* explorer = veskora->actions().value(0);
    ASSERT_NE(explorer, nullptr);
    EXPECT_EQ(explorer->text(), QStringLiteral("Veskora 3 Explorer"));
    EXPECT_EQ(frame->Action(Cmd::ID_DOWNLOAD)->text(),
              QStringLiteral("Download measurement files from Veskora 3"));

    int ran = 0;
    frame->SetCommandHandler(Cmd::ID_DOWNLOAD, [&] { ++ran; });
    frame->UpdateCommandUI();
    EXPECT_TRUE(explorer->isEnabled()) << "follows the command's state";
    explorer->trigger();
    EXPECT_EQ(ran, 1);
}

TEST_F(MainWindow, TheLivePaneHasHeightOnlyInLiveMode)
{
    ResizeTo(1000, 700);
    EXPECT_EQ(frame->LeftView()->width(), CMainFrame::kLeftPaneWidth);
    CFlatSplitterWnd* inner = frame->InnerSplitter();
    const int h = inner->contentsRect().height();
    EXPECT_EQ(frame->LiveView()->height(), 0);
    EXPECT_GE(frame->RightView()->height(), h - CFlatSplitterWnd::kBarSize);
    EXPECT_FALSE(inner->IsHitTestEnabled());
    EXPECT_TRUE(inner->handle(1)->testAttribute(Qt::WA_TransparentForMouseEvents))
        << "the bar cannot be dragged";
    EXPECT_TRUE(frame->OuterSplitter()->IsHitTestEnabled());

    frame->SetLiveFlag(true);
    frame->OnSize();
    QApplication::processEvents();
    EXPECT_EQ(frame->RightView()->height(), h - CMainFrame::kLivePaneHeight);
    EXPECT_EQ(frame->LiveView()->height(), CMainFrame::kLivePaneHeight - CFlatSplitterWnd::kBarSize);
    EXPECT_TRUE(inner->IsHitTestEnabled());
    EXPECT_FALSE(inner->handle(1)->testAttribute(Qt::WA_TransparentForMouseEvents));

    // A client area lower than the live pane leaves the series view no height.
    inner->SetPaneInfo(0, 0, 0);
    ResizeTo(1000, 150);
    EXPECT_LT(inner->contentsRect().height(), CMainFrame::kLivePaneHeight);
    EXPECT_EQ(frame->RightView()->height(), 0);

    frame->SetLiveFlag(false);
    ResizeTo(1000, 700);
    EXPECT_EQ(frame->LiveView()->height(), 0);
    EXPECT_FALSE(inner->IsHitTestEnabled());
}

TEST(FlatSplitter, LaysPanesOutFromTheirIdealAndMinimumSizes)
{
    using Info = CFlatSplitterWnd::SPaneInfo;
    struct Case
    {
        const char* what;
        std::vector<Info> panes;
        int size;
        std::vector<int> sizes;
    };
    const Case cases[] = {
        {"the first pane its ideal, the last the rest", {{200, 0}, {0, 0}}, 800, {200, 595}},
        {"an ideal below the minimum collapses", {{50, 100}, {0, 0}}, 300, {0, 295}},
        {"too little left for the last pane's minimum", {{250, 0}, {0, 100}}, 300, {297, 0}},
        {"an ideal wider than the space", {{400, 0}, {0, 0}}, 300, {296, 0}},
        {"no room at all", {{200, 0}, {0, 0}}, 0, {0, 0}},
        {"live mode: the series view over 126 pixels", {{174, 0}, {0, 0}}, 300, {174, 121}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CFlatSplitterWnd::LayoutPanes(c.panes, c.size, CFlatSplitterWnd::kBarSize), c.sizes)
            << c.what;
}

TEST_F(MainWindow, OffersNewerVersionsInItsOwnMenu)
{
    // Device OS 2.1.3.4 arrives as MAKELONG(2, 1) and MAKELONG(3, 4).
    frame->OnNewDeviceOsVersion(2 | (1u << 16), 3 | (4u << 16));
    EXPECT_EQ(frame->NewestDeviceOsVersion().Format(4), QStringLiteral("2.1.3.4"));
    ASSERT_NE(frame->NewVersionMenu(), nullptr);
    EXPECT_EQ(MenuTitles(frame->menuBar()).last(), QStringLiteral("New version available!"));
    ASSERT_EQ(frame->NewVersionMenu()->actions().size(), 1);
    EXPECT_EQ(frame->NewVersionMenu()->actions()[0]->text(),
              QStringLiteral("Update Veskora 3 operating system to version 2.1.3"));
    EXPECT_EQ(frame->NewVersionMenu()->actions()[0]->data().toUInt(), Cmd::ID_UPGRADE_DEVICE);

    // The OS entry wins over the application entry; the program gets its own.
    frame->OnNewDeviceAppVersion(1 | (5u << 16), 0);
    frame->OnNewProgramVersion(3 | (1u << 16), 2 | (9u << 16));
    QStringList texts;
    for (QAction* a : frame->NewVersionMenu()->actions())
        texts << a->text();
    EXPECT_EQ(texts, QStringList({QStringLiteral("Update Veskador 3 to version 3.1.2"),
                                  QStringLiteral("Update Veskora 3 operating system to version 2.1.3")}));
    EXPECT_EQ(frame->NewVersionMenu()->actions()[0]->data().toUInt(), Cmd::ID_NEW_PROGRAM);

    // Zeros clear a version; the application entry shows once the OS entry is gone, and
    // the menu goes when nothing is left.
    frame->OnNewDeviceOsVersion(0, 0);
    texts.clear();
    for (QAction* a : frame->NewVersionMenu()->actions())
        texts << a->text();
    EXPECT_EQ(texts.last(), QStringLiteral("Update Veskora 3 application to version 1.5.0"));
    frame->OnNewProgramVersion(0, 0);
    frame->OnNewDeviceAppVersion(0, 0);
    EXPECT_EQ(frame->NewVersionMenu(), nullptr);
    EXPECT_EQ(MenuTitles(frame->menuBar()).size(), 5);
}

TEST_F(MainWindow, TheTesterEntryOfTheVersionMenuStartsTheToolWhenClicked)
{
    // The entry rebuilds its own menu while the menu still handles the click.
    TempDir dir;
    const QString marker = dir.File(QStringLiteral("started"));
    const QString tool = dir.File(QStringLiteral("upgrade-tool"));
    {
        QFile f(tool);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("#!/bin/sh\necho started > '%1'\n").arg(marker).toUtf8());
    }
    QFile::setPermissions(tool, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    Platform::SettingsStore::Instance().CreateKey(Settings::Registry().KeyPath());
    ASSERT_TRUE(Settings::Registry().WriteString(CUpgradeTool::kPathSetting, tool));
    frame->OnNewDeviceOsVersion(2 | (1u << 16), 3 | (4u << 16));
    QPointer<QMenu> menu = frame->NewVersionMenu();
    ASSERT_NE(menu, nullptr);

    frame->activateWindow();
    menu->popup(frame->mapToGlobal(QPoint(40, 40)));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
    QAction* entry = menu->actions().value(0);
    ASSERT_NE(entry, nullptr);
    ASSERT_EQ(entry->data().toUInt(), Cmd::ID_UPGRADE_DEVICE);
    const QPoint at = menu->actionGeometry(entry).center();
    // Qt's own code is not instrumented, so its writes into a freed menu go unseen: what
    // is checked is that the menu outlives the handling of the click.
    bool clicking = false;
    bool goneDuringClick = false;
    QObject::connect(menu, &QObject::destroyed, [&] { goneDuringClick = clicking; });
    QTest::mouseMove(menu, at);
    clicking = true;
    QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier, at);
    clicking = false;
    EXPECT_FALSE(goneDuringClick) << "the menu was deleted while it handled the click";

    EXPECT_EQ(frame->NewVersionMenu(), nullptr) << "the notice is gone";
    EXPECT_TRUE(QTest::qWaitFor([&] { return menu.isNull(); }, 5000)) << "the old menu goes later";
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(marker); }, 5000)) << "the tool was started";
    EXPECT_TRUE(QTest::qWaitFor([&] { return !frame->IsUpgradeToolRunning(); }, 5000));
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(MainWindow, CommandsGoToTheRightPaneFirstAndUnhandledOnesAreDisabled)
{
    RightPaneStub pane;
    frame->SetRightPane(&pane);
    frame->UpdateCommandUI();
    EXPECT_FALSE(frame->Action(Cmd::ID_SAVE_AS)->isEnabled()) << "only the right pane would handle it";
    EXPECT_FALSE(frame->Action(Cmd::ID_PRINT)->isEnabled()) << "the pane disables it";
    EXPECT_TRUE(frame->Action(Cmd::ID_APP_ABOUT)->isEnabled());
    EXPECT_TRUE(frame->Action(Cmd::ID_PRODUCT_REGISTRATION)->isEnabled());

    pane.printable = true;
    int frameRan = 0;
    frame->SetCommandHandler(Cmd::ID_PRINT, [&] { ++frameRan; });
    frame->SetCommandHandler(
        Cmd::ID_DOWNLOAD, [&] { ++frameRan; }, [](SCmdUI& ui) { ui.enabled = false; });
    frame->UpdateCommandUI();
    EXPECT_TRUE(frame->Action(Cmd::ID_PRINT)->isEnabled());
    EXPECT_FALSE(frame->Action(Cmd::ID_DOWNLOAD)->isEnabled()) << "its update handler decides";
    frame->Action(Cmd::ID_PRINT)->trigger();
    EXPECT_EQ(pane.ran, QList<uint32_t>({Cmd::ID_PRINT}));
    EXPECT_EQ(frameRan, 0);
    frame->SetRightPane(nullptr);

    frame->Action(Cmd::ID_PRODUCT_REGISTRATION)->trigger();
    frame->Action(Cmd::ID_CUSTOMER_FEEDBACK)->trigger();
    EXPECT_EQ(opened, QStringList({Platform::LoadString(59330), Platform::LoadString(59331)}));
}

TEST_F(MainWindow, ClosingAModifiedProjectAsksAndCancelKeepsTheWindow)
{
    ASSERT_TRUE(DocTest::AddSeries(frame->Document(), QStringLiteral("\\Hall\\S1.vsm"), {500.0f}));
    ASSERT_TRUE(frame->Document().AddMeasurementFile(QString(), nullptr));
    ASSERT_TRUE(frame->Document().IsModified());

    boxes.Answer(Platform::IDCANCEL);
    frame->Action(Cmd::ID_APP_EXIT)->trigger();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, QStringLiteral("Would you like to save changes in your Project?"));
    EXPECT_TRUE(frame->isVisible());
    EXPECT_TRUE(frame->Document().HasFolders());

    frame->OnNewProgramVersion(3, 0);
    boxes.Answer(Platform::IDNO);
    EXPECT_TRUE(frame->close());
    EXPECT_FALSE(frame->isVisible());
    EXPECT_FALSE(frame->Document().HasFolders());
    EXPECT_EQ(frame->NewVersionMenu(), nullptr);
}

// Opening a project is no change to it: the tree's own choice of the top folder leaves
// it unmodified, so Close asks nothing. A folder the user clicks is a change.
TEST_F(MainWindow, AnOpenedProjectClosesWithoutASaveQuestionUntilTheUserChoosesAFolder)
{
    TempDir dir;
    const QString path = dir.File(QStringLiteral("Plant.v3p"));
    {
        CVeskDoc doc;
        ASSERT_TRUE(DocTest::AddSeries(doc, QStringLiteral("\\Hall\\S1.vsm"), {500.0f}));
        ASSERT_TRUE(DocTest::AddSeries(doc, QStringLiteral("\\Yard\\S2.vsm"), {600.0f}));
        ASSERT_TRUE(doc.SaveProject(path));
    }
    CLocalTree& tree = static_cast<CLeftView*>(frame->LeftView())->Tree();
    FileDialogRecorder files;
    const auto open = [&]
    {
        files.Answer(path);
        frame->UpdateCommandUI();
        frame->Action(Cmd::ID_OPEN_PROJECT)->trigger();
        QApplication::processEvents();
        ASSERT_TRUE(frame->Document().HasFolders());
        ASSERT_NE(tree.TopItem(), nullptr);
        EXPECT_EQ(tree.GetSelectedItem(), tree.TopItem());
        EXPECT_FALSE(frame->Document().IsModified());
    };
    const auto close = [&]
    {
        frame->UpdateCommandUI();
        ASSERT_TRUE(frame->Action(Cmd::ID_CLOSE_PROJECT)->isEnabled());
        frame->Action(Cmd::ID_CLOSE_PROJECT)->trigger();
        QApplication::processEvents();
    };

    open();
    close();
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_FALSE(frame->Document().HasFolders());

    open();
    TreeItem* yard = tree.FindItem(QStringLiteral("\\Yard\\"));
    ASSERT_NE(yard, nullptr);
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, tree.GetItemLabelRect(yard).center());
    EXPECT_EQ(frame->Document().GetCurrentFolderPath(), QStringLiteral("\\Yard\\"));
    EXPECT_TRUE(frame->Document().IsModified());
    boxes.Answer(Platform::IDNO);
    close();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, QStringLiteral("Would you like to save changes in your Project?"));
    EXPECT_FALSE(frame->Document().HasFolders());
}

TEST_F(MainWindow, TheToolbarReactsOnlyToItsButtons)
{
    CToolBarExt* bar = frame->ToolBar();
    const QList<QAction*> actions = bar->actions();
    QStringList layout;
    for (QAction* a : actions)
        layout << (a->isSeparator() ? QStringLiteral("-") : QString::number(a->data().toUInt()));
    EXPECT_EQ(layout.join(u' '), QStringLiteral("1052 1300 103 - 1092 57603 - 1072 1070 102 - 57670"));
    EXPECT_FALSE(bar->isMovable());
    EXPECT_FALSE(bar->isFloatable());
    EXPECT_EQ(bar->iconSize(), QSize(37, 37));
    EXPECT_FALSE(actions[0]->icon().isNull());
    auto* download = qobject_cast<QToolButton*>(bar->ButtonOf(actions[0]));
    ASSERT_NE(download, nullptr);
    EXPECT_EQ(download->popupMode(), QToolButton::MenuButtonPopup);
    ASSERT_NE(download->menu(), nullptr);
    EXPECT_EQ(download->menu()->actions().size(), 3);

    int ran = 0;
    frame->SetRightPane(nullptr); // the right pane would take the help command first
    frame->SetCommandHandler(Cmd::ID_HELP_MANUAL, [&] { ++ran; });
    frame->UpdateCommandUI();
    QWidget* help = bar->ButtonOf(actions.last());
    QWidget* separator = bar->ButtonOf(actions[3]);
    ASSERT_NE(help, nullptr);
    ASSERT_NE(separator, nullptr);

    QTest::mouseClick(separator, Qt::LeftButton);
    QTest::mouseDClick(separator, Qt::LeftButton);
    EXPECT_EQ(ran, 0);
    EXPECT_EQ(bar->parentWidget(), frame.get()) << "nothing dragged the bar off";

    QTest::mouseClick(help, Qt::LeftButton);
    EXPECT_EQ(ran, 1);
    // A double click as the window system delivers it: press, release, press, double
    // click, release, within the double-click time.
    const QPointF at(help->width() / 2.0, help->height() / 2.0);
    const ulong t0 = 1000000;
    const struct
    {
        QEvent::Type type;
        ulong ms;
    } sequence[] = {{QEvent::MouseButtonPress, t0},
                    {QEvent::MouseButtonRelease, t0 + 40},
                    {QEvent::MouseButtonPress, t0 + 120},
                    {QEvent::MouseButtonDblClick, t0 + 120},
                    {QEvent::MouseButtonRelease, t0 + 160}};
    for (const auto& step : sequence)
    {
        const bool down = step.type != QEvent::MouseButtonRelease;
        QMouseEvent e(step.type, at, help->mapToGlobal(at), Qt::LeftButton,
                      down ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        e.setTimestamp(step.ms);
        QApplication::sendEvent(help, &e);
    }
    EXPECT_EQ(ran, 2) << "a double click is one click";
}

TEST_F(MainWindow, TheLogoSitsAtTheRightEndAndHidesWhenButtonsReachIt)
{
    CLogo* logo = frame->Logo();
    ASSERT_NE(logo, nullptr);
    ResizeTo(1000, 600);
    logo->Reposition();
    EXPECT_TRUE(logo->isVisible());
    EXPECT_LT(logo->x() + logo->width(), frame->ToolBar()->width());
    EXPECT_GT(logo->x(), frame->ToolBar()->width() - logo->width() - 10);

    ResizeTo(420, 600);
    logo->Reposition();
    EXPECT_FALSE(logo->isVisible());
    ResizeTo(1000, 600);
    logo->Reposition();
    EXPECT_TRUE(logo->isVisible());

    // Texts: tooltip after the line feed, status text before it; the status line goes
    // back to the kept text when the mouse leaves.
    EXPECT_EQ(CLogo::ToolTipText(), QStringLiteral("Go to www.velmor.example"));
    frame->SetMessageText(QStringLiteral("3 series"));
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(logo, &enter);
    EXPECT_EQ(frame->StatusText(), CLogo::StatusText());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(logo, &leave);
    EXPECT_EQ(frame->StatusText(), QStringLiteral("3 series"));

    QTest::mouseClick(logo, Qt::LeftButton);
    EXPECT_EQ(opened, QStringList({QStringLiteral("https://www.velmor.example/")}));
}

TEST_F(MainWindow, ProgressFromTheJobThreadMovesTheDialogOnTheUiThread)
{
    std::thread worker([this] { frame->OnProgress(42, 1, 0); });
    worker.join();
    EXPECT_NE(frame->ProgressDialog().Bar()->value(), 420) << "not before the UI thread runs it";
    QApplication::processEvents();
    EXPECT_EQ(frame->ProgressDialog().Bar()->value(), 420);
    EXPECT_EQ(frame->ProgressDialog().Bar()->maximum(), 1000);
}

TEST_F(MainWindow, OpeningTheOpenProjectAgainSavesFirstAndShowsWhatWasSaved)
{
    FileDialogRecorder dialogs;
    CVeskDoc& doc = frame->Document();
    const QString path = env.Dir().File(QStringLiteral("site.v3p"));
    ASSERT_TRUE(DocTest::AddSeries(doc, QStringLiteral("\\Hall\\S1.vsm"), {500.0f}));
    ASSERT_TRUE(doc.AddMeasurementFile(QString(), nullptr));
    dialogs.Answer(path);
    ASSERT_TRUE(doc.SaveProjectAs());
    auto inFile = [&path]
    {
        CVeskDoc reader;
        return reader.OpenProject(path, false) ? DocTest::FolderPaths(reader) : QStringList{"unreadable"};
    };

    struct Case
    {
        const char* to;
        int answer;
        const char* shown; // the folder the window shows afterwards
    } cases[] = {
        {"\\Site\\", Platform::IDYES, "\\Site\\"}, // saved, then read: the new name
        {"\\Other\\", Platform::IDNO, "\\Site\\"}, // not saved: back to the saved file
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.to);
        QString from = DocTest::FolderPaths(doc).last();
        QString to = QString::fromLatin1(c.to);
        ASSERT_TRUE(doc.MoveFolders(from, to));
        boxes.boxes.clear();
        boxes.Answer(c.answer);
        dialogs.Answer(path);
        frame->Action(Cmd::ID_OPEN_PROJECT)->trigger();
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].text, QStringLiteral("Would you like to save changes in your Project?"));
        EXPECT_TRUE(DocTest::FolderPaths(doc).contains(QLatin1String(c.shown))) << DocTest::FolderPaths(doc).join(u' ').toStdString();
        EXPECT_FALSE(doc.IsModified());
        EXPECT_EQ(doc.GetProjectPath(), path);
        EXPECT_TRUE(inFile().contains(QStringLiteral("\\Site\\")));
    }
    // Nothing is left to be written back over the file.
    boxes.boxes.clear();
    frame->Action(Cmd::ID_APP_EXIT)->trigger();
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_TRUE(inFile().contains(QStringLiteral("\\Site\\")));
}
