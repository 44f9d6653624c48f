#include "streamio/StreamTable.h"
#include "platform/core/ErrorCodes.h"
#include "platform/core/FileException.h"
#include "streamio/FileStream.h"
#include "streamio/StreamFactory.h"
#include "streamio/StreamIO.h"
#include "tests/support/TempDir.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <vector>

using namespace StreamIO;

namespace
{

// A stream whose Close does what the test asks.
class ScriptedStream : public CIoStream
{
public:
    enum class OnClose
    {
        close,
        fileError,
        otherError
    };
    explicit ScriptedStream(OnClose onClose = OnClose::close) : m_onClose(onClose) {}

    bool Open(const QString& name, uint32_t flags) override
    {
        SetName(name);
        SetOpenFlags(flags);
        m_open = true;
        return true;
    }
    void Close() override
    {
        ++closes;
        if (m_onClose == OnClose::fileError)
            Raise(Err::DiskFull);
        if (m_onClose == OnClose::otherError)
            throw std::bad_alloc();
        m_open = false;
    }
    bool IsOpen() const override { return m_open; }
    uint32_t Read(void*, uint32_t) override { return 0; }
    uint32_t Write(const void*, uint32_t n) override { return n; }

    int closes = 0;

private:
    OnClose m_onClose;
    bool m_open = true;
};

TEST(StreamNames, AreClassifiedByTheFourRules)
{
    struct Case
    {
        const char* name;
        NStreamNameKind kind;
        uint32_t port;
    } cases[] = {
        {"com3:", streamNameSerial, 3},
        {"COM1:", streamNameSerial, 1},
        {"CoM256:anything", streamNameSerial, 256},
        {"COM012:", streamNameSerial, 12},
        {"COM0:", streamNameFile, 0},
        {"COM257:", streamNameFile, 0},
        {"COM300:", streamNameFile, 0},
        {"COM0003:", streamNameFile, 0},
        {"COM:", streamNameFile, 0},
        {"COM3", streamNameFile, 0},
        {"COMX3:", streamNameFile, 0},
        {"ram:temp.vsm", streamNameRam, 0},
        {"RAM:", streamNameRam, 0},
        {"ip:127.0.0.1:3728", streamNameIp, 0},
        {"IPX", streamNameFile, 0},
        {"/tmp/RAM:x", streamNameFile, 0},
        {"", streamNameFile, 0},
    };
    for (const Case& c : cases)
    {
        const SStreamName parsed = ClassifyStreamName(QString::fromLatin1(c.name));
        EXPECT_EQ(parsed.kind, c.kind) << c.name;
        EXPECT_EQ(parsed.port, c.port) << c.name;
    }
}

TEST(StreamNames, AnOutOfRangePortNameOpensADiskFile)
{
    TempDir dir;
    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.Path()));
    std::unique_ptr<CIoStream> stream;
    EXPECT_NO_THROW(stream = OpenStreamByName(QStringLiteral("COM300:"),
                                              STREAM_READ | STREAM_WRITE | STREAM_CREATE_ALWAYS));
    QDir::setCurrent(cwd);
    ASSERT_NE(dynamic_cast<CFileStream*>(stream.get()), nullptr);
    EXPECT_TRUE(QFile::exists(dir.File(QStringLiteral("COM300:"))));
}

TEST(StreamTable, AStaleHandleFindsNothingAfterItsSlotIsReused)
{
    auto first = std::make_unique<ScriptedStream>();
    const StreamHandle old = first->GetHandle();
    ASSERT_NE(old, 0u);
    EXPECT_EQ(FindStreamByHandle(old), first.get());
    first.reset();
    EXPECT_EQ(FindStreamByHandle(old), nullptr);

    ScriptedStream second;
    EXPECT_EQ(second.GetHandle() & StreamTable::kSlotMask, old & StreamTable::kSlotMask) << "first free slot";
    EXPECT_NE(second.GetHandle(), old);
    EXPECT_EQ(FindStreamByHandle(old), nullptr);
    EXPECT_EQ(CloseStreamByHandle(old), Err::InvalidHandle);
    EXPECT_EQ(second.closes, 0);
    EXPECT_EQ(FindStreamByHandle(second.GetHandle()), &second);
}

