#include "measurement/ScaleCodes.h"
#include "measurement/ConvRecord.h"
#include "measurement/Material.h"
#include "measurement/PackedSerial.h"
#include "measurement/ProbeId.h"
#include "measurement/TargetScale.h"
#include "tests/support/MeasurementTexts.h"

#include <gtest/gtest.h>

namespace
{

class ScaleCodes : public ::testing::Test
{
protected:
    void SetUp() override { SetEnglishMeasurementTexts(); }
};

SPackedSerial Serial(uint8_t type, int first, int second, int third, int fourth = 0, int fifth = 1,
                     char letter = ' ')
{
    SPackedSerial s;
    s.bytes[0] = type;
    s.bytes[1] = static_cast<uint8_t>(first | ((fourth & 1) << 7));
    s.bytes[2] = static_cast<uint8_t>((fourth >> 1) | ((fifth - 1) << 6));
    s.bytes[3] = static_cast<uint8_t>(letter == ' ' ? 0 : (letter - 0x40) << 3);
    s.bytes[4] = static_cast<uint8_t>(second);
    s.bytes[5] = static_cast<uint8_t>(((second >> 8) & 3) | ((third & 63) << 2));
    s.bytes[6] = static_cast<uint8_t>(third >> 6);
    s.bytes[7] = 0x70; // layout 3, check bits 6-7 not both clear, low bits 0
    return s;
}

} // namespace

TEST_F(ScaleCodes, ProbeTableWalkAndRanges)
{
    int cursor = 0;
    std::vector<int> codes{GetFirstProbeCode(cursor)};
    for (int c = GetNextProbeCode(cursor); c != 0; c = GetNextProbeCode(cursor))
        codes.push_back(c);
    EXPECT_EQ(codes, (std::vector<int>{0x101, 0x102, 0x103, 0x104, 0x105, 0x106, 0x107, 0x108, 0x10F, 0x201,
                                       0x221}));
    EXPECT_EQ(GetNextProbeCode(cursor), 0); // stays at the end

    EXPECT_EQ(GetProbeMax(0x101), 999.0f);
    EXPECT_EQ(GetProbeMax(0x221), 100.0f);
    EXPECT_EQ(GetProbeMin(0x300), 0.0f);
    EXPECT_EQ(GetProbeMax(0x300), 0.0f);
    EXPECT_EQ(GetProbeShortName(0x103), "D+15");
    EXPECT_EQ(GetProbeShortName(0x300), "");
    EXPECT_EQ(GetScaleShortName(4), "HRC");
    EXPECT_EQ(GetScaleShortName(0x201), "um");
    EXPECT_EQ(GetScaleShortName(0), "");
    EXPECT_TRUE(IsScaleCode(13));
    EXPECT_TRUE(IsScaleCode(0x10F));
    EXPECT_FALSE(IsScaleCode(14));
    EXPECT_FALSE(IsScaleCode(0));
    EXPECT_TRUE(IsBenchProbeCode(0x231));
    EXPECT_FALSE(IsBenchProbeCode(0x101));
}

TEST_F(ScaleCodes, TwentyNewtonCodesHaveNamesButNoRow)
{
    for (int code : {0x211, 0x231})
    {
        EXPECT_FALSE(IsProbeCode(code));
        EXPECT_TRUE(IsDepthScale(code));
        QString name;
        EXPECT_TRUE(GetProbeLongName(code, name));
        EXPECT_EQ(name, "Veskamon 20N");
        SProbeId id;
        EXPECT_FALSE(id.Set(code, nullptr, 5));
        EXPECT_TRUE(id.IsEqual(SProbeId()));
    }
    EXPECT_FALSE(IsDepthScale(0x202));
}

