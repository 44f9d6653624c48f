#include "document/SettingsFolders.h"
#include "platform/core/SettingsStore.h"
#include "resources/BuiltInStrings.h"
#include "tests/support/TempDir.h"

#include <QDir>

#include <gtest/gtest.h>

namespace
{
const QString kSettingsKey = QStringLiteral("Software\\Velmor\\Veskador 3\\Settings");

// Points $XDG_DATA_HOME (and $HOME) somewhere else for a test.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, const QString& value)
        : m_name(name), m_old(qgetenv(name)), m_had(qEnvironmentVariableIsSet(name))
    {
        qputenv(name, value.toLocal8Bit());
    }
    ~ScopedEnv()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

private:
    const char* m_name;
    QByteArray m_old;
    bool m_had;
};
} // namespace

TEST(SettingsFolders, DefaultsLiveInTheUsersDataFolder)
{
    RegisterBuiltInStrings();
    TempDir dir;
    const ScopedEnv data("XDG_DATA_HOME", dir.Path() + QStringLiteral("/data"));
    Platform::SettingsStore store(dir.File(QStringLiteral("registry.json")));
    ASSERT_TRUE(store.CreateKey(kSettingsKey));
    // A value the user has keeps it.
    store.Write(kSettingsKey, Settings::kProjectsPath, QStringLiteral("/srv/projects/"));

    Settings::InitDefaultFolders(Settings::Registry(store));

    const QString base = dir.Path() + QStringLiteral("/data/Velmor/Veskador 3/");
    const struct
    {
        const QString& name;
        QString expected;
    } cases[] = {
        {Settings::kConversionPathStdCnv, base + QStringLiteral("conversions/")},
        {Settings::kHelpFilesPath, base + QStringLiteral("helpfiles/")},
        {Settings::kLanguagesPath, base + QStringLiteral("languages/")},
        {Settings::kLogFilesPath, base + QStringLiteral("logfiles/")},
        {Settings::kProfilesPath, base + QStringLiteral("profiles/")},
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(store.ReadString(kSettingsKey, c.name), c.expected) << c.name.toStdString();
        EXPECT_EQ(Settings::DefaultFolder(c.name), c.expected);
        EXPECT_TRUE(QDir(c.expected).exists()) << "the program writes into it";
    }
    EXPECT_EQ(store.ReadString(kSettingsKey, Settings::kProjectsPath), QStringLiteral("/srv/projects/"));
    EXPECT_FALSE(QDir(base + QStringLiteral("projects")).exists());
    EXPECT_FALSE(store.ReadString(kSettingsKey, Settings::kRecentlyUsedConversionPath).has_value());
    EXPECT_TRUE(Settings::DefaultFolder(Settings::kRecentlyUsedConversionPath).isEmpty());
}

TEST(SettingsFolders, RelativeDataHomeFallsBackToTheHomeFolder)
{
    TempDir dir;
    const ScopedEnv home("HOME", dir.Path());
    for (const char* value : {"", "relative/data"})
    {
        const ScopedEnv data("XDG_DATA_HOME", QString::fromLatin1(value));
        EXPECT_EQ(Settings::UserDataFolder(),
                  QDir::homePath() + QStringLiteral("/.local/share/Velmor/Veskador 3/"))
            << value;
    }
}
