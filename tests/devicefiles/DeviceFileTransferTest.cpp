#include "devicefiles/core/DeviceFileTransfer.h"

#include "device/VmCommands.h"
#include "streamio/IoStream.h"
#include "streamio/StreamIO.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

using namespace DeviceFileTransfer;

namespace
{
// The transfers keep each file on the RAM disk of the stream layer.
class StreamLayer : public ::testing::Environment
{
public:
    void SetUp() override { StreamIO::StartStreamIO(); }
    void TearDown() override { StreamIO::ShutdownStreamIO(); }
};
[[maybe_unused]] const auto* const g_streamLayer = ::testing::AddGlobalTestEnvironment(new StreamLayer);

// A tester's file store for the transfer calls: a path it does not hold fails, as does
// one named in `failing`.
struct FakeTester
{
    std::map<QString, QByteArray> files;
    QStringList failing;
    QStringList asked;
    std::map<QString, QByteArray> uploaded;

    DownloadCall Download()
    {
        return [this](StreamIO::CIoStream* out, const QString& path)
        {
            asked << path;
            auto it = files.find(path);
            if (it == files.end() || failing.contains(path))
                return false;
            return out->Write(it->second.constData(), uint32_t(it->second.size())) ==
                   uint32_t(it->second.size());
        };
    }
    UploadCall Upload()
    {
        return [this](const QString& path, StreamIO::CIoStream* in)
        {
            QByteArray bytes(qsizetype(in->GetLength() - in->GetPosition()), '\0');
            in->Read(bytes.data(), uint32_t(bytes.size()));
            uploaded[path] = bytes;
            return true;
        };
    }
};

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

void WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QStringList FolderEntries(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
}
} // namespace

