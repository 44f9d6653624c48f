#include "app/MainFrm.h"
#include "app/Veskador3SE.h"
#include "document/SettingsFolders.h"
#include "device/ReportMessage.h"
#include "platform/core/SettingsStore.h"
#include "platform/core/StringTable.h"
#include "streamio/RamDisk.h"
#include "streamio/StreamIO.h"
#include "tests/app/AppTestSupport.h"
#include "tests/document/DocTestSupport.h"
#include "tests/support/ConvRecordBuilder.h"
#include "tests/support/MessageBoxRecorder.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTimer>

#include <gtest/gtest.h>

#include <new>

namespace
{
const QString kProgram = QStringLiteral("veskador3");

// Records what start-up and shutdown run, in order, in place of the real services.
struct ServiceLog
{
    QStringList calls;
    bool failStreams = false;

    CVeskador3SEApp::SServices Services()
    {
        CVeskador3SEApp::SServices s;
        s.startStreams = [this]
        {
            calls << QStringLiteral("start streams");
            if (failStreams)
                throw std::bad_alloc();
        };
        s.startDeviceThread = [this] { calls << QStringLiteral("start device"); };
        s.stopDeviceThread = [this] { calls << QStringLiteral("stop device"); };
        s.stopStreams = [this] { calls << QStringLiteral("stop streams"); };
        return s;
    }
};

class Application : public ::testing::Test
{
protected:
    void TearDown() override
    {
        theApp().SetServices({});
        theApp().ExitInstance();
        theApp().SetServices(CVeskador3SEApp::DefaultServices());
    }

    AppEnvironment env;
    MessageBoxRecorder boxes;
};

QString StandardWarning(const QString& folder)
{
    return QStringLiteral("Failed to load Standard.cnv from folder ") + folder;
}
} // namespace

TEST_F(Application, StartsWithTheMainWindowAndShutsDownCleanly)
{
    // The real stream layer and device thread.
    CVeskador3SEApp& app = theApp();
    app.InitApplication();
    ASSERT_TRUE(app.InitInstance({kProgram}));
    ASSERT_NE(app.MainWindow(), nullptr);
    EXPECT_TRUE(app.MainWindow()->isVisible());
    EXPECT_NE(StreamIO::CRamDisk::Instance(), nullptr) << "the stream layer runs";
    QApplication::processEvents();

    // No Standard.cnv ships yet: one OK box names the folder, which is the data folder's.
    const QString conversions = env.DataFolder() + QStringLiteral("conversions/");
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, StandardWarning(conversions));
    EXPECT_EQ(boxes.boxes[0].type, Platform::MB_OK);
    EXPECT_EQ(app.MainWindow()->ConversionsFolder(), conversions);
    EXPECT_EQ(app.MainWindow()->Document().GetConversionFolder(), conversions);
    EXPECT_TRUE(QDir(conversions).exists());

    // Missing settings were written back.
    auto& store = Platform::SettingsStore::Instance();
    EXPECT_EQ(store.ReadString(AppSettingsKey(), QStringLiteral("LanguageFile")),
              QCoreApplication::applicationFilePath());
    EXPECT_EQ(store.ReadNumber(AppSettingsKey(), QStringLiteral("DTFormat")), 0u);
    EXPECT_EQ(store.ReadString(AppSettingsKey(), QStringLiteral("ProjectsPath")),
              env.DataFolder() + QStringLiteral("projects/"));

    // Reports of unexpected failures show as boxes owned by the main window.
    boxes.boxes.clear();
    ReportMessage(reportWarning, QStringLiteral("careful"));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].caption, QStringLiteral("Warning"));

    EXPECT_EQ(app.ExitInstance(), 0);
    EXPECT_EQ(app.MainWindow(), nullptr);
    EXPECT_EQ(StreamIO::CRamDisk::Instance(), nullptr) << "the stream layer stopped";
    // The other tests of this program run with the stream layer started.
    StreamIO::StartStreamIO();
}

TEST_F(Application, AFailingStreamStartShowsOneFatalBoxAndNoWindow)
{
    ServiceLog log;
    log.failStreams = true;
    CVeskador3SEApp& app = theApp();
    app.SetServices(log.Services());
    EXPECT_FALSE(app.InitInstance({kProgram}));
    EXPECT_EQ(app.MainWindow(), nullptr);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].caption, QStringLiteral("Fatal Error"));
    EXPECT_EQ(boxes.boxes[0].text, Platform::LoadString(1004) + Platform::LoadString(28551));
    EXPECT_EQ(boxes.boxes[0].type, Platform::MB_OK | Platform::MB_ICONERROR);

    app.ExitInstance();
    EXPECT_EQ(log.calls, QStringList({QStringLiteral("start streams"), QStringLiteral("stop device"),
                                      QStringLiteral("stop streams")}));
}

