#include "measurement/CurveCheck.h"
#include "tests/support/sim/IndentationTesterSim.h"

#include <gtest/gtest.h>

namespace
{
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
