#include "measurement/2PointConvFunction.h"
#include "measurement/ConvRecord.h"
#include "measurement/IdentityConvFunction.h"
#include "measurement/IpolConvFunction.h"
#include "measurement/RatioConvFunction.h"
#include "tests/support/ConvRecordBuilder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>

using namespace TestRecords;

namespace
{

Header Hdr(float lo = 0.0f, float hi = 999.0f)
{
    Header h;
    h.lo = lo;
    h.hi = hi;
    return h;
}

Header Custom(const std::u16string& name)
{
    Header h;
    h.matType = 0;
    h.name = name;
    return h;
}

// An increasing HV-like curve over the Leeb range.
std::vector<std::pair<float, float>> SamplePoints()
{
    return {{200, 80}, {300, 130}, {400, 210}, {500, 320}, {600, 460}, {700, 640}, {800, 860}, {900, 1120}};
}

double Bisect(const std::function<double(double)>& f, double lo, double hi, double y)
{
    double flo = f(lo) - y;
    for (int i = 0; i < 200; ++i)
    {
        const double mid = 0.5 * (lo + hi);
        const double fm = f(mid) - y;
        if ((fm < 0) == (flo < 0))
        {
            lo = mid;
            flo = fm;
        }
        else
        {
            hi = mid;
        }
    }
    return 0.5 * (lo + hi);
}

} // namespace

TEST(ConvRecord, DecodesHeader)
{
    Header h = Custom(u"Alloy7");
    h.standard = 0;
    h.revision = 3;
    h.matGroup = 2;
    h.lo = 100;
    h.hi = 900;
    const auto r = Ratio(h, 0.0f, 1, 0, {1.0f, 2.0f});
    SConvRecordInfo info;
    ASSERT_TRUE(DecodeConvRecord(info, r.data(), r.size()));
    EXPECT_EQ(info.type, 1);
    EXPECT_EQ(info.standard, 15); // 0 reads as any standard
    EXPECT_EQ(info.revision, 3);
    EXPECT_EQ(info.matType, 0);
    EXPECT_EQ(info.matGroup, 2);
    EXPECT_EQ(info.source, 0x101);
    EXPECT_EQ(info.target, 2);
    EXPECT_EQ(info.Name(), "Alloy7");
    EXPECT_EQ(info.minX, 100.0f);
    EXPECT_EQ(info.maxX, 900.0f);
    EXPECT_EQ(info.length, r.size());
    EXPECT_EQ(r.size(), 16 + 12 + 6 + 8u);
}

TEST(ConvRecord, RefusesInvalidRecords)
{
    Header plain;
    plain.matType = 5;
    EXPECT_EQ(Identity(plain).size(), 16u);
    SConvRecordInfo info;
    EXPECT_TRUE(DecodeConvRecord(info, Identity(plain).data(), 16));

    struct Case
    {
        const char* why;
        std::vector<uint8_t> record;
    };
    Header custom;
    custom.matType = 0;
    Header narrow = Hdr(100.0f, 109.0f);
    Header group4;
    group4.matGroup = 4;
    Header badType;
    badType.matType = 10;
    Header badSource;
    badSource.source = 0x211;
    Header badTarget;
    badTarget.target = 14;
    Header longName;
    longName.name = std::u16string(32, u'x');
    Header beyond = Hdr(0.0f, 1000.0f);
    std::vector<std::pair<float, float>> many(255, {0.0f, 0.0f});
    std::vector<Case> cases = {
        {"custom without name", Identity(custom)},
        {"range narrower than 1 %", Identity(narrow)},
        {"material group 4", Identity(group4)},
        {"material type 10", Identity(badType)},
        {"source without probe row", Identity(badSource)},
        {"unknown target", Identity(badTarget)},
        {"name of 32 characters", Identity(longName)},
        {"range beyond the probe's", Identity(beyond)},
        {"longer than 2048 bytes", Ipol(Hdr(), many)},
    };
    cases.push_back({"function type 4", Identity(plain)});
    cases.back().record[0] = 4;
    for (const Case& c : cases)
        EXPECT_FALSE(DecodeConvRecord(info, c.record.data(), c.record.size())) << c.why;
    EXPECT_EQ(info.length, 0u);

    // A record never reads beyond the bytes at hand, whatever its header claims.
    const auto full = Ratio(Custom(u"abc"), 0.0f, 2, 1, {1, 2, 3, 4});
    for (size_t n = 0; n < full.size(); ++n)
    {
        std::vector<uint8_t> cut(full.begin(), full.begin() + static_cast<ptrdiff_t>(n));
        EXPECT_FALSE(DecodeConvRecord(info, cut.data(), cut.size())) << n;
        CRatioConvFunction f;
        EXPECT_FALSE(f.Load(cut.data(), cut.size())) << n;
    }
}

