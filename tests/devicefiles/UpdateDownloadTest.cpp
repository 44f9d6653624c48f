// Fetching an installer from the update server into a local file, against a real FTP
// server (pyftpdlib) on loopback: what is kept, and that nothing is left after a failure.
#include "devicefiles/core/ProgramVersionCheck.h"
#include "devicefiles/core/UpdateDownload.h"
#include "devicefiles/core/UpdateFtpClient.h"
#include "platform/core/SettingsStore.h"
#include "platform/core/StringTable.h"
#include "resources/BuiltInStrings.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/FtpTestServer.h"
#include "tests/support/LoopbackFtpOnly.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/TempDir.h"
#include "tests/support/QStringPrint.h"
#include "tests/support/TestBytes.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace UpdateDownload;

namespace
{
const QString kFolder = QStringLiteral("DiZivavir/Veskador 3/");
const QString kName = QStringLiteral("Veskador 3_V_2_4_1_0.deb");

QByteArray Pattern(qsizetype size)
{
    return PseudoRandomBytes(size, 77);
}

QByteArray ChecksumFile(const QByteArray& content, const QString& name)
{
    return QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex() + "  " + name.toUtf8() + "\n";
}

TEST(UpdateDownloadNames, PlainNamesChecksumsAndTheInstallCommand)
{
    for (const char* name : {"Veskador 3_V_2_4_1_0.deb", "a", "x..y.deb"})
        EXPECT_TRUE(IsPlainFileName(QString::fromUtf8(name))) << name;
    for (const char* name : {"", ".", "..", "../x.deb", "a/b.deb", "a\\b.deb", ".hidden.deb", "a\nb.deb"})
        EXPECT_FALSE(IsPlainFileName(QString::fromUtf8(name))) << name;
    EXPECT_FALSE(IsPlainFileName(QString(256, u'a')));

    const QByteArray hex = "00112233445566778899aabbccddeeff00112233445566778899AABBCCDDEEFF";
    EXPECT_EQ(ParseSha256File(hex).toHex(), hex.toLower());
    EXPECT_EQ(ParseSha256File(hex + "  name.deb\n").size(), 32);
    EXPECT_EQ(ParseSha256File(hex + "\r\n").size(), 32);
    for (const QByteArray& bad : {QByteArray(), hex.left(63), hex + "0", "g" + hex.mid(1), " " + hex})
        EXPECT_TRUE(ParseSha256File(bad).isEmpty()) << bad.constData();

    EXPECT_EQ(InstallCommand(QStringLiteral("veskador3.deb")), QStringLiteral("sudo apt install ./veskador3.deb"));
    EXPECT_EQ(InstallCommand(QStringLiteral("Veskador 3_V_2_4_1_0.deb")),
              QStringLiteral("sudo apt install './Veskador 3_V_2_4_1_0.deb'"));
    EXPECT_EQ(InstallCommand(QStringLiteral("it's.deb")), QStringLiteral("sudo apt install './it'\\''s.deb'"));
}

class UpdateDownloadTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterBuiltInStrings();
        ASSERT_TRUE(server.Running()) << server.Log().toStdString();
        PointAt(server.Port());
    }
    void TearDown() override
    {
        Platform::SettingsStore::Instance().DeleteKey(QString::fromLatin1(kUpdateServerSettingsKey));
        LoopbackFtpOnly::Install();
    }

    static void PointAt(uint16_t port)
    {
        auto& store = Platform::SettingsStore::Instance();
        const QString key = QString::fromLatin1(kUpdateServerSettingsKey);
        store.CreateKey(key);
        store.Write(key, QStringLiteral("FtpServer"), QStringLiteral("127.0.0.1"));
        store.Write(key, QStringLiteral("FtpPort"), uint32_t(port));
    }

    SResult FetchFile(uint64_t listedSize, const QString& checksumFile = QString(), const Progress& progress = {})
    {
        SRequest request;
        request.productName = QStringLiteral("Veskador 3");
        request.file = kName;
        request.size = listedSize;
        request.checksumFile = checksumFile;
        request.target = Target();
        return Fetch(client, request, progress);
    }

    QString Target() const { return dir.File(kName); }
    // Everything in the target's folder, hidden files too.
    QStringList Left() const
    {
        return QDir(dir.Path()).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }
    QByteArray Kept() const
    {
        QFile file(Target());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    FtpTestServer server;
    TempDir dir;
    MessageBoxRecorder boxes;
    CUpdateFtpClient client;
};

