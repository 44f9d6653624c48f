// The libcurl FTP transport against a real server (pyftpdlib) on loopback.
#include "platform/core/ErrorCodes.h"
#include "platform/io/FtpBackend.h"
#include "tests/support/FtpTestServer.h"
#include "tests/support/QStringPrint.h"
#include "tests/support/TestBytes.h"

#include <QElapsedTimer>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

using namespace Platform;

namespace
{

const QString kUser = QStringLiteral("vmcust");
const QString kPassword = QStringLiteral("wdmeloXJV");

QByteArray Pattern(qsizetype size)
{
    return PseudoRandomBytes(size, 12345);
}

std::unique_ptr<FtpConnection> Connect(const std::shared_ptr<FtpBackend>& backend,
                                       const FtpTestServer& server)
{
    std::unique_ptr<FtpConnection> connection;
    QString text;
    const uint32_t code = backend->Connect(server.Address(), kUser, kPassword, connection, text);
    EXPECT_EQ(code, Err::Success) << text.toStdString();
    return connection;
}

// Short bounds, so that the tests of hanging servers take seconds.
FtpTimeouts ShortTimeouts()
{
    FtpTimeouts t;
    t.connectMs = 1000;
    t.responseMs = 1000;
    t.stallMs = 1000;
    t.operationMs = 4000;
    return t;
}

// Generous slack for a loaded machine and sanitizers; a wait without a bound would
// still fail, since the defaults are far above these.
constexpr qint64 kSlackMs = 2500;

class FtpCurlListing : public ::testing::TestWithParam<bool>
{
};

} // namespace

