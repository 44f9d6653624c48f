#include "device/BlockHeader.h"
#include "device/DelvaSmartDevice.h"
#include "device/PackageHeader.h"
#include "device/VmCommands.h"
#include "resources/BuiltInStrings.h"
#include "tests/device/UpdateRecorder.h"
#include "tests/support/PackageBuilder.h"
#include "tests/support/ScriptedStream.h"
#include "tests/support/sim/FrameEngine.h"

#include <QDateTime>

#include <gtest/gtest.h>

using namespace Device;
using Meter = Device::CDelvaSmartDevice;

namespace
{
QByteArray H(const char* hex)
{
    return QByteArray::fromHex(hex);
}

// One binary object record laid out field by field.
QByteArray Record(int measurements, char storage = 'A', uint8_t unit = 0)
{
    QByteArray r(262, '\0');
    r[0] = 1;
    r[1] = 7;
    const auto put = [&](int offset, const QByteArray& text) { r.replace(offset, text.size(), text); };
    put(2, "Delvaquint+");
    put(18, "DQ01-234-5678");
    put(34, "1.2.3");
    put(43, "B2");
    put(48, "06000102");
    r[57] = char(unit);
    r[58] = storage;
    r[59] = 16;
    r[60] = 60;
    r[61] = char(0x2C);
    r[62] = char(0x01);
    r[63] = char(measurements);
    for (int i = 0; i < 99; ++i)
    {
        r[64 + i] = char(20 + i);
        r[163 + i] = char(1 + i % 60);
    }
    return r;
}

Meter::TObjectData SampleObject(uint8_t unit)
{
    Meter::TObjectData o;
    o.version = CVersion(QStringLiteral("1.7"));
    o.identity.typeName = QStringLiteral("Delvaquint+");
    o.identity.serialNumber = QStringLiteral("DQ01-234-5678");
    o.identity.version = QStringLiteral("1.2.3");
    o.hardwareIndex = QStringLiteral("B2");
    o.signature = QStringLiteral("06000102");
    o.unitSystem = unit;
    o.storageMode = 1;
    o.rawDefaultBarDiameter = 16;
    o.correction = unit == 1 ? 60 : 42;
    o.comment = QStringLiteral("Wall \"north\" & slab\r\nsecond line");
    o.objectName = QStringLiteral("Pier 7");
    o.date = QDateTime(QDate(2021, 3, 4), QTime(5, 6, 7), Qt::LocalTime).toSecsSinceEpoch();
    o.objectNumber = 12;
    o.measurements = {{1, 51, 13}, {2, 255, 0}, {3, 30, 60}};
    return o;
}

void ExpectSameObject(const Meter::TObjectData& a, const Meter::TObjectData& b)
{
    EXPECT_EQ(a.version, b.version);
    EXPECT_EQ(a.identity.typeName, b.identity.typeName);
    EXPECT_EQ(a.identity.serialNumber, b.identity.serialNumber);
    EXPECT_EQ(a.identity.version, b.identity.version);
    EXPECT_EQ(a.hardwareIndex, b.hardwareIndex);
    EXPECT_EQ(a.signature, b.signature);
    EXPECT_EQ(a.unitSystem, b.unitSystem);
    EXPECT_EQ(a.storageMode, b.storageMode);
    EXPECT_EQ(a.rawDefaultBarDiameter, b.rawDefaultBarDiameter);
    EXPECT_EQ(a.correction, b.correction);
    EXPECT_EQ(a.comment, b.comment);
    EXPECT_EQ(a.objectName, b.objectName);
    EXPECT_EQ(a.date, b.date);
    EXPECT_EQ(a.objectNumber, b.objectNumber);
    ASSERT_EQ(a.measurements.size(), b.measurements.size());
    for (size_t i = 0; i < a.measurements.size(); ++i)
    {
        EXPECT_EQ(a.measurements[i].number, b.measurements[i].number);
        EXPECT_EQ(a.measurements[i].cover, b.measurements[i].cover) << i;
        EXPECT_EQ(a.measurements[i].rawDiameter, b.measurements[i].rawDiameter);
    }
}

class MeterTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterBuiltInStrings();
        qputenv("TZ", "Europe/Berlin"); // a zone with daylight saving; set back in TearDown
        tzset();
    }
    void TearDown() override
    {
        qputenv("TZ", "UTC");
        tzset();
    }
    Meter meter;
};

