#include "devicefiles/core/DeviceListing.h"
#include "device/DeviceTypes.h"
#include "devicefiles/core/Vesk3Parser.h"
#include "tests/support/QStringPrint.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Device;

namespace
{

// One line per record: "D" or "F", depth, attribute word in hex, path. Every record
// straight from a parse also has index 0 and no marks.
std::vector<std::string> Describe(const TVeskFileArray& records)
{
    std::vector<std::string> lines;
    for (const auto& r : records)
    {
        const QString line = QStringLiteral("%1 %2 %3 %4")
                                 .arg(QChar(r->isFolder ? u'D' : u'F'))
                                 .arg(r->depth)
                                 .arg(r->attributes, 4, 16, QLatin1Char('0'))
                                 .arg(r->path);
        lines.push_back(line.toStdString());
        EXPECT_EQ(r->index, 0) << line.toStdString();
        EXPECT_FALSE(r->marked || r->cut || r->copied) << line.toStdString();
    }
    return lines;
}

QString Repeat(char16_t c, int n)
{
    return QString(n, QChar(c));
}

struct ListingCase
{
    const char* what;
    uint32_t kind;
    QString listing;
    QString prefixBefore;
    QString prefixAfter;
    std::vector<std::string> records;
};

TEST(DeviceListing, ListingsGiveTheirRecords)
{
    // Root prefix of 239 characters: a path of 260 characters still fits, 261 does not.
    const QString longRoot = u'\\' + Repeat(u'p', 238) + u'\\';
    const std::string longPrefix = (u'\\' + Repeat(u'p', 238)).toStdString();

    const ListingCase cases[] = {
        {"a conversion folder with one subfolder holding one file",
         fileConversion,
         uR"(0000;00;"\Persistent Storage\cnv\";1000;01;"Old.DIR";0002;02;"B1.cnv")"_qs,
         {},
         uR"(\Persistent Storage\cnv)"_qs,
         {R"(D 1 1000 \Persistent Storage\cnv\Old.DIR\)",
          R"(F 2 0002 \Persistent Storage\cnv\Old.DIR\B1.cnv)"}},
        {"the same with the final separator left on",
         fileConversion,
         uR"(0000;00;"\Persistent Storage\cnv\";1000;01;"Old.DIR";0002;02;"B1.cnv";)"_qs,
         {},
         uR"(\Persistent Storage\cnv)"_qs,
         {R"(D 1 1000 \Persistent Storage\cnv\Old.DIR\)",
          R"(F 2 0002 \Persistent Storage\cnv\Old.DIR\B1.cnv)"}},
        {"an empty listing", fileMeasurement, u""_qs, {}, {}, {}},
        {"only a root entry",
         fileLanguage,
         uR"(0000;00;"\Persistent Storage\lang\")"_qs,
         {},
         uR"(\Persistent Storage\lang)"_qs,
         {}},
        {"a listing without root keeps the prefix it had",
         fileMeasurement,
         uR"(0001;01;"a.vsm")"_qs,
         uR"(\Persistent Storage\meas)"_qs,
         uR"(\Persistent Storage\meas)"_qs,
         {R"(F 1 0001 \Persistent Storage\meas\a.vsm)"}},
        {"files without the kind's bit are dropped, folders kept whatever their attributes",
         fileMeasurement,
         uR"(0000;00;"\PS\meas\";0002;01;"a.cnv";0000;01;"Series.DIR";0001;02;"s1.vsm";0008;02;"h.chm";)"_qs
         uR"(0021;01;"both.vsm")"_qs,
         {},
         uR"(\PS\meas)"_qs,
         {R"(D 1 0000 \PS\meas\Series.DIR\)", R"(F 2 0001 \PS\meas\Series.DIR\s1.vsm)",
          R"(F 1 0021 \PS\meas\both.vsm)"}},
        {".dir in another case is a file; bit 0x1000 makes a folder without .DIR",
         fileConversion,
         uR"(0002;01;"Old.dir";1000;01;"Plain";0002;02;"x.cnv")"_qs,
         {},
         {},
         {R"(F 1 0002 \Old.dir)", R"(D 1 1000 \Plain\)", R"(F 2 0002 \Plain\x.cnv)"}},
        {"depth 1 after nested entries lies in the root again",
         fileMeasurement,
         uR"(1000;01;"A.DIR";1000;02;"B.DIR";0001;03;"deep.vsm";0001;02;"mid.vsm";0001;01;"top.vsm")"_qs,
         {},
         {},
         {R"(D 1 1000 \A.DIR\)", R"(D 2 1000 \A.DIR\B.DIR\)", R"(F 3 0001 \A.DIR\B.DIR\deep.vsm)",
          R"(F 2 0001 \A.DIR\mid.vsm)", R"(F 1 0001 \top.vsm)"}},
        {"depth 0 leaves the running path unchanged",
         fileMeasurement,
         uR"(1000;01;"A.DIR";0001;00;"in.vsm";1000;00;"B.DIR";0001;00;"inb.vsm")"_qs,
         {},
         {},
         {R"(D 1 1000 \A.DIR\)", R"(F 2 0001 \A.DIR\in.vsm)", R"(D 2 1000 \A.DIR\B.DIR\)",
          R"(F 3 0001 \A.DIR\B.DIR\inb.vsm)"}},
        {"a depth beyond the running path leaves it whole",
         fileMeasurement,
         uR"(0001;05;"far.vsm";1000;01;"A.DIR";1000;07;"B.DIR";0001;09;"x.vsm")"_qs,
         {},
         {},
         {R"(F 1 0001 \far.vsm)", R"(D 1 1000 \A.DIR\)", R"(D 2 1000 \A.DIR\B.DIR\)",
          R"(F 3 0001 \A.DIR\B.DIR\x.vsm)"}},
        {"long fields are read from their first digits and removed whole",
         fileConversion,
         uR"(12345;012;"x.cnv";00023;1FF;"y.cnv")"_qs,
         {},
         {},
         {R"(D 1 1234 \x.cnv\)", R"(F 2 0002 \x.cnv\y.cnv)"}},
        {"separators before a field and blanks before digits are skipped; no digits reads 0",
         fileMeasurement,
         uR"(;;  1000; 01;"A.DIR";;0001;	2;"x.vsm";zz;01;"Z.DIR";0001;q;"r.vsm")"_qs,
         {},
         {},
         {R"(D 1 1000 \A.DIR\)", R"(F 2 0001 \A.DIR\x.vsm)", R"(D 1 0000 \Z.DIR\)",
          R"(F 2 0001 \Z.DIR\r.vsm)"}},
        {"a second root entry changes the prefix for the entries after it",
         fileMeasurement,
         uR"(0000;00;"\PS\a\";0001;01;"1.vsm";0000;00;"\PS\b\";0001;01;"2.vsm")"_qs,
         {},
         uR"(\PS\b)"_qs,
         {R"(F 1 0001 \PS\a\1.vsm)", R"(F 1 0001 \PS\b\2.vsm)"}},

        // The listing comes from the device: names that could reach outside the path
        // they are listed in, and everything inside such a folder, are dropped.
        {"names that are no file names, with the contents of such a folder",
         fileMeasurement,
         uR"(0001;01;"..";0001;01;".";0001;01;"a/b.vsm";0001;01;"c\d.vsm";0001;01;"";)"_qs
         uR"(1000;01;"..\x.DIR";0001;02;"inside.vsm";1000;02;"Sub.DIR";0001;03;"deeper.vsm";)"_qs
         uR"(0001;00;"nested.vsm";1000;01;"";0001;02;"under-empty.vsm";)"_qs
         uR"(1000;01;"A.DIR";1000;02;"..";0001;03;"below-dotdot.vsm";0001;02;"ok-in-a.vsm";0001;01;"ok.vsm")"_qs,
         {},
         {},
         {R"(D 1 1000 \A.DIR\)", R"(F 2 0001 \A.DIR\ok-in-a.vsm)", R"(F 1 0001 \ok.vsm)"}},
        {"control characters in a name",
         fileMeasurement,
         u"0001;01;\"bell\x0007.vsm\";0001;01;\"nul\x0000.vsm\";0001;01;\"del\x007F.vsm\";0001;01;\"ok.vsm\""_qs,
         {},
         {},
         {R"(F 1 0001 \ok.vsm)"}},
        {"paths longer than the tester takes, with the contents of such a folder",
         fileMeasurement,
         u"0000;00;\""_qs + longRoot + u"\";0001;01;\""_qs + Repeat(u'f', 20) + u"\";0001;01;\""_qs +
             Repeat(u'g', 21) + u"\";1000;01;\""_qs + Repeat(u'd', 19) + u"\";1000;01;\""_qs +
             Repeat(u'e', 20) + u"\";0001;02;\"x\";0001;01;\"y\""_qs,
         {},
         longRoot.chopped(1),
         {"F 1 0001 " + longPrefix + "\\" + std::string(20, 'f'),
          "D 1 1000 " + longPrefix + "\\" + std::string(19, 'd') + "\\", "F 1 0001 " + longPrefix + "\\y"}},
        {"an entry whose name is not closed ends the listing",
         fileMeasurement,
         uR"(0001;01;"a.vsm";0001;01;"b.vsm;0001;01;c.vsm)"_qs,
         {},
         {},
         {R"(F 1 0001 \a.vsm)"}},
    };
    for (const ListingCase& c : cases)
    {
        SCOPED_TRACE(c.what);
        QString listing = c.listing;
        QString prefix = c.prefixBefore;
        TVeskFileArray records;
        ParseListing(listing, c.kind, prefix, records);
        EXPECT_EQ(Describe(records), c.records);
        EXPECT_EQ(prefix, c.prefixAfter);
        EXPECT_TRUE(listing.isEmpty());
    }
}