TEST_F(UpdateDownloadTest, KeepsAByteIdenticalCopyOfAnySize)
{
    // Under the 10,000 bytes where a per-mille chunk would be 0, several chunks, an exact
    // multiple of the chunk.
    for (const qsizetype size : {qsizetype(1), qsizetype(1234), qsizetype(200000), qsizetype(2 * kChunk)})
    {
        SCOPED_TRACE(size);
        const QByteArray content = Pattern(size);
        server.AddFile(kFolder + kName, content);
        std::vector<uint64_t> steps;
        const SResult result = FetchFile(uint64_t(size), QString(), [&](uint64_t done) { steps.push_back(done); });
        ASSERT_EQ(result.end, NEnd::done) << result.error.toStdString();
        EXPECT_EQ(Kept(), content);
        EXPECT_EQ(Left(), QStringList{kName});
        ASSERT_FALSE(steps.empty());
        EXPECT_EQ(steps.back(), uint64_t(size));
        // Fetched over FTP, so never made runnable.
        EXPECT_FALSE(QFileInfo(Target()).isExecutable());
    }
}

TEST_F(UpdateDownloadTest, ReplacesAnOlderFileOfTheSameNameOnlyWhenComplete)
{
    QFile old(Target());
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old package");
    old.close();
    const QByteArray content = Pattern(5000);
    server.AddFile(kFolder + kName, content);
    // A listed size the server does not deliver: the old file stays.
    EXPECT_EQ(FetchFile(6000).end, NEnd::failed);
    EXPECT_EQ(Kept(), QByteArray("old package"));
    ASSERT_EQ(FetchFile(5000).end, NEnd::done);
    EXPECT_EQ(Kept(), content);
}

TEST_F(UpdateDownloadTest, ChecksumBesideThePackageIsChecked)
{
    const QByteArray content = Pattern(70000);
    const QString sumName = kName + QStringLiteral(".sha256");
    server.AddFile(kFolder + kName, content);

    server.AddFile(kFolder + sumName, ChecksumFile(content, kName));
    SResult result = FetchFile(70000, sumName);
    ASSERT_EQ(result.end, NEnd::done) << result.error.toStdString();
    EXPECT_EQ(Kept(), content);
    QFile::remove(Target());

    struct Case
    {
        QByteArray sumFile;
        const char* text;
    };
    QByteArray damaged = content;
    damaged[100] = char(damaged[100] ^ 1);
    for (const Case& c : {Case{ChecksumFile(damaged, kName), "does not match its SHA-256 checksum"},
                          Case{"not a checksum\n", "could not be read"},
                          Case{QByteArray(5000, '0'), "could not be read"}})
    {
        SCOPED_TRACE(c.text);
        server.AddFile(kFolder + sumName, c.sumFile);
        result = FetchFile(70000, sumName);
        EXPECT_EQ(result.end, NEnd::failed);
        EXPECT_TRUE(result.error.contains(QString::fromLatin1(c.text))) << result.error.toStdString();
        EXPECT_TRUE(Left().isEmpty()) << Left().join(u',').toStdString();
    }
    // Listed, but gone by the time of the download.
    QFile::remove(server.Root() + u'/' + kFolder + sumName);
    result = FetchFile(70000, sumName);
    EXPECT_EQ(result.end, NEnd::failed);
    EXPECT_TRUE(Left().isEmpty());
}

