#include "streamio/Version.h"
#include "BuildVersion.h"
#include "streamio/FileVersionInfo.h"
#include "tests/support/TempDir.h"

#include <QFile>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace
{

TEST(Version, ParsesTheTextFormsAndRefusesWhatDoesNotFit)
{
    struct Case
    {
        const char* text;
        uint64_t value;
    } cases[] = {
        {"1.4.2.7", 0x0001000400020007u},
        {"1, 4, 2, 7", 0x0001000400020007u},
        {"1.2.3", 0x0001000200030000u},
        {"1.70000", 0x0000000100011170u}, // two numbers are the 32-bit halves
        {"1.2.70000", 0},
        {"12345", 12345},
        {"1234567890123456789", 1234567890123456789u},
        {"12345678901234567890", 0}, // 20 characters
        {"3.0 beta", 0x0000000300000000u},
        {"1..2", 1},
        {"4294967296.0", 0},
        {"-1", 0},
        {"+1", 0},
        {"1.-2.3.4", 0},
        {"99999999999999999999999.1", 0},
        {"", 0},
        {"v1.2", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CVersion(QString::fromLatin1(c.text)).GetValue(), c.value) << c.text;
}

TEST(Version, FormatsPartsAndCompares)
{
    const CVersion v(0x0001000400020007u);
    EXPECT_EQ(v.Format(4), QStringLiteral("1.4.2.7"));
    EXPECT_EQ(v.Format(3), QStringLiteral("1.4.2"));
    EXPECT_EQ(v.Format(2), QStringLiteral("65540.131079"));
    EXPECT_EQ(v.Format(1), QStringLiteral("281492156710919"));
    EXPECT_EQ(CVersion(~uint64_t{0}).Format(0), QStringLiteral("-1"));
    EXPECT_EQ(v.GetPart(1), 4);
    EXPECT_EQ(v.GetPart(3), 7);
    EXPECT_EQ(v.GetPart(7), 0);
    EXPECT_EQ(v.GetPart(-1), 0);
    EXPECT_GT(CVersion(QStringLiteral("2.0.0.0")), CVersion(QStringLiteral("1.65535.65535.65535")));
    EXPECT_LT(CVersion(QStringLiteral("1.4.2.7")), CVersion(QStringLiteral("1.4.10")));
}

TEST(FileVersionInfo, ChoosesTheTranslationThatSuitsTheUser)
{
    using List = std::vector<std::pair<uint16_t, uint16_t>>;
    struct Case
    {
        const char* rule;
        List list;
        uint16_t user;
        size_t chosen;
    } cases[] = {
        {"same language", {{0x0409, 1200}, {0x0807, 1200}, {0x0407, 1200}}, 0x0407, 2},
        {"same primary language", {{0x0409, 1200}, {0x0807, 1200}}, 0x0407, 1},
        {"neutral", {{0x040C, 1200}, {0x0000, 1200}, {0x0009, 1200}}, 0x0407, 1},
        {"primary neutral", {{0x040C, 1200}, {0x0400, 1200}, {0x0009, 1200}}, 0x0407, 1},
        {"English neutral", {{0x040C, 1200}, {0x0409, 1200}, {0x0009, 1200}}, 0x0407, 2},
        {"any English", {{0x040C, 1200}, {0x0809, 1200}}, 0x0407, 1},
        {"first", {{0x040C, 1252}, {0x0410, 1200}}, 0x0407, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CFileVersionInfo::ChooseTranslation(c.list, c.user), c.chosen) << c.rule;
}

TEST(FileVersionInfo, TheProgramsOwnRecordCarriesTheBuildVersion)
{
    CFileVersionInfo info;
    ASSERT_EQ(info.ReadFromModule(), 1);
    EXPECT_EQ(info.GetProductVersionPart(3), VESKADOR_VERSION_MAJOR);
    EXPECT_EQ(info.GetProductVersionPart(2), VESKADOR_VERSION_MINOR);
    EXPECT_EQ(info.GetProductVersionPart(1), VESKADOR_VERSION_PATCH);
    EXPECT_EQ(info.GetFileVersionPart(0), VESKADOR_VERSION_TWEAK);
    EXPECT_EQ(info.GetFileVersionPart(4), 0);
    EXPECT_EQ(info.GetFixedInfo().signature, 0xFEEF04BDu);
    EXPECT_EQ(info.GetProductName(), QStringLiteral("Veskador 3"));
    EXPECT_EQ(info.GetFileVersionText(), QStringLiteral(VESKADOR_VERSION_TEXT));
    EXPECT_EQ(CVersion(info.GetProductVersionText()).GetPart(0), VESKADOR_VERSION_MAJOR);

    CFileVersionInfo byPath;
    ASSERT_EQ(byPath.ReadFromFile(QStringLiteral("/proc/self/exe")), 1) << "the running program's file";
    EXPECT_EQ(byPath.GetOriginalFileName(), info.GetOriginalFileName());
    CFileVersionInfo copy = byPath;
    EXPECT_EQ(copy.GetProductName(), QStringLiteral("Veskador 3"));
}

TEST(FileVersionInfo, ReadsTheRecordALanguagePackCarries)
{
    CFileVersionInfo info;
    ASSERT_EQ(info.ReadFromFile(QStringLiteral(GERMAN_PACK_PATH)), 1);
    EXPECT_EQ(info.GetProductVersionPart(3), 3);
    EXPECT_EQ(info.GetProductVersionPart(0), 5);
    EXPECT_EQ(info.GetFileVersionPart(1), 2);
    EXPECT_EQ(info.GetFixedInfo().fileType, 2u);
    EXPECT_EQ(info.GetInternalName(), QStringLiteral("Deutsch"));
    EXPECT_EQ(info.GetOriginalFileName(), QStringLiteral("Veskador 3_DEU.rcc"));
    EXPECT_EQ(info.GetComments(), QString());

    // Anything else reads as nothing, and leaves nothing of an earlier read behind.
    TempDir dir;
    const QString notAPack = dir.File(QStringLiteral("Veskador 3_XXX.rcc"));
    QFile f(notAPack);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a resource file");
    f.close();
    for (const QString& path : {notAPack, dir.File(QStringLiteral("missing.rcc"))})
    {
        EXPECT_EQ(info.ReadFromFile(path), 0) << path.toStdString();
        EXPECT_EQ(info.GetProductVersionPart(3), 0);
        EXPECT_EQ(info.GetInternalName(), QString());
    }
}

TEST(FileVersionInfo, ReadsWhatARecordHoldsAndPassesOverMalformedParts)
{
    CFileVersionInfo info;
    // A version part out of range spoils the fixed part only.
    ASSERT_EQ(
        info.ReadFromRecord(R"({"FixedFileInfo": {"FileVersion": [1,2,3,70000], "ProductVersion": [1,2,3,4]},
        "Translations": [{"Language": 2055, "CodePage": 1200, "Strings": {"ProductName": "CH"}},
                         {"Language": "x", "CodePage": 1200, "Strings": {"ProductName": "bad"}},
                         {"Language": 1031, "CodePage": 1200, "Strings": {"ProductName": "DE", "Comments": 5}}]})",
                            0x0407),
        1);
    EXPECT_EQ(info.GetProductVersionPart(3), 0);
    EXPECT_EQ(info.GetProductName(), QStringLiteral("DE"));
    EXPECT_EQ(info.GetComments(), QString());

    EXPECT_EQ(info.ReadFromRecord(
                  R"({"FixedFileInfo": {"FileVersion": [1,2,3,4], "ProductVersion": [5,6,7,8]}})", 0x0407),
              1)
        << "no translations: the fixed part only";
    EXPECT_EQ(info.GetProductVersionPart(3), 5);
    EXPECT_EQ(info.GetProductName(), QString());

    EXPECT_EQ(info.ReadFromRecord("[1, 2]", 0x0407), 0);
    EXPECT_EQ(info.ReadFromRecord("{\"Translations\": [", 0x0407), 0);
    EXPECT_EQ(info.GetProductVersionPart(3), 0) << "reset on failure";
}

} // namespace
