#include "device/Veskamon2Device.h"
#include "device/Veskora3SeDevice.h"
#include "device/VmCommands.h"
#include "platform/core/Codepage.h"
#include "resources/BuiltInStrings.h"
#include "streamio/FileStream.h"
#include "streamio/IpStream.h"
#include "streamio/Rs232Stream.h"
#include "streamio/StreamIO.h"
#include "streamio/UsbHostProbeControl.h"
#include "tests/support/CpuHog.h"
#include "tests/support/HidProbeSimulator.h"
#include "tests/support/PtyPair.h"
#include "tests/support/TempDir.h"
#include "tests/support/sim/IndentationTesterSim.h"
#include "tests/support/sim/PortableTesterSim.h"

#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <thread>

using namespace Device;

namespace
{
constexpr uint32_t kSimPort = 7;
const QByteArray kRoot = "\\Persistent Storage\\";
const QByteArray kResyncFrame = QByteArray::fromHex("C8F60005555AAAAFFFF0");

void StartStreamsOnce()
{
    static const bool started = []
    {
        RegisterBuiltInStrings();
        StreamIO::StartStreamIO();
        return true;
    }();
    (void)started;
}

enum class LinkKind
{
    pty,
    tcp
};

// The portable tester reached over a pseudo-terminal or TCP on loopback, attached and
// identified as the search would leave it.
class PortableEndToEnd : public ::testing::TestWithParam<LinkKind>
{
protected:
    void SetUp() override
    {
        StartStreamsOnce();
        device = std::make_unique<CVeskora3SeDevice>();
        std::unique_ptr<StreamIO::CIoStream> stream;
        uint32_t kind = portSerial;
        if (GetParam() == LinkKind::pty)
        {
            ASSERT_TRUE(pty.IsValid());
            pty.MapToCom(kSimPort);
            // A dropped link hangs the port up, as a pulled USB serial adapter does.
            sim.Engine().ServeLink(
                std::make_unique<Sim::FdLink>(pty.MasterFd(), false, false, [this] { pty.CloseMaster(); }));
            auto serial = std::make_unique<StreamIO::CRs232Stream>();
            ASSERT_TRUE(serial->OpenPort(kSimPort, StreamIO::STREAM_READ | StreamIO::STREAM_WRITE,
                                         &device->GetSerialSettings()));
            stream = std::move(serial);
        }
        else
        {
            const QString address = Sim::UniqueLoopbackAddress();
            ASSERT_TRUE(sim.Engine().ServeTcp(address, 3728));
            stream = std::make_unique<StreamIO::CIpStream>(QStringLiteral("IP:%1:3728").arg(address),
                                                           StreamIO::STREAM_READ | StreamIO::STREAM_WRITE);
            kind = portEthernet;
        }
        ASSERT_TRUE(device->Attach(stream, kind));
        SIdentity id;
        ASSERT_TRUE(device->Identify(id));
        sim.Engine().ClearLog();
    }
    void TearDown() override { device.reset(); }

    std::unique_ptr<StreamIO::CFileStream> LocalFile(const QByteArray& content)
    {
        auto file = std::make_unique<StreamIO::CFileStream>(dir.File(QStringLiteral("local%1").arg(++files)),
                                                            StreamIO::STREAM_READ | StreamIO::STREAM_WRITE |
                                                                StreamIO::STREAM_CREATE_ALWAYS);
        if (!content.isEmpty())
            file->Write(content.constData(), uint32_t(content.size()));
        file->SetPosition(0);
        return file;
    }
    static QByteArray Contents(StreamIO::CFileStream& file)
    {
        file.SetPosition(0);
        QByteArray out(qsizetype(file.GetLength()), '\0');
        file.Read(out.data(), uint32_t(out.size()));
        return out;
    }

