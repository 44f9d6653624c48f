#include "streamio/FileStream.h"
#include "platform/core/ErrorCodes.h"
#include "platform/core/FileException.h"
#include "streamio/StreamFactory.h"
#include "tests/support/TempDir.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <functional>
#include <iostream>
#include <pty.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

using namespace StreamIO;

namespace
{

constexpr uint32_t kReadWriteCreate = STREAM_READ | STREAM_WRITE | STREAM_CREATE_ALWAYS;

QByteArray ReadFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Runs an operation that must raise; returns the raised code, or ~0 when nothing came.
uint32_t RaisedCode(const std::function<void()>& operation)
{
    try
    {
        operation();
    }
    catch (const CFileException& e)
    {
        return e.Error();
    }
    return ~0u;
}

class FileStreamTest : public ::testing::Test
{
protected:
    TempDir dir;
    QString existing = dir.File(QStringLiteral("existing.bin"));
    void SetUp() override { WriteFile(existing, "0123456789"); }
};

TEST_F(FileStreamTest, EveryFailingOperationRaisesItsCodeWithTheName)
{
    const QString missing = dir.File(QStringLiteral("missing.bin"));
    struct Case
    {
        const char* what;
        uint32_t code;
        std::function<void()> operation;
    };
    std::vector<Case> cases = {
        {"open a missing file", Err::FileNotFound, [&] { CFileStream s(missing, STREAM_READ); }},
        {"open in a missing folder", Err::PathNotFound,
         [&] { CFileStream s(dir.File(QStringLiteral("no/such.bin")), kReadWriteCreate); }},
        {"create-new an existing file", Err::FileExists,
         [&] { CFileStream s(existing, STREAM_WRITE | STREAM_CREATE_NEW); }},
        {"open a folder", Err::AccessDenied, [&] { CFileStream s(dir.Path(), STREAM_READ); }},
        {"read a write-only stream", Err::ReadFault,
         [&]
         {
             CFileStream s(existing, STREAM_WRITE);
             char b;
             s.Read(&b, 1);
         }},
        {"write a read-only stream", Err::WriteFault,
         [&]
         {
             CFileStream s(existing, STREAM_READ);
             s.Write("x", 1);
         }},
        {"truncate a read-only stream", Err::WriteFault,
         [&]
         {
             CFileStream s(existing, STREAM_READ);
             s.Truncate();
         }},
        {"seek from origin 0", Err::Seek,
         [&]
         {
             CFileStream s(existing, STREAM_READ);
             s.Seek(0, 0);
         }},
        {"seek before the start", Err::NegativeSeek,
         [&]
         {
             CFileStream s(existing, STREAM_READ);
             s.Seek(-11, STREAM_SEEK_END);
         }},
        {"read a closed stream", Err::InvalidHandle,
         [&]
         {
             CFileStream s(existing, STREAM_READ);
             s.Close();
             char b;
             s.Read(&b, 1);
         }},
        {"length of a closed stream", Err::InvalidHandle,
         [&]
         {
             CFileStream s(existing, STREAM_WRITE);
             s.Close();
             s.GetLength();
         }},
    };
    // The "full" device's node, made in the test's folder (where nodes may be made).
    const QString full = dir.File(QStringLiteral("full-device"));
    if (::mknod(QFile::encodeName(full).constData(), S_IFCHR | 0666, makedev(1, 7)) == 0)
        cases.push_back({"write to a full device", Err::DiskFull,
                         [&]
                         {
                             CFileStream s(full, STREAM_WRITE);
                             s.Write("x", 1);
                         }});
    else
        std::cout << "[  NOTE    ] no right to make a device node here: the full device is left out\n";
    for (const Case& c : cases)
    {
        try
        {
            c.operation();
            ADD_FAILURE() << c.what << ": nothing raised";
        }
        catch (const CFileException& e)
        {
            EXPECT_EQ(e.Error(), c.code) << c.what;
            EXPECT_FALSE(e.FileName().isEmpty()) << c.what;
        }
    }
}

TEST_F(FileStreamTest, EndOfDataAndUnsupportedCallsAreRecordedNotRaised)
{
    CFileStream s(existing, STREAM_READ);
    char buffer[16];
    EXPECT_EQ(s.Read(buffer, 0), 0u);
    EXPECT_EQ(s.GetError(), 0u);
    EXPECT_EQ(s.Read(buffer, sizeof buffer), 10u);
    EXPECT_FALSE(s.HasError());
    EXPECT_EQ(s.Read(buffer, sizeof buffer), 0u);
    EXPECT_EQ(s.GetError(), Err::HandleEof);
    EXPECT_TRUE(s.IsEndOrTimeout());

    // Time-outs and cancelling belong to ports; a disk file answers "not supported".
    uint32_t r = 1, w = 1;
    EXPECT_FALSE(s.SetTimeouts(100, 100));
    EXPECT_EQ(s.GetError(), Err::NotSupported);
    EXPECT_FALSE(s.GetTimeouts(r, w));
    EXPECT_EQ(s.GetError(), Err::NotSupported);
    EXPECT_FALSE(s.CancelPending());
    EXPECT_EQ(s.GetError(), Err::NotSupported);

    // A second open of an open stream is refused, also without raising.
    EXPECT_FALSE(s.Open(existing, STREAM_READ));
    EXPECT_EQ(s.GetError(), Err::NotSupported);
    EXPECT_EQ(s.SetPosition(0), 0u);
    EXPECT_EQ(s.GetError(), 0u) << "every operation clears the last error";
}

TEST_F(FileStreamTest, ReadsWritesSeeksAndTruncates)
{
    const QString path = dir.File(QStringLiteral("new.bin"));
    auto stream = OpenStreamByName(path, kReadWriteCreate);
    ASSERT_NE(dynamic_cast<CFileStream*>(stream.get()), nullptr);
    EXPECT_TRUE(stream->IsSeekable());
    EXPECT_EQ(stream->Write("abcdefgh", 8), 8u);
    EXPECT_EQ(stream->GetLength(), 8u);
    EXPECT_EQ(stream->GetPosition(), 8u);
    EXPECT_EQ(stream->Seek(-3, STREAM_SEEK_CURRENT), 5u);
    EXPECT_EQ(stream->ReadByte(), 'f');
    EXPECT_EQ(stream->Seek(2, STREAM_SEEK_BEGIN), 2u);
    EXPECT_EQ(stream->WriteByte('X'), 1u);
    EXPECT_EQ(stream->Seek(-1, STREAM_SEEK_END), 7u);
    EXPECT_EQ(stream->Seek(4, STREAM_SEEK_END), 12u) << "past the end is allowed";
    EXPECT_EQ(stream->SetPosition(6), 6u);
    stream->Truncate();
    EXPECT_EQ(stream->GetLength(), 6u);
    stream->Close();
    EXPECT_FALSE(stream->IsOpen());
    EXPECT_NO_THROW(stream->Close()) << "closing twice is harmless";
    EXPECT_EQ(ReadFile(path), QByteArray("abXdef"));

    // Reopen keeps name and flags: create-always empties the file again.
    EXPECT_TRUE(stream->Reopen());
    EXPECT_EQ(stream->GetLength(), 0u);
}

TEST_F(FileStreamTest, ShareFlagsDecideWhoElseMayOpen)
{
    {
        CFileStream writer(existing, STREAM_READ | STREAM_WRITE);
        EXPECT_EQ(RaisedCode([&] { CFileStream s(existing, STREAM_READ); }), Err::SharingViolation);
        // Refused before anything happens: create-always must not empty the file.
        EXPECT_EQ(RaisedCode([&] { CFileStream s(existing, kReadWriteCreate | STREAM_SHARE_READ); }),
                  Err::SharingViolation);
        EXPECT_EQ(ReadFile(existing), QByteArray("0123456789"));
    }
    {
        CFileStream reader(existing, STREAM_READ | STREAM_SHARE_READ);
        EXPECT_NO_THROW(CFileStream s(existing, STREAM_READ | STREAM_SHARE_READ));
        EXPECT_EQ(RaisedCode([&] { CFileStream s(existing, STREAM_READ); }), Err::SharingViolation)
            << "the newcomer must share the reading too";
        EXPECT_EQ(RaisedCode([&] { CFileStream s(existing, STREAM_WRITE | STREAM_SHARE_READ); }),
                  Err::SharingViolation);
    }
    {
        const uint32_t all = STREAM_SHARE_READ | STREAM_SHARE_WRITE;
        CFileStream a(existing, STREAM_READ | STREAM_WRITE | all);
        EXPECT_NO_THROW(CFileStream b(existing, STREAM_READ | STREAM_WRITE | all));
    }
    // Once closed, the file is free again.
    EXPECT_NO_THROW(CFileStream s(existing, STREAM_READ | STREAM_WRITE));
}

// A pseudo-terminal stands in for a serial port: time-outs and cancelling act on it.
class TerminalTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char name[256];
        if (::openpty(&master, &slave, name, nullptr, nullptr) != 0)
            GTEST_SKIP() << "no pseudo-terminal";
        termios raw;
        ::tcgetattr(slave, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(slave, TCSANOW, &raw);
        path = QString::fromLocal8Bit(name);
    }
    void TearDown() override
    {
        if (master >= 0)
            ::close(master);
        if (slave >= 0)
            ::close(slave);
    }
    int master = -1;
    int slave = -1;
    QString path;
};

