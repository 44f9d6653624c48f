#include "measurement/Distributions.h"
#include "measurement/FObjf.h"

#include <boost/math/distributions/chi_squared.hpp>
#include <boost/math/distributions/normal.hpp>
#include <boost/math/distributions/students_t.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace
{
// Degrees of freedom that cross every branch of the approximations: the exact series up to 30,
// the corrected Wilson-Hilferty range 31-100 and the large-n formulas beyond.
const std::vector<int> kDegrees = {1,  2,  3,  4,  5,   6,   7,   9,   10,  15,   29,   30,   31,
                                   32, 45, 60, 99, 100, 101, 150, 500, 999, 1000, 1001, 2000, 16383};

// How close each branch of a function comes to the exact distribution. The series branches are
// exact up to single-precision rounding; the others are approximations with their own error.
struct Accuracy
{
    int upToDegrees;
    double tolerance;
};

double ToleranceFor(const std::vector<Accuracy>& table, int n)
{
    for (const Accuracy& row : table)
        if (n <= row.upToDegrees)
            return row.tolerance;
    return table.back().tolerance;
}

double RelativeError(double got, double expected)
{
    return std::fabs(got - expected) / std::fabs(expected);
}
} // namespace

TEST(Distributions, KnownCriticalValues)
{
    struct Case
    {
        const char* what;
        float got;
        double expected;
    };
    const Case cases[] = {
        {"z 5 %", NormalUpperQuantile(0.05f), 1.6449},
        {"z 95 %", NormalUpperQuantile(0.95f), -1.6449},
        {"z 2.5 %", NormalUpperQuantile(0.025f), 1.95996},
        {"t 95 %, 9 df", StudentTQuantileTwoSided(0.95f, 9), 2.2622},
        {"t -95 %, 9 df", StudentTQuantileTwoSided(-0.95f, 9), -2.2622},
        {"t 95 %, 2000 df", StudentTQuantileTwoSided(0.95f, 2000), 1.95996},
        {"t 5 %, 1 df", StudentTUpperQuantile(0.05f, 1), 6.3138},
        {"chi2 5 %, 10 df", ChiSquareUpperQuantile(0.05f, 10, kNoStartHint), 18.307},
        {"chi2 5 %, 10 df, hinted", ChiSquareUpperQuantile(0.05f, 10, NormalUpperQuantile(0.05f)), 18.307},
        {"chi2 95 %, 10 df", ChiSquareUpperQuantile(0.95f, 10, kNoStartHint), 3.9403},
    };
    for (const Case& c : cases)
        EXPECT_LT(RelativeError(c.got, c.expected), 1e-4) << c.what << ": " << c.got;

    EXPECT_NEAR(NormalUpperTail(0.0f), 0.5f, 1e-4f);
    // Beyond 1000 degrees of freedom the t quantile is the normal one, bit for bit.
    EXPECT_EQ(StudentTUpperQuantile(0.025f, 2000), NormalUpperQuantile(0.025f));
}

TEST(Distributions, IdentitiesHoldInSinglePrecision)
{
    for (float x : {0.0f, 0.3f, 1.0f, 1.96f, 4.5f, 9.0f})
    {
        EXPECT_EQ(NormalUpperTail(-x), 1.0f - NormalUpperTail(x)) << x;
        EXPECT_EQ(ChiSquareUpperTail(x, 2), std::exp(-0.5f * x)) << x;
        EXPECT_EQ(StudentTCentralProbability(x, 1), std::atan(x) * 0.63661975f) << x;
        EXPECT_EQ(StudentTUpperTail(x, 7), (1.0f - StudentTCentralProbability(x, 7)) * 0.5f) << x;
    }
    for (int n : {-1, 0, 1, 2, 3, 30, 31, 100, 101})
    {
        EXPECT_EQ(ChiSquareUpperTail(0.0f, n), 1.0f) << n;
        EXPECT_EQ(ChiSquareUpperTail(-3.0f, n), 1.0f) << n;
        EXPECT_EQ(StudentTCentralProbability(-2.0f, n), 0.0f) << n;
        EXPECT_EQ(ChiSquareUpperQuantile(1.0f, n, kNoStartHint), 0.0f) << n;
    }
    EXPECT_EQ(ChiSquareUpperTail(5.0f, 0), 1.0f);
    EXPECT_EQ(StudentTCentralProbability(2.0f, 0), 0.0f);
}