    TempDir dir;
    int files = 0;
    PtyPair pty;
    Sim::PortableTesterSim sim;
    std::unique_ptr<CVeskora3SeDevice> device;
};

INSTANTIATE_TEST_SUITE_P(Links, PortableEndToEnd, ::testing::Values(LinkKind::pty, LinkKind::tcp),
                         [](const auto& info) { return info.param == LinkKind::pty ? "Pty" : "Tcp"; });

TEST_P(PortableEndToEnd, LoginRules)
{
    struct Case
    {
        const char* name;
        QByteArray appVersion;
        QByteArray password; // of the tester's active profile
        int forcedRights;
        bool refuseValueForm;
        QString given;
        bool ok;
        uint16_t rights;
        int loginLines;
    };
    const Case cases[] = {
        {"old firmware has no login", "0.2.12", "secret", -1, false, "", true, 7, 0},
        {"first firmware with login", "0.2.13", "", -1, false, "", true, 6, 1},
        {"right password", "1.4.2", "secret", -1, false, "secret", true, 7, 1},
        {"wrong password", "1.4.2", "secret", -1, false, "wrong", false, 3, 1},
        {"password set, not accepted", "1.4.2", "", 1, false, "", false, 1, 1},
        {"no rights at all", "1.4.2", "", 0, false, "", true, 0, 1},
        {"unreadable version still logs in", "x.y", "", 1, false, "", false, 1, 1},
        {"without the value", "1.4.2", "", -1, true, "", true, 6, 2},
    };
    for (const Case& c : cases)
    {
        Sim::PortableTesterSim::Identity id;
        id.appVersion = c.appVersion;
        sim.SetIdentity(id);
        Sim::PortableTesterSim::LoginProfile profile;
        profile.password = c.password;
        profile.forcedRights = c.forcedRights;
        profile.refuseValueForm = c.refuseValueForm;
        sim.SetLoginProfile(profile);
        sim.Engine().ClearLog();

        SLoginInfo login;
        login.userName = QStringLiteral("Admin");
        login.password = c.given;
        EXPECT_EQ(device->Login(login), c.ok) << c.name;
        EXPECT_EQ(login.rights, c.rights) << c.name;
        EXPECT_EQ(device->GetLogin().rights, c.rights) << c.name;
        EXPECT_EQ(sim.Engine().CountText("RLGI"), c.loginLines) << c.name;
    }
    EXPECT_TRUE(device->Logout());
    EXPECT_EQ(device->GetLogin().rights, 0);
    EXPECT_EQ(sim.LoginRights(), 0);
}

TEST_P(PortableEndToEnd, ListingOfEachKind)
{
    sim.AddFile(kRoot + "vsm\\Pr\xFC"
                        "fung.vsm",
                "data");
    for (const uint32_t mask : {0x01u, 0x02u | 0x08u, 0x3Fu})
    {
        QString listing;
        ASSERT_TRUE(device->ListDirectory(mask, listing)) << mask;
        QByteArray expected = sim.Listing(mask);
        expected.chop(1); // the closing ';'
        EXPECT_EQ(listing, DecodeCp1252(expected)) << mask;
    }
    QString measurement;
    ASSERT_TRUE(device->ListDirectory(1, measurement));
    EXPECT_TRUE(measurement.startsWith(QStringLiteral("0000;00;\"\\Persistent Storage\\vsm\\\";")));
    EXPECT_TRUE(measurement.contains(QString::fromUtf8("\"Pr\xC3\xBC"
                                                       "fung.vsm\"")));
    EXPECT_TRUE(measurement.contains(QStringLiteral("1000;01;\"Site A.DIR\";0001;02;\"Shaft 3.vsm\"")));
}

TEST_P(PortableEndToEnd, LoadSaveMoveAndDelete)
{
    // Load, also a name outside ASCII.
    auto target = LocalFile({});
    ASSERT_TRUE(device->DownloadFile(target.get(),
                                     QStringLiteral("\\Persistent Storage\\vsm\\Site A.DIR\\Shaft 3.vsm")));
    EXPECT_EQ(Contents(*target), *sim.FileData(kRoot + "vsm\\Site A.DIR\\Shaft 3.vsm"));
    sim.AddFile(kRoot + "vsm\\Pr\xFC"
                        "fung.vsm",
                "umlaut");
    auto second = LocalFile({});
    ASSERT_TRUE(device->DownloadFile(second.get(), QString::fromUtf8("\\Persistent Storage\\vsm\\Pr\xC3\xBC"
                                                                     "fung.vsm")));
    EXPECT_EQ(Contents(*second), QByteArray("umlaut"));
    auto missing = LocalFile({});
    EXPECT_FALSE(device->DownloadFile(missing.get(), QStringLiteral("\\Persistent Storage\\vsm\\none.vsm")));

    // Save.
    QByteArray content(5000, '\0');
    for (int i = 0; i < content.size(); ++i)
        content[i] = char(i * 31);
    auto source = LocalFile(content);
    ASSERT_TRUE(device->UploadFile(QStringLiteral("\\Persistent Storage\\cnv\\New.cnv"), source.get()));
    EXPECT_EQ(sim.FileData(kRoot + "cnv\\New.cnv"), content);

    // A new folder, a move into it, a rename of the folder, and its deletion.
    ASSERT_TRUE(device->CreateFolder(QStringLiteral("\\Persistent Storage\\cnv\\Sub.DIR\\")));
    EXPECT_TRUE(sim.Exists(kRoot + "cnv\\Sub.DIR\\"));
    ASSERT_TRUE(device->MoveItem(QStringLiteral("\\Persistent Storage\\cnv\\New.cnv"),
                                 QStringLiteral("\\Persistent Storage\\cnv\\Sub.DIR\\New.cnv")));
    EXPECT_FALSE(sim.Exists(kRoot + "cnv\\New.cnv"));
    EXPECT_TRUE(sim.Exists(kRoot + "cnv\\Sub.DIR\\New.cnv"));
    ASSERT_TRUE(device->MoveItem(QStringLiteral("\\Persistent Storage\\cnv\\Sub.DIR\\"),
                                 QStringLiteral("\\Persistent Storage\\cnv\\Renamed.DIR\\")));
    EXPECT_EQ(sim.FileData(kRoot + "cnv\\Renamed.DIR\\New.cnv"), content);
    ASSERT_TRUE(device->DeleteItem(QStringLiteral("\\Persistent Storage\\cnv\\Renamed.DIR\\")));
    EXPECT_FALSE(sim.Exists(kRoot + "cnv\\Renamed.DIR\\New.cnv"));
    EXPECT_FALSE(device->DeleteItem(QStringLiteral("\\Persistent Storage\\cnv\\Renamed.DIR\\")));
}

TEST_P(PortableEndToEnd, KeepAliveOpensAndEndsTheRemoteConnection)
{
    ASSERT_TRUE(device->KeepAlive(true, 2000));
    EXPECT_TRUE(sim.RemoteOpen());
    EXPECT_EQ(sim.LastKeepAliveSeconds(), 2);
    ASSERT_TRUE(device->KeepAlive(false, 0));
    EXPECT_FALSE(sim.RemoteOpen());
    EXPECT_EQ(device->GetDeviceCode(), 0x00030001);
    SIdentity id;
    EXPECT_TRUE(device->QueryId(id));
    EXPECT_EQ(id.serialNumber, QStringLiteral("V3-0001234"));
}

TEST_P(PortableEndToEnd, FaultsOfTheTester)
{
    // Refused commands and status bytes.
    sim.Engine().UpdateFaults(
        [](Sim::Faults& f)
        {
            f.refuse.insert("DELF");
            f.statusByte = 0xF2;
        });
    EXPECT_FALSE(device->DeleteItem(QStringLiteral("\\Persistent Storage\\cnv\\Custom.cnv")));
    EXPECT_TRUE(sim.Exists(kRoot + "cnv\\Custom.cnv"));
    EXPECT_FALSE(device->KeepAlive(true, 2000));
    EXPECT_EQ(device->GetDeviceCode(), -1);

    // A half line, then a tester too slow for the time-out: both fail, the next works.
    sim.Engine().SetFaults({});
    sim.Engine().UpdateFaults([](Sim::Faults& f) { f.partialLine = true; });
    QByteArray answer;
    EXPECT_EQ(device->SendTextCommand("ID", answer, 64, 200), -1);
    sim.Engine().UpdateFaults(
        [](Sim::Faults& f)
        {
            f.partialLine = false;
            f.replyDelayMs = 300;
        });
    EXPECT_EQ(device->SendTextCommand("ID", answer, 64, 100), -1);
    sim.Engine().UpdateFaults([](Sim::Faults& f) { f.replyDelayMs = 0; });
    QThread::msleep(400); // the late answer arrives, and is discarded by the next command
    SIdentity id;
    EXPECT_TRUE(device->QueryId(id));

    // Stale bytes after every answer do not disturb the next command.
    sim.Engine().UpdateFaults([](Sim::Faults& f) { f.junkAfterReply = "\x55\xAA\r"; });
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(device->QueryId(id)) << i;
    EXPECT_TRUE(device->KeepAlive(true, 1000));

    // 'n' after the data of a save.
    sim.Engine().SetFaults({});
    sim.Engine().UpdateFaults([](Sim::Faults& f) { f.saveAnswer = 'n'; });
    auto source = LocalFile("refused");
    EXPECT_FALSE(device->UploadFile(QStringLiteral("\\Persistent Storage\\cnv\\No.cnv"), source.get()));
    EXPECT_FALSE(sim.Exists(kRoot + "cnv\\No.cnv"));

    // No acknowledgement at all.
    sim.Engine().SetFaults({});
    sim.Engine().UpdateFaults([](Sim::Faults& f) { f.noAck = true; });
    EXPECT_EQ(device->SendTextCommand("ID", answer, 64, 100), -1);
}

TEST_P(PortableEndToEnd, ALateAnswerNeverPassesForTheNextReply)
{
    // Every answer comes 400 ms late: the "ID" below gives up at 100 ms, and its answer
    // arrives after the quiet time the next command waits for before its frame, where
    // the acknowledgement is due (the stray cases are AStrayLateAnswerIsNeverTakenForSuccess).
    sim.Engine().UpdateFaults([](Sim::Faults& f) { f.replyDelayMs = 400; });
    QByteArray answer;
    EXPECT_LE(device->SendTextCommand("ID", answer, 64, 100), 0);
    EXPECT_FALSE(device->DeleteItem(QStringLiteral("\\Persistent Storage\\vsm\\Missing.vsm"))); // "?"
    EXPECT_EQ(sim.Engine().CountText("DELF"), 1);
}

TEST_P(PortableEndToEnd, EachCommandWaitsItsOwnTimeAndALateReplyFailsItAlone)
{
    const QString file = QStringLiteral("\\Persistent Storage\\vsm\\Test.vsm");
    const QByteArray data = *sim.FileData(kRoot + "vsm\\Test.vsm");
    // A quick command leaves short time-outs on the link; the slow answer of the LOAD that
    // follows is still waited for with the LOAD's own time-out.
    QByteArray answer;
    ASSERT_GT(device->SendTextCommand("ID", answer, 64, 100), 0);
    sim.Engine().UpdateFaults([](Sim::Faults& f) { f.delayNextReplyMs = 600; });
    auto slow = LocalFile({});
    ASSERT_TRUE(device->DownloadFile(slow.get(), file));
    EXPECT_EQ(Contents(*slow), data);

    // One answer later than its command's time-out: that command fails, the tester is
    // still there, and the late answer is not taken for the next command's.
    sim.Engine().UpdateFaults([](Sim::Faults& f) { f.delayNextReplyMs = 700; });
    EXPECT_LE(device->SendTextCommand("ID", answer, 64, 300), 0);
    EXPECT_EQ(device->GetLinkStatus(), NLinkStatus::noAnswer);
    auto next = LocalFile({});
    ASSERT_TRUE(device->DownloadFile(next.get(), file));
    EXPECT_EQ(Contents(*next), data);
    EXPECT_EQ(device->GetLinkStatus(), NLinkStatus::ok);
    EXPECT_TRUE(device->Revive());

    // A refusal is an answer: the command failed, the link is fine.
    EXPECT_FALSE(device->DeleteItem(QStringLiteral("\\Persistent Storage\\vsm\\Missing.vsm")));
    EXPECT_EQ(device->GetLinkStatus(), NLinkStatus::ok);
}

TEST_P(PortableEndToEnd, AStrayLateAnswerIsNeverTakenForSuccess)
{
    // An identity answer that comes after the program gave up on it, then a DELF that the
    // tester refuses: the identity text must not pass for the DELF's acknowledgement and
    // answer.
    const QByteArray late = "Veskora 3;A1;V3-0001234;03000001;1.4.2;2.1.0;de;1\r";
    struct Case
    {
        const char* name;
        bool timedOut; // the program timed out on the identity itself
    };
    const Case cases[] = {
        {"the answer comes after the quiet time", true},
        {"the answer comes right before the acknowledgement", false},
    };
    const QString target = QStringLiteral("\\Persistent Storage\\vsm\\Test.vsm");
    for (const Case& c : cases)
    {
        sim.Engine().SetFaults({});
        if (c.timedOut)
        {
            sim.Engine().UpdateFaults([](Sim::Faults& f) { f.delayNextReplyMs = 900; });
            QByteArray answer;
            EXPECT_LE(device->SendTextCommand("@ID@", answer, 128, 300), 0) << c.name;
        }
        else
        {
            sim.Engine().UpdateFaults([&](Sim::Faults& f) { f.lateAnswer = late; });
        }
        sim.Engine().UpdateFaults([](Sim::Faults& f) { f.refuse.insert("DELF"); });
        EXPECT_FALSE(device->DeleteItem(target)) << c.name;
        EXPECT_TRUE(sim.Exists(kRoot + "vsm\\Test.vsm")) << c.name;
        sim.Engine().SetFaults({});
        QString listing;
        ASSERT_TRUE(device->ListDirectory(1, listing)) << c.name;
        EXPECT_TRUE(listing.contains(QStringLiteral("\"Test.vsm\""))) << c.name;
    }
}

TEST_P(PortableEndToEnd, ALateReplyReadTogetherWithTheNextFailsTheNextExchange)
{
    // A frame the tester leaves unanswered within its time-out; it stays silent while the
    // program settles the line, and comes back too late for that with the frame's reply,
    // in the same read as the reply to the next frame (the device code): the first reply
    // of the right shape is not the device code, so the exchange fails, and the next one
    // gets the code.
    using Exchange = std::function<bool(CVeskora3SeDevice&, uint32_t&)>;
    struct Case
    {
        const char* name;
        Exchange readCode;
    };
    const Case cases[] = {
        {"short exchange",
         [](CVeskora3SeDevice& d, uint32_t& code)
         {
             const int32_t value = d.GetDeviceCode();
             code = uint32_t(value);
             return value != -1;
         }},
        {"byte command",
         [](CVeskora3SeDevice& d, uint32_t& code)
         {
             uint8_t buffer[64] = {};
             if (d.SendBinaryCommand(0xF1, 0, buffer, sizeof buffer, 1000) != 4)
                 return false;
             code = uint32_t(buffer[0] | buffer[1] << 8 | buffer[2] << 16 | uint32_t(buffer[3]) << 24);
             return true;
         }},
        {"data exchange",
         [](CVeskora3SeDevice& d, uint32_t& code)
         {
             uint8_t buffer[64] = {};
             uint32_t count = 0;
             if (d.ExchangeBinaryData(0xF1, buffer, 0, count, sizeof buffer, 1000, -1) != errNone ||
                 count != 4)
                 return false;
             code = uint32_t(buffer[0] | buffer[1] << 8 | buffer[2] << 16 | uint32_t(buffer[3]) << 24);
             return true;
         }},
    };
    for (const Case& c : cases)
    {
        sim.Engine().ClearLog();
        sim.Engine().UpdateFaults([](Sim::Faults& f) { f.silent = true; });
        uint8_t request[64] = {0x12, 0xD0};
        EXPECT_EQ(device->SendBinaryCommand(0xF4, 2, request, sizeof request, 200), CVmCommands::kCommFailure)
            << c.name;
        std::thread back(
            [this]
            {
                if (sim.Engine().WaitForFrame(kResyncFrame, 10000))
                    sim.Engine().UpdateFaults(
                        [](Sim::Faults& f)
                        {
                            f.silent = false;
                            f.lateReply = QByteArray("\x04\xDD\xCC\xBB\xAA", 5);
                        });
            });
        uint32_t code = 0;
        EXPECT_FALSE(c.readCode(*device, code)) << c.name << ": taken for 0x" << std::hex << code;
        back.join();
        EXPECT_EQ(device->GetLinkStatus(), NLinkStatus::noAnswer) << c.name;
        ASSERT_TRUE(c.readCode(*device, code)) << c.name;
        EXPECT_EQ(code, 0x00030001u) << c.name;
    }
}

TEST_P(PortableEndToEnd, TheCancelTokenEndsAWaitOnASilentTester)
{
    const Platform::CancelToken token = Platform::CancelToken::Create();
    device->SetCancelToken(token);
    sim.Engine().UpdateFaults([](Sim::Faults& f) { f.noAck = true; });
    CpuHog hog;
    constexpr int kCancelAtMs = 200;
    std::thread canceller(
        [&]
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(kCancelAtMs));
            token.Cancel();
        });
    QElapsedTimer timer;
    timer.start();
    QByteArray answer;
    EXPECT_LE(device->SendTextCommand("ID", answer, 64, 8000), 0);
    const qint64 elapsed = timer.elapsed();
    canceller.join();
    EXPECT_LT(elapsed, kCancelAtMs + 300);
    EXPECT_EQ(device->GetLinkStatus(), NLinkStatus::aborted);
    // Nothing more goes out while the fired token is on the device.
    EXPECT_FALSE(device->KeepAlive(true, 1000));
    device->SetCancelToken({});
}

