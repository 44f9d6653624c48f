#include "platform/core/SettingsStore.h"
#include "platform/core/StringTable.h"
#include "resources/StringIds.h"
#include "tests/support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using Platform::SettingsStore;

namespace
{
const QString kKey = QStringLiteral("Software\\Velmor\\Veskador 3\\Settings");

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray ReadFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A settings file that holds one number (DTFormat 5), as it was before a test changes it.
struct SettingsStoreWithOneNumber : ::testing::Test
{
    void SetUp() override
    {
        ASSERT_TRUE(store.CreateKey(kKey));
        ASSERT_TRUE(store.Write(kKey, QStringLiteral("DTFormat"), uint32_t{5}));
        before = ReadFile(path);
    }
    TempDir dir;
    const QString path = dir.File(QStringLiteral("registry.json"));
    SettingsStore store{path};
    QByteArray before;
};
} // namespace

TEST(SettingsStore, KeepsTypesApartAndReportsMissingValues)
{
    TempDir dir;
    SettingsStore store(dir.File(QStringLiteral("registry.json")));
    EXPECT_FALSE(store.Write(kKey, QStringLiteral("DTFormat"), uint32_t{3})) << "key does not exist yet";
    ASSERT_TRUE(store.CreateKey(kKey));
    EXPECT_TRUE(store.KeyExists(QStringLiteral("Software\\Velmor")));

    EXPECT_TRUE(store.Write(kKey, QStringLiteral("DTFormat"), uint32_t{0x0102}));
    EXPECT_TRUE(store.Write(kKey, QStringLiteral("LanguageFile"), QStringLiteral("/opt/v3/Veskador 3")));
    EXPECT_TRUE(store.Write(kKey, QStringLiteral("Pos"), QByteArray("\x00\x01\xFF", 3)));

    EXPECT_EQ(store.ReadNumber(kKey, QStringLiteral("dtformat")), 0x0102u); // names ignore case
    EXPECT_FALSE(store.ReadString(kKey, QStringLiteral("DTFormat")).has_value());
    EXPECT_FALSE(store.ReadNumber(kKey, QStringLiteral("LanguageFile")).has_value());
    EXPECT_EQ(store.ReadBinary(kKey.toUpper(), QStringLiteral("Pos")), QByteArray("\x00\x01\xFF", 3));
    EXPECT_FALSE(store.Read(kKey, QStringLiteral("Missing")).has_value());
    EXPECT_FALSE(store.Read(QStringLiteral("Software\\Other"), QStringLiteral("DTFormat")).has_value());

    // Another store on the same file sees everything, with the names as written.
    SettingsStore again(store.FilePath());
    EXPECT_EQ(again.ReadString(kKey, QStringLiteral("LANGUAGEFILE")), QStringLiteral("/opt/v3/Veskador 3"));
    EXPECT_EQ(again.ReadBinary(kKey, QStringLiteral("Pos"))->size(), 3);
    EXPECT_TRUE(again.ValueNames(kKey).contains(QStringLiteral("DTFormat")));

    // A store in memory begun with the file's contents holds the same, and after the same
    // change its contents are the file's.
    auto fileBytes = [&]
    {
        QFile file(store.FilePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    SettingsStore memory(SettingsStore::InMemory{}, fileBytes());
    EXPECT_EQ(memory.ReadBinary(kKey, QStringLiteral("Pos")), QByteArray("\x00\x01\xFF", 3));
    EXPECT_TRUE(memory.Write(kKey, QStringLiteral("DTFormat"), uint32_t{7}));
    EXPECT_TRUE(again.Write(kKey, QStringLiteral("DTFormat"), uint32_t{7}));
    EXPECT_EQ(memory.FileBytes(), fileBytes());
    EXPECT_TRUE(memory.FilePath().isEmpty());

    EXPECT_TRUE(again.DeleteKey(QStringLiteral("Software\\Velmor")));
    EXPECT_FALSE(again.KeyExists(kKey));
}

TEST(SettingsStore, AFailedWriteLeavesTheStoreUnchanged)
{
    TempDir dir;
    // The file's folder is a regular file, so nothing can be written there.
    QFile blocker(dir.File(QStringLiteral("blocked")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    SettingsStore store(dir.File(QStringLiteral("blocked/registry.json")));
    EXPECT_FALSE(store.CreateKey(kKey));
    EXPECT_FALSE(store.KeyExists(kKey));
}

TEST(SettingsStore, TwoStoresOnOneFileKeepEachOthersValues)
{
    TempDir dir;
    const QString path = dir.File(QStringLiteral("registry.json"));
    // Two program windows: each loaded the file once, then each changes its own values.
    SettingsStore first(path);
    SettingsStore second(path);
    ASSERT_TRUE(first.CreateKey(kKey));
    ASSERT_TRUE(second.CreateKey(kKey));
    const QString longPath = QStringLiteral("/home/user/") + QString(1000, u'p') + QStringLiteral("/");
    const std::pair<const char*, SettingsStore::Value> firstValues[] = {
        {"DTFormat", uint32_t{0x0302}},
        {"TopBit", uint32_t{0x80000000u}},
        {"AllBits", uint32_t{0xFFFFFFFFu}},
        {"Zero", uint32_t{0}},
        {"Pos", QByteArray("\x00\x80\xFF", 3)},
    };
    const std::pair<const char*, SettingsStore::Value> secondValues[] = {
        {"ProjectsPath", longPath},
        {"Empty", QString()},
        {"Umlaut", QStringLiteral("M\u00fcller \u6e2c")},
        {"NoBytes", QByteArray()},
    };
    for (const auto& [name, value] : firstValues)
        ASSERT_TRUE(first.Write(kKey, QString::fromLatin1(name), value)) << name;
    for (const auto& [name, value] : secondValues)
        ASSERT_TRUE(second.Write(kKey, QString::fromLatin1(name), value)) << name;
    // The first window writes again after the second: the second's values stay.
    ASSERT_TRUE(first.Write(kKey, QStringLiteral("DTFormat"), uint32_t{0x0101}));
    EXPECT_EQ(first.ReadString(kKey, QStringLiteral("ProjectsPath")), longPath) << "the change read the file";

    SettingsStore restarted(path);
    EXPECT_EQ(restarted.ReadNumber(kKey, QStringLiteral("DTFormat")), 0x0101u);
    for (const auto& [name, value] : firstValues)
    {
        if (QLatin1String(name) != QLatin1String("DTFormat"))
        {
            EXPECT_EQ(restarted.Read(kKey, QString::fromLatin1(name)), value) << name;
        }
    }
    for (const auto& [name, value] : secondValues)
        EXPECT_EQ(restarted.Read(kKey, QString::fromLatin1(name)), value) << name;

    // A deleted value is gone for the other window's next change too.
    ASSERT_TRUE(second.DeleteValue(kKey, QStringLiteral("Zero")));
    ASSERT_TRUE(first.Write(kKey, QStringLiteral("Other"), uint32_t{1}));
    EXPECT_FALSE(SettingsStore(path).Read(kKey, QStringLiteral("Zero")).has_value());
}

TEST(SettingsStore, ValuesOfAnotherVersionsTypeAreKept)
{
    TempDir dir;
    const QString path = dir.File(QStringLiteral("registry.json"));
    WriteFile(path, R"({"format":1,"keys":[{"key":"Software\\Velmor\\Veskador 3\\Settings","values":[)"
                    R"({"name":"Big","type":"qword","data":"123456789012"},)"
                    R"({"name":"DTFormat","type":"number","data":4294967295}]}]})");
    SettingsStore store(path);
    EXPECT_EQ(store.ReadNumber(kKey, QStringLiteral("DTFormat")), 0xFFFFFFFFu);
    EXPECT_FALSE(store.Read(kKey, QStringLiteral("Big")).has_value());
    EXPECT_FALSE(store.ValueNames(kKey).contains(QStringLiteral("Big")));
    ASSERT_TRUE(store.Write(kKey, QStringLiteral("DTFormat"), uint32_t{1}));
    EXPECT_TRUE(ReadFile(path).contains(R"("type": "qword")")) << ReadFile(path).toStdString();
}

namespace
{
// A key nested 2,000 levels deep (6 KB), one of 32 levels of 2,000 characters each whose
// parents' paths add up to more than a megabyte (64 KB), and a file of a megabyte.
QByteArray DeepKeyFile(int levels, int nameLength)
{
    const QByteArray name(nameLength, 'A');
    QByteArray path = name;
    for (int level = 1; level < levels; ++level)
        path += "\\\\" + name;
    return R"({"keys":[{"key":")" + path + R"(","values":[]}]})";
}

QByteArray LargeFile()
{
    return R"({"keys":[{"key":"A","values":[{"name":"S","type":"string","data":")" + QByteArray(1100000, 'x') +
           R"("}]}]})";
}

