// The import of measurement files and folders end to end through the main window: the
// file dialog, drops of files, folders and projects, the progress window's cancel while
// counting and while importing, and the project document afterwards.
#include "app/MainFrm.h"
#include "document/DocView.h"
#include "measurement/FolderData.h"
#include "streamio/StreamIO.h"
#include "tests/app/AppTestSupport.h"
#include "tests/document/DocTestSupport.h"
#include "tests/support/FileDialogRecorder.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/app/SeriesPageWindow.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QKeyEvent>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sys/stat.h>

namespace
{
struct IsolatedSettings
{
    QTemporaryDir dir;
    IsolatedSettings() { qputenv("VESKADOR_CONFIG_DIR", dir.path().toLocal8Bit()); }
};
IsolatedSettings g_isolatedSettings;
[[maybe_unused]] const auto* const g_environment = ::testing::AddGlobalTestEnvironment(
    []
    {
        class Streams : public ::testing::Environment
        {
            void SetUp() override { StreamIO::StartStreamIO(); }
            void TearDown() override { StreamIO::ShutdownStreamIO(); }
        };
        return new Streams;
    }());

// Runs a reaction on the first change of a window title that starts with the prefix.
class TitleWatch : public QObject
{
public:
    TitleWatch(QString prefix, std::function<void(QWidget*)> reaction)
        : m_prefix(std::move(prefix)), m_reaction(std::move(reaction))
    {
        qApp->installEventFilter(this);
    }
    ~TitleWatch() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (m_reaction && event->type() == QEvent::WindowTitleChange && widget &&
            widget->windowTitle().startsWith(m_prefix))
            std::exchange(m_reaction, nullptr)(widget);
        return false;
    }

private:
    QString m_prefix;
    std::function<void(QWidget*)> m_reaction;
};

void PostEscape(QWidget* target)
{
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
}

class ImportTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        frame = std::make_unique<CMainFrame>(QStringList{QStringLiteral("veskador3")});
        frame->show();
        boxes.boxes.clear(); // the missing Standard.cnv
        frame->Document().AddView(&view);
    }
    void TearDown() override
    {
        frame->Document().RemoveView(&view);
        frame.reset();
    }

    CVeskDoc& Doc() { return frame->Document(); }

    // A measurement file (a series with one reading) at the path below the test folder.
    QString Vsm(const QString& relative, float reading = 50.0f)
    {
        const QString path = env.Dir().File(relative);
        QDir().mkpath(QFileInfo(path).path());
        const std::vector<uint8_t> bytes = DocTest::BlockOf(*DocTest::MakeSeries({reading}));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
        return path;
    }

    // Files dropped on a widget of the window (the window itself unless said), as Qt
    // delivers a drag: to the widget under the mouse, on to its parents until one takes
    // it. The drop is taken at once and the import follows after the event returned;
    // betweenDropAndImport runs right after the drop.
    void Drop(const QStringList& paths, QWidget* target = nullptr,
              const std::function<void()>& betweenDropAndImport = {})
    {
        if (!target)
            target = frame.get();
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls << QUrl::fromLocalFile(path);
        QMimeData mime;
        mime.setUrls(urls);
        QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        // Taken with an action: a drag that ends in no action drops nothing.
        ASSERT_TRUE(enter.isAccepted());
        ASSERT_EQ(enter.dropAction(), Qt::CopyAction);
        QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        const bool modified = Doc().IsModified();
        QCoreApplication::sendEvent(target, &drop);
        EXPECT_TRUE(drop.isAccepted());
        // Taken, and the import still to come: nothing has changed yet, and no command or
        // second drop gets in before it.
        EXPECT_TRUE(frame->IsTransferRunning());
        EXPECT_EQ(Doc().IsModified(), modified);
        if (betweenDropAndImport)
            betweenDropAndImport();
        ASSERT_TRUE(QTest::qWaitFor([this] { return !frame->IsTransferRunning(); }, 30000));
    }

    // A named pipe at the path below the test folder.
    QString MakeFifo(const QString& relative)
    {
        const QString path = env.Dir().File(relative);
        QDir().mkpath(QFileInfo(path).path());
        EXPECT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0) << relative.toStdString();
        return path;
    }

    QStringList Series(const char* folder)
    {
        CFolderData* data = Doc().LookupFolder(QString::fromLatin1(folder));
        return data ? DocTest::SeriesNames(*data) : QStringList{QStringLiteral("<no folder>")};
    }

    static bool ProgressWindowShown()
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->windowTitle().startsWith(QStringLiteral("Importing ...")))
                return true;
        return false;
    }

    AppEnvironment env;
    MessageBoxRecorder boxes;
    FileDialogRecorder files;
    FakeView view;
    std::unique_ptr<CMainFrame> frame;
};