TEST_P(PortableEndToEnd, DisconnectInTheMiddleOfALoad)
{
    sim.Engine().UpdateFaults([](Sim::Faults& f) { f.dropAfterBytes = 100; });
    auto target = LocalFile({});
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(device->DownloadFile(target.get(), QStringLiteral("\\Persistent Storage\\vsm\\Test.vsm")));
    EXPECT_LT(timer.elapsed(), 20000);
    EXPECT_EQ(target->GetLength(), 0u);
    EXPECT_EQ(device->GetLinkStatus(), NLinkStatus::lost);
    SIdentity id;
    if (GetParam() == LinkKind::tcp)
    {
        EXPECT_TRUE(device->Revive());
        // The stream has connected again by itself: the tester answers on the new
        // connection, and no file data is taken for an answer.
        EXPECT_TRUE(device->QueryId(id));
        EXPECT_EQ(id.serialNumber, QStringLiteral("V3-0001234"));
    }
    else
    {
        EXPECT_FALSE(device->QueryId(id)); // the port is gone
        EXPECT_FALSE(device->Revive());
    }
}

TEST_P(PortableEndToEnd, ACutLoadFailsWithinItsTimeOutAndAShortCleanUp)
{
    // A file that stops half way fails within the transfer's time-out and a short
    // clean-up, however it stops: the link drops (a hang-up, a reset), or the tester
    // falls silent with the link still up (the far end of a serial line went dead). A
    // tester that comes back gets the next command, not what is left of the file.
    constexpr qint64 kCleanUpMs = 3000;
    constexpr qint64 kNoCleanUpMs = 1000;
    constexpr uint32_t kShortMs = 300;
    struct Case
    {
        const char* name;
        bool drop; // else the tester falls silent
    };
    const Case cases[] = {
        {"the tester falls silent", false},
        {"the link drops", true}, // last: a hung-up port does not come back
    };
    const QByteArray path = kRoot + "vsm\\Test.vsm";
    const uint32_t length = uint32_t(sim.FileData(path)->size());
    // The transfer's time-out: twice the time the file takes at the link's rate, 4 s at
    // least (a rate of 0 counts as 16000 bytes a second).
    const uint32_t rate = device->GetStream()->GetBytesPerSecond();
    const qint64 timeoutMs = std::max<qint64>(4000, qint64(length) * 2000 / (rate == 0 ? 16000 : rate) + 200);
    for (const Case& c : cases)
    {
        sim.Engine().SetFaults({});
        sim.Engine().UpdateFaults([&](Sim::Faults& f)
                                  { (c.drop ? f.dropAfterBytes : f.stallAfterBytes) = 100; });
        auto target = LocalFile({});
        QElapsedTimer timer;
        {
            CpuHog hog;
            timer.start();
            EXPECT_FALSE(device->DownloadFile(target.get(), DecodeCp1252(path))) << c.name;
        }
        EXPECT_LT(timer.elapsed(), timeoutMs + kCleanUpMs) << c.name << ", time-out " << timeoutMs << " ms";
        EXPECT_EQ(target->GetLength(), 0u) << c.name;
        if (c.drop)
            continue;
        EXPECT_EQ(device->GetLinkStatus(), NLinkStatus::noAnswer) << c.name;
        // While the tester stays silent, the clean-up is not repeated before every
        // command: the first command pays it, the next waits its own time-out alone.
        for (const qint64 extraMs : {kCleanUpMs, kNoCleanUpMs})
        {
            CpuHog hog;
            QElapsedTimer command;
            command.start();
            QByteArray answer;
            EXPECT_LE(device->SendTextCommand("ID", answer, 64, kShortMs), 0) << c.name;
            EXPECT_LT(command.elapsed(), kShortMs + extraMs) << c.name;
        }
        sim.Engine().UpdateFaults([](Sim::Faults& f) { f.silent = false; });
        SIdentity id;
        EXPECT_TRUE(device->QueryId(id)) << c.name;
        EXPECT_EQ(id.serialNumber, QStringLiteral("V3-0001234")) << c.name;
    }
}