TEST(Distributions, TailsFollowTheExactDistributions)
{
    boost::math::normal normal;
    for (double x = -6.0; x <= 6.0; x += 0.01)
        ASSERT_NEAR(NormalUpperTail(static_cast<float>(x)), cdf(complement(normal, x)), 3e-7) << x;

    const std::vector<Accuracy> chiSquare = {{30, 2e-6}, {100, 5e-5}, {100000, 5e-3}};
    const std::vector<Accuracy> studentT = {{30, 1e-6}, {100, 2e-4}, {100000, 2e-5}};
    for (int n : kDegrees)
    {
        boost::math::chi_squared chi(n);
        const double low = std::max(1e-6, quantile(complement(chi, 0.9999)));
        const double high = quantile(complement(chi, 1e-4));
        for (int i = 0; i <= 400; ++i)
        {
            const double x = low + (high - low) * i / 400;
            ASSERT_NEAR(ChiSquareUpperTail(static_cast<float>(x), n), cdf(complement(chi, x)),
                        ToleranceFor(chiSquare, n))
                << "n " << n << " x " << x;
        }
        boost::math::students_t t(n);
        for (double x = 0.0; x <= 12.0; x += 0.01)
            ASSERT_NEAR(StudentTCentralProbability(static_cast<float>(x), n),
                        1.0 - 2.0 * cdf(complement(t, x)), ToleranceFor(studentT, n))
                << "n " << n << " t " << x;
    }
}

TEST(Distributions, QuantilesFollowTheExactDistributions)
{
    boost::math::normal normal;
    for (float p : {1e-4f, 1e-3f, 0.01f, 0.05f, 0.1f, 0.3f, 0.7f, 0.9f, 0.99f, 0.999f})
        EXPECT_LT(RelativeError(NormalUpperQuantile(p), quantile(complement(normal, static_cast<double>(p)))),
                  2e-5)
            << p;

    // Confidence levels as the series offers them (50.00 % to 99.99 %), two-sided t and the
    // chi-square quantiles at both ends (confidence interval bounds of a spread).
    const std::vector<Accuracy> studentT = {{30, 2e-4}, {100, 1.5e-2}, {100000, 5e-3}};
    const std::vector<Accuracy> chiUpper = {{30, 5e-5}, {100, 5e-4}, {100000, 2e-2}};
    const std::vector<Accuracy> chiLower = {{30, 2e-3}, {100, 6e-3}, {100000, 3.5e-2}};
    for (int n : kDegrees)
    {
        boost::math::students_t t(n);
        boost::math::chi_squared chi(n);
        for (float confidence : {0.5f, 0.8f, 0.9f, 0.95f, 0.99f, 0.995f, 0.999f, 0.9999f})
        {
            const float alpha = 1.0f - confidence;
            EXPECT_LT(RelativeError(StudentTQuantileTwoSided(confidence, n),
                                    quantile(complement(t, (1.0 - confidence) / 2.0))),
                      ToleranceFor(studentT, n))
                << "t n " << n << " c " << confidence;
            const float z = NormalUpperQuantile(alpha);
            EXPECT_LT(RelativeError(ChiSquareUpperQuantile(alpha, n, z),
                                    quantile(complement(chi, static_cast<double>(alpha)))),
                      ToleranceFor(chiUpper, n))
                << "chi2 n " << n << " p " << alpha;
            if (n == 1 && confidence > 0.99f)
                continue; // the root lies below the tail's 1.2e-7 cut-off; checked on its own below
            EXPECT_LT(RelativeError(ChiSquareUpperQuantile(confidence, n, -z),
                                    quantile(complement(chi, static_cast<double>(confidence)))),
                      ToleranceFor(chiLower, n))
                << "chi2 n " << n << " p " << confidence;
        }
    }
}