TEST_F(TerminalTest, TimeoutsMapAndAShortReadEndsAtTheDeadline)
{
    CFileStream port(path, STREAM_READ | STREAM_WRITE);
    uint32_t r = 0, w = 0;
    ASSERT_TRUE(port.GetTimeouts(r, w));
    EXPECT_EQ(r, STREAM_WAIT_FOREVER);
    EXPECT_EQ(w, STREAM_WAIT_FOREVER);
    ASSERT_TRUE(port.SetTimeouts(150, 10));
    ASSERT_TRUE(port.GetTimeouts(r, w));
    EXPECT_EQ(r, 150u);
    EXPECT_EQ(w, 10u);
    ASSERT_TRUE(port.SetTimeouts(0, STREAM_WAIT_FOREVER));
    ASSERT_TRUE(port.GetTimeouts(r, w));
    EXPECT_EQ(r, STREAM_WAIT_FOREVER) << "a read constant of 0 means no limit";

    ASSERT_EQ(::write(master, "ab", 2), 2);
    port.SetTimeouts(150, 100);
    char buffer[4] = {};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port.Read(buffer, 4), 2u);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(140));
    EXPECT_EQ(port.GetError(), 0u) << "some bytes came: no end of data";
    EXPECT_EQ(QByteArray(buffer, 2), QByteArray("ab"));
    EXPECT_EQ(port.Read(buffer, 4), 0u);
    EXPECT_EQ(port.GetError(), Err::Timeout) << "a quiet line is still there";
    EXPECT_TRUE(port.IsEndOrTimeout());

    EXPECT_EQ(port.Write("xyz", 3), 3u);
    char echo[3];
    ASSERT_EQ(::read(master, echo, 3), 3);
    EXPECT_EQ(QByteArray(echo, 3), QByteArray("xyz"));
}

