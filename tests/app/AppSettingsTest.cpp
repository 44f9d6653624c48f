#include "app/AboutDlg.h"
#include "app/Veskador3SE.h"
#include "document/SettingsFolders.h"
#include "platform/core/SettingsStore.h"
#include "platform/core/StringTable.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/MessageBoxRecorder.h"

#include <QCoreApplication>
#include <QFile>

#include <gtest/gtest.h>

namespace
{
class AppSettings : public ::testing::Test
{
protected:
    void SetUp() override { store.CreateKey(AppSettingsKey()); }
    void TearDown() override
    {
        // Back to the built-in texts for the tests that follow.
        store.Write(AppSettingsKey(), QStringLiteral("LanguageFile"),
                    QCoreApplication::applicationFilePath());
        theApp().LoadSettings();
        theApp().LoadLanguageResources();
    }

    void Load()
    {
        theApp().InitApplication();
        theApp().LoadSettings();
        theApp().LoadLanguageResources();
    }

    AppEnvironment env;
    MessageBoxRecorder boxes;
    Platform::SettingsStore& store = Platform::SettingsStore::Instance();
};
} // namespace

TEST_F(AppSettings, DateAndTimePatternsFollowDTFormat)
{
    struct Case
    {
        uint32_t format;
        const char* date;
        uint32_t dateId;
        const char* time;
        uint32_t timeId;
    };
    const Case cases[] = {
        {0x0000, "MM/dd/yyyy", 1022, "h:mm tt", 1030}, {0x0101, "dd-MM-yyyy", 1023, "h:mmt", 1031},
        {0x0203, "dd/MM/yyyy", 1024, "HH:mm", 1033},   {0x0302, "dd.MM.yyyy", 1025, "H:mm", 1032},
        {0x0505, "MM/dd/yyyy", 1022, "h:mm tt", 1030}, {0xFF04, "MM/dd/yyyy", 1022, "h:mm tt", 1030},
    };
    for (const Case& c : cases)
    {
        SaveDateTimeFormat(c.format);
        EXPECT_EQ(store.ReadNumber(AppSettingsKey(), QStringLiteral("DTFormat")), c.format);
        uint32_t dateId = 0;
        uint32_t timeId = 0;
        EXPECT_EQ(GetDateFormatString(&dateId), QLatin1String(c.date)) << c.format;
        EXPECT_EQ(GetTimeFormatString(&timeId), QLatin1String(c.time)) << c.format;
        EXPECT_EQ(dateId, c.dateId);
        EXPECT_EQ(timeId, c.timeId);
    }
}

TEST_F(AppSettings, MissingSettingsGetTheirDefaultsWrittenBack)
{
    store.Write(AppSettingsKey(), QStringLiteral("DTFormat"), uint32_t{0x0203});
    Load();
    EXPECT_EQ(GetDateTimeFormat(), 0x0203u) << "a stored value is kept";
    EXPECT_EQ(store.ReadString(AppSettingsKey(), QStringLiteral("LanguageFile")),
              QCoreApplication::applicationFilePath());

    // A value of the wrong type counts as missing; a long path is a path like any other.
    const QString longPath = QStringLiteral("/opt/") + QString(300, u'x') + QStringLiteral("/Veskador 3_DE.rcc");
    store.Write(AppSettingsKey(), QStringLiteral("DTFormat"), QStringLiteral("3"));
    store.Write(AppSettingsKey(), QStringLiteral("LanguageFile"), longPath);
    Load();
    EXPECT_EQ(GetDateTimeFormat(), 0u);
    EXPECT_EQ(store.ReadNumber(AppSettingsKey(), QStringLiteral("DTFormat")), 0u);
    EXPECT_EQ(GetLanguageFile(true), longPath);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(AppSettings, ADamagedSettingsFileIsToldOnceAndKeptUntilASettingChanges)
{
    const QString path = store.FilePath();
    const QByteArray damaged = "{\"format\": 1, \"keys\": [ {\"key\": ";
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(damaged);
    }
    auto fileBytes = [](const QString& name)
    {
        QFile file(name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    store.Reload();
    // Two starts of the program: the first tells, neither writes the user's file.
    Load();
    Settings::InitDefaultFolders(Settings::Registry());
    Load();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].text.contains(path)) << boxes.boxes[0].text.toStdString();
    EXPECT_TRUE(boxes.boxes[0].text.contains(QStringLiteral("byte"))) << "and why";
    EXPECT_EQ(fileBytes(path), damaged);
    EXPECT_EQ(GetDateTimeFormat(), 0u) << "the program runs on its defaults";

    // The user picks another date format: the damaged file is kept, the new one holds it
    // and the defaults.
    SaveDateTimeFormat(0x0203);
    const QString backup = path + QStringLiteral(".bad1");
    EXPECT_TRUE(boxes.boxes[0].text.contains(backup));
    EXPECT_EQ(fileBytes(backup), damaged);
    Platform::SettingsStore again(path);
    EXPECT_EQ(again.ReadNumber(AppSettingsKey(), QStringLiteral("DTFormat")), 0x0203u);
    EXPECT_EQ(again.ReadString(AppSettingsKey(), QStringLiteral("LanguageFile")),
              QCoreApplication::applicationFilePath());
    QString projects;
    EXPECT_TRUE(Settings::Registry(again).ReadString(Settings::kProjectsPath, projects));
    EXPECT_EQ(boxes.boxes.size(), 1u);
    QFile::remove(backup);
}