TEST_F(UpdateDownloadTest, SizesThatDoNotFitAndUnusableNamesKeepNothing)
{
    server.AddFile(kFolder + kName, Pattern(3000));
    struct Case
    {
        uint64_t listed;
        uint32_t textId;
    };
    for (const Case c : {Case{0, 22041}, Case{2999, 22042}, Case{3001, 22042}, Case{1u << 20, 22042}})
    {
        SCOPED_TRACE(c.listed);
        const SResult result = FetchFile(c.listed);
        EXPECT_EQ(result.end, NEnd::failed);
        EXPECT_TRUE(result.error.startsWith(Platform::LoadString(c.textId).left(15))) << result.error.toStdString();
        EXPECT_TRUE(Left().isEmpty()) << Left().join(u',').toStdString();
    }

    // A server whose listing is out of date lists, and announces, another size than it
    // sends: that is told as such, not as a connection that broke off.
    for (const int offset : {1000, -1000})
    {
        SCOPED_TRACE(offset);
        FtpTestServer::Options options;
        options.listedSizeOffset = offset;
        FtpTestServer outdated(options);
        ASSERT_TRUE(outdated.Running()) << outdated.Log().toStdString();
        outdated.AddFile(kFolder + kName, Pattern(3000));
        PointAt(outdated.Port());
        CUpdateFtpClient fresh;
        SRequest listed;
        listed.productName = QStringLiteral("Veskador 3");
        listed.file = kName;
        listed.size = uint64_t(3000 + offset);
        listed.target = Target();
        const SResult result = Fetch(fresh, listed, {});
        EXPECT_EQ(result.end, NEnd::failed);
        EXPECT_TRUE(result.error.startsWith(Platform::LoadString(22042).left(15))) << result.error.toStdString();
        EXPECT_TRUE(Left().isEmpty()) << Left().join(u',').toStdString();
    }
    PointAt(server.Port());

    SRequest request;
    request.productName = QStringLiteral("Veskador 3");
    request.file = QStringLiteral("../Veskador 3_V_2_4_1_0.deb");
    request.size = 3000;
    request.target = dir.File(QStringLiteral("x.deb"));
    const SResult result = Fetch(client, request, {});
    EXPECT_EQ(result.end, NEnd::failed);
    EXPECT_TRUE(result.error.contains(QStringLiteral("not a name a file can be saved under")));
    EXPECT_TRUE(Left().isEmpty());
}