TEST_P(PortableEndToEnd, ALateAnswerCostsTheNextCommandNoWait)
{
    // An answer that comes after its command gave up, when the line had been quiet for a
    // while: the next command, whatever it is, waits for that answer to pass and no
    // longer, and gets its own answer.
    constexpr uint32_t kGiveUpMs = 300;
    constexpr int kLateMs = 1200; // the identity's answer comes this long after its line
    constexpr qint64 kBoundMs = 1000;
    const QByteArray path = kRoot + "vsm\\Test.vsm";
    using Next = std::function<bool(CVeskora3SeDevice&)>;
    struct Case
    {
        const char* name;
        Next next;
    };
    const Case cases[] = {
        {"keep-alive", [](CVeskora3SeDevice& d) { return d.KeepAlive(true, 30000); }},
        {"device code", [](CVeskora3SeDevice& d) { return d.GetDeviceCode() == 0x00030001; }},
        {"identity",
         [](CVeskora3SeDevice& d)
         {
             SIdentity id;
             return d.QueryId(id) && id.serialNumber == QStringLiteral("V3-0001234");
         }},
        {"file",
         [&](CVeskora3SeDevice& d)
         {
             auto target = LocalFile({});
             return d.DownloadFile(target.get(), DecodeCp1252(path)) &&
                    Contents(*target) == *sim.FileData(path);
         }},
    };
    for (const Case& c : cases)
    {
        CpuHog hog;
        sim.Engine().UpdateFaults([](Sim::Faults& f) { f.delayNextReplyMs = kLateMs; });
        QElapsedTimer timer;
        timer.start();
        QByteArray answer;
        EXPECT_LE(device->SendTextCommand("@ID@", answer, 128, kGiveUpMs), 0) << c.name;
        EXPECT_TRUE(c.next(*device)) << c.name;
        EXPECT_LT(timer.elapsed(), kLateMs + kBoundMs) << c.name;
    }
}