TEST_F(Application, ShutdownStopsTheDeviceThreadBeforeTheStreams)
{
    ServiceLog log;
    CVeskador3SEApp& app = theApp();
    app.SetServices(log.Services());
    ASSERT_TRUE(app.InitInstance({kProgram}));
    app.ExitInstance();
    EXPECT_EQ(log.calls, QStringList({QStringLiteral("start streams"), QStringLiteral("start device"),
                                      QStringLiteral("stop device"), QStringLiteral("stop streams")}));
}

TEST_F(Application, AStandardCnvInTheFolderInAnyCaseSilencesTheWarning)
{
    ServiceLog log;
    theApp().SetServices(log.Services());
    const QString folder = env.Dir().Path() + QStringLiteral("/conv");
    QDir().mkpath(folder);
    // A conversion file without a checksum, holding one record.
    TestRecords::Header h;
    h.name = u"Std";
    const std::vector<uint8_t> record = TestRecords::Identity(h);
    std::vector<uint8_t> file = {'@', 'c', 'N', 'V', '@', 1, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0};
    TestRecords::Put16(file, uint32_t(record.size()));
    file.insert(file.end(), record.begin(), record.end());
    file[9] = uint8_t(file.size());
    QFile f(folder + QStringLiteral("/STANDARD.cnv"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(reinterpret_cast<const char*>(file.data()), qint64(file.size()));
    f.close();
    // A stored folder without its final separator gets one.
    auto& store = Platform::SettingsStore::Instance();
    store.CreateKey(AppSettingsKey());
    store.Write(AppSettingsKey(), Settings::kConversionPathStdCnv, folder);

    ASSERT_TRUE(theApp().InitInstance({kProgram}));
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(theApp().MainWindow()->ConversionsFolder(), folder + u'/');
}

TEST_F(Application, ExactlyOneArgumentOpensAProject)
{
    ServiceLog log;
    theApp().SetServices(log.Services());
    const QString project = env.Dir().File(QStringLiteral("Run.v3p"));
    {
        CVeskDoc doc;
        ASSERT_TRUE(DocTest::AddSeries(doc, QStringLiteral("\\Hall\\S1.vsm"), {500.0f, 510.0f}));
        ASSERT_TRUE(doc.SaveProject(project));
    }
    struct Case
    {
        QStringList arguments;
        bool opened;
    };
    const Case cases[] = {
        {{kProgram}, false},
        {{kProgram, project}, true},
        {{kProgram, project, project}, false},
    };
    for (const Case& c : cases)
    {
        ASSERT_TRUE(theApp().InitInstance(c.arguments));
        CVeskDoc& doc = theApp().MainWindow()->Document();
        EXPECT_EQ(doc.GetProjectPath() == project, c.opened) << c.arguments.size();
        EXPECT_EQ(doc.HasFolders(), c.opened);
        theApp().ExitInstance();
    }
}

TEST_F(Application, AProjectNamedOnTheCommandLineThatIsMissingIsSaidNotToExist)
{
    ServiceLog log;
    theApp().SetServices(log.Services());
    const QString missing = env.Dir().File(QStringLiteral("Gone.v3p"));
    const QString notAProject = env.Dir().File(QStringLiteral("Notes.v3p"));
    {
        QFile file(notAProject);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("just some notes");
    }
    struct Case
    {
        QString path;
        QString message;
    };
    const Case cases[] = {
        {missing, QStringLiteral("The file %1 does not exist.").arg(missing)},
        {notAProject,
         QStringLiteral("The project %1 cannot be opened: it is not a Veskador 3 project file.").arg(notAProject)},
    };
    for (const Case& c : cases)
    {
        boxes.boxes.clear();
        ASSERT_TRUE(theApp().InitInstance({kProgram, c.path}));
        QStringList texts;
        for (const auto& box : boxes.boxes)
            if (!box.text.startsWith(QStringLiteral("Failed to load Standard.cnv")))
                texts << box.text;
        EXPECT_EQ(texts, QStringList{c.message});
        EXPECT_FALSE(theApp().MainWindow()->Document().HasFolders());
        theApp().ExitInstance();
    }
}

TEST_F(Application, TheMessageLoopEndsWhenTheMainWindowCloses)
{
    ServiceLog log;
    theApp().SetServices(log.Services());
    ASSERT_TRUE(theApp().InitInstance({kProgram}));
    QTimer::singleShot(0, theApp().MainWindow(),
                       [] { theApp().MainWindow()->Action(Cmd::ID_APP_EXIT)->trigger(); });
    // A stuck loop would hang here; the test's time-out catches it.
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_FALSE(theApp().MainWindow()->isVisible());
    EXPECT_EQ(theApp().ExitInstance(), 0);
    EXPECT_EQ(log.calls.last(), QStringLiteral("stop streams"));
}