TEST_F(MeterTest, BinaryRecordsAndTheirFields)
{
    Meter::TObjectData o;
    ASSERT_TRUE(meter.ParseObjectRecord(o, reinterpret_cast<const uint8_t*>(Record(3).constData()), 262));
    EXPECT_EQ(o.version.Format(2), QStringLiteral("1.7"));
    EXPECT_EQ(o.identity.typeName, QStringLiteral("Delvaquint+"));
    EXPECT_EQ(o.identity.serialNumber, QStringLiteral("DQ01-234-5678"));
    EXPECT_EQ(o.identity.version, QStringLiteral("1.2.3"));
    EXPECT_EQ(o.hardwareIndex, QStringLiteral("B2"));
    EXPECT_EQ(o.signature, QStringLiteral("06000102"));
    EXPECT_EQ(o.storageMode, 1);
    EXPECT_EQ(o.rawDefaultBarDiameter, 16);
    EXPECT_EQ(o.correction, 60);
    EXPECT_EQ(o.objectNumber, 300);
    ASSERT_EQ(o.measurements.size(), 3u);
    EXPECT_EQ(o.measurements[2].number, 3);
    EXPECT_EQ(o.measurements[2].cover, 22);
    EXPECT_EQ(o.measurements[2].rawDiameter, 3);

    for (const auto& [count, ok] : {std::pair{0, true}, std::pair{99, true}, std::pair{100, false}})
    {
        Meter::TObjectData r;
        EXPECT_EQ(
            meter.ParseObjectRecord(r, reinterpret_cast<const uint8_t*>(Record(count).constData()), 262), ok);
        EXPECT_EQ(r.measurements.size(), ok ? size_t(count) : 0u);
        EXPECT_EQ(r.identity.typeName, QStringLiteral("Delvaquint+")); // taken over before the refusal
    }
    Meter::TObjectData lower;
    ASSERT_TRUE(
        meter.ParseObjectRecord(lower, reinterpret_cast<const uint8_t*>(Record(1, 'a').constData()), 262));
    EXPECT_EQ(lower.storageMode, 255);
    // A text that fills its field ends there, not in the next field.
    QByteArray full = Record(1);
    full.replace(43, 5, "ABCDE");
    ASSERT_TRUE(meter.ParseObjectRecord(lower, reinterpret_cast<const uint8_t*>(full.constData()), 262));
    EXPECT_EQ(lower.hardwareIndex, QStringLiteral("ABCDE"));
    EXPECT_FALSE(meter.ParseObjectRecord(lower, reinterpret_cast<const uint8_t*>(full.constData()), 261));
}

TEST_F(MeterTest, ValueCodesAndTheirTexts)
{
    EXPECT_EQ(Meter::FormatBarDiameter(0, 13), QStringLiteral("12"));
    EXPECT_EQ(Meter::FormatBarDiameter(1, 13), QStringLiteral("4"));
    EXPECT_EQ(Meter::FormatBarDiameter(2, 13), QStringLiteral("4"));
    EXPECT_EQ(Meter::FormatBarDiameter(3, 13), QStringLiteral("13"));
    EXPECT_EQ(Meter::FormatBarDiameter(0, 61), QStringLiteral("0"));
    EXPECT_EQ(Meter::FormatBarDiameter(0, 60), QStringLiteral("50"));
    EXPECT_EQ(Meter::FormatBarDiameter(3, 1), QStringLiteral("6"));
    EXPECT_EQ(Meter::FormatBarDiameter(7, 13), QStringLiteral("0"));

    EXPECT_EQ(Meter::FormatNeighborCorrection(1, 60), QStringLiteral("2.4"));
    EXPECT_EQ(Meter::FormatNeighborCorrection(0, 60), QStringLiteral("60"));
    EXPECT_EQ(Meter::FormatNeighborCorrection(2, 0), QStringLiteral("-"));
    EXPECT_EQ(Meter::FormatNeighborCorrection(1, 140), QStringLiteral("0.0"));

    struct Cover
    {
        int unit;
        const char* text;
        int value;
    };
    for (const Cover& c :
         {Cover{1, "n/a", 255}, Cover{1, "10.04", 255}, Cover{1, "10.05", -1}, Cover{1, "2.01", 51},
          Cover{0, "256", -1}, Cover{0, "  42  ", 42}, Cover{3, "x", -1}, Cover{0, "-4", -1}})
        EXPECT_EQ(Meter::ParseCover(c.unit, QString::fromLatin1(c.text)), c.value) << c.text;
    for (const Cover& c : {Cover{1, "2.0", 50}, Cover{1, "2.4", 60}, Cover{1, "5.2", 130}, Cover{1, "1.9", 0},
                           Cover{1, "5.3", -1}, Cover{1, "-", 0}, Cover{0, "150", 150}, Cover{0, "151", -1}})
        EXPECT_EQ(Meter::ParseNeighborCorrection(c.unit, QString::fromLatin1(c.text)), c.value) << c.text;

    const QString comment = QStringLiteral("say \"hi\" & bye\r\nnext\nlast\ttab &#9");
    const QString escaped = Meter::EscapeText(comment, true);
    EXPECT_FALSE(escaped.contains(QLatin1Char('"')));
    EXPECT_FALSE(escaped.contains(QLatin1Char('\n')));
    EXPECT_TRUE(escaped.contains(QLatin1String("&amp#9")));
    // A lone LF comes back as CR LF.
    EXPECT_EQ(Meter::EscapeText(escaped, false), QStringLiteral("say \"hi\" & bye\r\nnext\r\nlast\ttab &#9"));
}

