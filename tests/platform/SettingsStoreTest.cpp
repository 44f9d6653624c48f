#include "platform/core/SettingsStore.h"
#include "tests/support/TempDir.h"

#include <QFile>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using Platform::SettingsStore;

namespace
{
const QString kKey = QStringLiteral("Software\\Velmor\\Veskador 3\\Settings");
}

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

TEST(SettingsStore, AnUnreadableFileIsKeptAsideNotOverwritten)
{
    TempDir dir;
    const QString path = dir.File(QStringLiteral("registry.json"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("{ not json");
    f.close();
    SettingsStore store(path);
    EXPECT_TRUE(QFile::exists(path + QStringLiteral(".bad")));
    EXPECT_TRUE(store.CreateKey(kKey));
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
        EXPECT_FALSE(QFile::exists(path + QStringLiteral(".bad")));
    }
}
