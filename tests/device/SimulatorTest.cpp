#include "device/VmCommands.h"
#include "measurement/CurveCheck.h"
#include "streamio/IpStream.h"
#include "streamio/StreamIO.h"
#include "tests/support/sim/FrameEngine.h"
#include "tests/support/sim/IndentationTesterSim.h"

#include <gtest/gtest.h>

namespace
{
// Answers 0xA0 with its parameters after the first as a checked reply of the kind the
// first parameter names.
class EchoProfile : public Sim::Profile
{
public:
    void OnText(const QByteArray&, Sim::Session& session) override { session.ReplyLine("?"); }
    Sim::BinaryReply OnBinary(uint8_t command, const QByteArray& params, Sim::Session&) override
    {
        if (command != 0xA0 || params.isEmpty())
            return Sim::BinaryReply::Status(0xFE);
        return Sim::BinaryReply::Checked(params.mid(1), uint8_t(params.at(0)));
    }
};

TEST(SimulatorEngine, CheckedRepliesAndTheirFaults)
{
    StreamIO::StartStreamIO();
    EchoProfile profile;
    Sim::FrameEngine engine(profile);
    const QString address = Sim::UniqueLoopbackAddress();
    ASSERT_TRUE(engine.ServeTcp(address, 3728));
    StreamIO::CIpStream stream(QStringLiteral("IP:%1:3728").arg(address),
                               StreamIO::STREAM_READ | StreamIO::STREAM_WRITE);
    Device::CVmCommands commands(&stream);

    struct Case
    {
        uint8_t kind;
        bool badCrc;
        Device::NError_code result;
        uint32_t count;
    };
    const Case cases[] = {
        {1, false, Device::errNone, 4},    {2, false, Device::errNone, 5},
        {4, false, Device::errNone, 7},    {3, false, Device::errNone, 3},
        {1, true, Device::errChecksum, 4}, {2, true, Device::errChecksum, 5},
        {4, true, Device::errChecksum, 7}, {3, true, Device::errNone, 3},
    };
    for (const Case& c : cases)
    {
        engine.UpdateFaults([&](Sim::Faults& f) { f.badCrc = c.badCrc; });
        uint8_t buffer[64] = {c.kind, 'a', 'b', 'c'};
        uint32_t count = 0;
        EXPECT_EQ(commands.ExchangeBinaryData(0xA0, buffer, 4, count, 64, 2000, -1, nullptr), c.result)
            << int(c.kind) << c.badCrc;
        EXPECT_EQ(count, c.count);
        EXPECT_EQ(QByteArray(reinterpret_cast<char*>(buffer), 3), QByteArray("abc"));
    }
    uint8_t buffer[64] = {4, 'x'};
    EXPECT_EQ(commands.SendBinaryCommand(0xA0, 2, buffer, 64, 2000), Device::CVmCommands::kCheckMismatch);

    // Junk before a frame is passed over; the frame is still answered.
    engine.UpdateFaults([](Sim::Faults& f) { f.badCrc = false; });
    stream.Write("\x01\x02\x03", 3);
    uint8_t again[64] = {2, 'y'};
    EXPECT_EQ(commands.SendBinaryCommand(0xA0, 2, again, 64, 2000), 1);
    EXPECT_EQ(engine.JunkBytes(), 3);
    engine.Stop();
}

// The simulator's curves give the check's codes, so tests of the live measurement can
// play each finding through the real device code.
TEST(SimulatorCurves, EachCurveGivesItsCheckCode)
{
    struct Case
    {
        const char* name;
        std::vector<uint16_t> curve;
        int code;
    };
    const Case cases[] = {
        {"passing", Sim::Curves::Passing(), CURVE_ACCEPTED},
        {"too short", Sim::Curves::TooShort(), CURVE_TOO_SHORT},
        {"pressed too fast", Sim::Curves::PressedTooFast(), CURVE_PRESSED_TOO_FAST},
        {"released too fast", Sim::Curves::ReleasedTooFast(), CURVE_RELEASED_TOO_FAST},
        {"clamp", Sim::Curves::ClampSuspected(), CURVE_CLAMP_SUSPECTED},
        {"vibration", Sim::Curves::Vibration(), CURVE_VIBRATION},
    };
    for (const Case& c : cases)
    {
        CCurveCheck check;
        check.SetCurve(c.curve);
        float depth = 0;
        float plateau = 0;
        EXPECT_EQ(check.Evaluate(depth, plateau), c.code) << c.name;
        if (c.code == CURVE_ACCEPTED)
        {
            EXPECT_FLOAT_EQ(depth, 10.0f);
            EXPECT_FLOAT_EQ(plateau, 13.84f);
        }
    }
    for (const uint16_t s : Sim::Curves::InvalidSamples())
        EXPECT_TRUE(s == 0 || s == 0xFFFF || s >= 35000);
}
} // namespace