TEST_F(UpdateDownloadTest, AFullDiskOrAnUnusableFolderKeepNothing)
{
    server.AddFile(kFolder + kName, Pattern(300000));
    {
        FileSizeLimit limit(100000);
        const SResult result = FetchFile(300000);
        EXPECT_EQ(result.end, NEnd::failed);
        EXPECT_TRUE(result.error.startsWith(QStringLiteral("The package could not be saved as")))
            << result.error.toStdString();
    }
    EXPECT_TRUE(Left().isEmpty()) << Left().join(u',').toStdString();

    // A file where the folder should be: the target cannot be written, and the server is
    // not even asked.
    SRequest request;
    request.productName = QStringLiteral("Veskador 3");
    request.file = kName;
    request.size = 300000;
    QFile blocker(dir.File(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    request.target = dir.File(QStringLiteral("blocker/") + kName);
    // The first download's session ends first, and the server's count settles at none:
    // a session the fetch opened would then show (the client keeps it open).
    client.Close();
    ASSERT_EQ(server.OpenSessions(0, 30000), 0) << server.Log().toStdString();
    EXPECT_EQ(Fetch(client, request, {}).end, NEnd::targetNotWritable);
    EXPECT_EQ(server.OpenSessions(-1, 0), 0) << server.Log().toStdString();
}

// A server that sends slowly, so that the test can act while the package arrives.
class SlowUpdateDownloadTest : public UpdateDownloadTest
{
protected:
    void SetUp() override
    {
        UpdateDownloadTest::SetUp();
        ASSERT_TRUE(slow.Running()) << slow.Log().toStdString();
        slow.AddFile(kFolder + kName, Pattern(kSize));
        PointAt(slow.Port());
    }

    static constexpr qsizetype kSize = 4 * 1024 * 1024;
    FtpTestServer slow{FtpTestServer::Options{.sendLimit = 256 * 1024}};
};

TEST_F(SlowUpdateDownloadTest, AServerThatDropsMidTransferIsAnErrorAndLeavesNoPartialFile)
{
    const SResult result = FetchFile(kSize, QString(), [&](uint64_t) { slow.Stop(); });
    EXPECT_EQ(result.end, NEnd::failed);
    EXPECT_TRUE(result.error.startsWith(QStringLiteral("The connection to the update server broke off.")))
        << result.error.toStdString();
    EXPECT_TRUE(Left().isEmpty()) << Left().join(u',').toStdString();
}

TEST_F(SlowUpdateDownloadTest, AStalledTransferIsAnError)
{
    Platform::FtpTimeouts quick;
    quick.stallMs = 1000;
    Platform::SetFtpBackend(std::make_shared<LoopbackFtpOnly>(Platform::FtpBackend::Curl(quick)));
    QElapsedTimer timer;
    timer.start();
    const SResult result = FetchFile(kSize, QString(), [&](uint64_t) { slow.Pause(); });
    EXPECT_EQ(result.end, NEnd::failed);
    EXPECT_LT(timer.elapsed(), 1000 + 4000);
    EXPECT_TRUE(result.error.startsWith(QStringLiteral("The update server did not answer in time.")))
        << result.error.toStdString();
    EXPECT_TRUE(Left().isEmpty()) << Left().join(u',').toStdString();
    slow.Resume();
}

TEST_F(SlowUpdateDownloadTest, AnAbortMidTransferEndsItAtOnceAndLeavesNoPartialFile)
{
    QElapsedTimer timer;
    const SResult result = FetchFile(kSize, QString(),
                                     [&](uint64_t)
                                     {
                                         timer.start();
                                         client.Abort();
                                     });
    EXPECT_EQ(result.end, NEnd::cancelled);
    EXPECT_LT(timer.elapsed(), 1000);
    EXPECT_TRUE(Left().isEmpty()) << Left().join(u',').toStdString();
}

TEST_F(UpdateDownloadTest, SearchNotesTheChecksumBesideTheChosenInstaller)
{
    server.AddFile(kFolder + QStringLiteral("Veskador 3_V_2_3_0_0.deb"), "a");
    server.AddFile(kFolder + kName, "b");
    server.AddFile(kFolder + QStringLiteral("Veskador 3_V_2_4_0_5.deb"), "c");
    server.AddFile(kFolder + QStringLiteral("Veskador 3_V_2_3_0_0.deb.sha256"), "d");
    const CVersion running(QStringView(u"2.3.1.0"));
    SUpdateSearch search = SearchUpdate(client, QStringLiteral("Veskador 3"), running);
    ASSERT_TRUE(search.ok) << search.error.toStdString();
    EXPECT_EQ(search.choice.file, kName);
    EXPECT_FALSE(search.checksumListed);

    server.AddFile(kFolder + kName + QStringLiteral(".sha256"), "e");
    search = SearchUpdate(client, QStringLiteral("Veskador 3"), running); // on the same connection
    EXPECT_TRUE(search.checksumListed);

    server.Stop();
    client.Close();
    search = SearchUpdate(client, QStringLiteral("Veskador 3"), running);
    EXPECT_FALSE(search.ok);
    EXPECT_FALSE(search.error.isEmpty());
    EXPECT_EQ(boxes.boxes.size(), 1u); // this client shows its errors
}

} // namespace