// The other end goes away (a cable pulled, a tester switched off) while a read waits:
// the read ends at once with end of data, which a caller tells from a quiet line.
TEST_F(TerminalTest, AHangUpEndsAWaitingReadWithEndOfData)
{
    CFileStream port(path, STREAM_READ | STREAM_WRITE);
    ASSERT_TRUE(port.SetTimeouts(5000, 100));
    ASSERT_EQ(::write(master, "a", 1), 1);
    std::thread hangUp(
        [&]
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            ::close(std::exchange(master, -1));
        });
    char buffer[4];
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port.Read(buffer, 4), 1u) << "what came before the hang-up";
    EXPECT_EQ(port.Read(buffer, 4), 0u);
    EXPECT_EQ(port.GetError(), Err::HandleEof);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2500));
    hangUp.join();
}

TEST_F(TerminalTest, CancelPendingEndsAReadThatWaitsWithoutLimit)
{
    CFileStream port(path, STREAM_READ | STREAM_WRITE);
    ASSERT_TRUE(port.SetTimeouts(STREAM_WAIT_FOREVER, STREAM_WAIT_FOREVER));
    std::thread canceller(
        [&]
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            port.CancelPending();
        });
    char buffer[4];
    EXPECT_EQ(port.Read(buffer, 4), 0u);
    EXPECT_EQ(port.GetError(), Err::HandleEof);
    canceller.join();
}

} // namespace