TEST_F(MeterTest, TheTextDataFileLayout)
{
    Meter::TObjectData o = SampleObject(1);
    QString text;
    const int count = meter.ExportObjectText(o, text);
    EXPECT_EQ(count, text.size());
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    EXPECT_EQ(lines[0], QStringLiteral("Delvaquint+ Data File Version       ;;;'1.7"));
    EXPECT_EQ(lines[1], QString());
    EXPECT_EQ(lines[2], QStringLiteral("Instrument Data"));
    EXPECT_EQ(lines[3], QStringLiteral("    Name                            ;;;Delvaquint+"));
    EXPECT_EQ(lines[5], QStringLiteral("    Software Version                ;;;'1.2.3"));
    EXPECT_TRUE(text.contains(QStringLiteral("    Regional                        ;;;ASTM inch\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("    Default Bar Diameter            ;;;'#5\r\n")));
    EXPECT_TRUE(
        text.contains(QStringLiteral("    Neighboring Bar Correction [in] ;;;'2.4\r\n\r\nComment\r\n")));
    EXPECT_TRUE(text.contains(
        QStringLiteral("    \"Wall &quotnorth&quot &amp slab&#13second line\"\r\n\r\n\r\n\r\nData\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("    Object Name                     ;;;\"Pier 7\"\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("    Date                            ;;;'4.3.2021  5:6:7\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("    # of Measurements               ;;;3\r\n\r\n\r\nNumber")));
    EXPECT_TRUE(
        text.contains(QStringLiteral(" 1                ;2.01              ;#4                ;13\r\n")));
    EXPECT_TRUE(
        text.contains(QStringLiteral(" 2                ;n/a               ;n/a               ;n/a\r\n")));
    EXPECT_TRUE(
        text.endsWith(QStringLiteral(" 3                ;1.18              ;#18               ;60\r\n")));

    Meter::TObjectData metric = SampleObject(0);
    metric.measurements = {{1, 7, 8}, {10, 120, 13}};
    meter.ExportObjectText(metric, text);
    EXPECT_TRUE(text.contains(QStringLiteral("    Default Bar Diameter [mm]       ;;;'16\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("    Neighboring Bar Correction [mm] ;;;'42\r\n")));
    EXPECT_TRUE(
        text.contains(QStringLiteral(" 1                ;  7               ; 8                ; 8\r\n")));
    EXPECT_TRUE(
        text.contains(QStringLiteral("10                ;120               ;12                ;13\r\n")));

    // Unknown codes write nothing.
    metric.storageMode = 2;
    EXPECT_EQ(meter.ExportObjectText(metric, text), 0);
    EXPECT_TRUE(text.isEmpty());
    EXPECT_EQ(Meter::FormatDate(-5), QStringLiteral("0.0.0  -1:-1:-1"));
}

TEST_F(MeterTest, TheReaderTakesBackWhatTheWriterWrote)
{
    for (uint8_t unit : {0, 1, 2, 3})
    {
        const Meter::TObjectData o = SampleObject(unit);
        QString text;
        meter.ExportObjectText(o, text);
        Meter::TObjectData back;
        ASSERT_TRUE(meter.ParseObjectText(back, text)) << int(unit);
        ExpectSameObject(back, o);
    }
    // A date in summer time comes back too.
    Meter::TObjectData summer = SampleObject(0);
    summer.date = QDateTime(QDate(2022, 7, 1), QTime(23, 59, 58), Qt::LocalTime).toSecsSinceEpoch();
    QString text;
    meter.ExportObjectText(summer, text);
    Meter::TObjectData back;
    ASSERT_TRUE(meter.ParseObjectText(back, text));
    EXPECT_EQ(back.date, summer.date);
}

TEST_F(MeterTest, TheReaderRefusesOrStops)
{
    QString text;
    Meter::TObjectData o = SampleObject(0);
    meter.ExportObjectText(o, text);
    const auto parse = [&](const QString& t, Meter::TObjectData& out)
    { return meter.ParseObjectText(out, t); };

    Meter::TObjectData r;
    EXPECT_FALSE(parse(QString(text).replace(QStringLiteral(";;;'1.7"), QStringLiteral(";;;'2.0")), r));
    EXPECT_TRUE(parse(QString(text).replace(QStringLiteral(";;;'1.7"), QStringLiteral(";;;'1.0")), r));
    EXPECT_FALSE(
        parse(QString(text).replace(QStringLiteral("Delvaquint+ Data"), QStringLiteral("Other Data")), r));
    // An empty instrument name: the next label is taken for it, and the reading fails.
    Meter::TObjectData nameless = SampleObject(0);
    nameless.identity.typeName.clear();
    QString t2;
    meter.ExportObjectText(nameless, t2);
    EXPECT_FALSE(parse(t2, r));
    // A correction that is no number, a date that does not exist, no table.
    EXPECT_FALSE(parse(QString(text).replace(QStringLiteral(";;;'42"), QStringLiteral(";;;'x")), r));
    EXPECT_FALSE(parse(QString(text).replace(QStringLiteral("4.3.2021"), QStringLiteral("4.13.2021")), r));
    EXPECT_FALSE(parse(QString(text).replace(QStringLiteral("------------------"), QStringLiteral("=")), r));
    // A cover that cannot be read fails the section.
    EXPECT_FALSE(parse(QString(text).replace(QStringLiteral("; 51 "), QStringLiteral(";999 ")), r));

    // Rows: at most 99; a row number that is no number ends the table.
    Meter::TObjectData many = SampleObject(0);
    many.measurements.clear();
    for (int i = 1; i <= 100; ++i)
        many.measurements.push_back({uint8_t(i % 100), 10, 8});
    meter.ExportObjectText(many, text);
    ASSERT_TRUE(parse(text, r));
    EXPECT_EQ(r.measurements.size(), 99u);
    ASSERT_TRUE(parse(text.replace(QStringLiteral("\r\n 3    "), QStringLiteral("\r\nxx    ")), r));
    EXPECT_EQ(r.measurements.size(), 2u);
}

TEST_F(MeterTest, DownloadsAndTheBaudSwitch)
{
    ScriptedStream* s = AttachScript(meter);
    Meter::TDataFile file;
    // At 19200 nothing is switched; a meter without objects answers 0xF3.
    s->Expect(H("C1D212"), H("F3"));
    EXPECT_TRUE(meter.DownloadData(file, 19200, true));
    EXPECT_TRUE(file.objects.empty());
    EXPECT_EQ(s->Mismatch().toStdString(), "");

    const QByteArray two = H("010200"
                             "0601") +
                           Record(2) + Record(0);
    s->Expect(H("C1D212"), QByteArray("\xEF\x02", 2) + Sim::Le(uint32_t(two.size()), 3) + two +
                               Sim::SimCheckValue(two, 2));
    ASSERT_TRUE(meter.DownloadData(file, 19200, true));
    EXPECT_EQ(file.version.Format(2), QStringLiteral("1.0"));
    ASSERT_EQ(file.objects.size(), 2u);
    EXPECT_EQ(file.objects[0].measurements.size(), 2u);

    struct Case
    {
        const char* name;
        QByteArray block;
        bool ok;
        size_t objects;
    };
    const Case cases[] = {
        {"no records",
         H("010000"
           "0601"),
         true, 0},
        {"format 2",
         H("020000"
           "0601"),
         false, 0},
        {"another record size",
         H("010100"
           "0501") +
             Record(1).left(261),
         false, 0},
        {"fewer records than announced",
         H("010200"
           "0601") +
             Record(1),
         false, 0},
        {"one record refused",
         H("010200"
           "0601") +
             Record(100) + Record(1),
         false, 1},
    };
    for (const Case& c : cases)
    {
        s->Expect(H("C1D212"), QByteArray("\xEF\x00", 2) + Sim::Le(uint32_t(c.block.size()), 3) + c.block);
        EXPECT_EQ(meter.DownloadData(file, 19200, true), c.ok) << c.name;
        EXPECT_EQ(file.objects.size(), c.objects) << c.name;
    }

    // Text: "1;<count>;" and the sections up to "<eof>".
    QString section;
    meter.ExportObjectText(SampleObject(0), section);
    const QByteArray sectionBytes = section.toLatin1();
    const auto textAnswer = [](const QByteArray& t)
    { return QByteArray("\xEF\x00", 2) + Sim::Le(uint32_t(t.size()), 3) + t; };
    s->Expect(H("C1D210"), textAnswer("1;2;" + sectionBytes + "<eof>" + sectionBytes + "<eof>"));
    ASSERT_TRUE(meter.DownloadData(file, 19200, false));
    EXPECT_EQ(file.objects.size(), 2u);
    s->Expect(H("C1D210"), textAnswer("1;2;" + sectionBytes + "<eof>" + sectionBytes));
    EXPECT_FALSE(meter.DownloadData(file, 19200, false));
    EXPECT_EQ(file.objects.size(), 1u);
    for (const QByteArray& head : {QByteArray("0;1;"), QByteArray("1;501;"), QByteArray("1;0;")})
    {
        s->Expect(H("C1D210"), textAnswer(head + sectionBytes + "<eof>"));
        EXPECT_FALSE(meter.DownloadData(file, 19200, false)) << head.constData();
        EXPECT_TRUE(file.objects.empty());
    }
    EXPECT_EQ(s->Mismatch().toStdString(), "");

    // Another baud: "BR ?", then "BR <4 MHz / baud>"; a port that cannot follow is set
    // back and the download goes on at the old rate.
    for (const auto& [baud, command] :
         {std::pair{9600u, QByteArray("BR 417\r")}, std::pair{57600u, QByteArray("BR 069\r")},
          std::pair{115200u, QByteArray("BR 035\r")}})
    {
        s->Expect(H("10"), H("06"));
        s->Expect("BR ?\r", "208\r");
        s->Expect(H("10"), H("06"));
        s->Expect(command + "\r", "OK\r");
        s->Expect(H("C1D212"), H("F3"));
        EXPECT_TRUE(meter.DownloadData(file, baud, true));
        EXPECT_EQ(meter.GetSerialSettings().baudRate, 19200u);
        EXPECT_EQ(s->Mismatch().toStdString(), "") << baud;
    }
}

TEST_F(MeterTest, InstrumentCommands)
{
    ScriptedStream* s = AttachScript(meter);
    s->Expect(H("C1D233"), QByteArray("\x05ready", 6));
    EXPECT_EQ(meter.RequestText(), QStringLiteral("ready"));
    s->Expect(H("C1D233"), H("F2"));
    EXPECT_EQ(meter.RequestText(), QString());
    s->Expect(H("C1D231"), H("00"));
    EXPECT_TRUE(meter.SendCommand1());
    s->Expect(H("C1D232"), H("F1"));
    EXPECT_FALSE(meter.SendCommand2());
    s->Expect(QByteArray("\xC6\xD2", 2) + "0ab;cd", H("00"));
    EXPECT_TRUE(meter.SendTextPair(QStringLiteral("ab"), QStringLiteral("cd")));
    EXPECT_FALSE(meter.SendTextPair(QString(40, QLatin1Char('a')), QString(6, QLatin1Char('b'))));
    s->Expect(QByteArray("\xC9\xD2", 2) + "406010000", H("00"));
    EXPECT_TRUE(meter.SendParameter4060(true));
    s->Expect(H("C1D213"), H("0121"));
    EXPECT_EQ(meter.QueryStatusByte(), 0x21);
    s->Expect(H("C1D206"), H("0100"));
    EXPECT_TRUE(meter.SendCommand6());
    s->Expect(H("C1D206"), H("00"));
    EXPECT_FALSE(meter.SendCommand6());
    s->Expect(H("C1D202"), H("00"));
    s->Expect(H("C1D205"), H("0101"));
    s->Expect(H("C1D205"), H("0100"));
    EXPECT_TRUE(meter.RunCommand2());
    EXPECT_EQ(s->Mismatch().toStdString(), "");

    // Raw lines: the hexadecimal answer of 44 bytes.
    QByteArray block;
    for (int i = 0; i < 44; ++i)
        block.append(char(i * 5));
    s->Expect(H("C1D204"));
    s->Expect("1000s");
    s->Expect("002Cn", block.toHex().toUpper());
    uint8_t out[44] = {};
    EXPECT_TRUE(meter.ReadBlockAt1000(out));
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(out), 44), block);
    s->Expect(H("C1D204"));
    s->Expect("1000s");
    s->Expect("002Cn", "0A0B");
    EXPECT_FALSE(meter.ReadBlockAt1000(out)); // fewer than 44 bytes came
    EXPECT_EQ(Meter::HexTextToBytes("a0Fb1Dc"), H("0F1D"));
    EXPECT_EQ(Meter::HexTextToBytes("12345"), H("1234"));
}

TEST(MeterWordTest, TheWordAt1128IsWrittenOnlyWhenItsBitClears)
{
    // The instrument's pauses between polls (40 s for all of them) do not matter here.
    struct FastMeter : Meter
    {
        bool Pause(uint32_t) const override { return true; }
    };
    struct Case
    {
        const char* name;
        int busyPolls; // polls answered with bit 0 set before the one that clears it
        bool ok;
    };
    const Case cases[] = {
        {"clears at the third poll", 2, true},
        {"clears at the last poll", 99, true},
        {"never clears", 100, false},
    };
    for (const Case& c : cases)
    {
        FastMeter meter;
        auto stream = std::make_unique<ScriptedStream>();
        ScriptedStream* s = stream.get();
        std::unique_ptr<StreamIO::CIoStream> base = std::move(stream);
        ASSERT_TRUE(meter.Attach(base, portSerial));
        s->Expect(H("C1D204"));
        s->Expect("1128s");
        s->Expect("A5A5t");
        for (int poll = 0; poll < 100; ++poll)
        {
            s->Expect("1128s");
            s->Expect("0001n", poll < c.busyPolls ? "01" : "00");
        }
        EXPECT_EQ(meter.WriteWordAt1128(), c.ok) << c.name;
        EXPECT_EQ(s->Mismatch().toStdString(), "") << c.name;
    }
}

TEST_F(MeterTest, ProgrammingStatesAndTheUpdateSteps)
{
    ScriptedStream* s = AttachScript(meter);
    EXPECT_FALSE(meter.EnterProgrammingState1()); // only in the bootloader
    EXPECT_TRUE(s->Written().isEmpty());

    PackageBuilder p;
    p.entries.push_back({});
    p.blocks.push_back({});
    CPackageHeader package;
    MemoryStream stream(p.Build());
    ASSERT_TRUE(package.Read(stream));
    s->Expect(H("C1D201"), H("00"));
    for (int i = 0; i < 5; ++i)
        s->Expect("SC030000FC\r\n");
    s->Expect("SC030102F9\r\n", "G");
    s->Expect("SE030000FC\r\n", "E");
    s->Expect("SC030100FB\r\n", "G");
    s->Expect("SC030202F8\r\n", "G");
    s->Expect("SE030000FC\r\n", "E");
    EXPECT_EQ(meter.InitUpdate(package), errNone);
    EXPECT_EQ(s->Mismatch().toStdString(), "");
    EXPECT_EQ(meter.GetProgrammingState(), 2);
    EXPECT_EQ(s->TimeoutHistory().back(), std::make_pair(3000u, 3000u)); // restored after the erases

    SBlockHeader block;
    block.bytes[13] = 1;
    s->Expect("SC030200FA\r\n", "G");
    s->Expect("SC030102F9\r\n", "G");
    EXPECT_EQ(meter.EnterUpdateMode(package, block), errNone);
    EXPECT_EQ(meter.GetProgrammingState(), 1);
    block.bytes[13] = 3;
    EXPECT_EQ(meter.EnterUpdateMode(package, block), errGeneral);

    // In state 1 the finish sends only its three lines.
    s->Expect("SX030000FC\r\n", "X");
    s->Expect("SC030202F8\r\n", "G");
    s->Expect("SX030000FC\r\n", "X");
    EXPECT_EQ(meter.FinishUpdate(), errNone);
    EXPECT_EQ(s->Mismatch().toStdString(), "");
    EXPECT_TRUE(s->Done());
}

} // namespace
