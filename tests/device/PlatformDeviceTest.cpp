#include "device/PlatformDevice.h"
#include "device/BlockHeader.h"
#include "device/Contents.h"
#include "device/PackageHeader.h"
#include "device/VmCommands.h"
#include "resources/BuiltInStrings.h"
#include "tests/device/UpdateRecorder.h"
#include "tests/support/PackageBuilder.h"
#include "tests/support/ScriptedStream.h"

#include <gtest/gtest.h>

#include <functional>

using namespace Device;

namespace
{
QByteArray H(const char* hex)
{
    return QByteArray::fromHex(hex);
}

const QByteArray kStart("\x10", 1);
const QByteArray kAck("\x06", 1);
const QByteArray kIdentity = "Platform;B12;PF-0042;0D000101;3.2.1;2.1;1.0.4;-;EN;Europe/Zurich";

class PlatformTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterBuiltInStrings();
        s = AttachScript(device, portEthernet);
    }
    static void ExpectIdentify(ScriptedStream* t, const QByteArray& answer)
    {
        t->Expect(kStart, kAck);
        t->Expect("EC?\r", "0\r");
        t->Expect(kStart, kAck);
        t->Expect("@ID@\r", answer + "\r");
    }
    static CPackageHeader Package(const std::function<void(PackageBuilder&)>& change)
    {
        PackageBuilder p;
        p.entries.push_back({});
        p.blocks.push_back({});
        p.deviceCode = 0x0D000101;
        change(p);
        CPackageHeader header;
        MemoryStream stream(p.Build());
        EXPECT_TRUE(header.Read(stream));
        return header;
    }

    CPlatformDevice device;
    ScriptedStream* s = nullptr;
};

TEST_F(PlatformTest, IdentifiesByTenFields)
{
    struct Case
    {
        const char* name;
        QByteArray answer;
        bool ok;
    };
    const Case cases[] = {
        {"all ten", kIdentity, true},
        {"without the timezone", "Platform;B12;PF-0042;0D000101;3.2.1;2.1;1.0.4;-;EN", true},
        {"without the localization", "Platform;B12;PF-0042;0D000101;3.2.1;2.1;1.0.4;-", false},
        {"another signature class", "Platform;B12;PF-0042;03000101;3.2.1;2.1;1.0.4;-;EN;UTC", false},
    };
    for (const Case& c : cases)
    {
        CPlatformDevice d;
        ScriptedStream* t = AttachScript(d, portEthernet);
        ExpectIdentify(t, c.answer);
        SIdentity id;
        EXPECT_EQ(d.Identify(id), c.ok) << c.name;
        EXPECT_EQ(t->Mismatch().toStdString(), "") << c.name;
    }
    ExpectIdentify(s, kIdentity);
    SIdentity id;
    ASSERT_TRUE(device.Identify(id));
    SPlatformInfo info;
    device.GetPlatformInfo(info);
    EXPECT_EQ(info.signature, 0x0D000101u);
    EXPECT_EQ(info.timezoneId, QStringLiteral("Europe/Zurich"));
    EXPECT_TRUE(device.GetInfoText().startsWith(QStringLiteral(
        "Device type:\tPlatform\r\nSerial number:\tPF-0042\r\nApplication Version:\t3.2.1\r\n")));
    CContents contents;
    ASSERT_TRUE(device.GetVersions(contents));
    ASSERT_EQ(contents.m_entries.size(), 3u);
    EXPECT_EQ(contents.m_entries[0].kind, 2u);
    EXPECT_EQ(contents.m_entries[0].version.Format(2), QStringLiteral("2.1"));
    EXPECT_EQ(contents.m_entries[2].kind, 8u);
    EXPECT_EQ(contents.m_entries[2].version.Format(4), QStringLiteral("0.0.0.0")); // from "-"
}

