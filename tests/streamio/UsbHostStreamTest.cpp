#include "streamio/UsbHostStream.h"

#include "platform/core/Clock.h"
#include "platform/core/ErrorCodes.h"
#include "platform/core/FileException.h"
#include "tests/support/UsbBulkSimulator.h"

#include <gtest/gtest.h>

#include <thread>

using namespace StreamIO;

namespace
{
const QString kDevice = QStringLiteral("usb:1-2");
const QString kPath = QStringLiteral("usb:1-2:0");

class UsbStream : public ::testing::Test
{
protected:
    void SetUp() override
    {
        bus->AddDevice({kDevice, 0x3A7C, 1, 64, 0, false, true});
        bus->AddDevice({QStringLiteral("usb:1-3"), 0x3A7C, 1, 64, 0, true, true});
        ASSERT_TRUE(stream.Open(kPath, STREAM_READ | STREAM_WRITE));
    }
    uint32_t ExpectRaises(const std::function<void()>& f)
    {
        try
        {
            f();
        }
        catch (const CFileException& e)
        {
            return e.Error();
        }
        ADD_FAILURE() << "nothing raised";
        return 0;
    }
    std::shared_ptr<UsbBulkSimulator> bus = UsbBulkSimulator::Install();
    CUsbHostStream stream;
};
} // namespace

TEST_F(UsbStream, ListsTestersPastAnUnreadableDevice)
{
    QStringList paths;
    ASSERT_EQ(ListUsbHostDevicePaths(paths), 0u);
    EXPECT_EQ(paths, QStringList{kPath});
}

TEST_F(UsbStream, ReadsWholePacketsAndKeepsTheRest)
{
    QByteArray sent;
    for (int i = 0; i < 100; ++i)
        sent.append(static_cast<char>(i));
    bus->Send(kDevice, sent);

    char buffer[100];
    ASSERT_EQ(stream.Read(buffer, 10), 10u);
    ASSERT_EQ(stream.Read(buffer + 10, 90), 90u);
    EXPECT_EQ(QByteArray(buffer, 100), sent);
    EXPECT_EQ(bus->OddLengthReads(), 0);
    EXPECT_EQ(stream.GetError(), 0u);

    EXPECT_EQ(stream.Read(buffer, 0), 0u);
    EXPECT_EQ(stream.GetError(), 0u);
}

TEST_F(UsbStream, AShortAnswerEndsWithEndOfDataAfterOneTimeout)
{
    ASSERT_TRUE(stream.SetTimeouts(200, 100));
    bus->Send(kDevice, QByteArray("abc"));
    char buffer[8];
    const uint64_t start = Platform::MonotonicMs();
    EXPECT_EQ(stream.Read(buffer, 8), 3u);
    const uint64_t took = Platform::MonotonicMs() - start;
    EXPECT_EQ(stream.GetError(), Err::HandleEof);
    EXPECT_GE(took, 190u);
    EXPECT_LT(took, 1500u);
}

TEST_F(UsbStream, WritesReachTheDeviceAndATimedOutWriteIsRecordedOnly)
{
    ASSERT_EQ(stream.Write("\x10ID\r", 4), 4u);
    EXPECT_EQ(bus->Received(kDevice), QByteArray("\x10ID\r"));

    bus->SetOutBlocked(kDevice, true);
    const uint64_t start = Platform::MonotonicMs();
    EXPECT_EQ(stream.Write("xy", 2), 0u);
    EXPECT_EQ(stream.GetError(), Err::IoPending);
    EXPECT_LT(Platform::MonotonicMs() - start, 1500u);
}

TEST_F(UsbStream, CancelEndsAReadWithoutLimit)
{
    ASSERT_TRUE(stream.SetTimeouts(0xFFFFFFFFu, 0xFFFFFFFFu));
    std::thread canceller(
        [this]
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            stream.CancelPending();
        });
    char buffer[4];
    EXPECT_EQ(stream.Read(buffer, 4), 0u);
    canceller.join();
    EXPECT_EQ(stream.GetError(), Err::HandleEof);
}

TEST_F(UsbStream, StallAndUnplugAreRaised)
{
    char buffer[4];
    bus->SetStalled(kDevice, true);
    EXPECT_EQ(ExpectRaises([&] { stream.Read(buffer, 4); }), Err::GenFailure);
    bus->SetStalled(kDevice, false);

    bus->Unplug(kDevice);
    EXPECT_EQ(ExpectRaises([&] { stream.Read(buffer, 4); }), Err::DeviceNotConnected);
    EXPECT_EQ(ExpectRaises([&] { stream.Write("a", 1); }), Err::DeviceNotConnected);
    stream.Close();
    EXPECT_FALSE(stream.IsOpen());
    EXPECT_EQ(ExpectRaises([&] { stream.Reopen(); }), Err::FileNotFound);
}

TEST_F(UsbStream, OpenIsExclusiveAndRefusedTwice)
{
    EXPECT_FALSE(stream.Open(kPath, STREAM_READ | STREAM_WRITE));
    EXPECT_EQ(stream.GetError(), Err::NotSupported);
    EXPECT_TRUE(stream.IsOpen());

    CUsbHostStream other;
    EXPECT_EQ(ExpectRaises([&] { other.Open(kPath, STREAM_READ | STREAM_WRITE); }), Err::AccessDenied);
    EXPECT_FALSE(other.IsOpen());
    CUsbHostStream readOnly;
    stream.Close();
    ASSERT_TRUE(readOnly.Open(kPath, STREAM_READ));
    EXPECT_EQ(ExpectRaises([&] { readOnly.Write("a", 1); }), Err::WriteFault);
}