// The portable tester over TCP only.
class NetworkEndToEnd : public PortableEndToEnd
{
};
INSTANTIATE_TEST_SUITE_P(Link, NetworkEndToEnd, ::testing::Values(LinkKind::tcp),
                         [](const auto&) { return "Tcp"; });

TEST_P(NetworkEndToEnd, TheLinkRecoversAfterTheTesterClosesIt)
{
    // However the tester ends the connection, the next command finds it again: a link
    // closed or reset between two commands is connected anew before the frame goes out,
    // one that breaks in the middle of a load fails that load alone.
    struct Case
    {
        const char* name;
        bool orderly;
        bool duringLoad;
    };
    const Case cases[] = {
        {"reset during a load", false, true},
        {"closed in order during a load", true, true},
        {"reset while idle", false, false},
        {"closed in order while idle", true, false},
    };
    for (const Case& c : cases)
    {
        sim.Engine().UpdateFaults(
            [&](Sim::Faults& f)
            {
                f.orderlyClose = c.orderly;
                f.dropAfterBytes = c.duringLoad ? 100 : -1;
                f.closeAfterReply = !c.duringLoad;
            });
        const int connections = sim.Engine().Connections();
        if (c.duringLoad)
        {
            auto target = LocalFile({});
            EXPECT_FALSE(
                device->DownloadFile(target.get(), QStringLiteral("\\Persistent Storage\\vsm\\Test.vsm")))
                << c.name;
        }
        else
        {
            SIdentity id;
            EXPECT_TRUE(device->QueryId(id)) << c.name; // answered, then the tester closes
            QThread::msleep(100);
        }
        if (c.duringLoad)
        {
            EXPECT_EQ(device->GetLinkStatus(), NLinkStatus::lost) << c.name;
        }
        QByteArray answer;
        EXPECT_GT(device->SendTextCommand("ID", answer, 64, 1000), 0) << c.name;
        EXPECT_EQ(answer, "Veskora 3;1.4.2;V3-0001234") << c.name;
        EXPECT_GT(sim.Engine().Connections(), connections) << c.name;
    }
}

