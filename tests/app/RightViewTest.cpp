#include "app/RightView.h"
#include "app/InstalledFiles.h"
#include "app/MainFrm.h"
#include "controls/TabPage.h"
#include "app/TabSheet.h"
#include "platform/core/StringTable.h"
#include "tests/app/AppTestSupport.h"
#include "tests/document/DocTestSupport.h"
#include "tests/support/FileDialogRecorder.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/TempDir.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTabBar>
#include <QUrl>

#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace
{
// A page that records the messages it gets and answers queries from a table.
class RecordingPage final : public CTabPage
{
public:
    intptr_t OnCommandMessage(uint32_t message) override
    {
        messages.push_back(message);
        auto it = answers.find(message);
        return it == answers.end() ? 0 : it->second;
    }
    std::vector<uint32_t> messages;
    std::map<uint32_t, intptr_t> answers;
};

class RightPane : public ::testing::Test
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
    }
    void TearDown() override
    {
        frame.reset();
        SetWebPageOpener(previousOpener);
    }

    // The main window with its own right pane.
    void OpenFrame()
    {
        frame = std::make_unique<CMainFrame>(QStringList{QStringLiteral("veskador3")});
        frame->show();
        QApplication::processEvents();
        boxes.boxes.clear(); // the missing Standard.cnv
    }
    // A command's state as its menu entry shows it; a command without one is asked for.
    bool Enabled(uint32_t id)
    {
        frame->UpdateCommandUI();
        if (QAction* action = frame->Action(id))
            return action->isEnabled();
        SCmdUI ui;
        EXPECT_TRUE(frame->OnUpdateCmdMsg(id, ui)) << id;
        return ui.enabled;
    }

    AppEnvironment env;
    MessageBoxRecorder boxes;
    FileDialogRecorder dialogs;
    QStringList opened;
    WebPageOpener previousOpener;
    std::unique_ptr<CMainFrame> frame;
};

const QString kAppTitle = QStringLiteral("Velmor Veskador 3");
} // namespace