TEST_F(PlatformTest, UpdateChecksStopAtTheFirstFailingTest)
{
    struct Case
    {
        const char* name;
        QByteArray revision;
        QByteArray os;
        std::function<void(PackageBuilder&)> change;
        QByteArray power; // empty: refused
        NError_code result;
    };
    const auto range = [](uint16_t low, uint16_t high)
    {
        return [=](PackageBuilder& p)
        {
            p.lowRevision = low;
            p.highRevision = high;
        };
    };
    const auto needs = [](uint16_t major, uint16_t minor)
    {
        return [=](PackageBuilder& p)
        {
            p.requiredOs[0] = major;
            p.requiredOs[1] = minor;
        };
    };
    const QByteArray ac = "4100;a;b;c;d;e;AC_LINE_ONLINE";
    const Case cases[] = {
        {"lower-case revision at the bound", "b12", "2.1", range(0x10C, 0), ac, errNone},
        {"revision number 256", "B256", "2.1", range(0x10C, 0), ac, errHardwareRevision},
        {"revision beginning with a digit", "1B", "2.1", range(0x10C, 0), ac, errHardwareRevision},
        {"13 bits of the bound", "B1", "2.1", range(0x2101, 0), ac, errNone},
        {"below the 13 bits of the bound", "A255", "2.1", range(0x2101, 0), ac, errHardwareRevision},
        {"above the high bound", "Z1", "2.1", range(0x100, 0x1900), ac, errHardwareRevision},
        // Three-part texts: a text of two numbers reads as two 32-bit halves.
        {"newer operating system", "B1", "2.1.0", needs(2, 0), ac, errNone},
        {"blanks in the version", "B1", "2 . 1 . 0", needs(2, 0), ac, errNone},
        {"another major version", "B1", "3.0.0", needs(2, 0), ac, errOsVersion},
        {"older operating system", "B1", "1.9.0", needs(2, 0), ac, errOsVersion},
        {"low battery", "B1", "2.1", range(0, 0), "3650;a;b;c;d;e;BATTERY", errPowerSupply},
        {"low battery on the adaptor", "B1", "2.1", range(0, 0), "3650;a;b;c;d;e;AC_LINE_ONLINE", errNone},
        {"battery full", "B1", "2.1", range(0, 0), "3700;a;b;c;d;e;BATTERY", errNone},
        {"voltage not a number", "B1", "2.1", range(0, 0), "abc;a;b;c;d;e;BATTERY", errNone},
        {"power query refused", "B1", "2.1", range(0, 0), {}, errNone},
    };
    for (const Case& c : cases)
    {
        CPlatformDevice d;
        ScriptedStream* t = AttachScript(d, portEthernet);
        ExpectIdentify(t, "Platform;" + c.revision + ";PF-1;0D000101;3.2.1;" + c.os + ";1.0;2.0;EN;UTC");
        SIdentity id;
        ASSERT_TRUE(d.Identify(id)) << c.name;
        t->Expect(H("C0F1"), H("040101000D"));
        const bool passesFirstChecks = c.result == errNone || c.result == errPowerSupply;
        if (passesFirstChecks)
        {
            t->Expect(kStart, kAck);
            t->Expect("GPOW\r", (c.power.isEmpty() ? QByteArray("?") : c.power) + "\r");
        }
        EXPECT_EQ(d.CheckUpdate(Package(c.change)), c.result) << c.name;
        EXPECT_EQ(t->Mismatch().toStdString(), "") << c.name;
        EXPECT_EQ(t->Done(), true) << c.name;
        if (c.revision == "b12")
        {
            SPlatformInfo info;
            d.CopyInfo(info);
            EXPECT_EQ(info.hardwareRevision, QStringLiteral("B12"));
        }
    }
}

TEST_F(PlatformTest, CheckPackageTakesTheOperatingSystemOfTheContents)
{
    ExpectIdentify(s, kIdentity);
    SIdentity id;
    ASSERT_TRUE(device.Identify(id));
    const CPackageHeader package = Package(
        [](PackageBuilder& p)
        {
            p.requiredOs[0] = 2;
            p.requiredOs[1] = 5;
        });
    CContents contents;
    SContentEntry app;
    app.kind = 1;
    contents.Add(app);
    uint32_t value = 77;
    s->Expect(H("C0F1"), H("040101000D"));
    EXPECT_EQ(device.CheckPackage(contents, package, value), errGeneral); // no operating system in the list
    SContentEntry os;
    os.kind = 2;
    os.version = CVersion(QStringLiteral("2.6.0"));
    contents.Add(os);
    s->Expect(H("C0F1"), H("040101000D"));
    EXPECT_EQ(device.CheckPackage(contents, package, value), errNone);
    os.version = CVersion(QStringLiteral("2.4.0"));
    contents.m_entries[1] = os;
    s->Expect(H("C0F1"), H("040101000D"));
    EXPECT_EQ(device.CheckPackage(contents, package, value), errOsVersion);
    EXPECT_EQ(value, 77u);
    EXPECT_TRUE(device.CanCheckPackage());
    EXPECT_EQ(s->Mismatch().toStdString(), "");
}

TEST_F(PlatformTest, ALastBlockInModeZeroClosesTheLinkAtTheEnd)
{
    const CPackageHeader package = Package([](PackageBuilder&) {});
    SBlockHeader block;
    block.bytes[10] = 0x02;
    block.bytes[11] = 0x00;
    s->Expect(H("C2F40000"), H("0101"));
    s->Expect(H("C2F40100"), H("0100"));
    s->Expect(H("C2F40200"));
    EXPECT_EQ(device.LeaveUpdateMode(package, block), errNone);
    EXPECT_EQ(s->Mismatch().toStdString(), "");
    EXPECT_TRUE(device.ClosesAfterUpdate());
    EXPECT_EQ(device.FinishUpdate(), errNone);
    EXPECT_EQ(device.GetStream(), nullptr);
    EXPECT_EQ(device.GetCommands(), nullptr);
    EXPECT_FALSE(device.ClosesAfterUpdate());

    // Without a link: logout clears the login and fails; a restart of kind 1 is not
    // awaited; kind 2 leaves 80 s to the caller.
    EXPECT_FALSE(device.Logout());
    EXPECT_EQ(device.GetLogin().rights, 0);
    SIdentity id;
    uint32_t wait = 1;
    EXPECT_FALSE(device.WaitForRestart(id, 1, wait));
    EXPECT_EQ(wait, 0u);
    EXPECT_FALSE(device.WaitForRestart(id, 2, wait));
    EXPECT_EQ(wait, 80000u);
    EXPECT_TRUE(device.WaitForRestart(id, 5, wait));
}

TEST_F(PlatformTest, LoginFollowsTheRights)
{
    for (const auto& [answer, ok] :
         {std::pair{QByteArray("Admin;6"), true}, std::pair{QByteArray("Admin;1"), false},
          std::pair{QByteArray("Admin;5"), true}, std::pair{QByteArray("Admin;0"), true}})
    {
        s->Expect(kStart, kAck);
        s->Expect("RLGI \"Admin\"; \"pw\"; 00000000\r", answer + "\r");
        SLoginInfo login;
        login.userName = QStringLiteral("Admin");
        login.password = QStringLiteral("pw");
        EXPECT_EQ(device.Login(login), ok) << answer.constData();
    }
    EXPECT_EQ(s->Mismatch().toStdString(), "");
}

} // namespace
