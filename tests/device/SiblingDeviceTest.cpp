#include "device/AmbrelonDevice.h"
#include "device/BlockHeader.h"
#include "device/Contents.h"
#include "device/CorvellLabDevice.h"
#include "device/Delva6Device.h"
#include "device/HarrowindDevice.h"
#include "device/MarbeliDevice.h"
#include "device/PackageHeader.h"
#include "device/PelorixDevice.h"
#include "device/RavnellDevice.h"
#include "device/TestBoxDevice.h"
#include "device/TolvaneDevice.h"
#include "device/UsPe50kHzDevice.h"
#include "device/VmCommands.h"
#include "resources/BuiltInStrings.h"
#include "tests/device/UpdateRecorder.h"
#include "tests/support/PackageBuilder.h"
#include "tests/support/ScriptedStream.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace Device;

namespace
{
QByteArray H(const char* hex)
{
    return QByteArray::fromHex(hex);
}

const QByteArray kStart("\x10", 1);
const QByteArray kAck("\x06", 1);

class SiblingTest : public ::testing::Test
{
protected:
    void SetUp() override { RegisterBuiltInStrings(); }
    // The "@ID@" exchange in CR-only mode.
    static void ExpectId(ScriptedStream& s, const QByteArray& answer)
    {
        s.Expect(kStart, kAck);
        s.Expect("@ID@\r", answer + "\r");
    }
    static CPackageHeader Package()
    {
        PackageBuilder p;
        p.entries.push_back({});
        p.blocks.push_back({});
        CPackageHeader header;
        MemoryStream stream(p.Build());
        EXPECT_TRUE(header.Read(stream));
        return header;
    }
};

TEST_F(SiblingTest, IdentificationByTheFieldsOfEachClass)
{
    struct Case
    {
        const char* name;
        std::function<std::unique_ptr<CSiblingDevice>()> make;
        QByteArray prelude; // what goes out before "@ID@"
        QByteArray answer;
        bool ok;
        const char* typeName;
        const char* serial;
        const char* version;
    };
    const QByteArray pelorix = "PX-2;A1;;0C00001F;1.0";
    const auto px = [] { return std::make_unique<CPelorixDevice>(); };
    const auto corvell = [] { return std::make_unique<CCorvellLabDevice>(); };
    const auto ravnell = [] { return std::make_unique<CRavnellDevice>(); };
    const auto marbeli = [] { return std::make_unique<CMarbeliDevice>(); };
    const Case cases[] = {
        {"empty serial gets the default", px, {}, pelorix, true, "PX-2", "PR00-000-0000", "1.0"},
        {"another class's signature", corvell, {}, pelorix, false, "PX-2", "-", "1.0"},
        {"four fields", px, {}, "PX-2;A1;PR1;0C00001F", false, "PX-2", "PR1", ""},
        {"no hexadecimal signature", px, {}, "PX-2;A1;PR1;zz;1.0", false, "PX-2", "PR1", "1.0"},
        {"two empty fields keep their places",
         ravnell,
         {},
         "Orlanthe;;;05000001;2.0;1.1",
         true,
         "Orlanthe",
         "-",
         "2.0"},
        {"six fields without bootloader",
         ravnell,
         {},
         "Orlanthe;B1;OR-1;05000001;2.0",
         true,
         "Orlanthe",
         "OR-1",
         "2.0"},
        {"model name",
         marbeli,
         {},
         "Marbe2 ;B1;MB-1;04000001;2.0;1.1",
         true,
         "Veskora Marbeli 2",
         "MB-1",
         "2.0"},
        {"model name without its blank",
         marbeli,
         {},
         "Marbe2;B1;MB-1;04000001;2.0;1.1",
         true,
         "Marbe2",
         "MB-1",
         "2.0"},
        {"Ambrelon lets go first", [] { return std::make_unique<CAmbrelonDevice>(); }, "C0C0i",
         "Ambrelon;A;;0B000001;3.1", true, "Ambrelon", "AB00-000-0000", "3.1"},
        {"Tolvane lets go only when held",
         [] { return std::make_unique<CTolvaneDevice>(); },
         {},
         "Tolvane;A;;0A000001;3.1",
         true,
         "Tolvane",
         "TV00-000-0000",
         "3.1"},
        {"Delvarohne6 wakes the instrument", [] { return std::make_unique<CDelva6Device>(); }, H("C003C003"),
         "Delvarohne6;A;D6-1;0F000001;1.0;0.1", true, "Delvarohne6", "D6-1", "1.0"},
    };
    for (const Case& c : cases)
    {
        std::unique_ptr<CSiblingDevice> device = c.make();
        ScriptedStream* s = AttachScript(*device);
        if (!c.prelude.isEmpty())
            s->Expect(c.prelude);
        ExpectId(*s, c.answer);
        SIdentity id;
        EXPECT_EQ(device->Identify(id), c.ok) << c.name;
        EXPECT_EQ(s->Mismatch().toStdString(), "") << c.name;
        EXPECT_EQ(device->GetDeviceInfo().identity.typeName, QString::fromLatin1(c.typeName)) << c.name;
        if (c.ok)
        {
            EXPECT_EQ(id.serialNumber, QString::fromLatin1(c.serial)) << c.name;
        }
        EXPECT_EQ(device->GetSerialNumber(), QString::fromLatin1(c.serial)) << c.name;
        EXPECT_EQ(device->GetDeviceInfo().identity.version, QString::fromLatin1(c.version)) << c.name;
        EXPECT_EQ(device->GetIdentificationMode(), CSiblingDevice::kApplication);
    }
}

TEST_F(SiblingTest, TheBootloaderAnswersWhenTheApplicationDoesNot)
{
    const QByteArray info = "PX-2;A1;PR12-345-6789;0C00001F;0.9";
    CPelorixDevice pelorix;
    ScriptedStream* s = AttachScript(pelorix);
    s->Expect(kStart); // no acknowledgement: the application does not run
    s->Expect("SC030102F9\r\n", "G");
    s->Expect("SI030000FC\r\n", info + QByteArray(66 - info.size(), '\0'));
    SIdentity id;
    EXPECT_TRUE(pelorix.Identify(id));
    EXPECT_EQ(s->Mismatch().toStdString(), "");
    EXPECT_EQ(id.version, QStringLiteral("0.9"));
    EXPECT_EQ(pelorix.GetIdentificationMode(), CSiblingDevice::kBootloader);

    // The programming-state instruments raise the state for the read and lower it again.
    CCorvellLabDevice corvell;
    s = AttachScript(corvell);
    s->Expect(kStart);
    s->Expect("SC030202F8\r\n", "G");
    s->Expect("SI030000FC\r\n", "Corvell Lab;B;CL-1;09000003;1.0;0.5");
    s->Expect("SC030200FA\r\n", "G");
    EXPECT_TRUE(corvell.Identify(id));
    EXPECT_EQ(s->Mismatch().toStdString(), "");
    EXPECT_EQ(corvell.GetProgrammingState(), 0);
    EXPECT_EQ(corvell.GetIdentificationMode(), CSiblingDevice::kBootloader);

    // Three bytes are no answer.
    CPelorixDevice quiet;
    s = AttachScript(quiet);
    s->Expect(kStart);
    s->Expect("SC030102F9\r\n", "G");
    s->Expect("SI030000FC\r\n", "PX;");
    EXPECT_FALSE(quiet.Identify(id));
}

TEST_F(SiblingTest, TextsVersionsAndDeviceCodes)
{
    CPelorixDevice pelorix;
    ScriptedStream* s = AttachScript(pelorix);
    // Without an answer the code is 0: no 0xF1 goes out, the identification fails.
    s->Expect(kStart);
    s->Expect("SC030102F9\r\n");
    EXPECT_EQ(pelorix.GetDeviceCode(), 0);
    EXPECT_EQ(s->Mismatch().toStdString(), "");

    CPelorixDevice identified;
    s = AttachScript(identified);
    ExpectId(*s, "PX-2;A1;PR1;0C00001F;1.2.3");
    EXPECT_EQ(identified.GetDeviceCode(), 0x0C00001F);
    EXPECT_EQ(identified.GetInfoText(),
              QStringLiteral("Device type:\tPX-2\r\nSerial number:\tPR1\r\nFirmware "
                             "Version:\t1.2.3\r\nHardware revision:\tA1\r\nSignature:\t"
                             "0C00001F"));
    CContents contents;
    ASSERT_TRUE(identified.GetVersions(contents)); // identified already: nothing is sent
    ASSERT_EQ(contents.m_entries.size(), 1u);
    EXPECT_EQ(contents.m_entries[0].version.Format(4), QStringLiteral("1.2.3.0"));
    QStringList info;
    identified.CopyInfo(info);
    EXPECT_EQ(info, QStringList({"PX-2", "1.2.3", "PR1", "A1", "0C00001F"}));

    CRavnellDevice ravnell;
    s = AttachScript(ravnell);
    ExpectId(*s, "Orlanthe;B1;OR-1;05000001;2.0.1");
    ASSERT_TRUE(ravnell.GetVersions(contents));
    ASSERT_EQ(contents.m_entries.size(), 2u);
    EXPECT_EQ(contents.m_entries[1].kind, 3u);
    EXPECT_EQ(contents.m_entries[1].version.GetValue(), 0u); // the bootloader version is empty
    EXPECT_TRUE(ravnell.GetInfoText().contains(QStringLiteral("Bootloader Version:\t\r\n")));
    // Ravnell asks the code with 0xF1.
    s->Expect(H("C0F1"), H("0401000005"));
    EXPECT_EQ(ravnell.GetDeviceCode(), 0x05000001);
}

TEST_F(SiblingTest, HarrowindIsKnownByItsValueLines)
{
    // Lines arrive on their own: the stream keeps what was there before the read.
    struct LineStream : ScriptedStream
    {
        void DiscardInput() override {}
    };
    struct Case
    {
        const char* name;
        QByteArray input;
        bool ok;
    };
    const Case cases[] = {
        {"four values", "\n12.5\r\n80\r\n3\r\n-1\r", true},
        {"starts inside a line", "5\r\n1\r\n2\r\n3\r\n4\r", true},
        {"skips out-of-range and text lines", "\n100000\r\nabc\r\n1\r\n2\r\n3\r\n4\r", true},
        {"an empty line ends it", "\n1\r\n\r\n2\r\n3\r\n4\r", false},
        {"fifty bytes without four values", QByteArray(50, 'x') + "\n1\r\n2\r\n3\r\n4\r", false},
        {"too few lines", "\n1\r\n2\r", false},
    };
    for (const Case& c : cases)
    {
        CHarrowindDevice device;
        auto stream = std::make_unique<LineStream>();
        stream->Feed(c.input);
        std::unique_ptr<StreamIO::CIoStream> base = std::move(stream);
        ASSERT_TRUE(device.Attach(base, portSerial));
        SIdentity id;
        EXPECT_EQ(device.Identify(id), c.ok) << c.name;
    }
    CHarrowindDevice device;
    CContents contents;
    EXPECT_FALSE(device.GetVersions(contents));
    EXPECT_EQ(device.GetDeviceCode(), 0);
    EXPECT_EQ(device.InitUpdate(Package()), errGeneral);
    EXPECT_EQ(device.GetSerialNumber(), QString());
}

TEST_F(SiblingTest, ControlLinesCarryTheirCheckByte)
{
    EXPECT_EQ(CSRecordDevice::ControlLine('C', 1, 2), QByteArray(CSRecordDevice::kLineInfoState));
    EXPECT_EQ(CSRecordDevice::ControlLine('C', 0, 0), QByteArray(CSRecordDevice::kLineEnter));
    EXPECT_EQ(CSRecordDevice::ControlLine('C', 2, 2), QByteArray(CSRecordDevice::kLineState2));
    EXPECT_EQ(CSRecordDevice::ControlLine('C', 2, 0), QByteArray(CSRecordDevice::kLineState0));
    EXPECT_EQ(CSRecordDevice::ControlLine('C', 1, 0), QByteArray(CSRecordDevice::kLineState1To0));
    EXPECT_EQ(CSRecordDevice::ControlLine('E', 0, 0), QByteArray(CSRecordDevice::kLineErase));
    EXPECT_EQ(CSRecordDevice::ControlLine('X', 0, 0), QByteArray(CSRecordDevice::kLineExit));
    EXPECT_EQ(CSRecordDevice::ControlLine('I', 0, 0), QByteArray(CSRecordDevice::kLineIdent));
}

TEST_F(SiblingTest, InitAndFinishDriveTheBootloader)
{
    const CPackageHeader package = Package();
    CPelorixDevice pelorix;
    ScriptedStream* s = AttachScript(pelorix);
    UpdateRecorder recorder;
    ASSERT_TRUE(pelorix.SetCallback(&recorder));
    s->Expect(H("C1D201"), H("00"));
    for (int i = 0; i < 5; ++i)
        s->Expect("SC030000FC\r\n");
    s->Expect("SC030102F9\r\n", "G");
    s->Expect("SE030000FC\r\n", "E");
    EXPECT_EQ(pelorix.InitUpdate(package), errNone);
    EXPECT_EQ(s->Mismatch().toStdString(), "");
    EXPECT_TRUE(s->Done());
    EXPECT_EQ(pelorix.GetIdentificationMode(), CSiblingDevice::kBootloader);
    // At least 3000 ms for the entry, then the erase time-out, which stays.
    EXPECT_EQ(s->TimeoutHistory().front(), std::make_pair(3000u, 3000u));
    EXPECT_EQ(s->TimeoutHistory().back(), std::make_pair(15000u, 15000u));
    EXPECT_EQ(recorder.statuses.last(), QStringLiteral("Erase Memory"));
    EXPECT_EQ(recorder.Overall(), std::vector<int32_t>({0, 100}));

    // Already in the bootloader: no entry command, no entry lines.
    s->Expect("SC030102F9\r\n", "G");
    s->Expect("SE030000FC\r\n", "E");
    EXPECT_EQ(pelorix.InitUpdate(package), errNone);
    EXPECT_EQ(s->Mismatch().toStdString(), "");

    // A bootloader that answers anything but 'G' ends the finish before "SX".
    s->Expect("SC030102F9\r\n", "?");
    EXPECT_EQ(pelorix.FinishUpdate(), errCommunication);
    EXPECT_EQ(s->Mismatch().toStdString(), "");
    EXPECT_TRUE(s->Done());
    s->Expect("SC030102F9\r\n", "G");
    s->Expect("SX030000FC\r\n", "X");
    EXPECT_EQ(pelorix.FinishUpdate(), errNone);
    EXPECT_EQ(pelorix.GetIdentificationMode(), CSiblingDevice::kApplication);
    pelorix.TakeCallback();

    // VariDov: its own entry command, fifteen lines, programming state 2 for the erase
    // (35 s) and the kept time-outs restored.
    CTestBoxDevice varidov;
    s = AttachScript(varidov);
    s->Expect(H("C0CE"), H("00"));
    for (int i = 0; i < 15; ++i)
        s->Expect("SC030000FC\r\n");
    s->Expect("SC030202F8\r\n", "G");
    s->Expect("SE030000FC\r\n", "E");
    EXPECT_EQ(varidov.InitUpdate(package), errNone);
    EXPECT_EQ(s->Mismatch().toStdString(), "");
    EXPECT_EQ(s->TimeoutHistory().at(s->TimeoutHistory().size() - 2), std::make_pair(35000u, 35000u));
    EXPECT_EQ(s->TimeoutHistory().back(), std::make_pair(3000u, 3000u));
    EXPECT_EQ(varidov.GetProgrammingState(), 2);
    // In state 2 the finish leaves at once.
    s->Expect("SX030000FC\r\n", "X");
    EXPECT_EQ(varidov.FinishUpdate(), errNone);

    // A block that needs programming state 2 while the instrument is in state 0.
    CCorvellLabDevice corvell;
    s = AttachScript(corvell);
    SBlockHeader block;
    block.bytes[13] = 2;
    EXPECT_EQ(corvell.EnterUpdateMode(package, block), errModeChange); // not in the bootloader
    EXPECT_FALSE(corvell.EnterProgramming());
    EXPECT_TRUE(s->Written().isEmpty());
    block.bytes[13] = 1;
    EXPECT_EQ(corvell.EnterUpdateMode(package, block), errGeneral);
    block.bytes[10] = 0x08; // needs no programming state
    EXPECT_EQ(corvell.EnterUpdateMode(package, block), errNone);
}

TEST_F(SiblingTest, TransferChecksTheInnerHeaderAndSendsTheRecords)
{
    const QByteArray text = "S1050000AA55FB\r\nS9030000FC\r\n";
    struct Case
    {
        const char* name;
        QByteArray data;
        uint8_t kind;
        int32_t lengthDelta; // added to the block length in the block header
        NError_code result;
        int records;
    };
    const Case cases[] = {
        {"records", PackageBuilder::SRecordBlock(text), 0x41, 0, errNone, 2},
        {"longer inner header", PackageBuilder::SRecordBlock(text, 40), 0x40, 0, errNone, 2},
        {"inner header of 15", PackageBuilder::SRecordBlock(text, 16).replace(4, 1, "\x0F"), 0x40, -1,
         errGeneral, 0},
        {"inner header of 513", PackageBuilder::SRecordBlock(text, 16).replace(4, 2, "\x01\x02"), 0x40, 497,
         errGeneral, 0},
        {"text length does not match", PackageBuilder::SRecordBlock(text), 0x40, 1, errGeneral, 0},
        {"not an S-record block", QByteArray("anything"), 0x21, 0, errNone, 0},
    };
    for (const Case& c : cases)
    {
        CPelorixDevice device;
        ScriptedStream* s = AttachScript(device);
        MemoryStream source(c.data + "rest");
        ASSERT_TRUE(device.SetDataSource(&source));
        PackageBuilder::Block b{c.data, 0, 0, c.kind};
        SBlockHeader block = SBlockHeader::FromBytes(
            reinterpret_cast<const uint8_t*>(PackageBuilder::BlockHeader(b).constData()));
        const uint32_t length = uint32_t(int64_t(block.Length()) + c.lengthDelta);
        std::memcpy(block.bytes + 4, &length, 4);
        if (c.records > 0)
        {
            s->Expect("S1050000AA55FB\r\n", "P");
            s->Expect("S9030000FC\r\n", "P");
        }
        EXPECT_EQ(device.TransferBlock(block), c.result) << c.name;
        EXPECT_EQ(s->Mismatch().toStdString(), "") << c.name;
        EXPECT_TRUE(s->Done()) << c.name;
        if (c.kind >> 4 != 4)
        {
            EXPECT_EQ(source.GetPosition(), uint32_t(c.data.size())) << c.name; // passed over, not sent
        }
        else if (c.result != errNone)
        {
            EXPECT_GE(source.GetPosition(), 16u) << c.name;
        }
        device.TakeDataSource();
    }

    // A record refused ends the upload.
    CPelorixDevice device;
    ScriptedStream* s = AttachScript(device);
    MemoryStream source(PackageBuilder::SRecordBlock(text));
    ASSERT_TRUE(device.SetDataSource(&source));
    PackageBuilder::Block b{PackageBuilder::SRecordBlock(text), 0, 0, 0x40};
    const SBlockHeader block =
        SBlockHeader::FromBytes(reinterpret_cast<const uint8_t*>(PackageBuilder::BlockHeader(b).constData()));
    s->Expect("S1050000AA55FB\r\n", "N");
    EXPECT_EQ(device.TransferBlock(block), errUpload);
    device.TakeDataSource();
}

TEST_F(SiblingTest, CorvellLabTextsAndDeviceCheck)
{
    CCorvellLabDevice corvell;
    ScriptedStream* s = AttachScript(corvell);
    s->Expect(H("C10B00"), H("00"));
    s->Expect(H("C20B0100"), H("00"));
    s->Expect(H("C20B0300"), H("00"));
    s->Expect(H("C20B0200"), H("00"));
    EXPECT_TRUE(corvell.WriteTexts({}, {}, {}));
    EXPECT_TRUE(s->Done());

    // A text of 46 characters does not fit the frame: the later texts are not sent.
    s->Expect(H("C10B00"), H("00"));
    s->Expect(QByteArray("\xC4\x0B\x01", 3) + "ab\0"_qba, H("00"));
    EXPECT_FALSE(
        corvell.WriteTexts(QStringLiteral("ab"), QString(46, QLatin1Char('x')), QStringLiteral("c")));
    EXPECT_EQ(s->Mismatch().toStdString(), "");

    struct Case
    {
        QByteArray answer;
        bool ok;
        uint16_t value;
    };
    const Case cases[] = {
        {H("06FF00003412 00"), true, 0x1234},      {H("06FF00013412 00"), false, 0x1234},
        {H("06FE00003412 00"), false, 0xFFFF},     {H("05FF00003412"), false, 0xFFFF},
        {H("08FF0000341200 0000"), false, 0xFFFF},
    };
    for (const Case& c : cases)
    {
        s->Expect(H("C107FF"), c.answer);
        SCorvellLabCheck check;
        EXPECT_EQ(corvell.RunDeviceCheck(check), c.ok);
        EXPECT_EQ(check.value, c.value);
    }
    EXPECT_EQ(s->Mismatch().toStdString(), "");

    CTestBoxDevice varidov;
    s = AttachScript(varidov);
    EXPECT_TRUE(varidov.WriteTexts(QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")));
    EXPECT_TRUE(s->Written().isEmpty());
}

TEST_F(SiblingTest, LongFramesAndTheRawRead)
{
    CRavnellDevice ravnell;
    ScriptedStream* s = AttachScript(ravnell);
    QByteArray params(47, '\x33');
    s->Expect(H("EE44") + params.left(46), H("00"));
    EXPECT_EQ(ravnell.SendBinaryCommand(0x44, 46, reinterpret_cast<uint8_t*>(params.data()), 47, 500), 0);
    for (const auto& [answer, result] : {std::pair{H("00"), 0}, std::pair{H("05"), 252},
                                         std::pair{H("F3"), 0xF3}, std::pair{QByteArray(), 252}})
    {
        s->Expect(H("C144") + params, answer);
        EXPECT_EQ(ravnell.SendBinaryCommand(0x44, 47, reinterpret_cast<uint8_t*>(params.data()), 47, 100),
                  result);
    }
    EXPECT_EQ(s->Mismatch().toStdString(), "");

    CMarbeliDevice marbeli;
    s = AttachScript(marbeli);
    uint8_t buffer[129] = {0x30};
    s->Expect(H("C1D030"), QByteArray(129, '\x07'));
    EXPECT_EQ(marbeli.SendBinaryCommand(0xD0, 1, buffer, sizeof buffer, 500), 129);
    EXPECT_EQ(buffer[128], 7);
    buffer[0] = 0x30;
    s->Expect(H("C1D030"), QByteArray(100, '\x07'));
    EXPECT_EQ(marbeli.SendBinaryCommand(0xD0, 1, buffer, sizeof buffer, 500), 252);
    s->Expect(H("C8F60005555AAAAFFFF0"), H("F0")); // the rest may still come: resynchronised
    QByteArray block(32, '\x01');
    s->Expect(H("DF55") + block.left(31), H("00"));
    EXPECT_EQ(marbeli.SendBinaryCommand(0x55, 31, reinterpret_cast<uint8_t*>(block.data()), 32, 500), 0);
    s->Expect(H("C155") + block, H("00"));
    EXPECT_EQ(marbeli.SendBinaryCommand(0x55, 32, reinterpret_cast<uint8_t*>(block.data()), 32, 500), 0);
    EXPECT_EQ(s->Mismatch().toStdString(), "");
}

TEST_F(SiblingTest, UsPulseEchoWritesItsTextsCharacterByCharacter)
{
    CUsPe50kHzDevice device;
    ScriptedStream* s = AttachScript(device);
    s->Expect(H("C2CD0003"), H("00"));
    for (int slot = 0; slot < 19; ++slot)
    {
        char ch = 0;
        if (slot == 0)
            ch = 'H';
        else if (slot == 1)
            ch = 'i';
        else if (slot >= 14 && slot < 19)
            ch = "ABCDE"[slot - 14];
        s->Expect(H("C4CD01") + QByteArray(1, char(slot)) + H("10") + QByteArray(1, ch), H("00"));
    }
    EXPECT_TRUE(device.WriteTexts(QStringLiteral("Hi"), QStringLiteral("ABCDEFG")));
    EXPECT_EQ(s->Mismatch().toStdString(), "");
    EXPECT_TRUE(s->Done());

    uint8_t value = 0xFF;
    s->Expect(H("C1CD04"), H("022A00"));
    EXPECT_TRUE(device.ReadSubCommand4(value));
    EXPECT_EQ(value, 0x2A);
    s->Expect(H("C1CD04"), H("F5"));
    EXPECT_FALSE(device.ReadSubCommand4(value));
    EXPECT_EQ(value, 0);
    s->Expect(H("C2CD0207"), H("00"));
    EXPECT_TRUE(device.WriteSubCommand2(7));
    s->Expect(H("C2CD0309"), H("F2"));
    EXPECT_FALSE(device.WriteSubCommand3(9));
}

TEST_F(SiblingTest, RecoveryIntoTheApplicationIgnoresTheModeChange)
{
    CRavnellDevice ravnell;
    ScriptedStream* s = AttachScript(ravnell);
    s->Expect(H("C8F6000555 5AAAAFFFF0"), H("F0"));
    s->Expect(H("C2F40008"), H("0100")); // the instrument refuses the change
    EXPECT_TRUE(ravnell.Recover());
    EXPECT_EQ(s->Mismatch().toStdString(), "");
    CRavnellDevice detached;
    EXPECT_FALSE(detached.Recover());
}

} // namespace