TEST_F(ScaleCodes, UnknownProbeCodeCanBeKeptForStoring)
{
    const SPackedSerial serial = Serial(144, 7, 12, 345);
    SProbeId id;
    EXPECT_FALSE(id.SetKeepingUnknown(0x231, &serial, 1));
    EXPECT_EQ(id.code, 0x231);
    EXPECT_EQ(id.serial, serial);
    EXPECT_EQ(id.flags, 1);
    EXPECT_TRUE(id.IsBenchProbe());
    EXPECT_FALSE(id.IsB724Off());

    EXPECT_TRUE(id.SetKeepingUnknown(0x201, nullptr, -1)); // a known code behaves as Set
    EXPECT_FALSE(id.SetKeepingUnknown(0xFFFF, &serial, 1));
    EXPECT_TRUE(id.IsEqual(SProbeId()));
}

TEST_F(ScaleCodes, ScaleNamesAndDecimals)
{
    struct Case
    {
        int code;
        bool imperial;
        const char* shortName;
        const char* longName;
        bool known;
        int decimals;
    };
    const Case cases[] = {
        {1, false, "HB", "Brinell", true, 0},
        {4, false, "HRC", "Rockwell C", true, 1},
        {8, false, "HMMRC", "Rockwell C (DIN)", true, 1},
        {9, false, "HRBN", "HRBN (ASTM)", true, 0},
        {13, false, "HRH", "Rockwell H", true, 0},
        {0x10F, false, "HL", "Leeb (calibrator)", true, 0},
        {0x201, false, "\xC2\xB5m", "Micrometers", true, 1},
        {0x231, true, "in/1000", "1/1000 inch", true, 2},
        {0, false, "H?", "No scale selected", true, 0},
        {-1, false, "H?", "No scale selected", true, 0},
        {0x120, false, "Error", "Error", false, 0},
    };
    for (const Case& c : cases)
    {
        QString s, l;
        EXPECT_EQ(GetScaleNames(c.code, s, l, c.imperial), c.known) << c.code;
        EXPECT_EQ(s, QString::fromUtf8(c.shortName)) << c.code;
        EXPECT_EQ(l, QString::fromUtf8(c.longName)) << c.code;
        EXPECT_EQ(GetScaleDecimals(c.code, c.imperial), c.decimals) << c.code;
    }
    QString name;
    EXPECT_FALSE(GetProbeLongName(0x109, name));
    EXPECT_EQ(name, "Unknown");
    EXPECT_TRUE(GetProbeLongName(0x108, name));
    EXPECT_EQ(name, "Veskora-SVP40");
}

TEST_F(ScaleCodes, StandardAndMaterialNames)
{
    EXPECT_EQ(GetConversionStandardName(1), "default");
    EXPECT_EQ(GetConversionStandardName(15), "default");
    EXPECT_EQ(GetConversionStandardName(2), "ISO 18265");
    EXPECT_EQ(GetConversionStandardName(4), "ASTM E140");
    EXPECT_EQ(GetConversionStandardName(8), "Custom J");
    EXPECT_EQ(GetConversionStandardName(3), "unknown");

    struct Case
    {
        int type, variant, target;
        bool bench;
        const char* text;
        bool known;
    };
    const Case cases[] = {
        {1, 0, 2, false, "Steel and cast steel", true},
        {1, 0, 2, true, "Default / Steel and cast steel", true},
        {1, 2, 6, false, "Treat. steel heat tr.", true},
        {1, 3, 6, false, "Treat. steel untreat.", true},
        {1, 3, 2, false, "Steel and cast steel", true},
        {6, 1, 1, false, "ALU-AN40 (ABB)", true},
        {6, 0, 1, false, "default (Cast aluminium alloys)", true},
        {6, 2, 1, false, "Cast aluminium alloys", true},
        {9, 0, 1, false, "Wrought copper alloys", true},
        {15, 0, 1, false, "Material independent", true},
        {0, 0, 1, false, "Customer defined", false},
        {12, 0, 1, false, "Customer defined", false},
    };
    for (const Case& c : cases)
    {
        QString name;
        EXPECT_EQ(GetMaterialGroupName(c.type, c.variant, c.target, name, c.bench), c.known);
        EXPECT_EQ(name, c.text) << c.type << "/" << c.variant;
    }
}