TEST(ConvRecord, HeaderLoadAcceptsWiderGroups)
{
    Header h;
    h.matGroup = 4; // material byte 0x4F
    const auto r = Identity(h);
    SConvRecordInfo info;
    EXPECT_FALSE(DecodeConvRecord(info, r.data(), r.size()));
    CIdentityConvFunction f;
    EXPECT_TRUE(f.Load(r.data(), r.size()));
    EXPECT_TRUE(f.IsSameRecord(r.data(), r.size()));
    EXPECT_EQ(f.Evaluate(321.5f), 321.5f);
    EXPECT_TRUE(f.IsMonotonic(true));
    EXPECT_FALSE(f.IsMonotonic(false));
    SConvFunctionInfo fi;
    f.GetInfo(fi);
    EXPECT_EQ(fi.type, 0);
    EXPECT_EQ(fi.degree1, -1);
    EXPECT_EQ(fi.maxX, 999.0f);
}

TEST(ConvRecord, SameDataAndRenaming)
{
    const auto a = Ipol(Custom(u"Alloy7"), SamplePoints());
    const auto b = Ipol(Custom(u"Other"), SamplePoints());
    EXPECT_TRUE(IsSameConvData(a.data(), a.size(), b.data(), b.size()));
    auto differentPoint = SamplePoints();
    differentPoint[3].second += 1;
    const auto c = Ipol(Custom(u"Alloy7"), differentPoint);
    EXPECT_FALSE(IsSameConvData(a.data(), a.size(), c.data(), c.size()));
    const auto plain = Ipol(Hdr(), SamplePoints());
    EXPECT_FALSE(IsSameConvData(plain.data(), plain.size(), plain.data(), plain.size()));

    std::vector<uint8_t> renamed = a;
    EXPECT_EQ(RenameConvRecord(renamed, "Cu3"), a.size() - 2 * (6 - 3));
    EXPECT_EQ(renamed.size(), a.size() - 6);
    EXPECT_TRUE(IsSameConvData(a.data(), a.size(), renamed.data(), renamed.size()));
    SConvRecordInfo info;
    ASSERT_TRUE(DecodeConvRecord(info, renamed.data(), renamed.size()));
    EXPECT_EQ(info.Name(), "Cu3");
    EXPECT_EQ(RenameConvRecord(renamed, QString(31, QLatin1Char('n'))), a.size() + 2 * (31 - 6));
    ASSERT_TRUE(DecodeConvRecord(info, renamed.data(), renamed.size()));
    EXPECT_EQ(info.Name().size(), 31);

    std::vector<uint8_t> unchanged = a;
    EXPECT_EQ(RenameConvRecord(unchanged, ""), 0u);
    EXPECT_EQ(RenameConvRecord(unchanged, QString(32, QLatin1Char('n'))), 0u);
    std::vector<uint8_t> notCustom = plain;
    EXPECT_EQ(RenameConvRecord(notCustom, "x"), 0u);
    EXPECT_EQ(unchanged, a);
    EXPECT_EQ(notCustom, plain);
}

