#include "document/Registry.h"
#include "platform/core/SettingsStore.h"
#include "resources/BuiltInStrings.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/TempDir.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using Platform::SettingsStore;

namespace
{
const QString kSettings = QStringLiteral("Software\\Velmor\\Veskador 3\\Settings");

class RegistryTest : public ::testing::Test
{
protected:
    void SetUp() override { RegisterBuiltInStrings(); }
    TempDir dir;
    SettingsStore store{dir.File(QStringLiteral("registry.json"))};
};
} // namespace

TEST_F(RegistryTest, ReadsStringsOfAnyLength)
{
    ASSERT_TRUE(store.CreateKey(kSettings));
    store.Write(kSettings, QStringLiteral("Fits"), QString(259, QLatin1Char('x')));
    // Local paths may be far longer than Windows' 260 characters.
    store.Write(kSettings, QStringLiteral("Long"), QString(4000, QLatin1Char('x')));
    store.Write(kSettings, QStringLiteral("Empty"), QString());
    store.Write(kSettings, QStringLiteral("Number"), uint32_t{7});
    store.Write(kSettings, QStringLiteral("Nul"), QStringLiteral("ab") + QChar(u'\0') + QStringLiteral("cd"));

    CRegistry reg(145, QStringLiteral("\\Settings"), store);
    struct Case
    {
        const char* name;
        bool ok;
        QString expected;
    } cases[] = {
        {"Fits", true, QString(259, QLatin1Char('x'))},
        {"Long", true, QString(4000, QLatin1Char('x'))},
        {"Empty", true, QStringLiteral("kept")}, // zero length leaves the output alone
        {"Number", false, QString()},
        {"Nul", true, QStringLiteral("ab")},
        {"Missing", false, QString()},
    };
    for (const Case& c : cases)
    {
        QString out = QStringLiteral("kept");
        EXPECT_EQ(reg.ReadString(QString::fromLatin1(c.name), out), c.ok) << c.name;
        EXPECT_EQ(out, c.expected) << c.name;
    }

    QString out = QStringLiteral("kept");
    EXPECT_FALSE(CRegistry(145, QStringLiteral("\\Nowhere"), store).ReadString(QStringLiteral("Fits"), out));
    EXPECT_TRUE(out.isEmpty());
}

TEST_F(RegistryTest, WritesOnlyIntoAnExistingKeyAndReportsFailures)
{
    MessageBoxRecorder boxes;
    CRegistry reg(145, QStringLiteral("\\Settings"), store);
    EXPECT_FALSE(reg.WriteString(QStringLiteral("ProjectsPath"), QStringLiteral("/p")));
    EXPECT_TRUE(boxes.boxes.empty()) << "a missing key writes nothing and shows nothing";
    EXPECT_FALSE(store.KeyExists(kSettings));

    ASSERT_TRUE(store.CreateKey(kSettings));
    EXPECT_TRUE(reg.WriteString(QStringLiteral("ProjectsPath"), QStringLiteral("/p")));
    EXPECT_EQ(store.ReadString(kSettings, QStringLiteral("ProjectsPath")), QStringLiteral("/p"));

    // Take the file's folder away, so the next write cannot be stored.
    QDir(dir.Path()).removeRecursively();
    QFile blocker(dir.Path());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_FALSE(reg.WriteString(QStringLiteral("ProjectsPath"), QStringLiteral("/q")));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    // The message names the file and why it could not be written.
    EXPECT_TRUE(boxes.boxes[0].text.startsWith(QStringLiteral("The registry entry could not be written.\n\n") +
                                               store.FilePath() + QStringLiteral(": ")))
        << boxes.boxes[0].text.toStdString();
    EXPECT_EQ(boxes.boxes[0].type & 0xF0, uint32_t{Platform::MB_ICONERROR});
    QFile::remove(dir.Path());
    QDir().mkpath(dir.Path());
}
