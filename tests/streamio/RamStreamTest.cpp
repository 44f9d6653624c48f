#include "streamio/RamStream.h"
#include "platform/core/ErrorCodes.h"
#include "platform/core/FileException.h"
#include "streamio/RamDisk.h"
#include "streamio/StreamFactory.h"
#include "streamio/StreamIO.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>
#include <thread>
#include <vector>

using namespace StreamIO;

namespace
{

constexpr uint32_t kRW = STREAM_READ | STREAM_WRITE;
constexpr uint32_t kShareAll = STREAM_SHARE_READ | STREAM_SHARE_WRITE;
constexpr uint32_t kRingWriter = STREAM_FIFO | STREAM_OPEN_ALWAYS | STREAM_WRITE;
constexpr uint32_t kRingReader = STREAM_FIFO | STREAM_OPEN_ALWAYS | STREAM_READ;

std::unique_ptr<CRamStream> OpenRam(const char* name, uint32_t flags)
{
    auto s = std::make_unique<CRamStream>();
    s->Open(QString::fromLatin1(name), flags);
    return s;
}

// The code a call raised, ~0 when it raised nothing.
uint32_t RaisedCode(const std::function<void()>& call)
{
    try
    {
        call();
    }
    catch (const CFileException& e)
    {
        return e.Error();
    }
    return ~0u;
}

QByteArray ReadAll(CIoStream& s)
{
    QByteArray bytes(static_cast<qsizetype>(s.GetLength()), '\0');
    s.SetPosition(0);
    bytes.resize(s.Read(bytes.data(), static_cast<uint32_t>(bytes.size())));
    return bytes;
}

TEST(RamDisk, OpenRulesFollowTheCreationFieldAndTheCreatorsShareBits)
{
    EXPECT_EQ(RaisedCode([] { OpenRam("a", kRW); }), Err::FileNotFound);
    auto first = OpenRam("a", kRW | STREAM_OPEN_ALWAYS);
    EXPECT_EQ(first->GetLength(), 0u);
    EXPECT_EQ(first->GetName(), QStringLiteral("RAM:a"));
    EXPECT_EQ(RaisedCode([] { OpenRam("a", kRW); }), Err::SharingViolation);
    EXPECT_EQ(RaisedCode([] { OpenRam("RAM:a", STREAM_READ | STREAM_CREATE_NEW); }), Err::FileExists);
    EXPECT_EQ(RaisedCode([] { OpenRam("a", kRW | STREAM_CREATE_ALWAYS); }), Err::SharingViolation);
    first->Write("data", 4);
    first.reset();
    EXPECT_EQ(RaisedCode([] { OpenRam("a", STREAM_READ); }), Err::FileNotFound) << "the last close deletes";

    auto shared = OpenRam("b", kRW | STREAM_CREATE_ALWAYS | kShareAll);
    shared->Write("12345", 5);
    auto second = OpenRam("ram:b", kRW); // the creator's share bits count, not the newcomer's
    EXPECT_EQ(second->GetName(), QStringLiteral("ram:b"));
    EXPECT_EQ(ReadAll(*second), QByteArray("12345"));
    auto emptied = OpenRam("b", kRW | STREAM_CREATE_ALWAYS);
    EXPECT_EQ(second->GetLength(), 0u) << "create-always empties the shared file";

    auto upper = OpenRam("Temp", kRW | STREAM_CREATE_ALWAYS);
    upper->Write("T", 1);
    auto lower = OpenRam("RAM:temp", kRW | STREAM_CREATE_ALWAYS);
    EXPECT_EQ(lower->GetLength(), 0u) << "file names are case-sensitive";
    EXPECT_EQ(RaisedCode([] { OpenRam("RAM:x:y", kRW | STREAM_OPEN_ALWAYS); }), Err::InvalidName);

    EXPECT_EQ(RaisedCode([] { CRamDisk disk(QStringLiteral("R:AM")); }), Err::InvalidName);
    EXPECT_EQ(CRamDisk(QStringLiteral("TMP")).GetRoot(), QStringLiteral("TMP:"));
}

TEST(RamStream, FailingOperationsRecordAndRaiseTheirCodes)
{
    auto reader = OpenRam("f", STREAM_READ | STREAM_OPEN_ALWAYS | kShareAll);
    auto writer = OpenRam("f", STREAM_WRITE);
    CRamStream closed;
    char b[4];
    struct Case
    {
        const char* what;
        uint32_t code;
        std::function<void()> call;
        CIoStream* stream;
    } cases[] = {
        {"read a write-only stream", Err::ReadFault, [&] { writer->Read(b, 1); }, writer.get()},
        {"write a read-only stream", Err::WriteFault, [&] { reader->Write("x", 1); }, reader.get()},
        {"truncate a read-only stream", Err::WriteFault, [&] { reader->Truncate(); }, reader.get()},
        {"read a closed stream", Err::InvalidHandle, [&] { closed.Read(b, 1); }, &closed},
        {"length of a closed stream", Err::InvalidHandle, [&] { closed.GetLength(); }, &closed},
        {"seek before the start", Err::NegativeSeek, [&] { reader->Seek(-1, STREAM_SEEK_BEGIN); },
         reader.get()},
        {"seek past the end", Err::SeekOnDevice, [&] { reader->Seek(1, STREAM_SEEK_END); }, reader.get()},
        {"seek from origin 0", Err::SeekOnDevice, [&] { reader->Seek(0, 0); }, reader.get()},
        {"write beyond 4 GiB", Err::DiskFull,
         [&]
         {
             writer->SetPosition(0xFFFFFF00u);
             writer->Write(b, 0x100 + 1);
         },
         writer.get()},
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(RaisedCode(c.call), c.code) << c.what;
        EXPECT_EQ(c.stream->GetError(), c.code) << c.what << " is recorded";
    }
    EXPECT_EQ(reader->GetLength(), 0u) << "the refused write left nothing behind";

    EXPECT_EQ(reader->Read(b, 4), 0u);
    EXPECT_EQ(reader->GetError(), Err::HandleEof) << "end of data is recorded, not raised";
    EXPECT_FALSE(reader->Open(QStringLiteral("f"), STREAM_READ));
    EXPECT_EQ(reader->GetError(), Err::NotSupported);
}

// Random transfers on two streams of one file against a plain byte-array model.
TEST(RamStream, BehavesLikeASimpleModelUnderRandomOperations)
{
    std::mt19937 random(7);
    auto a = OpenRam("model", kRW | STREAM_CREATE_ALWAYS | kShareAll);
    auto b = OpenRam("model", kRW);
    CRamStream* streams[2] = {a.get(), b.get()};
    QByteArray model;
    uint32_t positions[2] = {0, 0};

    for (int step = 0; step < 4000; ++step)
    {
        const int which = static_cast<int>(random() % 2);
        CRamStream& s = *streams[which];
        uint32_t& pos = positions[which];
        switch (random() % 6)
        {
        case 0: // write, also past the end (the gap must read as zeros)
        case 1:
        {
            const uint32_t n = random() % 1500;
            QByteArray data(static_cast<qsizetype>(n), '\0');
            for (auto& c : data)
                c = static_cast<char>(random());
            ASSERT_EQ(s.Write(data.constData(), n), n);
            if (n > 0)
            {
                if (pos + n > static_cast<uint32_t>(model.size()))
                    model.resize(pos + n, '\0');
                model.replace(pos, n, data);
                pos += n;
            }
            break;
        }
        case 2:
        {
            const uint32_t n = random() % 2000;
            QByteArray got(static_cast<qsizetype>(n), '\0');
            const uint32_t count = s.Read(got.data(), n);
            const uint32_t expected =
                pos >= static_cast<uint32_t>(model.size()) ? 0 : std::min<uint32_t>(n, model.size() - pos);
            ASSERT_EQ(count, expected) << "step " << step;
            ASSERT_EQ(got.left(count), model.mid(pos, count)) << "step " << step;
            pos += count;
            break;
        }
        case 3:
            pos = random() % (model.size() + 3000);
            s.SetPosition(pos);
            break;
        case 4:
            if (random() % 8 == 0)
            {
                s.Truncate();
                model.resize(pos, '\0');
            }
            break;
        case 5:
        {
            const int32_t offset = static_cast<int32_t>(random() % 200) - 100;
            const int64_t target = int64_t{model.size()} + offset;
            if (target >= 0 && target <= model.size())
                pos = s.Seek(offset, STREAM_SEEK_END);
            break;
        }
        }
        ASSERT_EQ(s.GetPosition(), pos);
        ASSERT_EQ(s.GetLength(), static_cast<uint32_t>(model.size()));
    }
    EXPECT_EQ(ReadAll(*a), model);
}

TEST(RamStream, RingHandsBytesFromOneWriterToOneReader)
{
    auto writer = OpenRam("ring", kRingWriter);
    auto reader = OpenRam("ring", kRingReader);
    EXPECT_FALSE(reader->IsSeekable());
    EXPECT_EQ(RaisedCode([] { OpenRam("ring", kRingWriter); }), Err::SharingViolation);
    EXPECT_EQ(RaisedCode([] { OpenRam("ring", kRingReader); }), Err::SharingViolation);

    writer->Write("hello ", 6);
    writer->SetPosition(3); // accepted, ignored by the next transfer
    writer->Write("world", 5);
    EXPECT_EQ(reader->GetLength(), 11u) << "only queued bytes count";
    char out[16] = {};
    EXPECT_EQ(reader->Read(out, 5), 5u);
    EXPECT_EQ(QByteArray(out, 5), QByteArray("hello"));
    EXPECT_EQ(reader->GetLength(), 6u) << "read bytes are gone";
    EXPECT_EQ(RaisedCode([&] { reader->Seek(0, STREAM_SEEK_BEGIN); }), Err::SeekOnDevice);
    reader->DiscardInput();
    EXPECT_EQ(reader->GetLength(), 0u);
    EXPECT_EQ(reader->Read(out, 1), 0u);
    EXPECT_EQ(reader->GetError(), Err::HandleEof);

    writer.reset();
    EXPECT_NO_THROW(writer = OpenRam("ring", kRingWriter)) << "the writer's place is free again";
    EXPECT_EQ(RaisedCode([] { OpenRam("ring", kRW | STREAM_CREATE_ALWAYS); }), Err::SharingViolation);
}

TEST(RamStream, RingGrowsBeforeItWouldFillAndKeepsOrderAcrossTheWrap)
{
    auto writer = OpenRam("wrap", kRingWriter);
    auto reader = OpenRam("wrap", kRingReader);
    std::vector<uint8_t> expected;
    uint8_t next = 0;
    const auto put = [&](uint32_t n)
    {
        std::vector<uint8_t> data(n);
        for (auto& c : data)
            c = next++;
        writer->Write(data.data(), n);
        expected.insert(expected.end(), data.begin(), data.end());
    };
    put(300);
    std::vector<uint8_t> sink(300);
    reader->Read(sink.data(), 250);
    expected.erase(expected.begin(), expected.begin() + 250);
    put(461); // 511 queued, wrapped inside the 512-byte buffer
    auto disk = CRamDisk::Instance();
    CRamFile* file = disk->OpenFile(QStringLiteral("wrap"), STREAM_FIFO | kShareAll); // no share: neither end
    ASSERT_EQ(file->GetLength(), 511u);
    EXPECT_EQ(file->GetCapacity(), 512u);
    put(1);
    EXPECT_EQ(file->GetCapacity(), 1024u) << "one byte always stays free";
    disk->ReleaseFile(file, STREAM_FIFO | kShareAll);
    std::vector<uint8_t> got(512);
    EXPECT_EQ(reader->Read(got.data(), 600), 512u);
    EXPECT_EQ(got, expected);
}

TEST(RamStream, RingSharedByTwoThreadsDeliversEveryByteInOrder)
{
    constexpr uint32_t kTotal = 2'000'000;
    auto writer = OpenRam("pipe", kRingWriter);
    auto reader = OpenRam("pipe", kRingReader);
    std::thread producer(
        [&]
        {
            std::mt19937 random(3);
            std::vector<uint8_t> chunk(4096);
            uint32_t sent = 0;
            while (sent < kTotal)
            {
                const uint32_t n = std::min<uint32_t>(1 + random() % 4096, kTotal - sent);
                for (uint32_t i = 0; i < n; ++i)
                    chunk[i] = static_cast<uint8_t>((sent + i) * 7);
                writer->Write(chunk.data(), n);
                sent += n;
            }
        });
    uint32_t received = 0;
    bool inOrder = true;
    std::vector<uint8_t> buffer(3000);
    while (received < kTotal)
    {
        const uint32_t n = reader->Read(buffer.data(), static_cast<uint32_t>(buffer.size()));
        for (uint32_t i = 0; i < n; ++i)
            inOrder = inOrder && buffer[i] == static_cast<uint8_t>((received + i) * 7);
        received += n;
        if (n == 0)
            std::this_thread::yield();
    }
    producer.join();
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(reader->GetLength(), 0u);
}

TEST(RamStream, OpenedByNameAndClosedAtShutdown)
{
    auto stream = OpenStreamByName(QStringLiteral("ram:temp.vsm"), kRW | STREAM_CREATE_ALWAYS);
    auto* ram = dynamic_cast<CRamStream*>(stream.get());
    ASSERT_NE(ram, nullptr);
    ram->Write("abc", 3);
    EXPECT_TRUE(ram->Reserve(100000));
    EXPECT_EQ(ram->GetLength(), 3u);

    ShutdownStreamIO();
    EXPECT_FALSE(ram->IsOpen());
    EXPECT_EQ(RaisedCode([] { OpenRam("x", kRW | STREAM_OPEN_ALWAYS); }), Err::OutOfMemory)
        << "no disk after shutdown";
    StartStreamIO();
    EXPECT_EQ(RaisedCode([] { OpenRam("temp.vsm", STREAM_READ); }), Err::FileNotFound)
        << "the new disk starts empty";
    stream.reset();
}

} // namespace