TEST_F(ScaleCodes, TargetScaleSetting)
{
    STargetScale t;
    EXPECT_TRUE(t.Set(0xFFFF, 0x24, 1));
    EXPECT_EQ(t.scale, -1);
    EXPECT_EQ(t.standard, 4);
    EXPECT_EQ(t.flag, 1);
    EXPECT_FALSE(t.Set(14, 2, 1));
    EXPECT_EQ(t.scale, -1);
    EXPECT_EQ(t.standard, -1);
    EXPECT_EQ(t.flag, 0);
    EXPECT_TRUE(t.Set(0x101, -1, 0));
    EXPECT_EQ(t.scale, 0x101);
    EXPECT_EQ(t.standard, 15);
    EXPECT_TRUE(t.IsEqual(STargetScale(0x101, 15, 1))); // the flag is not compared
    EXPECT_TRUE(t.IsNotEqual(STargetScale(0x101, 1, 0)));

    SConvRecordInfo record;
    record.target = 2;
    record.standard = 2;
    for (auto [revision, flag] : {std::pair{8, 0}, std::pair{15, 0}, std::pair{3, 1}})
    {
        record.revision = static_cast<uint8_t>(revision);
        EXPECT_EQ(STargetScale(record).flag, flag);
    }
}

TEST_F(ScaleCodes, MaterialSetting)
{
    SMaterial m;
    EXPECT_TRUE(m.Set(15, 7));
    EXPECT_EQ(m.type, 15);
    EXPECT_EQ(m.group, 0);
    EXPECT_FALSE(m.Set(10, 0));
    EXPECT_EQ(m.type, 0xFF);
    EXPECT_EQ(m.group, 0xFF);
    EXPECT_FALSE(m.Set(3, 15));
    EXPECT_TRUE(m.Set(3, -1)); // any variant
    EXPECT_EQ(m.group, 0xFF);

    const QString forty(40, QLatin1Char('x'));
    EXPECT_TRUE(m.SetCustom(forty, 2));
    EXPECT_EQ(m.type, 0);
    EXPECT_EQ(m.Name(), forty.left(31));
    EXPECT_FALSE(m.SetCustom(QString(), 0));
    EXPECT_EQ(m.type, 0xFF);
    EXPECT_FALSE(m.SetCustom(u"abc", 16));
    EXPECT_TRUE(m.SetCustom(u"abc", 15));

    SMaterial a, b;
    a.Set(3, 4);
    b.Set(3, 4);
    EXPECT_TRUE(a.IsEqual(b));
    a.SetCustom(u"Alloy7", 1);
    b.SetCustom(u"Alloy8", 1);
    EXPECT_TRUE(a.IsNotEqual(b));
    b.Assign(a);
    EXPECT_TRUE(a.IsEqual(b));
    // Set clears a custom name.
    b.Set(0, 1);
    EXPECT_EQ(b.Name(), "");
    EXPECT_TRUE(b.IsNotEqual(a));
}

TEST_F(ScaleCodes, MaterialNamesAndRecords)
{
    SMaterial m;
    m.Set(1, 0);
    EXPECT_EQ(m.GetName(false), "Steel and cast steel");
    EXPECT_EQ(m.GetName(true), "Default / Steel and cast steel");
    char16_t buffer[32];
    EXPECT_EQ(m.CopyName(buffer), 20);
    EXPECT_EQ(QString::fromUtf16(buffer), "Steel and cast steel");
    EXPECT_EQ(m.CopyName(nullptr), 0);
    m.SetCustom(u"Alloy7", 0);
    EXPECT_EQ(m.GetName(true), "Alloy7");
    EXPECT_EQ(m.CopyName(buffer), 6);
    m.Clear();
    EXPECT_EQ(m.GetName(false), "???");
    EXPECT_EQ(m.CopyName(buffer), 0);
    EXPECT_EQ(buffer[0], u'\0');

    SConvRecordInfo record;
    record.matType = 0;
    record.matGroup = 3;
    record.name[0] = u'Q';
    EXPECT_TRUE(m.SetFromRecord(record));
    EXPECT_EQ(m.Name(), "Q");
    EXPECT_EQ(m.group, 3);
    record.matType = 15;
    EXPECT_TRUE(m.SetFromRecord(record));
    EXPECT_EQ(m.group, 0);
    EXPECT_EQ(m.Name(), "");
    record.matType = 12;
    EXPECT_FALSE(m.SetFromRecord(record));
    EXPECT_EQ(m.type, 0xFF);
}