// The same walk through both listing kinds: the machine listing, and the text listing a
// server without MLSD gives.
TEST_P(FtpCurlListing, ListsFilesAndDownloadsThem)
{
    FtpTestServer::Options options;
    options.textListingOnly = GetParam();
    FtpTestServer server(options);
    ASSERT_TRUE(server.Running()) << server.Log().toStdString();
    const QByteArray installer = Pattern(250001);
    server.AddFile(QStringLiteral("DiZivavir/Veskador 3/Veskador 3_V_3_1_0_0.exe"), installer);
    server.AddFile(QStringLiteral("DiZivavir/Veskador 3/readme.txt"), "hello");
    server.AddFolder(QStringLiteral("DiZivavir/Veskador 3/old.exe"));
    // A minute within the last half year, so that the text listing shows the clock time.
    const int64_t when = (QDateTime::currentSecsSinceEpoch() - 10 * 86400) / 60 * 60;
    server.SetFileTime(QStringLiteral("DiZivavir/Veskador 3/Veskador 3_V_3_1_0_0.exe"), when);

    auto backend = FtpBackend::Curl();
    ASSERT_TRUE(backend);
    auto connection = Connect(backend, server);
    ASSERT_TRUE(connection);
    ASSERT_EQ(connection->ChangeFolder(QStringLiteral("./DiZivavir/Veskador 3/")), Err::Success)
        << connection->LastErrorText().toStdString();
    QString folder;
    ASSERT_EQ(connection->CurrentFolder(folder), Err::Success);
    EXPECT_EQ(folder, QStringLiteral("/DiZivavir/Veskador 3"));

    std::vector<FtpEntry> files;
    ASSERT_EQ(connection->List(QStringLiteral("*"), files), Err::Success)
        << connection->LastErrorText().toStdString();
    ASSERT_EQ(files.size(), 2u); // the folder is not a file
    ASSERT_EQ(connection->List(QStringLiteral("*.exe"), files), Err::Success);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].name, QStringLiteral("Veskador 3_V_3_1_0_0.exe"));
    EXPECT_EQ(files[0].size, uint64_t(installer.size()));
    EXPECT_EQ(files[0].time.toSecsSinceEpoch(), when);

    QByteArray received;
    uint64_t lastDone = 0;
    const uint32_t code = connection->Download(
        files[0].name,
        [&](const char* data, size_t n)
        {
            received.append(data, qsizetype(n));
            return true;
        },
        [&](uint64_t done)
        {
            lastDone = done;
            return true;
        });
    ASSERT_EQ(code, Err::Success) << connection->LastErrorText().toStdString();
    EXPECT_EQ(received, installer);
    EXPECT_EQ(lastDone, uint64_t(installer.size()));

    // Small steps, as a progress page reads, and one transfer at a time.
    std::unique_ptr<FtpFile> file;
    ASSERT_EQ(connection->OpenFile(QStringLiteral("readme.txt"), file), Err::Success);
    EXPECT_EQ(connection->List(QStringLiteral("*"), files), Err::FtpTransferInProgress);
    QByteArray steps;
    char two[2];
    size_t done = 0;
    while (file->Read(two, sizeof two, done) == Err::Success && done > 0)
        steps.append(two, qsizetype(done));
    EXPECT_EQ(steps, QByteArray("hello"));
    file.reset();
    EXPECT_EQ(connection->List(QStringLiteral("*.txt"), files), Err::Success);
    EXPECT_EQ(files.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(MachineAndText, FtpCurlListing, ::testing::Values(false, true));

TEST(FtpCurl, FailuresCarryTheirNumbersAndTexts)
{
    FtpTestServer server;
    ASSERT_TRUE(server.Running()) << server.Log().toStdString();
    server.AddFolder(QStringLiteral("DiZivavir/0000abcd"));
    auto backend = FtpBackend::Curl();

    std::unique_ptr<FtpConnection> connection;
    QString text;
    EXPECT_EQ(backend->Connect(server.Address(), kUser, QStringLiteral("wdmeloxjv"), connection, text),
              Err::InternetIncorrectPassword);
    EXPECT_FALSE(connection);
    EXPECT_FALSE(text.isEmpty());

    EXPECT_EQ(backend->Connect({QStringLiteral("127.0.0.1/x@y"), server.Port()}, kUser, kPassword, connection,
                               text),
              Err::InternetInvalidUrl);

    connection = Connect(backend, server);
    ASSERT_TRUE(connection);
    EXPECT_EQ(connection->ChangeFolder(QStringLiteral("./DiZivavir/0000abce/")), Err::InternetExtendedError);
    EXPECT_FALSE(connection->LastErrorText().isEmpty());
    EXPECT_EQ(connection->ChangeFolder(QStringLiteral("DiZivavir/bad\r\nDELE x")), Err::InvalidName);
    ASSERT_EQ(connection->ChangeFolder(QStringLiteral("./DiZivavir/0000abcd/")), Err::Success);
    std::unique_ptr<FtpFile> file;
    EXPECT_EQ(connection->OpenFile(QStringLiteral("missing.lod"), file), Err::InternetExtendedError);
    EXPECT_FALSE(file);
    std::vector<FtpEntry> files;
    EXPECT_EQ(connection->List(QStringLiteral("*.lod"), files), Err::Success);
    EXPECT_TRUE(files.empty());

    // The server goes away: the next round trip finds nobody listening.
    const uint16_t port = server.Port();
    server.Stop();
    QString folder;
    EXPECT_EQ(connection->CurrentFolder(folder), Err::InternetCannotConnect);
    connection.reset();
    EXPECT_EQ(backend->Connect({QStringLiteral("127.0.0.1"), port}, kUser, kPassword, connection, text),
              Err::InternetCannotConnect);
    EXPECT_FALSE(text.isEmpty());
}

TEST(FtpCurl, ServerGoneMidDownloadIsAFailure)
{
    FtpTestServer server;
    ASSERT_TRUE(server.Running()) << server.Log().toStdString();
    // Far more than the socket buffers between the two ends can hold.
    const qsizetype size = 48 * 1024 * 1024;
    server.AddFile(QStringLiteral("big.lod"), QByteArray(size, 'x'));
    auto backend = FtpBackend::Curl(ShortTimeouts());
    auto connection = Connect(backend, server);
    ASSERT_TRUE(connection);

    std::unique_ptr<FtpFile> file;
    ASSERT_EQ(connection->OpenFile(QStringLiteral("big.lod"), file), Err::Success);
    std::vector<char> buffer(1024);
    size_t done = 0;
    ASSERT_EQ(file->Read(buffer.data(), buffer.size(), done), Err::Success);
    server.Stop();

    qint64 total = qint64(done);
    uint32_t code = Err::Success;
    QElapsedTimer timer;
    timer.start();
    for (;;)
    {
        code = file->Read(buffer.data(), buffer.size(), done);
        if (code != Err::Success || done == 0)
            break;
        total += qint64(done);
    }
    EXPECT_EQ(code, Err::InternetConnectionAborted) << connection->LastErrorText().toStdString();
    EXPECT_LT(total, size);
    EXPECT_LT(timer.elapsed(), 1000 + kSlackMs);
}

TEST(FtpCurl, EveryWaitOnAHangingServerEndsWithinItsBound)
{
    FtpTestServer server;
    ASSERT_TRUE(server.Running()) << server.Log().toStdString();
    server.AddFile(QStringLiteral("big.lod"), QByteArray(48 * 1024 * 1024, 'x'));
    auto backend = FtpBackend::Curl(ShortTimeouts());
    QElapsedTimer timer;
    // What matters is that each wait ends within its bound; on a loaded machine the server's
    // side may give up first, and the wait then ends as an aborted connection instead.
    const auto kEndedWait = ::testing::AnyOf(Err::InternetTimeout, Err::InternetConnectionAborted);

    // The system accepts the connection for the frozen server; no greeting comes.
    server.Pause();
    std::unique_ptr<FtpConnection> connection;
    QString text;
    timer.start();
    EXPECT_THAT(backend->Connect(server.Address(), kUser, kPassword, connection, text), kEndedWait);
    EXPECT_LT(timer.elapsed(), 1000 + kSlackMs);
    server.Resume();

    // A reply that never comes.
    connection = Connect(backend, server);
    ASSERT_TRUE(connection);
    server.Pause();
    std::vector<FtpEntry> files;
    timer.restart();
    EXPECT_THAT(connection->List(QStringLiteral("*"), files), kEndedWait);
    EXPECT_LT(timer.elapsed(), 1000 + kSlackMs);
    server.Resume();

    // Data that stops flowing.
    std::unique_ptr<FtpFile> file;
    ASSERT_EQ(connection->OpenFile(QStringLiteral("big.lod"), file), Err::Success)
        << connection->LastErrorText().toStdString();
    std::vector<char> buffer(4096);
    size_t done = 0;
    ASSERT_EQ(file->Read(buffer.data(), buffer.size(), done), Err::Success);
    server.Pause();
    timer.restart();
    uint32_t code = Err::Success;
    while ((code = file->Read(buffer.data(), buffer.size(), done)) == Err::Success && done > 0)
    {
    }
    EXPECT_THAT(code, kEndedWait);
    EXPECT_LT(timer.elapsed(), 1000 + kSlackMs);
    file.reset();

    // Closing says goodbye to a server that does not answer; that wait is bounded too.
    timer.restart();
    connection.reset();
    EXPECT_LT(timer.elapsed(), 1000 + kSlackMs);
}

TEST(FtpCurl, CancelEndsAWaitAtOnceAndEveryLaterOperation)
{
    FtpTestServer server;
    ASSERT_TRUE(server.Running()) << server.Log().toStdString();
    auto backend = FtpBackend::Curl(); // the long default bounds: only the cancel can end the wait
    auto connection = Connect(backend, server);
    ASSERT_TRUE(connection);
    server.Pause();

    uint32_t code = Err::Success;
    QElapsedTimer timer;
    timer.start();
    std::thread worker(
        [&]
        {
            std::vector<FtpEntry> files;
            code = connection->List(QStringLiteral("*"), files);
        });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    connection->Cancel();
    worker.join();
    EXPECT_EQ(code, Err::InternetOperationCancelled);
    EXPECT_LT(timer.elapsed(), 200 + kSlackMs);

    QString folder;
    EXPECT_EQ(connection->CurrentFolder(folder), Err::InternetOperationCancelled);
    server.Stop(); // no goodbye wait when the connection goes
}

TEST(FtpCurl, AnAbortEndsAConnectAndTheGoodbyeToASilentServerAtOnce)
{
    FtpTestServer server;
    ASSERT_TRUE(server.Running()) << server.Log().toStdString();
    auto backend = FtpBackend::Curl(); // the long default bounds: only the abort can end the waits
    QElapsedTimer timer;

    // The system accepts the connection for the frozen server; no greeting comes.
    server.Pause();
    auto abort = std::make_shared<FtpAbort>();
    uint32_t code = Err::Success;
    std::unique_ptr<FtpConnection> connection;
    timer.start();
    std::thread worker(
        [&]
        {
            QString text;
            code = backend->Connect(server.Address(), kUser, kPassword, connection, text, abort);
        });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    abort->Abort();
    worker.join();
    EXPECT_EQ(code, Err::InternetOperationCancelled);
    EXPECT_EQ(connection, nullptr);
    EXPECT_LT(timer.elapsed(), 200 + kSlackMs);
    // Aborted for good: a later connect fails at once.
    QString text;
    EXPECT_EQ(backend->Connect(server.Address(), kUser, kPassword, connection, text, abort),
              Err::InternetOperationCancelled);
    server.Resume();

    // A logged-in connection whose server then hangs: closing it would wait for the
    // answer to the goodbye, unless the connection was aborted.
    auto second = std::make_shared<FtpAbort>();
    ASSERT_EQ(backend->Connect(server.Address(), kUser, kPassword, connection, text, second), Err::Success)
        << text.toStdString();
    QString folder;
    ASSERT_EQ(connection->CurrentFolder(folder), Err::Success);
    server.Pause();
    second->Abort();
    timer.restart();
    connection.reset();
    EXPECT_LT(timer.elapsed(), kSlackMs);
    server.Resume();

    // The abort comes while the goodbye already waits (the work closes its connection just
    // as the user quits): that wait ends too.
    auto third = std::make_shared<FtpAbort>();
    ASSERT_EQ(backend->Connect(server.Address(), kUser, kPassword, connection, text, third), Err::Success)
        << text.toStdString();
    ASSERT_EQ(connection->CurrentFolder(folder), Err::Success);
    server.Pause();
    timer.restart();
    std::thread closer([&] { connection.reset(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    third->Abort();
    closer.join();
    EXPECT_LT(timer.elapsed(), 200 + kSlackMs);
    server.Resume();
}
