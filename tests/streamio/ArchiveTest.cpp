#include "platform/core/ErrorCodes.h"
#include "platform/core/FileException.h"
#include "streamio/FileStream.h"
#include "streamio/RamStream.h"
#include "streamio/VMArchive.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace StreamIO;

namespace
{

constexpr uint32_t kScratch = STREAM_READ | STREAM_WRITE | STREAM_OPEN_ALWAYS;

// A RAM scratch stream that the test owns, as the document's callers use one, and a
// second stream on the same file that sees what is left after the archive closed the
// first.
class Scratch
{
public:
    explicit Scratch(const char* name = "scratch") : m_name(QString::fromLatin1(name))
    {
        Reopen();
        observer.Open(m_name, STREAM_READ);
    }
    void Reopen()
    {
        if (!stream.IsOpen())
            stream.Open(m_name, kScratch | STREAM_SHARE_READ | STREAM_SHARE_WRITE);
    }
    QByteArray Bytes()
    {
        QByteArray bytes(static_cast<qsizetype>(observer.GetLength()), '\0');
        observer.SetPosition(0);
        observer.Read(bytes.data(), static_cast<uint32_t>(bytes.size()));
        return bytes;
    }
    void Fill(const QByteArray& bytes)
    {
        Reopen();
        stream.SetPosition(0);
        stream.Truncate();
        stream.Write(bytes.constData(), static_cast<uint32_t>(bytes.size()));
    }
    StreamHandle Handle()
    {
        Reopen();
        return stream.GetHandle();
    }
    CRamStream stream;
    CRamStream observer;

private:
    QString m_name;
};

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

TEST(Archive, StoresValuesAndStringsInTheirByteLayout)
{
    struct Case
    {
        const char* what;
        uint16_t mode;
        std::function<void(CVMArchive&)> store;
        QByteArray expected;
    } cases[] = {
        {"byte", 0, [](CVMArchive& a) { a.WriteByte(0x12); }, QByteArray::fromHex("12")},
        {"word", 0, [](CVMArchive& a) { a.WriteWord(0x1234); }, QByteArray::fromHex("3412")},
        {"dword", 0, [](CVMArchive& a) { a.WriteDWord(0x12345678); }, QByteArray::fromHex("78563412")},
        {"string", 0, [](CVMArchive& a) { a.WriteString(QStringLiteral("abc")); },
         QByteArray::fromHex("FE0300610062006300")},
        {"null string", 0, [](CVMArchive& a) { a.WriteString(QString()); }, QByteArray::fromHex("FE0000")},
        {"non-Latin string", 0, [](CVMArchive& a) { a.WriteString(QString::fromUtf8("\xE2\x82\xAC")); },
         QByteArray::fromHex("FE0100AC20")},
        {"words without count", 0,
         [](CVMArchive& a)
         {
             const uint16_t w[] = {0x0102, 0x0304};
             a.WriteWords(w, 2);
         },
         QByteArray::fromHex("02010403")},
        {"big-endian dword", ARCHIVE_BIG_ENDIAN, [](CVMArchive& a) { a.WriteDWord(0x12345678); },
         QByteArray::fromHex("12345678")},
        {"swapped string", ARCHIVE_SWAP_BYTES, [](CVMArchive& a) { a.WriteString(QStringLiteral("abc")); },
         QByteArray::fromHex("FE0003006100620063")},
    };
    for (const Case& c : cases)
    {
        Scratch scratch;
        {
            CVMArchive archive(scratch.Handle(), c.mode, 1024);
            c.store(archive);
            archive.Close();
        }
        EXPECT_EQ(scratch.Bytes().toHex(), c.expected.toHex()) << c.what;
    }
}

TEST(Archive, RoundTripsThroughTheSmallestBufferInPieces)
{
    std::vector<uint16_t> words(300);
    QByteArray block(1000, '\0');
    for (size_t i = 0; i < words.size(); ++i)
        words[i] = static_cast<uint16_t>(i * 257);
    for (int i = 0; i < block.size(); ++i)
        block[i] = static_cast<char>(i * 13);
    const QString longText(40000, QChar(0x263A));

    for (uint16_t order : {uint16_t{0}, ARCHIVE_BIG_ENDIAN})
    {
        Scratch scratch;
        {
            CVMArchive archive(scratch.Handle(), order, 10); // taken as 16
            archive.WriteByte(7);
            archive.WriteBytes(nullptr, 0); // an empty array may have no memory behind it
            archive.WriteDWord(0xDEADBEEF);
            archive.WriteWords(words.data(), static_cast<uint16_t>(words.size()));
            archive.WriteBytes(block.constData(), static_cast<uint32_t>(block.size()));
            archive.WriteString(longText);
            archive.WriteWord(0xBEEF);
            archive.Close();
        }
        EXPECT_EQ(scratch.Bytes().size(), 1 + 4 + 600 + 1000 + 3 + 80000 + 2);

        CVMArchive archive(scratch.Handle(), ARCHIVE_LOAD | order, 0);
        uint8_t b = 0;
        uint32_t d = 0;
        uint16_t w = 0;
        std::vector<uint16_t> wordsBack(words.size());
        QByteArray blockBack(block.size(), '\0');
        QString text;
        archive.ReadByte(b);
        archive.ReadBytes(nullptr, 0);
        archive.ReadDWord(d);
        archive.ReadWords(wordsBack.data(), static_cast<uint16_t>(wordsBack.size()));
        archive.ReadBytes(blockBack.data(), static_cast<uint32_t>(blockBack.size()));
        archive.ReadString(text);
        archive.ReadWord(w);
        EXPECT_EQ(b, 7);
        EXPECT_EQ(d, 0xDEADBEEFu);
        EXPECT_EQ(wordsBack, words);
        EXPECT_EQ(blockBack, block);
        EXPECT_EQ(text, longText);
        EXPECT_EQ(w, 0xBEEF);
        EXPECT_EQ(RaisedCode([&] { archive.ReadByte(b); }), Err::HandleEof);
    }
}

TEST(Archive, BytesAreReadInPlaceWhenTheBufferHoldsThem)
{
    Scratch scratch;
    scratch.Fill(QByteArray("0123456789abcdefghijklmnopqrstuvwxyz"));
    CVMArchive archive(scratch.Handle(), ARCHIVE_LOAD, 16);
    uint8_t b = 0;
    archive.ReadByte(b);
    const uint8_t* bytes = archive.ReadInPlace(16); // refills: only 15 were buffered
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(bytes), 16), QByteArray("123456789abcdefg"));
    EXPECT_EQ(archive.ReadInPlace(17), nullptr) << "more than the buffer holds";
    archive.ReadByte(b);
    EXPECT_EQ(b, 'h') << "nothing was taken by the refused read";
    EXPECT_NE(archive.ReadInPlace(0), nullptr);
    EXPECT_NE(archive.ReadInPlace(16), nullptr);
    EXPECT_EQ(RaisedCode([&] { archive.ReadInPlace(3); }), Err::HandleEof) << "only 2 are left";

    CVMArchive storing(scratch.Handle(), 0, 16);
    storing.WriteByte(1);
    EXPECT_EQ(RaisedCode([&] { storing.ReadInPlace(1); }), Err::ReadFault);
    EXPECT_EQ(RaisedCode([&] { storing.ReadByte(b); }), Err::ReadFault) << "no bytes to read while storing";
}