TEST_F(RightPane, ProjectCommandsFollowTheDocument)
{
    OpenFrame();
    struct Case
    {
        uint32_t id;
        bool withoutProject;
        bool withModifiedProject;
    };
    const Case cases[] = {
        {Cmd::ID_OPEN_PROJECT, true, true},
        {Cmd::ID_ADD_PROJECT, false, true},
        {Cmd::ID_CLOSE_PROJECT, false, true},
        {Cmd::ID_SAVE_PROJECT, false, true},
        {Cmd::ID_SAVE_AS, false, true},
        // Printing and the exports act on series: the folder shown (the root) has none.
        {Cmd::ID_PRINT, false, false},
        {Cmd::ID_EXPORT_GRAPHIC, false, false},
        {Cmd::ID_EXPORT_TEXT, false, false},
        {Cmd::ID_HELP_MANUAL, true, true},
        {Cmd::ID_HELP_UPGRADE, true, true},
        // The series page offers Select all with a project, Copy and Delete only for a
        // selection; nothing is on the clipboard.
        {Cmd::ID_EDIT_SELECT_ALL, false, true},
        {Cmd::ID_EDIT_COPY, false, false},
        {Cmd::ID_EDIT_DELETE, false, false},
        {Cmd::ID_EDIT_PASTE, false, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Enabled(c.id), c.withoutProject) << c.id;
    EXPECT_EQ(frame->windowTitle(), kAppTitle);

    CVeskDoc& doc = frame->Document();
    ASSERT_TRUE(DocTest::AddSeries(doc, QStringLiteral("\\Hall\\S1.vsm"), {500.0f}));
    ASSERT_TRUE(doc.AddMeasurementFile(QString(), nullptr)); // ends the batch: tells the views
    for (const Case& c : cases)
        EXPECT_EQ(Enabled(c.id), c.withModifiedProject) << c.id;
    EXPECT_EQ(frame->windowTitle(), kAppTitle + QStringLiteral(" - Unnamed"));

    // Save runs Save As for a project without a path; the caption shows the new path.
    const QString path = env.Dir().Path() + QStringLiteral("/Run.v3p");
    dialogs.Answer(path);
    frame->Action(Cmd::ID_SAVE_PROJECT)->trigger();
    EXPECT_EQ(frame->windowTitle(), kAppTitle + QStringLiteral(" - ") + path);
    EXPECT_FALSE(Enabled(Cmd::ID_SAVE_PROJECT)) << "saved";
    EXPECT_TRUE(Enabled(Cmd::ID_SAVE_AS));

    frame->Action(Cmd::ID_CLOSE_PROJECT)->trigger();
    EXPECT_TRUE(boxes.boxes.empty()) << "an unmodified project closes without asking";
    EXPECT_FALSE(doc.HasFolders());
    EXPECT_EQ(frame->windowTitle(), kAppTitle);

    // Open shows the dialog, and the caption follows the opened project.
    dialogs.Answer(path);
    frame->Action(Cmd::ID_OPEN_PROJECT)->trigger();
    EXPECT_TRUE(doc.HasFolders());
    EXPECT_EQ(frame->windowTitle(), kAppTitle + QStringLiteral(" - ") + path);
    EXPECT_EQ(dialogs.requests.size(), 2u);
}

// Save As where no file can be made: the user hears which file and why, and the project
// keeps its name, caption, tree and modified flag; Close -> Yes then keeps it open.
TEST_F(RightPane, AFailedSaveAsSaysWhyAndChangesNothing)
{
    OpenFrame();
    CVeskDoc& doc = frame->Document();
    ASSERT_TRUE(DocTest::AddSeries(doc, QStringLiteral("\\Hall\\S1.vsm"), {500.0f}));
    ASSERT_TRUE(doc.AddMeasurementFile(QString(), nullptr));
    const QString saved = env.Dir().Path() + QStringLiteral("/Run.v3p");
    dialogs.Answer(saved);
    ASSERT_TRUE(Enabled(Cmd::ID_SAVE_PROJECT));
    frame->Action(Cmd::ID_SAVE_PROJECT)->trigger();
    ASSERT_TRUE(boxes.boxes.empty());
    ASSERT_EQ(doc.GetProjectPath(), saved);
    ASSERT_TRUE(DocTest::AddSeries(doc, QStringLiteral("\\Hall\\S2.vsm"), {510.0f}));
    ASSERT_TRUE(doc.AddMeasurementFile(QString(), nullptr));
    const QString title = frame->windowTitle();
    ASSERT_TRUE(doc.IsModified());

    // A folder that is a file (root may write anywhere, so no permission bits are used).
    const QString blocker = env.Dir().Path() + QStringLiteral("/plain-file");
    {
        QFile f(blocker);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    struct Case
    {
        QString path;
        const char* reason;
    };
    const Case cases[] = {
        {blocker + QStringLiteral("/Elsewhere.v3p"), "(No such file or directory)"},
        {env.Dir().Path() + QStringLiteral("/missing/Elsewhere.v3p"), "(No such file or directory)"},
    };
    for (const Case& c : cases)
    {
        boxes.boxes.clear();
        dialogs.Answer(c.path);
        ASSERT_TRUE(Enabled(Cmd::ID_SAVE_AS));
        frame->Action(Cmd::ID_SAVE_AS)->trigger();
        ASSERT_EQ(boxes.boxes.size(), 1u) << c.reason;
        EXPECT_TRUE(boxes.boxes[0].text.startsWith(c.path + QStringLiteral("\n\n"))) << c.reason;
        EXPECT_TRUE(boxes.boxes[0].text.endsWith(QLatin1String(c.reason))) << boxes.boxes[0].text.toStdString();
        EXPECT_EQ(doc.GetProjectPath(), saved);
        EXPECT_EQ(frame->windowTitle(), title);
        EXPECT_TRUE(doc.IsModified());
        EXPECT_FALSE(QFileInfo::exists(c.path));
    }

    // Close -> Yes with a save that fails (the project's file became a folder): the file
    // changed since it was saved, so the user is asked first; Yes overwrites, which fails:
    // the message, and the project stays.
    ASSERT_TRUE(QFile::remove(saved));
    ASSERT_TRUE(QDir().mkpath(saved));
    boxes.boxes.clear();
    boxes.Answer(Platform::IDYES);
    ASSERT_TRUE(Enabled(Cmd::ID_CLOSE_PROJECT));
    frame->Action(Cmd::ID_CLOSE_PROJECT)->trigger();
    ASSERT_EQ(boxes.boxes.size(), 3u);
    EXPECT_EQ(boxes.boxes[0].text, QStringLiteral("Would you like to save changes in your Project?"));
    EXPECT_TRUE(boxes.boxes[1].text.contains(QDir::toNativeSeparators(saved)) || boxes.boxes[1].text.contains(saved))
        << boxes.boxes[1].text.toStdString();
    EXPECT_TRUE(boxes.boxes[2].text.startsWith(saved + QStringLiteral("\n\n")));
    EXPECT_TRUE(doc.HasFolders());
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(frame->windowTitle(), title);
}

TEST_F(RightPane, EditAndOutputCommandsGoToTheActivePage)
{
    CVeskDoc doc;
    CRightView pane;
    auto owned = std::make_unique<RecordingPage>();
    RecordingPage* page = owned.get();
    pane.SetDocument(&doc, std::move(owned));

    const std::pair<uint32_t, uint32_t> forwarded[] = {
        {Cmd::ID_PRINT, WM_CMD_PRINT},
        {Cmd::ID_EXPORT_GRAPHIC, WM_CMD_EXPORT_GRAPHIC},
        {Cmd::ID_EXPORT_TEXT, WM_CMD_EXPORT_TEXT},
        {Cmd::ID_EDIT_SELECT_ALL, WM_CMD_SELECT_ALL},
        {Cmd::ID_EDIT_COPY, WM_CMD_COPY},
        {Cmd::ID_EDIT_PASTE, WM_CMD_PASTE},
        {Cmd::ID_EDIT_DELETE, WM_CMD_DELETE},
    };
    for (const auto& [id, message] : forwarded)
    {
        page->messages.clear();
        EXPECT_TRUE(pane.OnCommand(id));
        EXPECT_EQ(page->messages, std::vector<uint32_t>{message}) << id;
    }

    // Only an answer of exactly 1 enables the command that asks.
    page->answers = {{WM_CMD_CAN_SELECT_ALL, 1}, {WM_CMD_CAN_COPY, 2}, {WM_CMD_CAN_DELETE, -1}};
    const std::pair<uint32_t, bool> queried[] = {
        {Cmd::ID_EDIT_SELECT_ALL, true}, {Cmd::ID_EDIT_COPY, false}, {Cmd::ID_EDIT_DELETE, false}};
    for (const auto& [id, enabled] : queried)
    {
        SCmdUI ui;
        EXPECT_TRUE(pane.OnUpdateCommand(id, ui));
        EXPECT_EQ(ui.enabled, enabled) << id;
    }

    // Commands of other windows pass by.
    page->messages.clear();
    SCmdUI ui;
    EXPECT_FALSE(pane.OnCommand(Cmd::ID_DOWNLOAD));
    EXPECT_FALSE(pane.OnUpdateCommand(Cmd::ID_APP_ABOUT, ui));
    EXPECT_TRUE(page->messages.empty());
}

TEST_F(RightPane, TheSheetFillsThePaneAndNamesItsTabOnTheFirstUpdate)
{
    CVeskDoc doc;
    CRightView pane;
    auto owned = std::make_unique<RecordingPage>();
    owned->setWindowTitle(QStringLiteral("Page caption"));
    RecordingPage* page = owned.get();
    pane.SetDocument(&doc, std::move(owned));
    pane.resize(800, 600);
    pane.show();
    QApplication::processEvents();

    CTabSheet* sheet = pane.TabSheet();
    EXPECT_EQ(sheet->windowTitle(), QStringLiteral("Measurements"));
    EXPECT_EQ(sheet->size(), QSize(800, 600));
    EXPECT_EQ(page->size(), QSize(792, 574));
    EXPECT_TRUE(page->isVisible());
    EXPECT_EQ(sheet->GetTabControl()->tabText(0), QStringLiteral("Page caption"));

    doc.RefreshAllViews();
    EXPECT_EQ(sheet->GetTabControl()->tabText(0), QStringLiteral("Objects"));
    EXPECT_EQ(pane.windowTitle(), kAppTitle) << "the pane's window takes the caption";

    pane.resize(300, 20);
    QApplication::processEvents();
    EXPECT_EQ(page->size(), QSize(292, 0)) << "a pane lower than the tab row leaves no page";
}

TEST_F(RightPane, HelpCommandsOpenTheInstalledFilesOrSayTheyAreNotInstalled)
{
    CVeskDoc doc;
    CRightView pane;
    pane.SetDocument(&doc);
    const QString manual = QStringLiteral("Veskador 3_ENU.pdf");
    const QString upgradeHelp = QStringLiteral("DiZivavir.chm");

    // Neither is installed beside the test program or in its prefix's share folder.
    EXPECT_TRUE(pane.OnCommand(Cmd::ID_HELP_MANUAL));
    EXPECT_TRUE(pane.OnCommand(Cmd::ID_HELP_UPGRADE));
    EXPECT_TRUE(opened.isEmpty());
    ASSERT_EQ(boxes.boxes.size(), 2u);
    for (size_t i = 0; i < 2; ++i)
    {
        const QString expected = (i == 0 ? manual : upgradeHelp) +
                                 QStringLiteral(" is not installed. It was looked for in these folders:\n") +
                                 InstalledFiles::SearchFolders(GetModuleFolder()).join(u'\n');
        EXPECT_EQ(boxes.boxes[i].text, expected);
    }

    // Installed beside the program: opened from there.
    struct Installed
    {
        QString path;
        explicit Installed(QString p) : path(std::move(p))
        {
            QFile file(path);
            EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        }
        ~Installed() { QFile::remove(path); }
    };
    const Installed a(GetModuleFolder() + manual);
    const Installed b(GetModuleFolder() + upgradeHelp);
    boxes.boxes.clear();
    EXPECT_TRUE(pane.OnCommand(Cmd::ID_HELP_MANUAL));
    EXPECT_TRUE(pane.OnCommand(Cmd::ID_HELP_UPGRADE));
    EXPECT_TRUE(boxes.boxes.empty());
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(QUrl(opened[0]).toLocalFile(), a.path);
    EXPECT_EQ(QUrl(opened[1]).toLocalFile(), b.path);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the wait cursor is gone again";
}

TEST(InstalledFiles, TheProgramFolderComesBeforeTheSharedFolder)
{
    TempDir prefix;
    const QString bin = prefix.Path() + QStringLiteral("/bin/");
    const QString share = prefix.Path() + QStringLiteral("/share/veskador3/");
    ASSERT_TRUE(QDir().mkpath(bin) && QDir().mkpath(share));
    const auto touch = [](const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::WriteOnly);
    };
    ASSERT_TRUE(touch(bin + QStringLiteral("both.pdf")) && touch(share + QStringLiteral("both.pdf")));
    ASSERT_TRUE(touch(share + QStringLiteral("shared.pdf")) && touch(bin + QStringLiteral("beside.pdf")));
    ASSERT_TRUE(QDir().mkpath(bin + QStringLiteral("folder.pdf")));
    struct Case
    {
        const char* name;
        QString found;
    };
    const Case cases[] = {
        {"both.pdf", bin + QStringLiteral("both.pdf")},
        {"beside.pdf", bin + QStringLiteral("beside.pdf")},
        {"shared.pdf", share + QStringLiteral("shared.pdf")},
        {"missing.pdf", QString()},
        {"folder.pdf", QString()},
        {"", QString()},
    };
    for (const Case& c : cases)
        EXPECT_EQ(InstalledFiles::Find(QString::fromLatin1(c.name), bin), c.found) << c.name;
    EXPECT_EQ(InstalledFiles::SearchFolders(bin), (QStringList{bin, share}));
}

TEST_F(RightPane, LeavesTheDocumentsViewsWhenItGoes)
{
    CVeskDoc doc;
    FakeView after;
    {
        CRightView pane;
        pane.SetDocument(&doc);
    }
    doc.AddView(&after);
    doc.RefreshAllViews(); // would reach a deleted pane or sheet
    EXPECT_EQ(after.hints, std::vector<int>{DOC_HINT_ALL});
}