// A settings file of exactly the given size: key A holds one string, S, that fills it.
const QByteArray kFillHead = R"({"keys":[{"key":"A","values":[{"name":"S","type":"string","data":")";
const QByteArray kFillTail = R"("}]}]})";
QByteArray FileOfSize(qsizetype size)
{
    return kFillHead + QByteArray(size - kFillHead.size() - kFillTail.size(), 'x') + kFillTail;
}

// The limits of what the program reads (and so writes): a key this deep, a file this large.
constexpr int kDeepestKey = 32;
constexpr qsizetype kLargestFile = 512 * 1024;

// The key of DeepKeyFile(levels, 1).
QString KeyOfDepth(int levels)
{
    QStringList names;
    for (int level = 0; level < levels; ++level)
        names << QStringLiteral("A");
    return names.join(u'\\');
}
} // namespace

TEST(SettingsStore, FilesAtTheLimitsAreRead)
{
    struct Case
    {
        const char* what;
        QByteArray bytes;
        QString key;          // a key the store then holds
        qsizetype stringSize; // of value S under it; -1: none
    } cases[] = {
        {"a key 32 levels deep", DeepKeyFile(kDeepestKey, 1), KeyOfDepth(kDeepestKey), -1},
        {"a file of exactly 512 KiB", FileOfSize(kLargestFile), QStringLiteral("A"),
         kLargestFile - kFillHead.size() - kFillTail.size()},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const QString path = dir.File(QStringLiteral("registry.json"));
        WriteFile(path, c.bytes);
        SettingsStore store(path);
        std::vector<SettingsStore::Damage> told;
        store.SetDamageReporter([&](const SettingsStore::Damage& d) { told.push_back(d); });
        EXPECT_TRUE(told.empty()) << (told.empty() ? "" : told[0].reason.toStdString());
        EXPECT_TRUE(store.KeyExists(c.key));
        const auto value = store.ReadString(c.key, QStringLiteral("S"));
        EXPECT_EQ(value ? value->size() : -1, c.stringSize);
    }
}

