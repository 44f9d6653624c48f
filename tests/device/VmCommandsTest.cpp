#include "device/VmCommands.h"
#include "device/Callback.h"
#include "streamio/FileStream.h"
#include "tests/support/ScriptedStream.h"
#include "tests/support/TempDir.h"
#include "tests/support/sim/FrameEngine.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using Device::CVmCommands;

namespace
{
QByteArray H(const char* hex)
{
    return QByteArray::fromHex(hex);
}

QByteArray Le32(uint32_t v)
{
    QByteArray out;
    for (int i = 0; i < 4; ++i)
        out.append(char((v >> (8 * i)) & 0xFF));
    return out;
}

const QByteArray kAck("\x06", 1);
const QByteArray kStart("\x10", 1);
const QByteArray kResync = H("C8F6000555 5AAAAFFFF0");

class RecordingCallback : public Device::CCallback
{
public:
    void OnDeviceFound(Device::CVmDevice*) override {}
    void OnStatusText(const QString&) override {}
    void OnJobFinished(const QString&, int32_t) override {}
    void OnProgress(int32_t value, int32_t mode, uint32_t duration) override
    {
        progress.push_back({value, mode, int32_t(duration)});
    }
    std::vector<std::vector<int32_t>> progress;
};

class CommandsTest : public ::testing::Test
{
protected:
    CommandsTest() : cmd(&stream) { cmd.SetLineEndMode(false, false); }

    // A seekable source or destination on a temporary file.
    std::unique_ptr<StreamIO::CFileStream> FileWith(const QByteArray& content)
    {
        auto file = std::make_unique<StreamIO::CFileStream>(dir.File(QStringLiteral("f%1").arg(++files)),
                                                            StreamIO::STREAM_READ | StreamIO::STREAM_WRITE |
                                                                StreamIO::STREAM_CREATE_ALWAYS);
        if (!content.isEmpty())
            file->Write(content.constData(), uint32_t(content.size()));
        file->SetPosition(0);
        return file;
    }
    static QByteArray ReadAll(StreamIO::CFileStream& file)
    {
        file.SetPosition(0);
        QByteArray out(qsizetype(file.GetLength()), '\0');
        file.Read(out.data(), uint32_t(out.size()));
        return out;
    }