TEST_P(NetworkEndToEnd, ATesterThatClosesTheLinkAfterAnAnswerCostsNothing)
{
    // It reboots after a file (or shuts the link down): the keep-alive and the next file
    // go out on a new connection, and every file of the batch arrives.
    sim.Engine().UpdateFaults([](Sim::Faults& f) { f.orderlyClose = true; });
    const QByteArray path = kRoot + "vsm\\Test.vsm";
    for (int i = 0; i < 4; ++i)
    {
        if (i == 1)
            sim.Engine().UpdateFaults([](Sim::Faults& f) { f.closeAfterReply = true; });
        auto target = LocalFile({});
        ASSERT_TRUE(device->DownloadFile(target.get(), DecodeCp1252(path))) << i;
        EXPECT_EQ(Contents(*target), *sim.FileData(path)) << i;
        if (i == 1)
        {
            QThread::msleep(50); // the close reaches the program
            EXPECT_TRUE(device->KeepAlive(true, 30000));
        }
    }
    EXPECT_EQ(sim.Engine().Connections(), 2);
}

TEST_P(NetworkEndToEnd, TheCommandAfterAnOrderlyCloseReachesTheTesterOnce)
{
    // The tester answers, then closes the connection: the program's next frame may go
    // out before the close reaches it, into a connection the tester no longer reads. That
    // command must still be carried out, exactly once, on the new connection. Half of the
    // rounds hold the close back a few milliseconds, so that the next frame surely goes
    // into the dying connection; the others leave it to the race. The rows with a late
    // close hold it back beyond half of the next command's read time-out, so that its end
    // of data reads as a tester that did not answer rather than a lost link: the frame
    // still goes out once more on the new connection.
    enum class NNext
    {
        keepAlive, // a byte-coded frame
        deleteFile // a text command that changes the tester's files
    };
    struct Case
    {
        const char* name;
        QByteArray closing;
        NNext next;
        int lateCloseMs; // 0: the rounds above
    };
    const Case cases[] = {
        {"keep-alive after ID", "ID", NNext::keepAlive, 0},
        {"keep-alive after SAVE", "SAVE", NNext::keepAlive, 0},
        {"keep-alive after DIRS", "DIRS", NNext::keepAlive, 0},
        {"delete after ID", "ID", NNext::deleteFile, 0},
        {"delete after SAVE", "SAVE", NNext::deleteFile, 0},
        {"delete after DIRS", "DIRS", NNext::deleteFile, 0},
        // The keep-alive reads 4000 ms, the delete 6000 ms.
        {"keep-alive, closed late in its wait", "ID", NNext::keepAlive, 2500},
        {"delete, closed late in its wait", "ID", NNext::deleteFile, 3500},
    };
    constexpr int kRounds = 10;
    const QByteArray victim = kRoot + "vsm\\Victim.vsm";
    for (const Case& c : cases)
    {
        const int rounds = c.lateCloseMs > 0 ? 1 : kRounds;
        for (int round = 0; round < rounds; ++round)
        {
            const std::string where = std::string(c.name) + ", round " + std::to_string(round);
            sim.AddFile(victim, "victim");
            sim.Engine().UpdateFaults(
                [&](Sim::Faults& f)
                {
                    f.orderlyClose = true;
                    f.cutDelayMs = c.lateCloseMs > 0 ? c.lateCloseMs : round % 2 == 0 ? 5 : 0;
                    f.cutAfterCommand = c.closing;
                });
            const int connections = sim.Engine().Connections();
            if (c.closing == "ID")
            {
                SIdentity id;
                ASSERT_TRUE(device->QueryId(id)) << where;
            }
            else if (c.closing == "SAVE")
            {
                auto source = LocalFile("saved");
                ASSERT_TRUE(
                    device->UploadFile(QStringLiteral("\\Persistent Storage\\cnv\\Saved.cnv"), source.get()))
                    << where;
            }
            else
            {
                QString listing;
                ASSERT_TRUE(device->ListDirectory(1, listing)) << where;
            }
            sim.Engine().ClearLog();
            if (c.next == NNext::keepAlive)
            {
                EXPECT_TRUE(device->KeepAlive(true, 2000)) << where;
                int frames = 0;
                for (const QByteArray& frame : sim.Engine().BinaryFrames())
                    frames += frame.startsWith(QByteArray("\xC2\xF4\x10", 3)) ? 1 : 0;
                EXPECT_EQ(frames, 1) << where;
            }
            else
            {
                EXPECT_TRUE(device->DeleteItem(DecodeCp1252(victim))) << where;
                EXPECT_FALSE(sim.Exists(victim)) << where;
                EXPECT_EQ(sim.Engine().CountText("DELF"), 1) << where;
            }
            EXPECT_EQ(sim.Engine().Connections(), connections + 1) << where;
        }
    }
}