TEST(Archive, ReadsWhatOtherWritersStored)
{
    Scratch scratch;
    // A string as stored, an 8-bit string in Windows-1252 that stops at its first zero
    // byte, and an unknown marker taken as FE.
    scratch.Fill(QByteArray::fromHex("FE020041004200") + QByteArray::fromHex("FF0500") +
                 QByteArray("a\x80\0bc", 5) + QByteArray::fromHex("4101007800"));
    CVMArchive archive(scratch.Handle(), ARCHIVE_LOAD, 1024);
    QString text;
    archive.ReadString(text);
    EXPECT_EQ(text, QStringLiteral("AB"));
    archive.ReadString(text);
    EXPECT_EQ(text, QString::fromUtf8("a\xE2\x82\xAC"));
    archive.ReadString(text);
    EXPECT_EQ(text, QStringLiteral("x"));
}

TEST(Archive, ADWordWithThreeBytesLeftRaisesEndOfData)
{
    Scratch scratch;
    scratch.Fill(QByteArray::fromHex("010203"));
    CVMArchive archive(scratch.Handle(), ARCHIVE_LOAD, 1024);
    uint32_t d = 0;
    EXPECT_EQ(RaisedCode([&] { archive.ReadDWord(d); }), Err::HandleEof);
    // A string whose count promises more than there is fails the same way.
    scratch.Fill(QByteArray::fromHex("FE0500610062"));
    CVMArchive strings(scratch.Handle(), ARCHIVE_LOAD, 1024);
    QString text;
    EXPECT_EQ(RaisedCode([&] { strings.ReadString(text); }), Err::HandleEof);
}

