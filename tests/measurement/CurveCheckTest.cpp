#include "measurement/CurveCheck.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <vector>

namespace
{
// A test curve of n samples through the given (index, value) points, straight lines between
// them and flat after the last one.
std::vector<uint16_t> Curve(int n, const std::map<int, int>& points)
{
    std::vector<uint16_t> curve(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
    {
        auto after = points.upper_bound(i);
        auto before = std::prev(after);
        int value = before->second;
        if (after != points.end())
            value += (after->second - before->second) * (i - before->first) / (after->first - before->first);
        curve[static_cast<size_t>(i)] = static_cast<uint16_t>(value);
    }
    return curve;
}

// A sound test: rest at 1300, the bottom at 1000 from sample 5, loaded to a plateau at 3000 from
// sample 44 to 149, released to 2700. Depth 17 um, plateau 20 um.
std::vector<uint16_t> GoodCurve(int n = 200, int releaseAt = 150)
{
    return Curve(
        n,
        {{0, 1300}, {4, 1300}, {5, 1000}, {24, 1000}, {44, 3000}, {releaseAt - 1, 3000}, {releaseAt, 2700}});
}

struct Outcome
{
    int result;
    int mark;
    float depth;
    float plateau;
};

Outcome Evaluate(const std::vector<uint16_t>& curve)
{
    CCurveCheck check;
    check.SetCurve(curve);
    Outcome outcome{};
    outcome.result = check.Evaluate(outcome.depth, outcome.plateau);
    EXPECT_EQ(check.TakeResult(), outcome.result);
    outcome.mark = check.TakeMarkIndex();
    return outcome;
}
} // namespace

TEST(CurveCheck, AcceptsASoundTestWithItsDepthAndPlateau)
{
    for (int n : {128, 200, 2000})
    {
        const Outcome o = Evaluate(GoodCurve(n, n * 3 / 4));
        EXPECT_EQ(o.result, CURVE_ACCEPTED) << n;
        EXPECT_EQ(o.mark, -1);
        EXPECT_FLOAT_EQ(o.depth, 17.0f);
        EXPECT_FLOAT_EQ(o.plateau, 20.0f);
    }
}

TEST(CurveCheck, ShortCurvesAreRejectedAndKeepTheMark)
{
    CCurveCheck check;
    std::vector<uint16_t> curve = GoodCurve();
    curve[2] = 900; // minimum among the first four samples: pressed too fast, mark 2
    check.SetCurve(curve);
    float depth = -1.0f;
    float plateau = -1.0f;
    EXPECT_EQ(check.Evaluate(depth, plateau), CURVE_PRESSED_TOO_FAST);

    const std::vector<uint16_t> good = GoodCurve();
    const std::vector<uint16_t> shortCurve(good.begin(), good.begin() + 127);
    check.SetCurve(shortCurve);
    depth = plateau = -1.0f;
    EXPECT_EQ(check.Evaluate(depth, plateau), CURVE_TOO_SHORT);
    EXPECT_EQ(depth, 0.0f);
    EXPECT_EQ(plateau, 0.0f);
    EXPECT_EQ(check.TakeMarkIndex(), 2);
    EXPECT_EQ(check.TakeMarkIndex(), 0);
    EXPECT_EQ(check.TakeResult(), CURVE_TOO_SHORT);
    EXPECT_EQ(check.TakeResult(), CURVE_ACCEPTED);

    check.SetCurve({});
    EXPECT_EQ(check.Evaluate(depth, plateau), CURVE_TOO_SHORT);
}

TEST(CurveCheck, FindsEachFaultAtItsBoundary)
{
    struct Case
    {
        const char* what;
        std::vector<uint16_t> curve;
        int result;
        int mark;
    };
    auto with = [](std::vector<uint16_t> curve, const std::map<int, int>& samples)
    {
        for (const auto& [index, value] : samples)
            curve[static_cast<size_t>(index)] = static_cast<uint16_t>(value);
        return curve;
    };
    // The bottom: 7 samples at the minimum, then the load rises; the sample after them decides.
    auto bottom = [](int eighth)
    {
        return Curve(200, {{0, 1300},
                           {4, 1300},
                           {5, 1000},
                           {11, 1000},
                           {12, eighth},
                           {13, 1300},
                           {44, 3000},
                           {149, 3000},
                           {150, 2700}});
    };
    // The release: 5 samples at its minimum, the sixth decides, then 2750 to the end.
    auto release = [](int sixth)
    {
        return Curve(200, {{0, 1300},
                           {4, 1300},
                           {5, 1000},
                           {24, 1000},
                           {44, 3000},
                           {149, 3000},
                           {150, 2700},
                           {154, 2700},
                           {155, sixth},
                           {156, 2750}});
    };
    // A plateau that steps by d at sample 100 and creeps by one at 130.
    auto step = [](int d)
    {
        return Curve(200, {{0, 1300},
                           {4, 1300},
                           {5, 1000},
                           {24, 1000},
                           {44, 3000},
                           {99, 3000},
                           {100, 3000 + d},
                           {129, 3000 + d},
                           {130, 3001 + d},
                           {149, 3001 + d},
                           {150, 2700}});
    };
    const Case cases[] = {
        {"minimum at sample 3", with(GoodCurve(), {{3, 999}}), CURVE_PRESSED_TOO_FAST, 3},
        {"minimum at sample 4", with(GoodCurve(), {{4, 999}}), CURVE_ACCEPTED, -1},
        {"bottom of 8 within 249", bottom(1249), CURVE_ACCEPTED, -1},
        {"bottom of 7 within 249", bottom(1250), CURVE_PRESSED_TOO_FAST, 5},
        {"release of 6 within 49", release(2749), CURVE_ACCEPTED, -1},
        {"release of 5 within 49", release(2750), CURVE_RELEASED_TOO_FAST, 150},
        {"plateau rises by 100", step(100), CURVE_ACCEPTED, -1},
        {"plateau rises by 101", step(101), CURVE_VIBRATION, 100},
        {"plateau falls by 60", step(-60), CURVE_ACCEPTED, -1},
        {"plateau falls by 61", step(-61), CURVE_VIBRATION, 100},
    };
    for (const Case& c : cases)
    {
        const Outcome o = Evaluate(c.curve);
        EXPECT_EQ(o.result, c.result) << c.what;
        EXPECT_EQ(o.mark, c.mark) << c.what;
        const bool measured = c.result != CURVE_PRESSED_TOO_FAST && c.result != CURVE_RELEASED_TOO_FAST;
        EXPECT_EQ(o.depth != 0.0f, measured) << c.what;
    }
}

TEST(CurveCheck, ClampLimitsFollowTheDepth)
{
    // Depth 10 um: c = 3.8388, so the plateau may stand 1.9194 to 5.7582 um above the depth.
    struct Case
    {
        int plateauLevel; // plateau = level / 100 - 10
        int result;
    };
    const Case cases[] = {{2191, CURVE_CLAMP_SUSPECTED},
                          {2192, CURVE_ACCEPTED},
                          {2575, CURVE_ACCEPTED},
                          {2576, CURVE_CLAMP_SUSPECTED}};
    for (const Case& c : cases)
    {
        const Outcome o = Evaluate(Curve(200, {{0, 1300},
                                               {4, 1300},
                                               {5, 1000},
                                               {24, 1000},
                                               {44, c.plateauLevel},
                                               {149, c.plateauLevel},
                                               {150, 2000}}));
        EXPECT_EQ(o.result, c.result) << c.plateauLevel;
        EXPECT_EQ(o.mark, -1); // a clamp finding marks no sample
        EXPECT_FLOAT_EQ(o.depth, 10.0f);
        EXPECT_NEAR(o.plateau, c.plateauLevel / 100.0 - 10.0, 1e-4);
    }
}

TEST(CurveCheck, PlateauAveragesTheTopTenLevelsBetweenTheMinima)
{
    // Only 5 levels above the minimum: the bottom samples count too (20 at 1000, 125 at 1005 and
    // the release minimum at 1002).
    Outcome o = Evaluate(
        Curve(200, {{0, 1003}, {4, 1003}, {5, 1000}, {24, 1000}, {25, 1005}, {149, 1005}, {150, 1002}}));
    EXPECT_NEAR(o.plateau, (20 * 1000 + 1002 + 125 * 1005) / 146.0 / 100.0 - 10.0, 1e-5);
    EXPECT_FLOAT_EQ(o.depth, 0.02f);
    EXPECT_EQ(o.result, CURVE_CLAMP_SUSPECTED);

    // Levels 3000 to 3009 count; 2999 and below do not: 1 x 3009, 2 x 3005, 2 x 2999, rest 3000.
    std::vector<uint16_t> curve = GoodCurve();
    curve[60] = 3009;
    curve[70] = curve[71] = 3005;
    curve[80] = curve[81] = 2999;
    o = Evaluate(curve);
    EXPECT_NEAR(o.plateau, (3009 + 2 * 3005 + 101 * 3000) / 104.0 / 100.0 - 10.0, 1e-5);

    // The release minimum right at the middle ends the plateau range there: a later spike of the
    // second half is not part of it.
    curve = GoodCurve(200, 100);
    curve[150] = 3050;
    o = Evaluate(curve);
    EXPECT_EQ(o.result, CURVE_ACCEPTED);
    EXPECT_FLOAT_EQ(o.plateau, 20.0f);
}