TEST(SettingsStore, ADamagedFileIsKeptAndReportedOnceAndNotOverwrittenByDefaults)
{
    struct Case
    {
        const char* what;
        QByteArray bytes; // empty: a folder in place of the file
        const char* reasonPart;
    } cases[] = {
        {"not JSON", "{ \"keys\": [ ", "byte"},
        {"empty file", "", "byte"},
        {"JSON of another layout", "[1, 2, 3]", "layout"},
        {"keys not a list", R"({"keys": {"a": 1}})", "layout"},
        {"negative number", R"({"keys":[{"key":"A","values":[{"name":"N","type":"number","data":-1}]}]})", "A\\N"},
        {"number too large", R"({"keys":[{"key":"A","values":[{"name":"N","type":"number","data":4294967296}]}]})", "A\\N"},
        {"binary not hex", R"({"keys":[{"key":"A","values":[{"name":"B","type":"binary","data":"xyz"}]}]})", "A\\B"},
        {"a folder", QByteArray(), "opened"},
        {"a key 33 levels deep", DeepKeyFile(kDeepestKey + 1, 1), "levels"},
        {"a key nested 2,000 levels deep", DeepKeyFile(2000, 1), "levels"},
        {"a key whose parents take more than a megabyte", DeepKeyFile(32, 2000), "KB"},
        {"one byte larger than any settings file", FileOfSize(kLargestFile + 1), "KB"},
        {"a megabyte", LargeFile(), "KB"},
    };
    // The reasons come from the string table, which the program fills.
    auto& texts = Platform::StringTable::Instance();
    texts.Set(StringId::IDS_SETTINGS_NOT_JSON, QStringLiteral("error at byte %1"));
    texts.Set(StringId::IDS_SETTINGS_WRONG_LAYOUT, QStringLiteral("another layout"));
    texts.Set(StringId::IDS_SETTINGS_BAD_VALUE, QStringLiteral("value %1"));
    texts.Set(StringId::IDS_SETTINGS_CANNOT_OPEN, QStringLiteral("cannot be opened (%1)"));
    texts.Set(StringId::IDS_SETTINGS_TOO_DEEP, QStringLiteral("deeper than %1 levels"));
    texts.Set(StringId::IDS_SETTINGS_TOO_LARGE, QStringLiteral("larger than %1 KB"));
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const QString path = dir.File(QStringLiteral("registry.json"));
        const bool folder = QLatin1String(c.what) == QLatin1String("a folder");
        if (folder)
            ASSERT_TRUE(QDir().mkpath(path));
        else
            WriteFile(path, c.bytes);
        // An earlier damage's backup is never replaced.
        WriteFile(path + QStringLiteral(".bad1"), "earlier");

        SettingsStore store(path);
        std::vector<SettingsStore::Damage> told;
        store.SetDamageReporter([&](const SettingsStore::Damage& d) { told.push_back(d); });
        ASSERT_EQ(told.size(), 1u);
        EXPECT_EQ(told[0].file, path);
        EXPECT_TRUE(told[0].reason.contains(QLatin1String(c.reasonPart))) << told[0].reason.toStdString();
        EXPECT_EQ(told[0].backup, path + QStringLiteral(".bad2"));

        // Start-up: keys and defaults live in memory, the user's file stays as it was.
        EXPECT_TRUE(store.CreateKey(kKey));
        EXPECT_TRUE(store.WriteDefault(kKey, QStringLiteral("DTFormat"), uint32_t{0}));
        EXPECT_TRUE(store.WriteDefault(kKey, QStringLiteral("LanguageFile"), QStringLiteral("/opt/v3")));
        EXPECT_EQ(store.ReadNumber(kKey, QStringLiteral("DTFormat")), 0u);
        EXPECT_EQ(QFileInfo(path).isDir(), folder);
        if (!folder)
        {
            EXPECT_EQ(ReadFile(path), c.bytes);
        }
        store.Reload();
        EXPECT_EQ(told.size(), 1u) << "the same damage is told once";

        // A changed setting keeps the damaged file as the next free backup and writes anew.
        EXPECT_TRUE(store.CreateKey(kKey));
        EXPECT_TRUE(store.WriteDefault(kKey, QStringLiteral("LanguageFile"), QStringLiteral("/opt/v3")));
        ASSERT_TRUE(store.Write(kKey, QStringLiteral("DTFormat"), uint32_t{0x0203}));
        EXPECT_EQ(told.size(), 1u);
        EXPECT_EQ(ReadFile(path + QStringLiteral(".bad1")), "earlier");
        EXPECT_EQ(QFileInfo(path + QStringLiteral(".bad2")).isDir(), folder);
        if (!folder)
        {
            EXPECT_EQ(ReadFile(path + QStringLiteral(".bad2")), c.bytes);
        }
        SettingsStore again(path);
        EXPECT_EQ(again.ReadNumber(kKey, QStringLiteral("DTFormat")), 0x0203u);
        EXPECT_EQ(again.ReadString(kKey, QStringLiteral("LanguageFile")), QStringLiteral("/opt/v3"))
            << "the defaults in memory are written with the change";
    }
}