    TempDir dir;
    int files = 0;
    ScriptedStream stream;
    CVmCommands cmd;
};

// --- Text frames ---

TEST_F(CommandsTest, TextFramePayloadByLineEndMode)
{
    struct Case
    {
        const char* name;
        bool crlf;
        QByteArray reply;
        bool ok;
        QByteArray answer;
    };
    const Case cases[] = {
        {"cr whole line", false, "Veskora 3;1.4.2;V3-1\r", true, "Veskora 3;1.4.2;V3-1"},
        {"crlf after first blank", true, "ID Veskora 3;1.4.2;V3-1\r\n", true, "Veskora 3;1.4.2;V3-1"},
        {"crlf without blank", true, "IDVeskora\r\n", false, ""},
        {"crlf nothing after blank", true, "ID \r\n", false, ""},
        {"refused", false, "?\r", false, "?"},
        {"refusal inside", false, "ID?\r", false, "ID?"},
        {"empty payload", false, "\r", true, ""},
        {"partial line", false, "Veskora", false, ""},
    };
    for (const Case& c : cases)
    {
        ScriptedStream s;
        CVmCommands commands(&s);
        commands.SetLineEndMode(c.crlf, false);
        s.Expect(kStart, kAck);
        s.Expect("ID\r", c.reply);
        EXPECT_EQ(commands.ExecuteTextCommand("ID", 4000), c.ok) << c.name;
        EXPECT_EQ(commands.Answer(), c.answer) << c.name;
        EXPECT_EQ(s.Written(), QByteArray("\x10ID\r")) << c.name;
        EXPECT_TRUE(s.Mismatch().isEmpty()) << c.name;
        ASSERT_FALSE(s.TimeoutHistory().empty());
        EXPECT_EQ(s.TimeoutHistory().front(), std::make_pair(4000u, 4000u)) << c.name;
    }
}

TEST_F(CommandsTest, MissingAcknowledgementStopsBeforeTheCommand)
{
    stream.Feed("stale");
    stream.Expect(kStart);
    QByteArray answer = "old";
    EXPECT_EQ(cmd.QueryText("ID", answer, 64, 100), -1);
    EXPECT_TRUE(answer.isEmpty());
    EXPECT_EQ(stream.Written(), kStart);
    EXPECT_GE(stream.Discards(), 1); // the stale bytes were not taken for the acknowledgement
}

TEST_F(CommandsTest, QueryTextEmptyCommandAndTruncation)
{
    stream.Expect(kStart, kAck);
    stream.Expect("\r", "whatever\r");
    QByteArray answer;
    EXPECT_EQ(cmd.QueryText("", answer, 64, 100), 1);
    EXPECT_EQ(answer, "?");

    stream.Expect(kStart, kAck);
    stream.Expect("GPOW\r", "abcdefgh\r");
    EXPECT_EQ(cmd.QueryText("GPOW", answer, 5, 100), 8);
    EXPECT_EQ(answer, "abcd");
}

TEST_F(CommandsTest, LineEndModeAskedAndSwitched)
{
    // A device in CR LF mode is switched to CR only.
    stream.Expect(kStart, kAck);
    stream.Expect("EC?\r", "EC? 1\r\n");
    stream.Expect(kStart, kAck);
    stream.Expect("EC0\r", "EC0 OK\r\n");
    EXPECT_TRUE(cmd.SetLineEndMode(false, true));
    EXPECT_EQ(cmd.GetLineEndMode(), 0);
    EXPECT_TRUE(stream.Done());
    EXPECT_EQ(stream.TimeoutHistory().front(), std::make_pair(8000u, 4000u));

    // A device in CR mode asked for CR LF.
    ScriptedStream s;
    CVmCommands commands(&s);
    s.Expect(kStart, kAck);
    s.Expect("EC?\r", "0\r");
    s.Expect(kStart, kAck);
    s.Expect("EC1\r", "OK\r");
    EXPECT_TRUE(commands.SetLineEndMode(true, true));
    EXPECT_EQ(commands.GetLineEndMode(), 1);
    EXPECT_TRUE(s.Mismatch().isEmpty()) << s.Mismatch().toStdString();
}

// --- Byte frames ---

TEST_F(CommandsTest, SendBinaryCommandReplies)
{
    struct Case
    {
        const char* name;
        QByteArray reply;
        uint32_t bufferSize;
        int32_t result;
        QByteArray data;
    };
    const QByteArray digits = "123456789";
    const Case cases[] = {
        {"done", H("00"), 64, 0, {}},
        {"status", H("F2"), 64, 0xF2, {}},
        {"plain", H("03AABBCC"), 64, 3, H("AABBCC")},
        {"plain cut short", H("03AA"), 64, CVmCommands::kCommFailure, {}},
        {"plain beyond buffer", H("0A") + QByteArray(10, 'x'), 4, CVmCommands::kCommFailure, {}},
        {"crc8", H("EF0109 0000") + digits + H("A1"), 64, 9, digits},
        {"crc16", H("EF0209 0000") + digits + H("3DBB"), 64, 9, digits},
        {"crc32", H("EF0409 0000") + digits + H("2639F4CB"), 64, 9, digits},
        {"crc32 mismatch", H("EF0409 0000") + digits + H("2639F4CC"), 64, CVmCommands::kCheckMismatch, {}},
        {"crc16 high byte wrong", H("EF0209 0000") + digits + H("3DBC"), 64, CVmCommands::kCheckMismatch, {}},
        {"crc8 mismatch", H("EF0109 0000") + digits + H("A0"), 64, CVmCommands::kCheckMismatch, {}},
        {"kind 3 unchecked", H("EF0302 0000 AABB"), 64, 2, H("AABB")},
        // The check value needs no room in the caller's buffer, only the data does.
        {"crc8, data fills the buffer", H("EF0109 0000") + digits + H("A1"), 9, 9, digits},
        {"crc16, data fills the buffer", H("EF0209 0000") + digits + H("3DBB"), 9, 9, digits},
        {"crc32, data fills the buffer", H("EF0409 0000") + digits + H("2639F4CB"), 9, 9, digits},
        {"crc32 mismatch, data fills the buffer",
         H("EF0409 0000") + digits + H("2639F4CC"),
         9,
         CVmCommands::kCheckMismatch,
         {}},
        {"checked data beyond buffer",
         H("EF0409 0000") + digits + H("2639F4CB"),
         8,
         CVmCommands::kCommFailure,
         {}},
        {"extended beyond buffer", H("EF000A 0000") + QByteArray(10, 'x'), 4, CVmCommands::kCommFailure, {}},
        {"extended cut short", H("EF0009 0000") + "1234", 64, CVmCommands::kCommFailure, {}},
    };
    for (const Case& c : cases)
    {
        ScriptedStream s;
        CVmCommands commands(&s);
        s.Expect(H("C2F41002"), c.reply);
        uint8_t buffer[64] = {0x10, 0x02};
        EXPECT_EQ(commands.SendBinaryCommand(0xF4, 2, buffer, c.bufferSize, 1000), c.result) << c.name;
        if (!c.data.isEmpty())
        {
            EXPECT_EQ(QByteArray(reinterpret_cast<char*>(buffer), c.data.size()), c.data) << c.name;
        }
        EXPECT_EQ(s.Written(), H("C2F41002")) << c.name;
        EXPECT_EQ(s.Pending(), 0) << c.name; // nothing of the reply is left on the line
        EXPECT_EQ(QByteArray(reinterpret_cast<char*>(buffer) + c.bufferSize, qsizetype(64 - c.bufferSize)),
                  QByteArray(qsizetype(64 - c.bufferSize), '\0'))
            << c.name << ": nothing lands past the caller's buffer";
    }
    uint8_t buffer[64] = {};
    EXPECT_EQ(cmd.SendBinaryCommand(0xF4, 48, buffer, 64, 1000), CVmCommands::kBadArguments);
    EXPECT_EQ(cmd.SendBinaryCommand(0xF4, 0, buffer, 64, -1), CVmCommands::kBadArguments);
    EXPECT_TRUE(stream.Written().isEmpty());
}

TEST_F(CommandsTest, ExchangeBinaryDataResults)
{
    struct Case
    {
        const char* name;
        QByteArray reply;
        uint32_t bufferSize;
        Device::NError_code result;
        uint32_t count;
    };
    const QByteArray digits = "123456789";
    const Case cases[] = {
        {"done", H("00"), 64, Device::errNone, 0},
        {"status", H("F2"), 64, Device::errCommunication, 0},
        {"plain", H("02AABB"), 64, Device::errNone, 2},
        {"plain overflow", H("0A") + QByteArray(10, 'x'), 4, Device::errReplyOverflow, 10},
        {"checked", H("EF0409 0000") + digits + H("2639F4CB"), 64, Device::errNone, 13},
        {"bad check", H("EF0409 0000") + digits + H("00000000"), 64, Device::errChecksum, 13},
        {"bad crc16", H("EF0209 0000") + digits + H("3DBC"), 64, Device::errChecksum, 11},
        {"bad crc8", H("EF0109 0000") + digits + H("A0"), 64, Device::errChecksum, 10},
        {"extended overflow", H("EF0009 0000") + digits, 4, Device::errReplyOverflow, 9},
        {"extended cut short", H("EF0009 0000") + "12345", 64, Device::errCommunication, 5},
    };
    for (const Case& c : cases)
    {
        ScriptedStream s;
        CVmCommands commands(&s);
        s.Expect(H("C1D301"), c.reply);
        uint8_t buffer[64] = {0x01};
        uint32_t count = 99;
        EXPECT_EQ(commands.ExchangeBinaryData(0xD3, buffer, 1, count, c.bufferSize, 2000, -1, nullptr),
                  c.result)
            << c.name;
        EXPECT_EQ(count, c.count) << c.name;
        if (QByteArray(c.name) == "status")
        {
            EXPECT_EQ(buffer[0], 0xF2);
        }
        EXPECT_EQ(s.Pending(), 0) << c.name;
    }
}

TEST_F(CommandsTest, ExchangeShortBinary)
{
    // Expected length 0: the frame goes out, nothing is read, no time-out is set.
    stream.Expect(H("C2F412D0"));
    EXPECT_TRUE(cmd.SendControlRequest());
    EXPECT_TRUE(stream.TimeoutHistory().empty());

    // The device code; the time-outs drop to 50 ms after the first byte and come back.
    stream.Expect(H("C0F1"), H("0401000300"));
    EXPECT_EQ(cmd.ReadDeviceCode(), 0x00030001);
    const std::vector<std::pair<uint32_t, uint32_t>> expected = {{4000, 4000}, {50, 50}, {4000, 4000}};
    EXPECT_EQ(stream.TimeoutHistory(), expected);

    // A reply of another length or cut short fails; the line is resynchronised before
    // the next frame.
    uint8_t buffer[4] = {};
    stream.Expect(H("C0F1"), H("020000"));
    EXPECT_EQ(cmd.ExchangeShortBinary(0xF1, 0, buffer, 4, 100), -1); // another length
    stream.Expect(kResync, H("F0"));
    stream.Expect(H("C0F1"), H("040102"));
    EXPECT_EQ(cmd.ExchangeShortBinary(0xF1, 0, buffer, 4, 100), -1); // cut short
    stream.Expect(kResync, H("F0"));
    stream.Expect(H("C0F1"), H("F3"));
    EXPECT_EQ(cmd.ReadDeviceCode(), -1);
    EXPECT_TRUE(stream.Mismatch().isEmpty());
}

TEST_F(CommandsTest, KeepAliveSeconds)
{
    struct Case
    {
        bool on;
        uint32_t ms;
        const char* frame;
    };
    const Case cases[] = {
        {true, 2000, "C2F41002"},   {true, 255000, "C2F41000"}, {true, 1, "C2F41001"},
        {true, 256000, "C2F41001"}, {false, 5000, "C2F41100"},
    };
    for (const Case& c : cases)
    {
        ScriptedStream s;
        CVmCommands commands(&s);
        s.Expect(H(c.frame), H("0100"));
        EXPECT_TRUE(commands.KeepAlive(c.on, c.ms)) << c.ms;
        EXPECT_TRUE(s.Mismatch().isEmpty()) << s.Mismatch().toStdString();
    }
    stream.Expect(H("C2F41002"));
    EXPECT_FALSE(cmd.KeepAlive(true, 2000)); // no answer
}

TEST_F(CommandsTest, ResyncAndTransferTimeouts)
{
    stream.Expect(kResync, H("0000F0"));
    EXPECT_TRUE(cmd.Resync());
    EXPECT_EQ(stream.Written(), kResync);

    ScriptedStream silent;
    CVmCommands quiet(&silent);
    silent.Expect(kResync);
    silent.Expect(kResync);
    silent.Expect(kResync);
    EXPECT_FALSE(quiet.Resync());
    EXPECT_TRUE(silent.Done());

    EXPECT_TRUE(cmd.SetTransferTimeouts(100, 2));
    EXPECT_EQ(stream.ReadTimeout(), 4000u);
    EXPECT_TRUE(cmd.SetTransferTimeouts(1000000, 2));
    EXPECT_EQ(stream.ReadTimeout(), 125200u);
    stream.SetBytesPerSecond(960);
    EXPECT_TRUE(cmd.SetTransferTimeouts(10000, 2));
    EXPECT_EQ(stream.ReadTimeout(), 21033u);
}

TEST_F(CommandsTest, ResyncTakesOnlyTheSyncByte)
{
    struct Case
    {
        const char* name;
        QByteArray answer; // to the first resync frame; the line stays silent after it
        bool synced;
    };
    const Case cases[] = {
        {"the sync byte after stale ones", H("0000F0"), true},
        {"a stale 0x00", H("00"), false},
        {"another status byte", H("F2"), false},
        {"three other bytes", H("F100FF"), false},
    };
    for (const Case& c : cases)
    {
        ScriptedStream s;
        CVmCommands commands(&s);
        s.Expect(kResync, c.answer);
        if (!c.synced)
        {
            s.Expect(kResync);
            s.Expect(kResync);
        }
        EXPECT_EQ(commands.Resync(), c.synced) << c.name;
        EXPECT_TRUE(s.Done()) << c.name;
    }
}

// --- Bootloader frames ---

TEST_F(CommandsTest, HeaderBlockWithEitherCheck)
{
    QByteArray block(128, '\0');
    for (int i = 0; i < 128; ++i)
        block[i] = char(i);
    // CRC-16/ARC of the block bytes 0..127 and the standard CRC-32 of them.
    stream.Expect(H("C1F800") + block + H("24F9"), H("00"));
    EXPECT_TRUE(cmd.SendHeaderBlock(reinterpret_cast<const uint8_t*>(block.constData()), 1));
    EXPECT_TRUE(stream.Mismatch().isEmpty()) << stream.Mismatch().toStdString();

    ScriptedStream s;
    CVmCommands commands(&s);
    s.Expect(H("C1F800") + block + H("570D6524"), H("00"));
    EXPECT_TRUE(commands.SendHeaderBlock(reinterpret_cast<const uint8_t*>(block.constData()), 2));
    EXPECT_TRUE(s.Mismatch().isEmpty()) << s.Mismatch().toStdString();
}

TEST_F(CommandsTest, RefusedHeaderBlockIsSentAgainAfterAResync)
{
    const QByteArray block(128, '\x5A');
    const QByteArray frame = H("C1F800") + block + Sim::SimCheckValue(block, 4);
    struct Case
    {
        const char* name;
        QByteArray answers[3];
        bool sent;
    };
    const Case cases[] = {
        {"refused each time", {H("F2"), H("01"), H("FF")}, false},
        {"taken on the last try", {H("F2"), H("01"), H("00")}, true},
    };
    for (const Case& c : cases)
    {
        ScriptedStream s;
        CVmCommands commands(&s);
        for (int attempt = 0; attempt < 3; ++attempt)
        {
            s.Expect(frame, c.answers[attempt]);
            if (attempt < 2)
                s.Expect(kResync, H("F0"));
        }
        EXPECT_EQ(commands.SendHeaderBlock(reinterpret_cast<const uint8_t*>(block.constData()), 2), c.sent)
            << c.name;
        EXPECT_TRUE(s.Mismatch().isEmpty()) << c.name << ": " << s.Mismatch().toStdString();
        EXPECT_TRUE(s.Done()) << c.name;
    }
}

TEST_F(CommandsTest, DataBlocksInThreeFramesWithCrc32)
{
    QByteArray data(0x10001, '\0');
    for (int i = 0; i < data.size(); ++i)
        data[i] = char((i * 13) & 0xFF);
    auto source = FileWith(data);
    stream.Expect(H("C9F80101 01000100 008000"));
    for (const QByteArray& part : {data.mid(0, 0x8000), data.mid(0x8000, 0x8000), data.mid(0x10000, 1)})
    {
        stream.Expect(part + Sim::SimCheckValue(part, 4), H("00"));
    }
    RecordingCallback progress;
    progress.m_fineProgress = 1;
    EXPECT_EQ(cmd.SendDataBlocks(source.get(), uint32_t(data.size()), 2, 0x8000, &progress),
              uint32_t(data.size()));
    EXPECT_TRUE(stream.Done());
    EXPECT_TRUE(stream.Mismatch().isEmpty()) << stream.Mismatch().toStdString();
    const std::vector<std::vector<int32_t>> expected = {{0, 1, 0}, {49, 1, 0}, {99, 1, 0}, {100, 1, 0}};
    EXPECT_EQ(progress.progress, expected);
}

TEST_F(CommandsTest, DataBlockRetryStartsAtTheBlocksOwnOffset)
{
    // The block's data begins 100 bytes into the package; a refused block is sent again
    // from there, not from the start of the package.
    QByteArray package(100, 'H');
    QByteArray block(40, '\0');
    for (int i = 0; i < block.size(); ++i)
        block[i] = char(0xA0 + i);
    package += block;
    auto source = FileWith(package);
    source->SetPosition(100);
    const QByteArray frame = H("C9F80101 28000000 100000");
    stream.Expect(frame);
    stream.Expect(block.left(16) + Sim::SimCheckValue(block.left(16), 2), H("01")); // refused
    stream.Expect(kResync, H("F0"));                                                // after the refusal
    stream.Expect(kResync, H("F0"));                                                // before the retry
    stream.Expect(frame);
    stream.Expect(block.left(16) + Sim::SimCheckValue(block.left(16), 2), H("00"));
    stream.Expect(block.mid(16, 16) + Sim::SimCheckValue(block.mid(16, 16), 2), H("00"));
    stream.Expect(block.mid(32) + Sim::SimCheckValue(block.mid(32), 2), H("00"));
    EXPECT_EQ(cmd.SendDataBlocks(source.get(), 40, 1, 16, nullptr), 40u);
    EXPECT_TRUE(stream.Done());
    EXPECT_TRUE(stream.Mismatch().isEmpty()) << stream.Mismatch().toStdString();
    EXPECT_EQ(source->GetPosition(), 140u);
}

TEST_F(CommandsTest, DataInOneFrameWithCrc16)
{
    const QByteArray data = "0123456789abcdef";
    auto source = FileWith(data);
    stream.Expect(H("C6F80101 10000000") + data + Sim::SimCheckValue(data, 2), H("00"));
    EXPECT_EQ(cmd.SendDataBlocks(source.get(), 16, 1, 0, nullptr), 16u);
    EXPECT_TRUE(stream.Mismatch().isEmpty()) << stream.Mismatch().toStdString();

    // Never acknowledged: three tries, each after a resynchronisation, then 0.
    ScriptedStream s;
    CVmCommands commands(&s);
    auto again = FileWith(data);
    s.Expect(H("C6F80100 10000000") + data, H("07"));
    for (int i = 0; i < 2; ++i)
    {
        s.Expect(kResync, H("F0"));
        s.Expect(H("C6F80100 10000000") + data, H("07"));
    }
    EXPECT_EQ(commands.SendDataBlocks(again.get(), 16, 0, 0, nullptr), 0u);
    EXPECT_TRUE(s.Done());
}

TEST_F(CommandsTest, ProgramFlashWaitsForTheAnnouncedTime)
{
    stream.Expect(H("C1F804"), H("03204E00")); // 20000 ms to program
    stream.Expect(H("C1F803"), H("03307500")); // 30000 ms time-out
    stream.Expect(H("C1F802"), H("00"));
    RecordingCallback progress;
    progress.m_fineProgress = 1;
    EXPECT_TRUE(cmd.ProgramFlash(&progress, 3, true));
    EXPECT_EQ(stream.ReadTimeout(), 30000u);
    const std::vector<std::vector<int32_t>> expected = {{0, 3, 20000}};
    EXPECT_EQ(progress.progress, expected);

    // A device that announces hours is waited for at most the cap.
    ScriptedStream s;
    CVmCommands commands(&s);
    s.Expect(H("C1F804"), H("03FFFFFF"));
    s.Expect(H("C1F802"), H("01"));
    EXPECT_FALSE(commands.ProgramFlash(nullptr, 2, false));
    EXPECT_EQ(s.ReadTimeout(), CVmCommands::kMaxDeviceWaitMs);
}

TEST_F(CommandsTest, SRecordsAcceptedOneByOne)
{
    const QByteArray text = "S00600004844521B\nS1130000285F245F2212226A000424290008237C2A\nS9030000FC\n";
    auto source = FileWith(text);
    stream.Expect("S00600004844521B\n", "P");
    stream.Expect("S1130000285F245F2212226A000424290008237C2A\n", "P");
    stream.Expect("S9030000FC\n", "E");
    EXPECT_EQ(cmd.SendSRecords(source.get(), uint32_t(text.size()), nullptr), uint32_t(text.size() - 11));
}

// --- Commands ---

TEST_F(CommandsTest, DownloadQuotesThePathAndWritesAtThePosition)
{
    auto destination = FileWith("keep");
    destination->SetPosition(4);
    stream.Expect(kStart, kAck);
    stream.Expect("LOAD \"\\\\Persistent Storage\\\\vsm\\\\A.vsm\"\r", Le32(5) + "hello");
    EXPECT_TRUE(cmd.DownloadFile(destination.get(), QStringLiteral("\\Persistent Storage\\vsm\\A.vsm")));
    EXPECT_EQ(ReadAll(*destination), "keephello");
    EXPECT_TRUE(stream.Mismatch().isEmpty()) << stream.Mismatch().toStdString();
}

TEST_F(CommandsTest, RefusedDownloadLengthDrainsTheLineAndResyncs)
{
    auto destination = FileWith({});
    stream.Expect(kStart, kAck);
    stream.Expect("LOAD \"\\\\big.vsm\"\r", Le32(0x5000001) + QByteArray(3000, 'd'));
    stream.Expect(kResync, H("F0"));
    EXPECT_FALSE(cmd.DownloadFile(destination.get(), QStringLiteral("\\big.vsm")));
    EXPECT_TRUE(stream.Done());
    EXPECT_EQ(stream.Pending(), 0);
    EXPECT_EQ(destination->GetLength(), 0u);

    // The next command gets its own answer, not file data.
    stream.Expect(kStart, kAck);
    stream.Expect("ID\r", "Veskora 3;1.4.2;V3-1\r");
    Device::SIdentity id;
    EXPECT_TRUE(cmd.QueryId(id));
    EXPECT_EQ(id.serialNumber, QStringLiteral("V3-1"));

    stream.Expect(kStart, kAck);
    stream.Expect("LOAD \"\\\\none\"\r", Le32(0));
    EXPECT_FALSE(cmd.DownloadFile(destination.get(), QStringLiteral("\\none")));
    EXPECT_TRUE(stream.Mismatch().isEmpty()) << stream.Mismatch().toStdString();
}

TEST_F(CommandsTest, PathsThatWouldBreakTheLineAreRefused)
{
    auto file = FileWith("x");
    for (const QString& bad :
         {QStringLiteral("\\a\"b.vsm"), QStringLiteral("\\a\rb.vsm"), QStringLiteral("\\a\nb")})
    {
        EXPECT_FALSE(cmd.DownloadFile(file.get(), bad));
        EXPECT_FALSE(cmd.UploadFile(bad, file.get()));
        EXPECT_FALSE(cmd.CreateFolder(bad));
        EXPECT_FALSE(cmd.DeleteItem(bad));
        EXPECT_FALSE(cmd.MoveItem(bad, QStringLiteral("\\ok")));
        EXPECT_FALSE(cmd.MoveItem(QStringLiteral("\\ok"), bad));
    }
    EXPECT_TRUE(stream.Written().isEmpty());
    EXPECT_EQ(CVmCommands::QuotePath(QStringLiteral("\\a\\b\\")), QByteArray("\\\\a\\\\b\\\\"));
}

TEST_F(CommandsTest, UploadSendsLengthAndDataAfterTheAcceptedLine)
{
    auto source = FileWith("abc");
    stream.Expect(kStart, kAck);
    stream.Expect("SAVE \"\\\\Persistent Storage\\\\cnv\\\\B1.cnv\"\r", "OK\r");
    stream.Expect(Le32(3) + "abc", "y\r");
    EXPECT_TRUE(cmd.UploadFile(QStringLiteral("\\Persistent Storage\\cnv\\B1.cnv"), source.get()));
    EXPECT_EQ(stream.ReadTimeout(), 4000u);

    source->SetPosition(0);
    stream.Expect(kStart, kAck);
    stream.Expect("SAVE \"\\\\x\"\r", "OK\r");
    stream.Expect(Le32(3) + "abc", "n\r");
    EXPECT_FALSE(cmd.UploadFile(QStringLiteral("\\x"), source.get()));

    source->SetPosition(0);
    stream.Expect(kStart, kAck);
    stream.Expect("SAVE \"\\\\x\"\r", "?\r");
    EXPECT_FALSE(cmd.UploadFile(QStringLiteral("\\x"), source.get()));
    EXPECT_TRUE(stream.Mismatch().isEmpty()) << stream.Mismatch().toStdString();
}

TEST_F(CommandsTest, UploadLengthLimitsAreCheckedBeforeTheSaveLine)
{
    auto empty = FileWith({});
    EXPECT_FALSE(cmd.UploadFile(QStringLiteral("\\x"), empty.get()));
    auto tooLong = FileWith(QByteArray(0x500001, 'z'));
    EXPECT_FALSE(cmd.UploadFile(QStringLiteral("\\x"), tooLong.get()));
    EXPECT_TRUE(stream.Written().isEmpty());

    auto limit = FileWith(QByteArray(0x500000, 'z'));
    stream.Expect(kStart, kAck);
    stream.Expect("SAVE \"\\\\x\"\r", "OK\r");
    stream.Expect(Le32(0x500000) + QByteArray(0x500000, 'z'), "Y\r");
    EXPECT_TRUE(cmd.UploadFile(QStringLiteral("\\x"), limit.get()));
}

TEST_F(CommandsTest, FolderMoveAndDeleteLines)
{
    stream.Expect(kStart, kAck);
    stream.Expect("SAVE \"\\\\Persistent Storage\\\\vsm\\\\New.DIR\\\\\"\r", "OK\r");
    stream.Expect(Le32(0), "y\r");
    EXPECT_TRUE(cmd.CreateFolder(QStringLiteral("\\Persistent Storage\\vsm\\New.DIR\\")));

    stream.Expect(kStart, kAck);
    stream.Expect("MOVF \"\\\\a\\\\x.vsm\";\"\\\\b\\\\y.vsm\"\r", "OK\r");
    EXPECT_TRUE(cmd.MoveItem(QStringLiteral("\\a\\x.vsm"), QStringLiteral("\\b\\y.vsm")));
    EXPECT_EQ(stream.TimeoutHistory().back(), std::make_pair(10000u, 10000u));

    stream.Expect(kStart, kAck);
    stream.Expect("DELF \"\\\\a\\\\\"\r", "?\r");
    EXPECT_FALSE(cmd.DeleteItem(QStringLiteral("\\a\\")));
    EXPECT_EQ(stream.TimeoutHistory().back(), std::make_pair(6000u, 6000u));
    EXPECT_TRUE(stream.Mismatch().isEmpty()) << stream.Mismatch().toStdString();

    const QString longPath = QStringLiteral("\\") + QString(256, QLatin1Char('a'));
    EXPECT_FALSE(cmd.MoveItem(longPath, QStringLiteral("\\b")));
    EXPECT_TRUE(stream.Done());
}

TEST_F(CommandsTest, LoginLinesAndAnswers)
{
    struct Case
    {
        const char* name;
        QString user;
        QString password;
        QByteArray firstLine;
        QByteArray firstReply;
        QByteArray secondLine; // empty: no second try
        QByteArray secondReply;
        bool ok;
        QString userOut;
        uint16_t rights;
    };
    const Case cases[] = {
        {"plain", "Admin", "pw", "RLGI \"Admin\"; \"pw\"; 0000ABCD\r", "Admin;6\r", {}, {}, true, "Admin", 6},
        {"quote and backslash in password",
         "Admin",
         "a\"b\\c",
         "RLGI \"Admin\"; \"a\\\"b\\\\c\"; 0000ABCD\r",
         "Admin;7\r",
         {},
         {},
         true,
         "Admin",
         7},
        {"quote in user name unchanged",
         "Ad\"min",
         "",
         "RLGI \"Ad\"min\"; \"\"; 0000ABCD\r",
         "Ad\"min;0\r",
         {},
         {},
         true,
         "Ad\"min",
         0},
        {"retry without value", "Admin", "pw", "RLGI \"Admin\"; \"pw\"; 0000ABCD\r", "?\r",
         "RLGI \"Admin\"; \"pw\"\r", "Admin;1\r", true, "Admin", 1},
        {"answer without user",
         "Admin",
         "pw",
         "RLGI \"Admin\"; \"pw\"; 0000ABCD\r",
         ";6\r",
         {},
         {},
         true,
         "",
         6},
        {"answer without rights",
         "Admin",
         "pw",
         "RLGI \"Admin\"; \"pw\"; 0000ABCD\r",
         "Admin\r",
         {},
         {},
         false,
         "Admin",
         0},
        {"both refused", "Admin", "pw", "RLGI \"Admin\"; \"pw\"; 0000ABCD\r", "?\r",
         "RLGI \"Admin\"; \"pw\"\r", "?\r", false, "Admin", 0},
    };
    for (const Case& c : cases)
    {
        ScriptedStream s;
        CVmCommands commands(&s);
        commands.SetLineEndMode(false, false);
        s.Expect(kStart, kAck);
        s.Expect(c.firstLine, c.firstReply);
        if (!c.secondLine.isEmpty())
        {
            s.Expect(kStart, kAck);
            s.Expect(c.secondLine, c.secondReply);
        }
        Device::SLoginInfo login;
        login.userName = c.user;
        login.password = c.password;
        login.value = 0xABCD;
        EXPECT_EQ(commands.Login(login), c.ok) << c.name;
        EXPECT_EQ(login.userName, c.userOut) << c.name;
        EXPECT_EQ(login.rights, c.rights) << c.name;
        EXPECT_TRUE(s.Done()) << c.name;
        EXPECT_TRUE(s.Mismatch().isEmpty()) << c.name << ": " << s.Mismatch().toStdString();
    }
    Device::SLoginInfo broken;
    broken.userName = QStringLiteral("Ad\rmin");
    EXPECT_FALSE(cmd.Login(broken));
    EXPECT_TRUE(stream.Written().isEmpty());
}

TEST_F(CommandsTest, DirectoryListingLength)
{
    struct Case
    {
        const char* name;
        QByteArray reply;
        bool ok;
        QString listing;
    };
    const Case cases[] = {
        {"exact", "0000000A;ABCDEFGHI;\r", true, "ABCDEFGHI"},
        {"length differs", "0000000B;ABCDEFGHI;\r", false, "ABCDEFGHI;"},
        {"no separator", "0000000AXABCDEFGHI;\r", false, "untouched"},
        {"not hexadecimal", "0000000G;ABCDEFGHI;\r", false, "untouched"},
        {"short", "0A;\r", false, "untouched"},
        {"windows-1252 text", "00000003;\xE4\x80;\r", true, QString::fromUtf8("\xC3\xA4\xE2\x82\xAC")},
    };
    for (const Case& c : cases)
    {
        ScriptedStream s;
        CVmCommands commands(&s);
        commands.SetLineEndMode(false, false);
        s.SetTimeouts(700, 70);
        s.Expect(kStart, kAck);
        s.Expect("DIRS 0021\r", c.reply);
        QString listing = QStringLiteral("untouched");
        EXPECT_EQ(commands.ListDirectory(0x21, listing), c.ok) << c.name;
        EXPECT_EQ(listing, c.listing) << c.name;
        EXPECT_EQ(s.TimeoutHistory().at(1), std::make_pair(120000u, 120000u)) << c.name;
        EXPECT_EQ(s.TimeoutHistory().back(), std::make_pair(700u, 70u)) << c.name;
    }
}

TEST_F(CommandsTest, QueryIdNeedsThreeFields)
{
    stream.Expect(kStart, kAck);
    stream.Expect("ID\r", "Veskora 3;;1.4.2\r");
    Device::SIdentity id;
    EXPECT_FALSE(cmd.QueryId(id));
    EXPECT_EQ(id.typeName, QStringLiteral("Veskora 3"));
    EXPECT_EQ(id.version, QStringLiteral("1.4.2"));
}

TEST_F(CommandsTest, ChangeModeWithReopenEndsInNormalOperation)
{
    stream.Expect(H("C2F40004"), H("0101"));     // the change may go on
    stream.Expect(H("C2F40104"), H("0100"));     // not in mode 4 yet
    stream.Expect(H("C2F40304"), H("03140000")); // switching takes 20 ms
    stream.Expect(H("C2F40204"));                // switch, no answer
    stream.Expect(H("C2F4010C"), H("0101"));     // back in normal operation
    bool changed = false;
    EXPECT_TRUE(cmd.ChangeMode(0x14, changed, nullptr, 100));
    EXPECT_TRUE(changed);
    EXPECT_EQ(stream.Closes(), 1);
    EXPECT_TRUE(stream.IsOpen());
    EXPECT_TRUE(stream.Done());
    EXPECT_TRUE(stream.Mismatch().isEmpty()) << stream.Mismatch().toStdString();

    // Already in the mode: nothing is switched.
    stream.Expect(H("C2F40005"), H("0101"));
    stream.Expect(H("C2F40105"), H("0101"));
    EXPECT_TRUE(cmd.ChangeMode(0x05, changed, nullptr, 100));
    EXPECT_FALSE(changed);
    // A refused change.
    stream.Expect(H("C2F40006"), H("0100"));
    EXPECT_FALSE(cmd.ChangeMode(0x06, changed, nullptr, 100));
    EXPECT_TRUE(stream.Done());
}

TEST_F(CommandsTest, StreamFailuresBecomeFailureResults)
{
    stream.Expect(kStart, kAck);
    stream.SetReadsThrow(true);
    EXPECT_FALSE(cmd.ExecuteTextCommand("ID", 100));
    uint8_t buffer[8] = {};
    uint32_t count = 0;
    EXPECT_EQ(cmd.SendBinaryCommand(0xF1, 0, buffer, 8, 100), CVmCommands::kCommFailure);
    EXPECT_EQ(cmd.ExchangeBinaryData(0xF1, buffer, 0, count, 8, 100, -1, nullptr), Device::errCommunication);
    EXPECT_EQ(cmd.ExchangeShortBinary(0xF1, 0, buffer, 4, 100), -1);
    EXPECT_FALSE(cmd.Resync());
}

TEST_F(CommandsTest, ShortTextCommandLines)
{
    struct Case
    {
        const char* name;
        QByteArray line;
        uint32_t timeout;
    };
    const Case cases[] = {
        {"identity", "@ID@\r", 2500}, {"power", "GPOW\r", 2000}, {"logout", "RLGO\r", 4000}};
    for (const Case& c : cases)
    {
        ScriptedStream s;
        CVmCommands commands(&s);
        commands.SetLineEndMode(false, false);
        s.Expect(kStart, kAck);
        s.Expect(c.line, "OK\r");
        QByteArray text;
        bool ok = false;
        if (QByteArray(c.name) == "identity")
            ok = commands.QueryIdentity(text, 2500);
        else if (QByteArray(c.name) == "power")
            ok = commands.QueryPower(text);
        else
            ok = commands.Logout();
        EXPECT_TRUE(ok) << c.name;
        EXPECT_TRUE(s.Done()) << c.name;
        EXPECT_EQ(s.TimeoutHistory().front(), std::make_pair(c.timeout, c.timeout)) << c.name;
        if (QByteArray(c.name) != "logout")
        {
            EXPECT_EQ(text, "OK") << c.name;
        }
    }
}

TEST_F(CommandsTest, DataBlockWithAndWithoutEcho)
{
    // "SS" answered directly with its status, then the block.
    stream.Expect(kStart, kAck);
    stream.Expect("SS\r", H("0000") + H("03000000") + "abc");
    uint8_t buffer[16] = {};
    uint32_t size = sizeof buffer;
    uint8_t status[2] = {9, 9};
    EXPECT_TRUE(cmd.ReadDataBlock(buffer, size, status));
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(QByteArray(reinterpret_cast<char*>(buffer), 3), "abc");

    // An echoed "ss" with one byte, then the status and the block; a block too big fails.
    stream.Expect(kStart, kAck);
    stream.Expect("SS\r", "ss!" + H("0000") + H("20000000"));
    size = sizeof buffer;
    EXPECT_FALSE(cmd.ReadDataBlock(buffer, size, status));
    EXPECT_EQ(buffer[0], '!');
    size = 5;
    EXPECT_FALSE(cmd.ReadDataBlock(buffer, size, status)); // below 6 bytes: nothing is sent
    EXPECT_TRUE(stream.Done());
    EXPECT_TRUE(stream.Mismatch().isEmpty()) << stream.Mismatch().toStdString();
}

TEST_F(CommandsTest, RawLinesWithAcknowledgement)
{
    const QByteArray line = "S9030000FC\r\n";
    stream.Expect(line, "\x06");
    EXPECT_TRUE(
        cmd.SendRawLine(reinterpret_cast<const uint8_t*>(line.constData()), uint32_t(line.size()), 0x06));
    stream.Expect(line, "\x15");
    EXPECT_FALSE(
        cmd.SendRawLine(reinterpret_cast<const uint8_t*>(line.constData()), uint32_t(line.size()), 0x06));
    stream.Expect(line);
    EXPECT_TRUE(
        cmd.SendRawLine(reinterpret_cast<const uint8_t*>(line.constData()), uint32_t(line.size()), 0));
    EXPECT_TRUE(stream.Done());
}

} // namespace