TEST_F(ScaleCodes, ProbeCompatibility)
{
    const SPackedSerial s1 = Serial(144, 7, 12, 345);
    const SPackedSerial s2 = Serial(144, 7, 12, 346);
    const SPackedSerial zero;
    struct Case
    {
        int a;
        const SPackedSerial* sa;
        int b;
        const SPackedSerial* sb;
        bool modeChange;
        bool compatible;
    };
    const Case cases[] = {
        {0x201, &s1, 0x221, &s1, false, false}, {0x201, &s1, 0x221, &s1, true, true},
        {0x201, &s1, 0x221, &zero, true, true}, {0x201, &s1, 0x221, &s2, true, false},
        {0x101, &s1, 0x102, &s1, true, false},  {0x101, &s1, 0x101, &s1, false, true},
        {0x101, &s1, 0x101, &s2, true, false},
    };
    for (const Case& c : cases)
    {
        const SProbeId a(c.a, c.sa, 0);
        const SProbeId b(c.b, c.sb, 0);
        EXPECT_EQ(a.IsCompatible(b, c.modeChange), c.compatible) << std::hex << c.a << " " << c.b;
    }

    SProbeId id(0x201, &s1, 3);
    id.SetB724Bit();
    EXPECT_EQ(id.code, 0x221);
    EXPECT_FALSE(id.IsB724Off());
    id.ClearB724Bit();
    EXPECT_EQ(id.code, 0x201);
    SProbeId rebound(0x101, nullptr, -1);
    rebound.SetB724Bit();
    EXPECT_EQ(rebound.code, 0x101);
    EXPECT_FALSE(rebound.HasSerial());
    EXPECT_FALSE(rebound.GetSerial(nullptr));
    EXPECT_TRUE(id.IsNotEqual(SProbeId(0x201, &s1, 4)));
}

TEST_F(ScaleCodes, SerialNumberText)
{
    QString text = "stale";
    FormatSerialNumber(Serial(144, 7, 12, 345), text);
    EXPECT_EQ(text, "VK07-012-0345");
    FormatSerialNumber(Serial(131, 99, 999, 9999, 99, 4, 'Z'), text);
    EXPECT_EQ(text, "ID1599-999-9999");
    FormatSerialNumber(Serial(200, 1, 0, 0), text);
    EXPECT_EQ(text, "01-000-0000"); // a type without prefix

    struct Bad
    {
        const char* why;
        SPackedSerial serial;
    };
    std::vector<Bad> bad = {
        {"letter beyond Z", Serial(144, 7, 12, 345)},
        {"first number 0", Serial(144, 0, 12, 345)},
        {"second number 1000", Serial(144, 7, 1000, 345)},
        {"third number 10000", Serial(144, 7, 12, 10000)},
        {"fourth number 100", Serial(144, 7, 12, 345, 100)},
        {"type 255", Serial(255, 7, 12, 345)},
        {"check byte below 0x40", Serial(144, 7, 12, 345)},
        {"check value 5", Serial(144, 7, 12, 345)},
        {"layout 2", Serial(144, 7, 12, 345)},
    };
    bad[0].serial.bytes[3] = 27 << 3;
    bad[6].serial.bytes[7] = 0x30;
    bad[7].serial.bytes[7] = 0x75;
    bad[8].serial.bytes[7] = 0x60;
    for (const Bad& b : bad)
    {
        FormatSerialNumber(b.serial, text);
        EXPECT_EQ(text, "") << b.why;
    }
}