TEST(DeviceListing, ParsingAgainReplacesTheRecords)
{
    QString prefix;
    TVeskFileArray records;
    QString first = uR"(0000;00;"\PS\help\";0008;01;"a.chm";0008;01;"b.chm")"_qs;
    ParseListing(first, fileHelp, prefix, records);
    ASSERT_EQ(records.size(), 2u);
    records[0]->marked = true;
    records[0]->index = 7;

    QString second = uR"(0008;01;"c.chm")"_qs;
    ParseListing(second, fileHelp, prefix, records);
    EXPECT_EQ(Describe(records), std::vector<std::string>{R"(F 1 0008 \PS\help\c.chm)"});
}

TEST(DeviceListing, DeeplyNestedFoldersStopAtTheLongestPath)
{
    // Folders nested through depth 0 without end: only those whose path fits are kept,
    // the entries below them are dropped, and a later entry of depth 1 lies in the root.
    QString listing;
    for (int i = 0; i < 20000; ++i)
        listing += u"1000;00;\"a.DIR\";0001;00;\"f.vsm\";";
    listing += u"0001;01;\"top.vsm\"";
    QString prefix;
    TVeskFileArray records;
    ParseListing(listing, fileMeasurement, prefix, records);

    // "\" and 6 characters a level: 43 folders fit in 260 characters, and the file in
    // the 43rd does not ("\a.DIR" * 43 + "\f.vsm" is 264 long) while the one in the 42nd does.
    ASSERT_EQ(records.size(), 43u + 42u + 1u);
    int depth = 0;
    for (const auto& r : records)
    {
        EXPECT_LE(r->path.size(), kMaxDevicePathLength);
        if (r->isFolder)
        {
            EXPECT_EQ(r->depth, ++depth);
        }
    }
    EXPECT_EQ(records.back()->path, uR"(\top.vsm)"_qs);
    EXPECT_EQ(records.back()->depth, 1);
}