TEST_P(NetworkEndToEnd, ACommandTheTesterMayHaveCarriedOutIsNotSentAgain)
{
    // The tester deletes the file, then closes the connection instead of answering: the
    // program cannot know whether the DELF was carried out, so it reports the command
    // failed on a lost link and leaves the decision to its caller rather than sending
    // the line again (which would be refused, or delete a file of the same name twice).
    sim.Engine().UpdateFaults(
        [](Sim::Faults& f)
        {
            f.orderlyClose = true;
            f.cutBeforeAnswer = "DELF";
        });
    const QByteArray path = kRoot + "vsm\\Test.vsm";
    EXPECT_FALSE(device->DeleteItem(DecodeCp1252(path)));
    EXPECT_EQ(device->GetLinkStatus(), NLinkStatus::lost);
    EXPECT_EQ(sim.Engine().CountText("DELF"), 1);
    EXPECT_FALSE(sim.Exists(path));
    EXPECT_TRUE(device->Revive());
    EXPECT_EQ(sim.Engine().CountText("DELF"), 1);
}

// --- The indentation tester on a simulated HID probe ---

class IndentationEndToEnd : public ::testing::Test
{
protected:
    void SetUp() override
    {
        StartStreamsOnce();
        bus = HidProbeSimulator::Install();
        sim = std::make_unique<Sim::IndentationTesterSim>(bus, QStringLiteral("/dev/hidraw-sim7"));
        std::unique_ptr<StreamIO::CIoStream> control = std::make_unique<StreamIO::CUsbHostProbeControl>();
        ASSERT_TRUE(control->Open(sim->Path(), StreamIO::STREAM_READ | StreamIO::STREAM_WRITE));
        ASSERT_TRUE(device.Attach(control, portUsb));
        SIdentity id;
        ASSERT_TRUE(device.Identify(id));
    }
    void TearDown() override
    {
        device.Detach();
        sim.reset();
    }

