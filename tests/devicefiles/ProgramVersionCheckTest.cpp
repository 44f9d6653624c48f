// The start-up check for a newer program, against a real FTP server on loopback.
#include "devicefiles/core/ProgramVersionCheck.h"
#include "devicefiles/core/UpdateFtpClient.h"
#include "platform/core/SettingsStore.h"
#include "resources/BuiltInStrings.h"
#include "tests/support/CpuHog.h"
#include "tests/support/FtpTestServer.h"
#include "tests/support/MessageBoxRecorder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QObject>

#include <gtest/gtest.h>

#include <optional>

namespace
{

TEST(UpdateFileName, VersionFromName)
{
    const struct
    {
        const char* name;
        uint64_t value;
    } cases[] = {
        {"Veskador 3_V_2_4_0_1.deb", 0x0002000400000001ull},
        {"Veskador 3_V_2_4_1_0.deb", 0x0002000400010000ull},
        {"Veskador 3_V_2_4_0_1.DEB", 0},     // upper-case extension is never offered
        {"Veskador 3_V_2_4_0_1.exe", 0},     // a Windows installer is not for us
        {"Veskador 3_v_2_4_0_1.deb", 0},     // marker is case-sensitive
        {"Veskador 3_2_4_0_1.deb", 0},       // no marker
        {"Vesk.3_V_2_4_0_1.deb", 0},         // a point before the marker leaves no text
        {"a.deb", 0},                        // too short
        {"_V_.deb", 0},                      // empty version
        {"Veskador 3_V_2_4_0_99999.deb", 0}, // a part out of range
        {"Veskador 3_V_2_4_0_1.deb.sha256", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(VersionFromUpdateFileName(QString::fromLatin1(c.name)).GetValue(), c.value) << c.name;
}

TEST(UpdateFileName, ChoosesNewestAboveRunningInListingOrder)
{
    const CVersion running(QStringView(u"2.3.1.0"));
    std::vector<Platform::FtpEntry> files = {
        {QStringLiteral("Veskador 3_V_2_3_0_0.deb"), 10, {}, false},
        {QStringLiteral("Veskador 3_V_2_4_1_0.deb"), 20, {}, false},
        {QStringLiteral("Veskador 3_V_2_4_0_5.deb"), 30, {}, false},
        {QStringLiteral("Veskador 3_V_9_0_0_0.DEB"), 40, {}, false},
        {QStringLiteral("Veskador 3_V_2_4_1_0.deb"), 50, {}, false}, // equal: the first stays
    };
    const SUpdateChoice choice = ChooseUpdate(files, running);
    EXPECT_EQ(choice.file, QStringLiteral("Veskador 3_V_2_4_1_0.deb"));
    EXPECT_EQ(choice.size, 20u);
    EXPECT_EQ(choice.best.Format(3), QStringLiteral("2.4.1"));
    EXPECT_EQ(UpdateVersionWParam(choice.best), 0x00040002u);
    EXPECT_EQ(UpdateVersionLParam(choice.best), 0x00000001u);

    files.resize(1);
    const SUpdateChoice none = ChooseUpdate(files, running);
    EXPECT_TRUE(none.file.isEmpty());
    EXPECT_EQ(none.best.GetValue(), 0u);
}

class ProgramVersionCheckTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterBuiltInStrings();
        ASSERT_TRUE(server.Running()) << server.Log().toStdString();
        PointAt(server.Port());
    }
    void TearDown() override { Store().DeleteKey(Key()); }

    static Platform::SettingsStore& Store() { return Platform::SettingsStore::Instance(); }
    static QString Key() { return QString::fromLatin1(kUpdateServerSettingsKey); }
    static void PointAt(uint16_t port)
    {
        Store().CreateKey(Key());
        Store().Write(Key(), QStringLiteral("FtpServer"), QStringLiteral("127.0.0.1"));
        Store().Write(Key(), QStringLiteral("FtpPort"), uint32_t(port));
    }

    // Runs a check and pumps the receiver's thread until it reported or the deadline passed.
    std::optional<std::pair<uint32_t, uint32_t>> RunCheck(const char* running, int deadlineMs = 20000)
    {
        CProgramVersionCheck check(QStringLiteral("Veskador 3"),
                                   CVersion(QStringView(QString::fromLatin1(running))));
        QObject receiver;
        std::optional<std::pair<uint32_t, uint32_t>> posted;
        int reports = 0;
        EXPECT_TRUE(check.Start(&receiver,
                                [&](uint32_t w, uint32_t l)
                                {
                                    posted = {w, l};
                                    ++reports;
                                }));
        EXPECT_FALSE(check.Start(&receiver, {})); // one check per run
        EXPECT_TRUE(check.WaitFinished(deadlineMs));
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        EXPECT_LE(reports, 1);
        result = check.Result();
        return posted;
    }

    FtpTestServer server;
    SUpdateChoice result;
};

TEST_F(ProgramVersionCheckTest, PostsNewestVersionOrZero)
{
    MessageBoxRecorder boxes;
    server.AddFile(QStringLiteral("DiZivavir/Veskador 3/Veskador 3_V_2_3_0_0.deb"), "a");
    server.AddFile(QStringLiteral("DiZivavir/Veskador 3/Veskador 3_V_2_4_1_0.deb"), QByteArray(1234, 'b'));
    server.AddFile(QStringLiteral("DiZivavir/Veskador 3/Veskador 3_V_2_4_0_5.deb"), "c");
    server.AddFile(QStringLiteral("DiZivavir/Veskador 3/Veskador 3_V_7_0_0_0.DEB"), "d");
    server.AddFile(QStringLiteral("DiZivavir/Veskador 3/Veskador 3_V_8_0_0_0.exe"), "e");

    auto posted = RunCheck("2.3.1.0");
    ASSERT_TRUE(posted.has_value());
    EXPECT_EQ(posted->first, 0x00040002u);
    EXPECT_EQ(posted->second, 0x00000001u);
    EXPECT_EQ(result.file, QStringLiteral("Veskador 3_V_2_4_1_0.deb"));
    EXPECT_EQ(result.size, 1234u);

    posted = RunCheck("2.4.1.0");
    ASSERT_TRUE(posted.has_value());
    EXPECT_EQ(posted->first, 0u);
    EXPECT_EQ(posted->second, 0u);
    EXPECT_TRUE(result.file.isEmpty());
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(ProgramVersionCheckTest, UnreachableServerOrMissingFolderPostsNothingAndShowsNothing)
{
    MessageBoxRecorder boxes;
    // No program folder on the server.
    EXPECT_FALSE(RunCheck("1.0.0.0").has_value());
    server.Stop();
    EXPECT_FALSE(RunCheck("1.0.0.0").has_value());
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(ProgramVersionCheckTest, StopEndsASearchOnAHangingServerAtOnceAndNothingIsReported)
{
    server.AddFile(QStringLiteral("DiZivavir/Veskador 3/Veskador 3_V_9_0_0_0.deb"), "x");
    server.Pause(); // the connection is accepted, no greeting comes
    QObject receiver;
    bool reported = false;
    QElapsedTimer timer;
    {
        CProgramVersionCheck check(QStringLiteral("Veskador 3"), CVersion(QStringView(u"1.0.0.0")));
        ASSERT_TRUE(check.Start(&receiver, [&](uint32_t, uint32_t) { reported = true; }));
        EXPECT_FALSE(check.WaitFinished(300));
        CpuHog hog;
        timer.start();
        check.Stop();
        // Joined: the search has ended, not merely been left alone.
        EXPECT_TRUE(check.WaitFinished(0));
        EXPECT_LT(timer.elapsed(), 2000);
        EXPECT_TRUE(check.Result().file.isEmpty());
    }
    server.Resume();
    EXPECT_EQ(server.OpenSessions(0), 0);
    QCoreApplication::processEvents();
    EXPECT_FALSE(reported);
}

} // namespace