TEST(StreamTable, TheStreamBeyondTheTableWorksWithoutAHandle)
{
    std::vector<std::unique_ptr<ScriptedStream>> streams;
    while (streams.size() <= StreamTable::kMaxStreams)
    {
        streams.push_back(std::make_unique<ScriptedStream>());
        if (streams.back()->GetHandle() == 0)
            break;
    }
    ScriptedStream& extra = *streams.back();
    ASSERT_EQ(extra.GetHandle(), 0u) << "the table holds at most 1024 streams";
    EXPECT_EQ(FindStreamByHandle(0), nullptr);
    EXPECT_EQ(extra.Write("x", 1), 1u);

    // Leaving the table without a handle must not clear slot 0 of another stream.
    StreamHandle slot0 = 0;
    for (const auto& s : streams)
        if (s->GetHandle() != 0 && (s->GetHandle() & StreamTable::kSlotMask) == 0)
            slot0 = s->GetHandle();
    ASSERT_NE(slot0, 0u);
    CIoStream* inSlot0 = FindStreamByHandle(slot0);
    streams.pop_back();
    EXPECT_EQ(FindStreamByHandle(slot0), inSlot0);

    // A slot freed again is taken by the next stream.
    const StreamHandle freed = streams[5]->GetHandle();
    streams.erase(streams.begin() + 5);
    ScriptedStream again;
    EXPECT_EQ(again.GetHandle() & StreamTable::kSlotMask, freed & StreamTable::kSlotMask);
}

TEST(StreamTable, CloseByHandleReportsWhatCloseDid)
{
    EXPECT_EQ(CloseStreamByHandle(0), Err::InvalidHandle);
    EXPECT_EQ(CloseStreamHandle(0x12345), Err::InvalidHandle);

    ScriptedStream good;
    EXPECT_EQ(CloseStreamByHandle(good.GetHandle()), 0u);
    EXPECT_FALSE(good.IsOpen());
    EXPECT_EQ(FindStreamByHandle(good.GetHandle()), &good) << "closed, not deleted";

    ScriptedStream failing(ScriptedStream::OnClose::fileError);
    EXPECT_EQ(CloseStreamHandle(failing.GetHandle()), Err::DiskFull);
    ScriptedStream throwing(ScriptedStream::OnClose::otherError);
    EXPECT_EQ(CloseStreamByHandle(throwing.GetHandle()), Err::InvalidData);
}

TEST(StreamTable, ShutdownAbortsEveryStreamAndLaterDeletesAreSafe)
{
    auto open = std::make_unique<ScriptedStream>();
    auto failing = std::make_unique<ScriptedStream>(ScriptedStream::OnClose::fileError);
    const StreamHandle handle = open->GetHandle();

    EXPECT_NO_THROW(ShutdownStreamIO());
    EXPECT_EQ(open->closes, 1);
    EXPECT_FALSE(open->IsOpen());
    EXPECT_EQ(failing->closes, 1) << "Abort swallows the failure";
    EXPECT_EQ(FindStreamByHandle(handle), nullptr);

    // Owners delete their streams after shutdown; this must not touch freed state.
    open.reset();
    failing.reset();
    StartStreamIO();
    ScriptedStream fresh;
    EXPECT_NE(fresh.GetHandle(), handle) << "generations keep counting";
    EXPECT_EQ(FindStreamByHandle(fresh.GetHandle()), &fresh);
}

TEST(StreamIOBase, ReopenUsesTheLastNameAndFlags)
{
    ScriptedStream never;
    EXPECT_FALSE(never.Reopen()) << "no name yet";
    ScriptedStream stream;
    stream.Open(QStringLiteral("x"), 0x33);
    stream.Close();
    EXPECT_TRUE(stream.Reopen());
    EXPECT_TRUE(stream.IsOpen());
    EXPECT_EQ(stream.GetName(), QStringLiteral("x"));
    EXPECT_EQ(stream.GetOpenFlags(), 0x33u);
}

} // namespace