TEST_F(AppSettings, GetLanguageFileGivesTheNameAfterTheLastSeparator)
{
    struct Case
    {
        QString stored;
        QString name;
    };
    const Case cases[] = {
        {QStringLiteral("/opt/veskador3/Veskador 3_DEU.rcc"), QStringLiteral("Veskador 3_DEU.rcc")},
        {QStringLiteral("C:\\Program\\Veskador 3_FRA.rcc"), QStringLiteral("Veskador 3_FRA.rcc")},
        {QStringLiteral("Veskador 3_ITA.rcc"), QStringLiteral("Veskador 3_ITA.rcc")},
    };
    for (const Case& c : cases)
    {
        SetLanguageFile(c.stored);
        EXPECT_EQ(GetLanguageFile(false), c.name);
        EXPECT_EQ(GetLanguageFile(true), c.stored);
        EXPECT_EQ(store.ReadString(AppSettingsKey(), QStringLiteral("LanguageFile")), c.stored);
    }
}

TEST_F(AppSettings, AFittingLanguagePackReplacesTextsAndOthersAreIgnored)
{
    const QString builtIn = Platform::LoadString(1135);

    // Same major and minor version: its texts and version information are used.
    store.Write(AppSettingsKey(), QStringLiteral("LanguageFile"), QStringLiteral(FIT_PACK_PATH));
    Load();
    EXPECT_EQ(Platform::LoadString(1135), QStringLiteral("Velmor Veskador 3 (Deutsch)"));
    EXPECT_EQ(GetTimeFormatString(), QStringLiteral("HH:mm 'Uhr'"));
    EXPECT_EQ(Platform::LoadString(1022), QStringLiteral("MM/dd/yyyy")) << "texts it lacks stay built in";
    EXPECT_EQ(Platform::LoadString(20014), QStringLiteral(" [%d von %d]"));
    EXPECT_EQ(Platform::LoadString(20015), QStringLiteral("An error (%d) occurred during the device Update."))
        << "a text with other placeholders than the built-in one stays built in";
    EXPECT_EQ(theApp().LanguageVersion().GetComments(), QStringLiteral("fitting pack"));
    CAboutDlg about(theApp().ProgramVersion(), theApp().LanguageVersion());
    EXPECT_EQ(about.FieldText(CAboutDlg::IDC_COMMENTS), QStringLiteral("fitting pack"));
    EXPECT_EQ(about.FieldText(CAboutDlg::IDC_VERSION),
              QStringLiteral("%1.%2")
                  .arg(theApp().ProgramVersion().GetProductVersionPart(3))
                  .arg(theApp().ProgramVersion().GetProductVersionPart(2)));

    // A pack of another minor version and a missing file keep the texts in use, without a
    // message.
    for (const QString& path :
         {QStringLiteral(NEXT_PACK_PATH), env.Dir().File(QStringLiteral("missing.rcc"))})
    {
        store.Write(AppSettingsKey(), QStringLiteral("LanguageFile"), path);
        Load();
        EXPECT_EQ(Platform::LoadString(1135), QStringLiteral("Velmor Veskador 3 (Deutsch)"))
            << path.toStdString();
        EXPECT_EQ(theApp().LanguageVersion().GetComments(), QStringLiteral("fitting pack"));
    }
    EXPECT_TRUE(boxes.boxes.empty());

    // Upper-case ".RCC" or the program's own path is not a pack: the built-in texts return.
    store.Write(AppSettingsKey(), QStringLiteral("LanguageFile"), QStringLiteral("/opt/Veskador3_DEU.RCC"));
    Load();
    EXPECT_EQ(Platform::LoadString(1135), builtIn);
}

TEST_F(AppSettings, TheNewerPackAloneIsIgnored)
{
    store.Write(AppSettingsKey(), QStringLiteral("LanguageFile"), QStringLiteral(NEXT_PACK_PATH));
    const QString builtIn = Platform::LoadString(1135);
    Load();
    EXPECT_EQ(Platform::LoadString(1135), builtIn);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(AppSettings, TheUpgradeToolGetsItsLanguageSetting)
{
    EXPECT_TRUE(WriteUpgradeToolLanguage());
    EXPECT_EQ(store.ReadString(QStringLiteral("Software\\Velmor\\DiZivavir\\Settings"),
                               QStringLiteral("LanguageFile")),
              QStringLiteral("\\DiZivavir.exe"));
}