TEST_F(SettingsStoreWithOneNumber, NoChangeWritesAFileTheStoreWouldNotRead)
{
    // Keys as deep as the reader takes them, and not one level deeper.
    EXPECT_TRUE(store.CreateKey(KeyOfDepth(kDeepestKey)));
    for (const int levels : {kDeepestKey + 1, 40})
    {
        EXPECT_FALSE(store.CreateKey(KeyOfDepth(levels))) << levels;
        EXPECT_FALSE(store.KeyExists(KeyOfDepth(levels))) << levels;
    }
    // A value that makes the file exactly as large as the reader takes is written; one
    // character more, or far more, is refused with the file and the reason, and the file
    // and the store stay as they were.
    const QString huge = QStringLiteral("Huge");
    ASSERT_TRUE(store.Write(kKey, huge, QString(1000, u'h')));
    const qsizetype fill = 1000 + kLargestFile - ReadFile(path).size();
    ASSERT_TRUE(store.Write(kKey, huge, QString(fill, u'h')));
    EXPECT_EQ(ReadFile(path).size(), kLargestFile);
    before = ReadFile(path);
    for (const qsizetype size : {fill + 1, qsizetype{1100000}})
    {
        EXPECT_FALSE(store.Write(kKey, huge, QString(size, u'h'))) << size;
        EXPECT_TRUE(store.LastError().startsWith(path)) << store.LastError().toStdString();
        EXPECT_EQ(store.ReadString(kKey, huge)->size(), fill) << size;
        EXPECT_EQ(ReadFile(path), before) << size;
    }

    SettingsStore again(path);
    std::vector<SettingsStore::Damage> told;
    again.SetDamageReporter([&](const SettingsStore::Damage& d) { told.push_back(d); });
    EXPECT_TRUE(told.empty());
    EXPECT_EQ(again.ReadNumber(kKey, QStringLiteral("DTFormat")), 5u);
    EXPECT_EQ(again.ReadString(kKey, huge)->size(), fill);
    EXPECT_TRUE(again.KeyExists(KeyOfDepth(kDeepestKey)));
}