// The rational function against the same formula evaluated in double precision.
TEST(RatioConvFunction, MatchesDoublePrecisionEvaluation)
{
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> coef(-2.0f, 2.0f);
    for (int trial = 0; trial < 200; ++trial)
    {
        const int n = static_cast<int>(rng() % 4);
        const int d = static_cast<int>(rng() % 3);
        std::vector<float> c;
        for (int i = 0; i <= n + d; ++i)
            c.push_back(coef(rng));
        const uint8_t flagsD = (rng() % 2) ? 0x20 : 0; // multiply by the input
        const float x0 = 100.0f;
        const auto r = Ratio(Hdr(), x0, n, d, c, 0, flagsD);
        CRatioConvFunction f;
        ASSERT_TRUE(f.Load(r.data(), r.size()));
        for (float x : {50.0f, 180.5f, 333.0f, 640.25f, 998.0f})
        {
            const double b = double(x) - x0;
            double p = c[n];
            for (int i = n - 1; i >= 0; --i)
                p = p * b + c[i];
            double q = 1.0;
            for (int i = n + d - 1; i >= n; --i)
                q = q * b + c[i];
            double expected = d > 0 ? p / q : p;
            if (d > 0 && std::fabs(q) < 1e-3) // too close to a pole to compare
                continue;
            if (flagsD)
                expected *= x;
            expected = std::max(expected, double(x) * 1e-7);
            EXPECT_NEAR(f.Evaluate(x), expected, 1e-4 * std::max(1.0, std::fabs(expected)) * (1 + n + d))
                << "n=" << n << " d=" << d << " x=" << x;
        }
    }
}

TEST(RatioConvFunction, FlagsAndGuards)
{
    // (x - 100)^2 / 1000 + 5 as c0 + c1 b + c2 b^2.
    const std::vector<float> c = {5.0f, 0.0f, 0.001f};
    const float p = (0.001f * 200.0f + 0.0f) * 200.0f + 5.0f; // Horner at x = 300
    const auto plain = Ratio(Hdr(), 100.0f, 2, 0, c);
    CRatioConvFunction f;
    ASSERT_TRUE(f.Load(plain.data(), plain.size()));
    EXPECT_EQ(f.Evaluate(300.0f), p);
    const auto root = Ratio(Hdr(), 100.0f, 2, 0, c, 0, 0x80);
    ASSERT_TRUE(f.Load(root.data(), root.size()));
    EXPECT_EQ(f.Evaluate(300.0f), std::sqrt(p));
    const auto squared = Ratio(Hdr(), 100.0f, 2, 0, c, 0, 0x40);
    ASSERT_TRUE(f.Load(squared.data(), squared.size()));
    EXPECT_EQ(f.Evaluate(300.0f), p * p);
    const auto squareInput = Ratio(Hdr(), 100.0f, 1, 0, {0.0f, 1.0f}, 0x80);
    ASSERT_TRUE(f.Load(squareInput.data(), squareInput.size()));
    EXPECT_EQ(f.Evaluate(130.0f), 900.0f);
    SConvFunctionInfo info;
    f.GetInfo(info);
    EXPECT_EQ(info.flags, 0x80);
    EXPECT_EQ(info.degree1, 1);

    // The result never drops below x * 1e-7, not even before the root.
    const auto negative = Ratio(Hdr(), 0.0f, 0, 0, {-50.0f}, 0, 0x80);
    ASSERT_TRUE(f.Load(negative.data(), negative.size()));
    EXPECT_EQ(f.Evaluate(400.0f), std::sqrt(400.0f * 1e-7f));

    // 1 / b and -1 / b (c[1] is the denominator's constant term as well as the numerator's
    // linear one): where the denominator vanishes the result is 1e15 when the numerator has
    // its sign, else -1e15, which the floor lifts to x * 1e-7.
    const auto pole = Ratio(Hdr(), 0.0f, 1, 1, {1.0f, 0.0f, 0.0f});
    ASSERT_TRUE(f.Load(pole.data(), pole.size()));
    EXPECT_EQ(f.Evaluate(0.5f), 2.0f);
    EXPECT_EQ(f.Evaluate(1e-21f), 1e15f);
    const auto negPole = Ratio(Hdr(), 0.0f, 1, 1, {-1.0f, 0.0f, 0.0f});
    ASSERT_TRUE(f.Load(negPole.data(), negPole.size()));
    EXPECT_EQ(f.Evaluate(1e-21f), 1e-21f * 1e-7f);

    // Too many coefficients, or x0 beyond twice the range, is refused; an empty object gives 0.
    const auto nine = Ratio(Hdr(), 0.0f, 5, 3, std::vector<float>(9, 1.0f));
    EXPECT_FALSE(f.Load(nine.data(), nine.size()));
    EXPECT_EQ(f.Evaluate(300.0f), 0.0f);
    EXPECT_EQ(f.GetMaxX(), 0.0f);
    EXPECT_FALSE(f.IsInRange(300.0f));
    const auto farX0 = Ratio(Hdr(), 2000.0f, 0, 0, {1.0f});
    EXPECT_FALSE(f.Load(farX0.data(), farX0.size()));
}