    std::shared_ptr<HidProbeSimulator> bus;
    std::unique_ptr<Sim::IndentationTesterSim> sim;
    CVeskamon2Device device;
};

TEST_F(IndentationEndToEnd, ProbeIdAndVariant)
{
    uint8_t id[8];
    device.GetProbeId(id);
    EXPECT_EQ(QByteArray(reinterpret_cast<char*>(id), 8), QByteArray::fromHex("900C000059156A70"));
    EXPECT_EQ(device.GetProbeVariant(), 1);
    EXPECT_EQ(device.GetSerialNumber(), QStringLiteral("VK12-345-6789"));
    EXPECT_TRUE(device.KeepAlive(true, 2000));
    EXPECT_TRUE(sim->RemoteOpen());
    EXPECT_TRUE(device.KeepAlive(false, 0));
    EXPECT_FALSE(sim->RemoteOpen());
}

TEST_F(IndentationEndToEnd, SamplesArriveInOrderWhileSamplingIsOn)
{
    // Nothing comes before sampling is switched on.
    uint8_t packet[8];
    uint8_t toggle = 0;
    const std::vector<uint16_t> curve = Sim::Curves::Passing();
    sim->QueueSamples(curve);
    EXPECT_FALSE(device.ReadSample(packet, toggle, 50));

    uint8_t on[64] = {1, 1};
    uint32_t count = 0;
    ASSERT_EQ(device.ExchangeBinaryData(0xD3, on, 2, count, 64, -1, -1), errNone);
    EXPECT_TRUE(sim->SamplingOn());

    std::vector<uint16_t> received;
    std::vector<uint8_t> toggles;
    QElapsedTimer timer;
    timer.start();
    while (received.size() < curve.size() && timer.elapsed() < 20000)
    {
        if (device.ReadSample(packet, toggle, 50))
        {
            received.push_back(uint16_t(packet[0] | (packet[1] << 8)));
            toggles.push_back(toggle);
        }
    }
    EXPECT_EQ(received, curve);
    for (size_t i = 1; i < toggles.size(); ++i)
        ASSERT_NE(toggles[i], toggles[i - 1]) << i; // each packet is a new report
    // About 155 samples per second.
    EXPECT_GT(timer.elapsed(), qint64(curve.size() * 1000 / 155) - 300);
    EXPECT_FALSE(device.ReadSample(packet, toggle, 50)); // the test is over

    uint8_t off[64] = {1, 0};
    ASSERT_EQ(device.ExchangeBinaryData(0xD3, off, 2, count, 64, -1, -1), errNone);
    EXPECT_FALSE(sim->SamplingOn());
}

} // namespace