TEST(Archive, AHandleArchiveStartsAtZeroAndStoringEmptiesTheStream)
{
    Scratch scratch;
    scratch.Fill("0123456789");
    scratch.stream.SetPosition(7);
    {
        CVMArchive archive(scratch.Handle(), ARCHIVE_LOAD, 1024);
        uint8_t b = 0;
        archive.ReadByte(b);
        EXPECT_EQ(b, '0');
        archive.Close();
    }
    EXPECT_FALSE(scratch.stream.IsOpen()) << "Close closes the caller's stream";
    scratch.Fill("0123456789");
    scratch.stream.SetPosition(7);
    {
        CVMArchive archive(scratch.Handle(), 0, 1024);
        archive.WriteByte('x');
    } // the destructor flushes and closes
    EXPECT_FALSE(scratch.stream.IsOpen());
    EXPECT_EQ(scratch.Bytes(), QByteArray("x"));
}

TEST(Archive, FailuresRaiseTheirCodes)
{
    Scratch scratch;
    CRamStream closed;
    struct Case
    {
        const char* what;
        uint32_t code;
        std::function<void()> call;
    } cases[] = {
        {"handle 0", Err::InvalidHandle, [] { CVMArchive a(StreamHandle{0}, ARCHIVE_LOAD, 16); }},
        {"handle of a closed stream", Err::InvalidHandle,
         [&] { CVMArchive a(closed.GetHandle(), ARCHIVE_LOAD, 16); }},
        {"no stream by that name", Err::FileNotFound,
         [] { CVMArchive a(QStringLiteral("RAM:none"), ARCHIVE_LOAD, 16); }},
        {"string over 65535 units", Err::InsufficientBuffer,
         [&]
         {
             CVMArchive a(scratch.Handle(), 0, 16);
             a.WriteString(QString(65536, QLatin1Char('a')));
         }},
        {"store into a loading archive", Err::WriteFault,
         [&]
         {
             CVMArchive a(scratch.Handle(), ARCHIVE_LOAD, 16);
             a.WriteByte(1);
         }},
        {"load from a storing archive", Err::ReadFault,
         [&]
         {
             CVMArchive a(scratch.Handle(), 0, 16);
             for (int i = 0; i < 4; ++i)
             {
                 uint32_t d;
                 a.ReadDWord(d);
                 a.ReadByte(*reinterpret_cast<uint8_t*>(&d));
             }
         }},
        {"use after close", Err::HandleEof,
         [&]
         {
             CVMArchive a(scratch.Handle(), 0, 16);
             a.Close();
             a.WriteByte(1);
         }},
        {"close twice", Err::HandleEof,
         [&]
         {
             CVMArchive a(scratch.Handle(), 0, 16);
             a.Close();
             a.Close();
         }},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RaisedCode(c.call), c.code) << c.what;
}

TEST(Archive, SettlesTheByteOrderBitsForThisHost)
{
    Scratch scratch;
    const struct
    {
        uint16_t given;
        uint16_t settled;
    } cases[] = {{0, 0},
                 {ARCHIVE_BIG_ENDIAN, ARCHIVE_BIG_ENDIAN | ARCHIVE_SWAP_BYTES},
                 {ARCHIVE_SWAP_BYTES, ARCHIVE_BIG_ENDIAN | ARCHIVE_SWAP_BYTES}};
    for (const auto& c : cases)
    {
        CVMArchive archive(scratch.Handle(), c.given | ARCHIVE_NO_CLOSE, 16);
        EXPECT_EQ(archive.GetMode(), c.settled | ARCHIVE_NO_CLOSE);
        archive.Abort();
    }
}

class ArchiveFileTest : public ::testing::Test
{
protected:
    TempDir dir;
    QString path = dir.File(QStringLiteral("project.v3p"));
    QByteArray FileBytes()
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    QStringList Entries() const { return QDir(dir.Path()).entryList(QDir::Files | QDir::Hidden); }
    void SetUp() override
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("previous");
    }
};

TEST_F(ArchiveFileTest, StoringByNameReplacesTheFileOnlyWhenComplete)
{
    {
        CVMArchive archive(path, 0, 16);
        archive.WriteString(QStringLiteral("VelmoR Veskador3 project file"));
        archive.Flush();
        EXPECT_EQ(FileBytes(), QByteArray("previous")) << "untouched while the archive writes";
        archive.Close();
    }
    EXPECT_EQ(FileBytes().size(), 3 + 2 * 29);
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("project.v3p")}) << "no temporary file left";

    CVMArchive reader(path, ARCHIVE_LOAD, 1024);
    QString text;
    reader.ReadString(text);
    EXPECT_EQ(text, QStringLiteral("VelmoR Veskador3 project file"));
}