TEST(IpolConvFunction, NodesEndsAndSmoothness)
{
    const auto points = SamplePoints();
    const auto r = Ipol(Hdr(), points);
    CIpolConvFunction f;
    ASSERT_TRUE(f.Load(r.data(), r.size()));
    EXPECT_TRUE(f.IsSameRecord(r.data(), r.size()));
    for (auto [x, y] : points)
        EXPECT_EQ(f.Evaluate(x), y) << x;
    // Beyond the last point: a straight line.
    const float a = f.Evaluate(950.0f) - f.Evaluate(920.0f);
    const float b = f.Evaluate(990.0f) - f.Evaluate(960.0f);
    EXPECT_NEAR(a, b, 1e-3f);
    // Before the first point: the first node's slope.
    EXPECT_LT(f.Evaluate(150.0f), 80.0f);
    // Continuous slope at the inner nodes, and rising between them.
    for (size_t i = 1; i + 1 < points.size(); ++i)
    {
        const float x = points[i].first;
        const float left = (f.Evaluate(x) - f.Evaluate(x - 0.5f)) / 0.5f;
        const float right = (f.Evaluate(x + 0.5f) - f.Evaluate(x)) / 0.5f;
        EXPECT_NEAR(left, right, 0.02f) << x;
    }
    EXPECT_TRUE(f.IsMonotonic(true));
    // The remembered segment never leaks into the next evaluation.
    for (float x : {850.0f, 250.0f, 850.0f, 410.0f, 405.0f, 899.9f})
    {
        CIpolConvFunction fresh;
        ASSERT_TRUE(fresh.Load(r.data(), r.size()));
        EXPECT_EQ(f.Evaluate(x), fresh.Evaluate(x)) << x;
    }
    SConvFunctionInfo info;
    f.GetInfo(info);
    EXPECT_EQ(info.type, 2);
    EXPECT_EQ(info.degree1, 8);
}

TEST(IpolConvFunction, ReproducesStraightLinesAndFlatParts)
{
    CIpolConvFunction f;
    const auto line = Ipol(Hdr(), {{100, 50}, {300, 150}, {700, 350}, {900, 450}});
    ASSERT_TRUE(f.Load(line.data(), line.size()));
    for (float x : {100.0f, 123.0f, 512.5f, 899.0f, 950.0f})
        EXPECT_NEAR(f.Evaluate(x), x / 2, 1e-3f);

    // Zero slopes at the ends and a table of two points stay finite.
    const auto flat = Ipol(Hdr(), {{100, 50}, {200, 50}, {300, 50}, {400, 80}});
    ASSERT_TRUE(f.Load(flat.data(), flat.size()));
    EXPECT_TRUE(std::isfinite(f.Evaluate(50.0f)));
    EXPECT_EQ(f.Evaluate(150.0f), 50.0f);
    // Left of the table the continuation never drops below x * 1e-7.
    const auto steep = Ipol(Hdr(), {{200, 20}, {400, 220}, {600, 420}});
    ASSERT_TRUE(f.Load(steep.data(), steep.size()));
    EXPECT_EQ(f.Evaluate(1.0f), 1e-7f);
    const auto two = Ipol(Hdr(), {{100, 50}, {900, 450}});
    ASSERT_TRUE(f.Load(two.data(), two.size()));
    for (float x : {0.5f, 100.0f, 500.0f, 900.0f, 990.0f})
        EXPECT_NEAR(f.Evaluate(x), x / 2, 1e-3f) << x;
}