TEST(Distributions, GrubbsCriticalTQuantilesForLargeSeries)
{
    // The outlier test asks for t at 0.05 / (2 n) with n - 2 degrees of freedom beyond n = 25.
    for (int n : {26, 30, 32, 50, 100, 101, 500, 1002, 1003, 5000, 16384})
    {
        const float p = 0.05f / static_cast<float>(2 * n);
        boost::math::students_t t(n - 2);
        EXPECT_LT(
            RelativeError(StudentTUpperQuantile(p, n - 2), quantile(complement(t, static_cast<double>(p)))),
            3e-2)
            << n;
    }
}

TEST(Distributions, ExtremeProbabilitiesGiveFiniteQuantiles)
{
    const float z0 = NormalUpperQuantile(0.0f);
    const float z1 = NormalUpperQuantile(1.0f);
    EXPECT_TRUE(std::isfinite(z0));
    EXPECT_TRUE(std::isfinite(z1));
    EXPECT_GT(z0, 10.0f); // from q = 1.1754944e-38
    EXPECT_LT(z1, -5.0f); // from q = 1.1920929e-7
    EXPECT_EQ(InverseNormalApprox(0.0f), 1e8f);
    EXPECT_EQ(InverseNormalApprox(1.0f), -1e8f);

    for (int n : {1, 2, 10, 31, 150})
    {
        const float x = ChiSquareUpperQuantile(0.0f, n, kNoStartHint);
        EXPECT_TRUE(std::isfinite(x) && x > 0.0f) << n << ": " << x;
    }

    // One degree of freedom close to p = 1 (the lower bound of a two-reading series' spread at
    // high confidence): the secant steps run away there, yet the result must be the root.
    boost::math::chi_squared chi(1);
    for (float p : {0.97f, 0.98f, 0.99f, 0.995f, 0.999f})
    {
        const float x = ChiSquareUpperQuantile(p, 1, -NormalUpperQuantile(1.0f - p));
        EXPECT_LT(RelativeError(x, quantile(complement(chi, static_cast<double>(p)))), 1e-3)
            << p << ": " << x;
        EXPECT_EQ(ChiSquareUpperQuantile(p, 1, kNoStartHint), x) << p;
    }
    // Below the tail's cut-off only "tiny and positive" is left to say.
    const float tiny = ChiSquareUpperQuantile(0.9999f, 1, kNoStartHint);
    EXPECT_GT(tiny, 0.0f);
    EXPECT_LT(tiny, 1e-6f);
}

namespace
{
class Line : public FObjf
{
public:
    Line(float slope, float offset) : m_slope(slope), m_offset(offset) {}
    float operator()(float x) const override
    {
        ++calls;
        return m_slope * x + m_offset;
    }
    mutable int calls = 0;

private:
    float m_slope;
    float m_offset;
};
} // namespace

TEST(Distributions, SecantRootFindsRootsAndNeverLoopsForever)
{
    // Equal start points are moved apart first, so a line is still solved.
    EXPECT_NEAR(SecantRoot(Line(2.0f, -1.0f), 3.0f, 5.0f, 5.0f), 2.0f, 1e-6f);
    // A start point that already is the root comes back unchanged after two evaluations.
    Line exact(1.0f, 0.0f);
    EXPECT_EQ(SecantRoot(exact, 4.0f, 4.0f, 7.0f), 4.0f);
    EXPECT_EQ(exact.calls, 2);
    EXPECT_EQ(SecantRoot(Line(1.0f, 0.0f), 7.0f, 4.0f, 7.0f), 7.0f);
    // Without any root the search still ends, after at most 100 rounds.
    Line flat(0.0f, 1.0f);
    SecantRoot(flat, 0.0f, 0.0f, 1.0f);
    EXPECT_LE(flat.calls, 102);
    // A NaN target cannot hang it either.
    Line nan(1.0f, 0.0f);
    SecantRoot(nan, std::numeric_limits<float>::quiet_NaN(), 0.0f, 1.0f);
    EXPECT_LE(nan.calls, 102);
}