TEST(DeviceFileNames, LocalNamesAreOnePathComponent)
{
    const struct
    {
        const char16_t* name;
        bool safe;
    } cases[] = {
        {u"B1.cnv", true},   {u"Ein Name (2).chm", true},
        {u"..hidden", true}, {u"", false},
        {u".", false},       {u"..", false},
        {u"a/b", false},     {u"../x", false},
        {u"a\\b", false},    {u"a\nb", false},
        {u"a\tb", false},    {u"a\x7f", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsSafeLocalName(QString::fromUtf16(c.name)), c.safe)
            << QString::fromUtf16(c.name).toStdString();
}

TEST(DeviceFileNames, UploadNamesCannotBreakOutOfTheCommandsQuotes)
{
    EXPECT_TRUE(IsSafeUploadName(QStringLiteral("Vesk3 DE.dll")));
    EXPECT_TRUE(IsSafeUploadName(QStringLiteral("it's.cnv")));
    EXPECT_FALSE(IsSafeUploadName(QString()));
    EXPECT_FALSE(IsSafeUploadName(QStringLiteral("a\".cnv")));
    EXPECT_FALSE(IsSafeUploadName(QStringLiteral("a\r.cnv")));
    EXPECT_FALSE(IsSafeUploadName(QStringLiteral("a\n.cnv")));
    // One tester name in the folder of its kind, nothing that reaches another folder.
    for (const char* name :
         {"x\\..\\newProfiles.bin", "sub\\a.cnv", "a/b.cnv", "..", ".", "...", ". .", "  ", " .. "})
        EXPECT_FALSE(IsSafeUploadName(QString::fromLatin1(name))) << name;
    EXPECT_TRUE(IsSafeUploadName(QStringLiteral("a..b.cnv")));
    EXPECT_EQ(DeviceFileName(QStringLiteral("\\Persistent Storage\\cnv\\B1.cnv")), QStringLiteral("B1.cnv"));
    EXPECT_EQ(DeviceFileName(QStringLiteral("\\Persistent Storage\\cnv\\Old.DIR\\")), QString());
}

TEST(DeviceFileNames, LocalTargetsStayInsideTheChosenFolder)
{
    const struct
    {
        const char16_t* relative;
        const char16_t* local; // empty: refused
    } cases[] = {
        {u"\\B1.cnv", u"/t/B1.cnv"},
        {u"\\Old.DIR\\B1.cnv", u"/t/Old/B1.cnv"},
        {u"\\Old.DIR\\", u"/t/Old"},
        {u"\\x.DIR", u"/t/x.DIR"},
        {u"\\..\\B1.cnv", u""},
        {u"\\..", u""},
        {u"\\a/b.cnv", u""},
        {u"\\Old.DIR\\..\\x", u""},
        {u"\\.DIR\\x", u""},
        {u"\\", u""},
        {u"\\a\nb", u""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LocalTargetPath(QStringLiteral("/t/"), QString::fromUtf16(c.relative)),
                  QString::fromUtf16(c.local))
            << QString::fromUtf16(c.relative).toStdString();
}

TEST(DeviceFileDownload, ReplacesTheLocalFileOnlyOnSuccess)
{
    QTemporaryDir dir;
    FakeTester tester;
    tester.files[QStringLiteral("\\a.cnv")] = QByteArray("new\0bytes", 9);
    const QString local = dir.filePath(QStringLiteral("a.cnv"));
    WriteAll(local, "the user's file");

    tester.failing << QStringLiteral("\\a.cnv");
    EXPECT_FALSE(DownloadToLocalFile(tester.Download(), QStringLiteral("\\a.cnv"), local));
    EXPECT_EQ(ReadAll(local), QByteArray("the user's file"));
    EXPECT_FALSE(
        DownloadToLocalFile(tester.Download(), QStringLiteral("\\missing.cnv"), dir.filePath("m.cnv")));
    EXPECT_EQ(FolderEntries(dir.path()), QStringList{QStringLiteral("a.cnv")});

    tester.failing.clear();
    EXPECT_TRUE(DownloadToLocalFile(tester.Download(), QStringLiteral("\\a.cnv"), local));
    EXPECT_EQ(ReadAll(local), QByteArray("new\0bytes", 9));
    EXPECT_EQ(FolderEntries(dir.path()), QStringList{QStringLiteral("a.cnv")});
}

TEST(DeviceFileUpload, RefusesSizesTheTesterDoesNotTake)
{
    FakeTester tester;
    EXPECT_FALSE(UploadFromMemory(tester.Upload(), QStringLiteral("\\e"), QByteArray()));
    EXPECT_FALSE(UploadFromMemory(tester.Upload(), QStringLiteral("\\big"),
                                  QByteArray(qsizetype(Device::CVmCommands::kMaxUpload) + 1, 'x')));
    EXPECT_TRUE(tester.uploaded.empty());
    // A local file too large for the tester is read only as far as needed to refuse it.
    QTemporaryDir dir;
    const QString huge = dir.filePath(QStringLiteral("huge.dll"));
    {
        QFile f(huge);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(qint64(Device::CVmCommands::kMaxUpload) * 3));
    }
    QByteArray read;
    ASSERT_TRUE(ReadUploadFile(huge, read));
    EXPECT_EQ(read.size(), qsizetype(Device::CVmCommands::kMaxUpload) + 1);
    EXPECT_FALSE(UploadFromMemory(tester.Upload(), QStringLiteral("\\huge"), read));
    EXPECT_FALSE(ReadUploadFile(dir.filePath(QStringLiteral("missing.dll")), read));
    EXPECT_TRUE(tester.uploaded.empty());

    const QByteArray largest(qsizetype(Device::CVmCommands::kMaxUpload), 'y');
    EXPECT_TRUE(UploadFromMemory(tester.Upload(), QStringLiteral("\\ok"), largest));
    EXPECT_EQ(tester.uploaded[QStringLiteral("\\ok")], largest);
}

TEST(LogCollection, HeaderThenBytesForEachFileAndFoldersSkipped)
{
    QTemporaryDir dir;
    FakeTester tester;
    const QString first = QStringLiteral("\\Persistent Storage\\log\\A.log");
    const QString folder = QStringLiteral("\\Persistent Storage\\log\\Old.DIR\\");
    // A path character above 0xFF is written as its low byte.
    const QString second = QStringLiteral("\\Persistent Storage\\log\\Old.DIR\\B\u0141.log");
    tester.files[first] = "first\n";
    tester.files[second] = QByteArray("\0second", 7);
    const QString local = dir.filePath(QStringLiteral("Veskora3.log"));

    QStringList stepped;
    const SLogCollection all = CollectLogFiles(tester.Download(), {first, folder, second}, local,
                                               [&](int i, const QString& p)
                                               {
                                                   stepped << QString::number(i) + p;
                                                   return true;
                                               });
    EXPECT_TRUE(all.complete);
    EXPECT_EQ(all.kept, 2);
    EXPECT_EQ(all.keptIn, local);
    const QByteArray rule(147, '-');
    const QByteArray expected = "\n" + rule + "\n\\Persistent Storage\\log\\A.log\n" + rule + "\nfirst\n" +
                                "\n" + rule + "\n\\Persistent Storage\\log\\Old.DIR\\BA.log\n" + rule + "\n" +
                                QByteArray("\0second", 7);
    EXPECT_EQ(ReadAll(local), expected);
    EXPECT_EQ(stepped, (QStringList{"0" + first, "1" + second}));
    EXPECT_EQ(tester.asked, (QStringList{first, second}));

    // None at all: an empty collection.
    ASSERT_TRUE(CollectLogFiles(tester.Download(), {}, local, {}).complete);
    EXPECT_EQ(ReadAll(local), QByteArray());
}

// Cut short, a collection keeps the files that arrived whole: in the chosen file when there
// was none, else under a partial name beside the earlier one, which only a complete
// collection replaces.
TEST(LogCollection, ACollectionCutShortKeepsWhatArrivedAndNeverReplacesAnEarlierFile)
{
    QTemporaryDir dir;
    FakeTester tester;
    const QString a = QStringLiteral("\\log\\A.log");
    const QString b = QStringLiteral("\\log\\B.log");
    tester.files[a] = "a";
    tester.files[b] = "b";
    const QByteArray onlyA = LogFileHeader(a) + "a";
    const QString local = dir.filePath(QStringLiteral("Veskora3.log"));
    const QString partial = dir.filePath(QStringLiteral("Veskora3 (partial).log"));
    const QString partial2 = dir.filePath(QStringLiteral("Veskora3 (partial 2).log"));
    const auto stopAtB = [](int i, const QString&) { return i == 0; };

    // No earlier file: the chosen file holds what arrived.
    tester.failing << b;
    SLogCollection got = CollectLogFiles(tester.Download(), {a, b}, local, {});
    EXPECT_FALSE(got.complete);
    EXPECT_EQ(got.kept, 1);
    EXPECT_EQ(got.keptIn, local);
    EXPECT_EQ(ReadAll(local), onlyA);

    // An earlier file stays; each partial collection gets a name of its own.
    tester.failing.clear();
    WriteAll(local, "earlier collection");
    got = CollectLogFiles(tester.Download(), {a, b}, local, stopAtB);
    EXPECT_EQ(got.keptIn, partial);
    EXPECT_EQ(ReadAll(partial), onlyA);
    EXPECT_EQ(PartialCollectionPath(local), partial2);
    got = CollectLogFiles(tester.Download(), {a, b}, local, stopAtB);
    EXPECT_EQ(got.keptIn, partial2);
    EXPECT_EQ(ReadAll(local), QByteArray("earlier collection"));

    // Nothing arrived: nothing written.
    got = CollectLogFiles(tester.Download(), {a, b}, local, [](int, const QString&) { return false; });
    EXPECT_EQ(got.kept, 0);
    EXPECT_TRUE(got.keptIn.isEmpty());
    EXPECT_EQ(FolderEntries(dir.path()), (QStringList{QStringLiteral("Veskora3 (partial 2).log"),
                                                      QStringLiteral("Veskora3 (partial).log"),
                                                      QStringLiteral("Veskora3.log")}));

    // Complete: the earlier file is replaced.
    got = CollectLogFiles(tester.Download(), {a, b}, local, {});
    EXPECT_TRUE(got.complete);
    EXPECT_EQ(got.keptIn, local);
    EXPECT_EQ(ReadAll(local), onlyA + LogFileHeader(b) + "b");
    EXPECT_EQ(FolderEntries(dir.path()).size(), 3);
}

TEST(ProfilesBackup, TakesExactlyTheOneProfilesFile)
{
    const QString profiles = QStringLiteral("\\Persistent Storage\\profiles.bin");
    const QString fresh = QStringLiteral("\\Persistent Storage\\newProfiles.bin");
    EXPECT_EQ(FindProfilesFile({fresh, profiles}), profiles);
    EXPECT_EQ(FindProfilesFile({QStringLiteral("\\Persistent Storage\\"), fresh}), QString());
    EXPECT_EQ(FindProfilesFile({QStringLiteral("\\PROFILES.BIN")}), QString());
    EXPECT_EQ(FindProfilesFile({profiles, QStringLiteral("\\Old\\profiles.bin")}), profiles);
}