TEST(IpolConvFunction, RefusesBadTables)
{
    CIpolConvFunction f;
    const std::vector<std::vector<std::pair<float, float>>> bad = {
        {{100, 50}},                              // one point
        {{100, 50}, {100, 60}, {200, 70}},        // repeated x
        {{100, 50}, {300, 60}, {200, 70}},        // falling x
        {{100, 50}, {NAN, 60}, {300, 70}},        // not a number
        {{100, 50}, {101, 3e38f}, {102, -3e38f}}, // slopes overflow
    };
    for (const auto& points : bad)
    {
        const auto r = Ipol(Hdr(), points);
        EXPECT_FALSE(f.Load(r.data(), r.size())) << points.size();
        EXPECT_EQ(f.Evaluate(150.0f), 0.0f);
        EXPECT_EQ(f.GetMinX(), 0.0f);
    }
}

// The inverse against a bisection of the same function.
TEST(ConvFunction, InverseAgreesWithBisection)
{
    CIpolConvFunction ipol;
    const auto r = Ipol(Hdr(150.0f, 950.0f), SamplePoints());
    ASSERT_TRUE(ipol.Load(r.data(), r.size()));
    CRatioConvFunction ratio;
    // A falling function: (100 x + 2e5) / (x + 100).
    const auto rr = Ratio(Hdr(), 0.0f, 1, 1, {2e5f, 100.0f, 0.0f});
    ASSERT_TRUE(ratio.Load(rr.data(), rr.size()));
    for (CConvFunction* f : {static_cast<CConvFunction*>(&ipol), static_cast<CConvFunction*>(&ratio)})
    {
        const float lo = f->GetMinX();
        const float hi = f->GetMaxX();
        const float ylo = f->Evaluate(lo);
        const float yhi = f->Evaluate(hi);
        for (int i = 1; i < 40; ++i)
        {
            const float y = ylo + (yhi - ylo) * static_cast<float>(i) / 40.0f;
            const double expected = Bisect([&](double x) { return f->Evaluate(float(x)); }, lo, hi, y);
            EXPECT_NEAR(f->EvaluateInverse(y), expected, 1e-3 * (hi - lo)) << y;
        }
        // Beyond the function's values: 0.0; within 0.001 of an end: that end.
        EXPECT_EQ(f->EvaluateInverse(std::max(ylo, yhi) + 100.0f), 0.0f);
        EXPECT_EQ(f->EvaluateInverse(ylo + 0.0005f), lo);
        EXPECT_EQ(f->EvaluateInverse(yhi - 0.0005f), hi);
    }
    EXPECT_TRUE(ratio.IsMonotonic(false));
    EXPECT_FALSE(ratio.IsMonotonic(true));
}

TEST(TwoPointConvFunction, CorrectsItsBase)
{
    Header h = Hdr(100.0f, 990.0f);
    const auto r = TwoPoint(h, 1, 0x0F, 0x101, 0x101, 5.0f, 0.5f);
    C2PointConvFunction f;
    ASSERT_TRUE(f.Load(r.data(), r.size()));
    EXPECT_EQ(f.Evaluate(200.0f), 0.0f); // no base yet
    EXPECT_EQ(f.GetMinX(), 0.0f);
    SConvRecordInfo base;
    f.GetBaseRecordInfo(base);
    EXPECT_EQ(base.source, 0x101);
    EXPECT_EQ(base.target, 0x101);
    EXPECT_EQ(base.matType, 15);
    EXPECT_EQ(base.type, 0xFF);

    auto* identity = new CIdentityConvFunction;
    const auto ir = Identity(Hdr(0.0f, 900.0f));
    ASSERT_TRUE(identity->Load(ir.data(), ir.size()));
    f.SetBase(identity, true); // owned: deleted by f
    EXPECT_EQ(f.Evaluate(200.0f), 200.0f + 5.0f + 0.5f * 200.0f);
    EXPECT_EQ(f.GetMinX(), 100.0f);
    EXPECT_EQ(f.GetMaxX(), 900.0f);
    EXPECT_TRUE(f.IsSameRecord(r.data(), r.size()));
    auto other = r;
    other.back() ^= 1; // factor
    EXPECT_FALSE(f.IsSameRecord(other.data(), other.size()));
    SConvFunctionInfo info;
    f.GetInfo(info);
    EXPECT_EQ(info.degree1, 1);
    EXPECT_NEAR(f.EvaluateInverse(305.0f), 200.0f, 1e-3f);
}