TEST_F(ImportTest, ADroppedFolderKeepsItsStructureAndUnreadableFilesAreNamed)
{
    Vsm(QStringLiteral("data/a.vsm"), 41.0f);
    Vsm(QStringLiteral("data/B.VSM"), 42.0f);
    Vsm(QStringLiteral("data/sub/c.vsm"), 43.0f);
    const QString readOnly = Vsm(QStringLiteral("data/sub/ro.vsm"), 44.0f);
    ASSERT_TRUE(QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    QFile notes(env.Dir().File(QStringLiteral("data/notes.txt")));
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.close();
    // A link back up would make the walk endless; a link to nowhere cannot be read.
    ASSERT_TRUE(
        QFile::link(env.Dir().File(QStringLiteral("data")), env.Dir().File(QStringLiteral("data/sub/loop"))));
    ASSERT_TRUE(QFile::link(env.Dir().File(QStringLiteral("gone.vsm")),
                            env.Dir().File(QStringLiteral("data/broken.vsm"))));
    // A pipe by a measurement file's name would block the import if it were opened.
    const QString pipe = MakeFifo(QStringLiteral("data/sub/pipe.vsm"));

    Drop({env.Dir().File(QStringLiteral("data"))});

    EXPECT_EQ(Series("\\data\\"), (QStringList{"B", "a"}));
    EXPECT_EQ(Series("\\data\\sub\\"), (QStringList{"c", "ro"}));
    EXPECT_EQ(DocTest::Readings(*Doc().LookupFolder(QStringLiteral("\\data\\sub\\")), 1),
              std::vector<float>{44.0f});
    EXPECT_EQ(Doc().LookupFolder(QStringLiteral("\\data\\sub\\loop\\")), nullptr);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, QStringLiteral("These files could not be imported:\n") +
                                       env.Dir().File(QStringLiteral("data/broken.vsm")) + u'\n' + pipe);
    EXPECT_TRUE(Doc().IsModified());
    EXPECT_EQ(view.hints.back(), DOC_HINT_ALL);
    EXPECT_FALSE(ProgressWindowShown());
}

TEST_F(ImportTest, ItemsFromDifferentFoldersLandRelativeToTheirOwnParents)
{
    const QString x = Vsm(QStringLiteral("one/x.vsm"));
    Vsm(QStringLiteral("two/deep/y.vsm"));
    Vsm(QStringLiteral("two/deep/inner/z.vsm"));
    Drop({x, env.Dir().File(QStringLiteral("two/deep"))});

    EXPECT_EQ(Series("\\"), QStringList{"x"});
    EXPECT_EQ(Series("\\deep\\"), QStringList{"y"});
    EXPECT_EQ(Series("\\deep\\inner\\"), QStringList{"z"});
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(ImportTest, TheImportCommandTakesSeveralFilesFromTheDialog)
{
    const QString x = Vsm(QStringLiteral("one/x.vsm"));
    const QString w = Vsm(QStringLiteral("one/w.VSM"));
    // Named in the dialog and not imported: each is told, none blocks the import.
    const QString pipe = MakeFifo(QStringLiteral("one/pipe.vsm"));
    const QString gone = env.Dir().File(QStringLiteral("one/gone.vsm"));
    files.AnswerMany(QStringList{x, pipe, gone, w});
    EXPECT_TRUE(frame->OnCmdMsg(Cmd::ID_IMPORT));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text,
              QStringLiteral("These files could not be imported:\n") + pipe + u'\n' + gone);
    boxes.boxes.clear();

    ASSERT_EQ(files.requests.size(), 1u);
    const Platform::FileDialogRequest& request = files.requests[0];
    EXPECT_FALSE(request.save);
    EXPECT_EQ(request.filter,
              QStringLiteral("Veskora 3 measurement files (*.vsm)|*.vsm|All files (*.*)|*.*||"));
    EXPECT_EQ(request.defaultExtension, QStringLiteral("vsm"));
    EXPECT_TRUE(request.flags & Platform::OFN_ALLOWMULTISELECT);
    EXPECT_EQ(Series("\\"), (QStringList{"x", "w"}));

    // Cancelled: nothing happens.
    view.hints.clear();
    EXPECT_TRUE(frame->OnCmdMsg(Cmd::ID_IMPORT));
    EXPECT_TRUE(view.hints.empty());
}