TEST(Vesk3Parser, KeepsTheKindsOfItsMaskAndGivesEveryPath)
{
    QString listing = uR"(0000;00;"\Persistent Storage\";0010;01;"profiles.bin";0020;01;"Veskora3.log";)"_qs
                      uR"(0001;01;"m.vsm";1000;01;"Logs.DIR";0020;02;"old.log";0030;02;"both.bin")"_qs;
    CVesk3Parser parser(listing, fileProfiles | fileLog);
    EXPECT_TRUE(listing.isEmpty());
    EXPECT_EQ(parser.GetRootPrefix(), uR"(\Persistent Storage)"_qs);
    const QStringList expected = {
        uR"(\Persistent Storage\profiles.bin)"_qs,      uR"(\Persistent Storage\Veskora3.log)"_qs,
        uR"(\Persistent Storage\Logs.DIR\)"_qs,         uR"(\Persistent Storage\Logs.DIR\old.log)"_qs,
        uR"(\Persistent Storage\Logs.DIR\both.bin)"_qs,
    };
    EXPECT_EQ(parser.GetAllPaths(), expected);
    EXPECT_EQ(parser.GetRecords().size(), 5u);

    QString empty;
    CVesk3Parser none(empty, fileLog);
    EXPECT_TRUE(none.GetAllPaths().isEmpty());
    EXPECT_TRUE(none.GetRootPrefix().isEmpty());
}

TEST(DeviceListing, CutPathAtDepthKeepsTheFirstLevels)
{
    struct Case
    {
        QString path;
        int n;
        QString expected;
    } cases[] = {
        {uR"(\A.DIR\B.DIR\)"_qs, 0, uR"(\)"_qs},
        {uR"(\A.DIR\B.DIR\)"_qs, 1, uR"(\A.DIR\)"_qs},
        {uR"(\A.DIR\B.DIR\)"_qs, 2, uR"(\A.DIR\B.DIR\)"_qs},
        {uR"(\A.DIR\B.DIR\)"_qs, 3, uR"(\A.DIR\B.DIR\)"_qs},
        {uR"(\A.DIR\B.DIR\)"_qs, -1, uR"(\A.DIR\B.DIR\)"_qs},
        {uR"(\A.DIR\file.vsm)"_qs, 1, uR"(\A.DIR\)"_qs},
        {uR"(\Persistent Storage\x)"_qs, 1, uR"(\Persistent Storage\)"_qs},
        {u"name"_qs, 0, u"name"_qs},
        {QString(), 0, QString()},
        {uR"(\A\)"_qs, 2147483647, uR"(\A\)"_qs},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CutPathAtDepth(c.path, c.n), c.expected) << c.path.toStdString() << " at " << c.n;
}

} // namespace
