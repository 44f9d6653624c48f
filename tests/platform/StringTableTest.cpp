#include "platform/core/StringTable.h"

#include <gtest/gtest.h>

using Platform::HasSamePlaceholders;
using Platform::StringTable;

TEST(StringTable, PackTextsKeepTheBuiltInPlaceholders)
{
    struct Case
    {
        const char16_t* builtIn;
        const char16_t* translated;
        bool same;
    };
    const Case cases[] = {
        {u"Search %s device on %s...", u"Suche %s Gerät an %s...", true},
        {u" [%d/%d]", u" [%d von %d]", true},
        {u"%.0sSerial number: %s    %s", u"%.0sSeriennummer: %s %s", true},
        {u"100%% done, 50%", u"100 %% fertig, 50%", true}, // percent signs
        {u"%1 of %2", u"%2 von %1", true},                 // numbered ones in any order
        {u"An error (%d) occurred.", u"Fehler (%s).", false},
        {u"%s and %s", u"%s", false},
        {u"Update to version %s", u"Update auf %s (%s)", false},
        {u"No device found.", u"Kein Gerät %d gefunden.", false},
        {u"%.0sSerial: %s %s", u"%sSerie: %s %s", false},
        {u"%d of %d", u"%2d von %d", false},
        {u"%1 of %2", u"%1 von %1", false},
        {u"%1 of %2", u"%1 von %12", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HasSamePlaceholders(QString::fromUtf16(c.translated), QString::fromUtf16(c.builtIn)),
                  c.same)
            << QString::fromUtf16(c.translated).toStdString();

    StringTable table;
    table.Set(1, QStringLiteral("Search %s device on %s..."));
    table.Set(2, QStringLiteral("Done"));
    table.Set(3, QStringLiteral(" [%d/%d]"));
    const QByteArray pack = R"({"1": "Suche %s", "2": "Fertig", "3": " [%d von %d]", "4": "neu %s",
                                "5": "neu", "x": "y", "6": 7})";
    EXPECT_EQ(table.ApplyPack(pack), 3);
    EXPECT_EQ(table.Get(1), QStringLiteral("Search %s device on %s...")) << "a placeholder short: built in";
    EXPECT_EQ(table.Get(2), QStringLiteral("Fertig"));
    EXPECT_EQ(table.Get(3), QStringLiteral(" [%d von %d]"));
    EXPECT_FALSE(table.Contains(4)) << "a stray placeholder in a text the program does not have";
    EXPECT_EQ(table.Get(5), QStringLiteral("neu"));
    EXPECT_EQ(table.ApplyPack("not a table"), 0);
}
