#include "device/Contents.h"
#include "device/DeviceFactory.h"
#include "device/PelorixDevice.h"
#include "device/PlatformDevice.h"
#include "device/RavnellDevice.h"
#include "device/Veskamon2Device.h"
#include "device/Veskora3SeDevice.h"
#include "device/VmCommands.h"
#include "resources/BuiltInStrings.h"
#include "tests/support/ScriptedStream.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace Device;

namespace
{
const QByteArray kAck("\x06", 1);
const QByteArray kStart("\x10", 1);
const QByteArray kResync = QByteArray::fromHex("C8F60005555AAAAFFFF0");

class DeviceTest : public ::testing::Test
{
protected:
    void SetUp() override { RegisterBuiltInStrings(); }

    // Attaches a scripted stream; the script is reachable through the returned pointer.
    static ScriptedStream* AttachScript(CVmDevice& device)
    {
        auto stream = std::make_unique<ScriptedStream>();
        ScriptedStream* raw = stream.get();
        std::unique_ptr<StreamIO::CIoStream> base = std::move(stream);
        EXPECT_TRUE(device.Attach(base, portSerial));
        return raw;
    }
    // The line-end question the portable tester asks before "@ID@" (device in CR mode).
    static void ExpectLineEndCheck(ScriptedStream& s)
    {
        s.Expect(kStart, kAck);
        s.Expect("EC?\r", "0\r");
    }
};

TEST_F(DeviceTest, FactoryCoversTheTypeTable)
{
    EXPECT_EQ(CreateDevice(typeCount), nullptr);
    EXPECT_EQ(CreateDevice(uint32_t(-1)), nullptr);
    EXPECT_EQ(GetDeviceTypeName(typeCount), nullptr);
    EXPECT_STREQ(GetDeviceTypeName(typeTestBox), "Varidov");
    EXPECT_STREQ(GetDeviceTypeName(typeMarbeli), "Veskora Marbeli / Veskora Tevasol");

    struct Row
    {
        uint32_t type;
        const char* typeName;
        uint32_t mask;
        uint8_t signatureClass;
        uint32_t baud;
        uint8_t handshake;
        uint32_t readMs;
        uint32_t writeMs;
    };
    const Row rows[] = {
        {0, "Veskora 3", 7, 3, 9600, 0, 500, 10},
        {1, "Veskora Marbeli / Veskora Tevasol", 1, 4, 38400, 0x04, 1000, 50},
        {2, "Orlanthe", 1, 5, 38400, 0x04, 1000, 50},
        {3, "Delvaquint", 1, 6, 19200, 0, 1500, 50},
        {4, "Fennoray", 1, 7, 38400, 0x04, 1000, 50},
        {5, "Veskamon 3", 2, 8, 9600, 0, 500, 10},
        {6, "Corvell Lab", 1, 9, 115200, 0, 1500, 50},
        {7, "Tolvane", 1, 10, 19200, 0, 1500, 50},
        {8, "Ambrelon", 1, 11, 19200, 0, 1500, 1000},
        {9, "PX-2", 1, 12, 19200, 0, 1500, 50},
        {10, "Platform", 6, 13, 19200, 0, 500, 10},
        {11, "Harrowind", 1, 0, 9600, 0, 1500, 50},
        {12, "US VivodOzez 50kHz", 1, 14, 19200, 0, 500, 50},
        {13, "Delvarohne6", 1, 15, 19200, 0, 500, 50},
        {14, "VariDov", 1, 16, 115200, 0, 1500, 50},
    };
    for (const Row& r : rows)
    {
        std::unique_ptr<CVmDevice> device = CreateDevice(r.type);
        ASSERT_NE(device, nullptr) << r.type;
        EXPECT_EQ(device->GetType(), NTypes(r.type));
        EXPECT_EQ(device->GetTypeName(), QString::fromLatin1(r.typeName));
        EXPECT_EQ(device->GetPortMask(), r.mask);
        EXPECT_EQ(device->GetSignatureClass(), r.signatureClass);
        EXPECT_EQ(device->GetSerialSettings().baudRate, r.baud);
        EXPECT_EQ(device->GetSerialSettings().handshake, r.handshake) << r.type;
        EXPECT_EQ(device->GetSerialSettings().readTimeout, r.readMs) << r.type;
        EXPECT_EQ(device->GetSerialSettings().writeTimeout, r.writeMs) << r.type;
        EXPECT_EQ(device->GetSerialSettings().dataBits, 8) << r.type;
        EXPECT_EQ(device->CreateInstance()->GetType(), NTypes(r.type));
    }
    EXPECT_NE(dynamic_cast<CVeskora3SeDevice*>(CreateDevice(typeVeskora3).get()), nullptr);
    EXPECT_NE(dynamic_cast<CVeskamon2Device*>(CreateDevice(typeVeskamon3).get()), nullptr);
}

TEST_F(DeviceTest, AttachAndDetachRules)
{
    std::unique_ptr<CVmDevice> device = CreateDevice(typeVeskora3);
    EXPECT_EQ(device->GetDeviceCode(), 0); // no command object: 0, not -1
    QString listing;
    EXPECT_FALSE(device->ListDirectory(1, listing));

    std::unique_ptr<StreamIO::CIoStream> closed = std::make_unique<ScriptedStream>();
    closed->Close();
    EXPECT_FALSE(device->Attach(closed, portSerial));
    EXPECT_NE(closed, nullptr); // stays with the caller

    std::unique_ptr<StreamIO::CIoStream> wrongKind = std::make_unique<ScriptedStream>();
    EXPECT_FALSE(device->Attach(wrongKind, 3));
    EXPECT_NE(wrongKind, nullptr);

    std::unique_ptr<StreamIO::CIoStream> first =
        std::make_unique<ScriptedStream>(QStringLiteral("IP:10.0.0.5:3728"));
    StreamIO::CIoStream* raw = first.get();
    EXPECT_TRUE(device->Attach(first, portEthernet));
    EXPECT_EQ(first, nullptr);
    EXPECT_EQ(device->GetPortKind(), uint32_t(portEthernet));
    EXPECT_EQ(device->GetStreamName(), QStringLiteral("IP:10.0.0.5:3728"));
    ASSERT_NE(device->GetCommands(), nullptr);
    EXPECT_EQ(device->GetCommands()->GetLineEndMode(), 0);

    std::unique_ptr<StreamIO::CIoStream> second = std::make_unique<ScriptedStream>();
    EXPECT_FALSE(device->Attach(second, portSerial));
    EXPECT_NE(second, nullptr);
    EXPECT_EQ(device->GetStream(), raw);

    std::unique_ptr<StreamIO::CIoStream> back = device->Detach();
    EXPECT_EQ(back.get(), raw);
    EXPECT_EQ(device->GetPortKind(), 0u);
    EXPECT_EQ(device->GetStream(), nullptr);
    EXPECT_EQ(device->GetCommands(), nullptr);
    EXPECT_FALSE(device->KeepAlive(true, 2000));
    EXPECT_FALSE(device->Recover());
    EXPECT_EQ(device->Detach(), nullptr);
}

TEST_F(DeviceTest, ErrorTextsAndBaseBehaviour)
{
    std::unique_ptr<CVmDevice> device = CreateDevice(typeMarbeli);
    const QString hint =
        QStringLiteral("\r\nPlease restart the device and this Application and retry the Update.\r\n"
                       "In case the error persists, contact a Velmor service centre.");
    EXPECT_EQ(device->GetErrorText(0),
              QStringLiteral("An error (0) occurred during the device Update.") + hint);
    EXPECT_EQ(device->GetErrorText(12),
              QStringLiteral("An error (12) occurred during the device Update.") + hint);
    EXPECT_EQ(device->GetErrorText(7), QStringLiteral("An error occurred during file read."));
    EXPECT_EQ(device->GetErrorText(6),
              QStringLiteral("A communication error occurred during the device Update.") + hint);
    EXPECT_EQ(device->GetErrorText(9), QStringLiteral("The process was aborted by the user."));

    SLoginInfo login;
    login.value = 5;
    EXPECT_TRUE(device->Login(login));
    EXPECT_EQ(login.rights, loginSuperUser | loginAccepted);
    EXPECT_EQ(login.userName, QStringLiteral("No remote login implemented."));
    EXPECT_TRUE(device->Logout());
    EXPECT_EQ(device->GetLogin().rights, 0);

    SIdentity id;
    uint32_t wait = 1;
    EXPECT_FALSE(device->WaitForRestart(id, 2, wait));
    EXPECT_EQ(wait, 80000u);
    EXPECT_TRUE(device->WaitForRestart(id, 3, wait));
    EXPECT_EQ(wait, 0u);
    EXPECT_FALSE(device->WaitForRestart(id, 1, wait)); // no link

    ScriptedStream dummy;
    EXPECT_TRUE(device->SetCallback(reinterpret_cast<CCallback*>(&dummy)));
    EXPECT_FALSE(device->SetCallback(reinterpret_cast<CCallback*>(&dummy)));
    EXPECT_EQ(device->TakeCallback(), reinterpret_cast<CCallback*>(&dummy));
    EXPECT_TRUE(device->SetDataSource(&dummy));
    EXPECT_FALSE(device->SetDataSource(&dummy));
    EXPECT_EQ(device->TakeDataSource(), &dummy);
}

TEST_F(DeviceTest, PortableIdentifyKeepsEveryFieldInItsPlace)
{
    struct Case
    {
        const char* name;
        QByteArray answer;
        bool ok;
        QStringList info; // type, app version, serial, hardware, signature, OS, localization, zone
    };
    const Case cases[] = {
        {"complete",
         "Veskora 3;C12;V3-1;03010205;1.4.2;2.1.0;EN;UTC\r",
         true,
         {"Veskora 3", "1.4.2", "V3-1", "C12", "03010205", "2.1.0", "EN", "UTC"}},
        {"empty localization",
         "Veskora 3;C12;V3-1;03010205;1.4.2;2.1.0;;UTC\r",
         true,
         {"Veskora 3", "1.4.2", "V3-1", "C12", "03010205", "2.1.0", "-", "UTC"}},
        {"two empty fields together",
         "Veskora 3;C12;V3-1;03010205;1.4.2;;;UTC\r",
         true,
         {"Veskora 3", "1.4.2", "V3-1", "C12", "03010205", "-", "-", "UTC"}},
        {"closing separator",
         "Veskora 3;C12;V3-1;03010205;1.4.2;2.1.0;EN;UTC;\r",
         true,
         {"Veskora 3", "1.4.2", "V3-1", "C12", "03010205", "2.1.0", "EN", "UTC"}},
        {"seven fields",
         "Veskora 3;C12;V3-1;03010205;1.4.2;2.1.0;EN\r",
         false,
         {"Veskora 3", "1.4.2", "V3-1", "C12", "03010205", "2.1.0", "EN", ""}},
        {"indentation tester's class",
         "Veskora 3;C12;V3-1;08010205;1.4.2;2.1.0;EN;UTC\r",
         false,
         {"Veskora 3", "1.4.2", "V3-1", "C12", "08010205", "2.1.0", "EN", "UTC"}},
        {"signature not hexadecimal",
         "Veskora 3;C12;V3-1;XYZ;1.4.2;2.1.0;EN;UTC\r",
         false,
         {"Veskora 3", "1.4.2", "V3-1", "C12", "XYZ", "2.1.0", "EN", "UTC"}},
    };
    for (const Case& c : cases)
    {
        CVeskora3SeDevice device;
        ScriptedStream* s = AttachScript(device);
        ExpectLineEndCheck(*s);
        s->Expect(kStart, kAck);
        s->Expect("@ID@\r", c.answer);
        SIdentity id;
        EXPECT_EQ(device.Identify(id), c.ok) << c.name;
        QStringList info;
        device.CopyInfo(info);
        EXPECT_EQ(info, c.info) << c.name;
        EXPECT_TRUE(s->Mismatch().isEmpty()) << c.name;
        if (c.ok)
        {
            EXPECT_EQ(id.typeName, c.info.at(0));
            EXPECT_EQ(id.version, c.info.at(1));
            EXPECT_EQ(id.serialNumber, c.info.at(2));
            EXPECT_EQ(device.GetSerialNumber(), c.info.at(2));
        }
    }
}

TEST_F(DeviceTest, AnEmptyTypeNameFailsTheIdentification)
{
    // Every other field of these answers is complete and of the right class: only the
    // missing name must stop them, rather than pass as a device called "-".
    struct Case
    {
        const char* name;
        std::function<std::unique_ptr<CVmDevice>()> make;
        bool asksLineEnd;
        QByteArray answer;
    };
    const Case cases[] = {
        {"portable tester", [] { return std::make_unique<CVeskora3SeDevice>(); }, true,
         ";C12;V3-1;03010205;1.4.2;2.1.0;EN;UTC\r"},
        {"platform", [] { return std::make_unique<CPlatformDevice>(); }, true,
         ";B12;PF-0042;0D000101;3.2.1;2.1;1.0.4;1.1;EN;UTC\r"},
        {"five-field instrument", [] { return std::make_unique<CPelorixDevice>(); }, false,
         ";A1;PR1;0C00001F;1.0\r"},
        {"six-field instrument", [] { return std::make_unique<CRavnellDevice>(); }, false,
         ";A1;OR1;05000001;1.0;0.9\r"},
    };
    for (const Case& c : cases)
    {
        std::unique_ptr<CVmDevice> device = c.make();
        ScriptedStream* s = AttachScript(*device);
        if (c.asksLineEnd)
            ExpectLineEndCheck(*s);
        s->Expect(kStart, kAck);
        s->Expect("@ID@\r", c.answer);
        SIdentity id;
        EXPECT_FALSE(device->Identify(id)) << c.name;
        EXPECT_TRUE(s->Mismatch().isEmpty()) << c.name << ": " << s->Mismatch().toStdString();
        EXPECT_EQ(id.typeName, QString()) << c.name;
    }
}

TEST_F(DeviceTest, TheLineEndMustBeSettledBeforeTheIdentification)
{
    // A device in CR LF mode that does not acknowledge the first "EC?": asked in the
    // wrong mode, its answer would read "@ID@ Veskora 3;..." and identify a garbled type.
    struct Case
    {
        const char* name;
        std::function<std::unique_ptr<CVmDevice>()> make;
        QByteArray answer;
        bool answersTheRetry;
    };
    const QByteArray portable = "Veskora 3;C12;V3-1;03010205;1.4.2;2.1.0;EN;UTC";
    const QByteArray platform = "Platform;B12;PF-0042;0D000101;3.2.1;2.1;1.0.4;1.1;EN;UTC";
    const auto makePortable = [] { return std::make_unique<CVeskora3SeDevice>(); };
    const auto makePlatform = [] { return std::make_unique<CPlatformDevice>(); };
    const Case cases[] = {
        {"portable tester, asked again", makePortable, portable, true},
        {"portable tester, never settled", makePortable, portable, false},
        {"platform, asked again", makePlatform, platform, true},
        {"platform, never settled", makePlatform, platform, false},
    };
    for (const Case& c : cases)
    {
        std::unique_ptr<CVmDevice> device = c.make();
        ScriptedStream* s = AttachScript(*device);
        s->Expect(kStart); // no acknowledgement
        if (c.answersTheRetry)
        {
            s->Expect(kResync, "\xF0"); // the line is settled before the retry
            s->Expect(kStart, kAck);
            s->Expect("EC?\r", "EC? 1\r\n");
            s->Expect(kStart, kAck);
            s->Expect("EC0\r", "EC0 OK\r\n");
            s->Expect(kStart, kAck);
            s->Expect("@ID@\r", c.answer + "\r");
        }
        else
        {
            s->Expect(kResync);
            s->Expect(kStart);
        }
        SIdentity id;
        EXPECT_EQ(device->Identify(id), c.answersTheRetry) << c.name;
        EXPECT_TRUE(s->Mismatch().isEmpty()) << c.name << ": " << s->Mismatch().toStdString();
        EXPECT_EQ(id.typeName,
                  c.answersTheRetry ? QString::fromLatin1(c.answer.left(c.answer.indexOf(';'))) : QString())
            << c.name;
    }
}

TEST_F(DeviceTest, PortableInfoTextAndVersions)
{
    CVeskora3SeDevice device;
    ScriptedStream* s = AttachScript(device);
    ExpectLineEndCheck(*s);
    s->Expect(kStart, kAck);
    s->Expect("@ID@\r", "Veskora 3;C12;V3-1;03010205;1.4.2;2.1.0;EN;UTC\r");
    CContents contents;
    contents.Add({});
    EXPECT_TRUE(device.GetVersions(contents)); // identifies first
    ASSERT_EQ(contents.m_entries.size(), 2u);
    EXPECT_EQ(contents.m_entries[0].kind, 2u);
    EXPECT_EQ(contents.m_entries[0].component, 2);
    EXPECT_EQ(contents.m_entries[0].version, CVersion(QStringView(u"2.1.0")));
    EXPECT_EQ(contents.m_entries[1].kind, 1u);
    EXPECT_EQ(contents.m_entries[1].version, CVersion(QStringView(u"1.4.2")));
    EXPECT_EQ(contents.FindKind(1), &contents.m_entries[1]);
    EXPECT_EQ(contents.m_identity.typeName, QStringLiteral("Veskora 3"));
    EXPECT_EQ(
        device.GetInfoText(),
        QStringLiteral("Device type:\tVeskora 3\r\nSerial number:\tV3-1\r\nApplication Version:\t1.4.2\r\n"
                       "Hardware revision:\tC12\r\nOS Version:\t2.1.0\r\nLocalization:\tEN\r\n"
                       "Timezone ID:\tUTC\r\nSignature:\t03010205"));
}

TEST_F(DeviceTest, IndentationIdentifyAndQueryId)
{
    struct Case
    {
        const char* name;
        QByteArray answer;
        bool ok;
        QStringList info; // name, firmware, serial, hardware, signature
    };
    const Case cases[] = {
        {"complete",
         "Veskamon 3 #2;1.0.3;VK12-345-6789;08000102;B3\r",
         true,
         {"Veskamon 3 #2", "1.0.3", "VK12-345-6789", "B3", "08000102"}},
        {"no name",
         ";1.0.3;VK12-345-6789;08000102;B3\r",
         true,
         {"New Veskamon 3", "1.0.3", "VK12-345-6789", "B3", "08000102"}},
        {"no serial",
         "Veskamon 3;1.0.3;;08000102;B3\r",
         true,
         {"Veskamon 3", "1.0.3", "-", "B3", "08000102"}},
        {"portable tester's class",
         "Veskamon 3;1.0.3;VK1;03000102;B3\r",
         false,
         {"Veskamon 3", "1.0.3", "VK1", "B3", "03000102"}},
        {"four fields",
         "Veskamon 3;1.0.3;VK1;08000102\r",
         false,
         {"Veskamon 3", "1.0.3", "VK1", "", "08000102"}},
    };
    for (const Case& c : cases)
    {
        CVeskamon2Device device;
        ScriptedStream* s = AttachScript(device);
        s->Expect(kStart, kAck);
        s->Expect("@ID@\r", c.answer);
        SIdentity id;
        EXPECT_EQ(device.Identify(id), c.ok) << c.name;
        QStringList info;
        device.CopyInfo(info);
        EXPECT_EQ(info, c.info) << c.name;
    }

    // A nameless tester answers "ID" from what it said before, without asking.
    CVeskamon2Device nameless;
    ScriptedStream* s = AttachScript(nameless);
    s->Expect(kStart, kAck);
    s->Expect("@ID@\r", ";1.0.3;VK12-345-6789;08000102;B3\r");
    SIdentity id;
    ASSERT_TRUE(nameless.Identify(id));
    const QByteArray before = s->Written();
    SIdentity again;
    EXPECT_TRUE(nameless.QueryId(again));
    EXPECT_EQ(again.typeName, QStringLiteral("New Veskamon 3"));
    EXPECT_EQ(s->Written(), before);
    EXPECT_EQ(nameless.GetInfoText(),
              QStringLiteral(
                  "Device type:\tNew Veskamon 3\r\nSerial number:\tVK12-345-6789\r\nFirmware Version:\t1.0.3"
                  "\r\nHardware revision:\tB3\r\nSignature:\t08000102"));
    CContents contents;
    EXPECT_TRUE(nameless.GetVersions(contents));
    ASSERT_EQ(contents.m_entries.size(), 1u);
    EXPECT_EQ(contents.m_entries[0].version, CVersion(QStringView(u"1.0.3")));
}

TEST_F(DeviceTest, ProbeIdFromTheSerialNumber)
{
    struct Case
    {
        QString serial;
        const char* id;
    };
    const Case cases[] = {
        {"VK12-345-6789", "90 0C 00 00 59 15 6A 70"},
        {"VK01-000-0000", "90 01 00 00 00 00 00 70"},
        {"VK99-1023-16383", "90 63 00 00 66 00 00 70"}, // 102 then "3-..." does not fit the pattern
        {"XX12-345-6789", "90 00 00 00 00 00 00 70"},   // no match: every number 0
        {"VK12-345", "90 0C 00 00 59 01 00 70"},        // the third number missing: 0
        {"", "90 00 00 00 00 00 00 70"},
    };
    for (const Case& c : cases)
    {
        uint8_t id[8];
        CVeskamon2Device::MakeProbeId(c.serial, id);
        EXPECT_EQ(QByteArray(reinterpret_cast<char*>(id), 8).toHex(' ').toUpper(), QByteArray(c.id))
            << c.serial.toStdString();
    }
}

TEST_F(DeviceTest, ProbeVariantFromTheName)
{
    struct Case
    {
        QByteArray name;
        int variant;
    };
    const Case cases[] = {
        {"Veskamon 3 #2", 1}, {"Veskamon 3 #5", 2}, {"Veskamon 3 #5 #2", 1}, {"Veskamon 3", 0}};
    for (const Case& c : cases)
    {
        CVeskamon2Device device;
        ScriptedStream* s = AttachScript(device);
        s->Expect(kStart, kAck);
        s->Expect("@ID@\r", c.name + ";1.0;VK1;08000000;B\r");
        SIdentity id;
        device.Identify(id);
        EXPECT_EQ(device.GetProbeVariant(), c.variant) << c.name.constData();
    }
}

TEST_F(DeviceTest, ProbeParameterBlock)
{
    const uint16_t words[10] = {22000, 9000, 11000, 1000, 1200, 700, 1500, 700, 2000, 6500};
    uint8_t block[20];
    for (int i = 0; i < 10; ++i)
    {
        block[2 * i] = uint8_t(words[i] & 0xFF);
        block[2 * i + 1] = uint8_t(words[i] >> 8);
    }
    const SProbeParameters p = CVeskora3SeDevice::ParametersFromBlock(block);
    EXPECT_FLOAT_EQ(p.p1, 220.0f);
    EXPECT_FLOAT_EQ(p.p2, 9.0f);
    EXPECT_FLOAT_EQ(p.p3, 11.0f);
    EXPECT_EQ(p.p4, 16000u);
    EXPECT_EQ(p.p5, 26880u); // 19200 * 11200 / (19200 - 11200)
    EXPECT_EQ(p.p6, 19200u);
    EXPECT_EQ(p.p8, 21000u); // 24000 * 11200 / 12800
    EXPECT_NEAR(p.p10, 0.065f, 1e-7);

    uint8_t back[20];
    ASSERT_TRUE(CVeskora3SeDevice::BlockFromParameters(p, back));
    EXPECT_EQ(QByteArray(reinterpret_cast<char*>(back), 20), QByteArray(reinterpret_cast<char*>(block), 20));

    SProbeParameters low = p;
    low.p1 = 209.99f;
    EXPECT_FALSE(CVeskora3SeDevice::BlockFromParameters(low, back));
    SProbeParameters empty = p;
    empty.p5 = 0;
    empty.p6 = 0; // no division by zero: both words become 0
    EXPECT_TRUE(CVeskora3SeDevice::BlockFromParameters(empty, back));

    // Refused values never reach the wire.
    CVeskora3SeDevice device;
    ScriptedStream* s = AttachScript(device);
    EXPECT_FALSE(device.WriteProbeParameters(low));
    EXPECT_TRUE(s->Written().isEmpty());
}

} // namespace