TEST_F(ImportTest, ADroppedProjectOpensOnlyWhenItIsDroppedAlone)
{
    Vsm(QStringLiteral("p/first.vsm"));
    Drop({env.Dir().File(QStringLiteral("p"))});
    const QString project = env.Dir().File(QStringLiteral("kept.v3p"));
    ASSERT_TRUE(Doc().SaveProject(project));
    ASSERT_TRUE(Doc().CloseProject());
    ASSERT_FALSE(Doc().HasFolders());

    const QString x = Vsm(QStringLiteral("one/x.vsm"));
    Drop({project, x});
    EXPECT_EQ(Series("\\"), QStringList{"x"});
    EXPECT_EQ(Doc().LookupFolder(QStringLiteral("\\p\\")), nullptr);

    boxes.Answer(Platform::IDNO);
    Drop({project});
    EXPECT_EQ(Doc().GetProjectPath(), project);
    EXPECT_EQ(Series("\\p\\"), QStringList{"first"});
    EXPECT_EQ(Doc().LookupFolder(QStringLiteral("\\one\\")), nullptr);
}

TEST_F(ImportTest, ACancelWhileCountingImportsNothingAndLeavesNoWindow)
{
    Vsm(QStringLiteral("data/a.vsm"));
    Drop({env.Dir().File(QStringLiteral("data"))}, nullptr, [this] { PostEscape(frame.get()); });
    EXPECT_FALSE(Doc().HasFolders());
    EXPECT_FALSE(Doc().IsModified());
    EXPECT_TRUE(view.hints.empty());
    EXPECT_FALSE(ProgressWindowShown());
    EXPECT_FALSE(frame->IsTransferRunning());
}

// While files are imported, no command runs, and closing the window waits for the end;
// a cancel keeps what was imported.
TEST_F(ImportTest, ACancelWhileImportingKeepsWhatArrivedAndAPendingCloseFollows)
{
    for (int i = 0; i < 10; ++i)
        Vsm(QStringLiteral("data/f%1.vsm").arg(i));
    bool busy = false;
    bool commandRan = true;
    bool downloadEnabled = true;
    // What the batch brought, when it tells the views (the close empties the project).
    int imported = -1;
    view.reaction = [&](int)
    {
        if (CFolderData* data = Doc().LookupFolder(QStringLiteral("\\data\\")); data && imported < 0)
            imported = data->GetSeriesCount();
    };
    TitleWatch watch(QStringLiteral("Importing ... ["),
                     [&](QWidget* progress)
                     {
                         busy = frame->IsTransferRunning();
                         commandRan = frame->OnCmdMsg(Cmd::ID_DOWNLOAD);
                         frame->UpdateCommandUI();
                         downloadEnabled = frame->Action(Cmd::ID_DOWNLOAD)->isEnabled();
                         frame->close();
                         EXPECT_TRUE(frame->isVisible());
                         PostEscape(progress);
                     });
    boxes.Answer(Platform::IDNO); // the close asks to save the imported files: no
    Drop({env.Dir().File(QStringLiteral("data"))});

    EXPECT_TRUE(busy);
    EXPECT_FALSE(commandRan);
    EXPECT_FALSE(downloadEnabled);
    EXPECT_GE(imported, 1);
    EXPECT_LT(imported, 10);
    EXPECT_FALSE(ProgressWindowShown());
    EXPECT_FALSE(frame->IsTransferRunning());
    // The close asked for during the import came after it.
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, QStringLiteral("Would you like to save changes in your Project?"));
    EXPECT_FALSE(frame->isVisible());
}

// The series page is most of the window: files dropped on its grid are imported as
// anywhere else in the window.
TEST_F(ImportTest, AFileDroppedOnTheSeriesPageIsImported)
{
    Vsm(QStringLiteral("data/a.vsm"));
    Drop({env.Dir().File(QStringLiteral("data"))});
    const QString project = env.Dir().File(QStringLiteral("page.v3p"));
    ASSERT_TRUE(Doc().SaveProject(project));
    Doc().RemoveView(&view);
    SeriesPageWindow window;
    window.OpenWindow(project, boxes, QStringLiteral("\\data\\"));
    QWidget* page = &window.Page();
    QWidget* grid = window.Grid().viewport();
    frame = std::move(window.frame);
    Doc().AddView(&view);
    ASSERT_TRUE(page->isVisible());

    Drop({Vsm(QStringLiteral("more/b.vsm"))}, grid);
    EXPECT_EQ(Series("\\"), QStringList{"b"});
    EXPECT_EQ(Series("\\data\\"), QStringList{"a"});
    EXPECT_TRUE(boxes.boxes.empty());
}

} // namespace