TEST_F(SettingsStoreWithOneNumber, AFailedWriteLeavesTheFileAndTheStoreAsTheyWere)
{
    // The temporary file's name is taken by a folder, so the new file cannot be written.
    ASSERT_TRUE(QDir().mkpath(path + QStringLiteral(".tmp")));
    EXPECT_FALSE(store.Write(kKey, QStringLiteral("DTFormat"), uint32_t{6}));
    EXPECT_TRUE(store.LastError().startsWith(path)) << store.LastError().toStdString();
    EXPECT_GT(store.LastError().size(), path.size() + 2) << "a reason follows the file";
    EXPECT_EQ(ReadFile(path), before);
    EXPECT_EQ(store.ReadNumber(kKey, QStringLiteral("DTFormat")), 5u);
    ASSERT_TRUE(QDir(path + QStringLiteral(".tmp")).removeRecursively());
    EXPECT_TRUE(store.Write(kKey, QStringLiteral("DTFormat"), uint32_t{6}));
    EXPECT_TRUE(store.LastError().isEmpty());
}

// The file a change writes keeps the old file's permission bits but is always readable
// and writable by its owner: copied at mode 000 it could not be read at the next start,
// and the change would be lost. (Checked by the bits: root may read any file.)
TEST_F(SettingsStoreWithOneNumber, ARewrittenFileIsTheOwnersToReadAndWriteWhateverTheOldMode)
{
    struct Case
    {
        mode_t old;
        mode_t rewritten;
    } cases[] = {
        {0000, 0600}, {0200, 0600}, {0400, 0600}, {0444, 0644}, {0640, 0640}, {0604, 0604}, {0755, 0755},
    };
    uint32_t format = 5;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.old);
        const QByteArray name = QFile::encodeName(path);
        ASSERT_EQ(::chmod(name.constData(), c.old), 0);
        // As a program window starts on the file and the user then changes a setting.
        SettingsStore window(path);
        ASSERT_TRUE(window.CreateKey(kKey));
        ASSERT_TRUE(window.Write(kKey, QStringLiteral("DTFormat"), ++format));
        struct stat st{};
        ASSERT_EQ(::stat(name.constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, c.rewritten);
        EXPECT_EQ(SettingsStore(path).ReadNumber(kKey, QStringLiteral("DTFormat")), format);
    }
}

TEST(SettingsStore, AWriterKilledMidSaveLeavesACompleteFile)
{
    TempDir dir;
    const QString path = dir.File(QStringLiteral("registry.json"));
    {
        SettingsStore store(path);
        ASSERT_TRUE(store.CreateKey(kKey));
        ASSERT_TRUE(store.Write(kKey, QStringLiteral("Big"), QString(200000, QLatin1Char('a'))));
    }
    for (int round = 0; round < 12; ++round)
    {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0)
        {
            SettingsStore store(path);
            for (int i = 0;; ++i)
                store.Write(kKey, QStringLiteral("Big"), QString(200000, QChar(u'b' + (i % 20))));
        }
        ::usleep(2000 + round * 1500);
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);

        SettingsStore reread(path);
        const auto big = reread.ReadString(kKey, QStringLiteral("Big"));
        ASSERT_TRUE(big.has_value()) << "round " << round;
        ASSERT_EQ(big->size(), 200000);
        EXPECT_EQ(big->count(big->front()), 200000);
        EXPECT_FALSE(QFile::exists(path + QStringLiteral(".bad1")));
    }
}