TEST_F(ArchiveFileTest, AnAbortedStoreKeepsThePreviousFile)
{
    {
        CVMArchive archive(path, 0, 16);
        archive.WriteBytes("half-written new content", 24);
        archive.Abort();
    }
    {
        CVMArchive archive(path, ARCHIVE_NO_CLOSE, 16);
        archive.WriteBytes("never closed", 12);
    }
    EXPECT_EQ(FileBytes(), QByteArray("previous"));
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("project.v3p")});

    // A file we may not write is refused as its open would be, before anything is written.
    if (::geteuid() != 0)
    {
        ::chmod(QFile::encodeName(path).constData(), 0444);
        EXPECT_EQ(RaisedCode([&] { CVMArchive a(path, 0, 16); }), Err::AccessDenied);
        EXPECT_EQ(Entries(), QStringList{QStringLiteral("project.v3p")});
    }
    EXPECT_EQ(RaisedCode([&] { CVMArchive a(dir.File(QStringLiteral("no/such.v3p")), 0, 16); }),
              Err::PathNotFound);
}

TEST_F(ArchiveFileTest, AFailedWriteNeverReplacesTheFile)
{
    // The store fails halfway (no file may grow past 4 KB); whatever the caller does next,
    // the previous file stays and no temporary file is left.
    uint32_t raised = ~0u;
    const struct
    {
        const char* ending;
        std::function<void(CVMArchive&)> end;
    } cases[] = {
        {"the destructor closes", [](CVMArchive&) {}},
        {"Close", [&](CVMArchive& a) { EXPECT_EQ(RaisedCode([&] { a.Close(); }), raised); }},
        {"more records, then Close",
         [&](CVMArchive& a)
         {
             const std::vector<char> more(2000, 'y');
             EXPECT_EQ(RaisedCode([&] { a.WriteBytes(more.data(), uint32_t(more.size())); }), raised);
             EXPECT_EQ(RaisedCode([&] { a.Close(); }), raised);
         }},
    };
    for (const auto& c : cases)
    {
        raised = ~0u;
        {
            FileSizeLimit limit(4096);
            CVMArchive archive(path, 0, 1024);
            const std::vector<char> bytes(8000, 'x');
            raised = RaisedCode([&] { archive.WriteBytes(bytes.data(), uint32_t(bytes.size())); });
            c.end(archive);
        }
        EXPECT_NE(raised, ~0u) << c.ending;
        EXPECT_EQ(FileBytes(), QByteArray("previous")) << c.ending;
        EXPECT_EQ(Entries(), QStringList{QStringLiteral("project.v3p")}) << c.ending;
    }
}

TEST_F(ArchiveFileTest, StoringKeepsTheFilesLinkModeAndGroup)
{
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0640), 0);
    // Another group than a new file would get, where we may give the file one.
    gid_t group = ::getegid();
    std::vector<gid_t> groups(size_t(std::max(::getgroups(0, nullptr), 0)));
    groups.resize(size_t(std::max(::getgroups(int(groups.size()), groups.data()), 0)));
    for (gid_t g : groups)
        if (g != ::getegid())
            group = g;
    if (group == ::getegid() && ::geteuid() == 0)
        group = ::getegid() + 1;
    ASSERT_EQ(::chown(QFile::encodeName(path).constData(), uid_t(-1), group), 0);
    const QString link = dir.File(QStringLiteral("link.v3p"));
    ASSERT_TRUE(QFile::link(QStringLiteral("project.v3p"), link)); // relative, as users make them
    {
        CVMArchive archive(link, 0, 16);
        archive.WriteBytes("new", 3);
        archive.Close();
    }
    EXPECT_TRUE(QFileInfo(link).isSymLink()) << "the link stays a link";
    EXPECT_EQ(FileBytes(), QByteArray("new")) << "the file it names is replaced";
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_gid, group);
    EXPECT_EQ(Entries(), (QStringList{QStringLiteral("link.v3p"), QStringLiteral("project.v3p")}));

    // A link to a file that is not there yet creates that file.
    const QString dangling = dir.File(QStringLiteral("later.v3p"));
    ASSERT_TRUE(QFile::link(QStringLiteral("made.v3p"), dangling));
    {
        CVMArchive archive(dangling, 0, 16);
        archive.WriteBytes("made", 4);
    }
    EXPECT_TRUE(QFileInfo(dangling).isSymLink());
    QFile made(dir.File(QStringLiteral("made.v3p")));
    ASSERT_TRUE(made.open(QIODevice::ReadOnly));
    EXPECT_EQ(made.readAll(), QByteArray("made"));
}

} // namespace
