#include "measurement/Distributions.h"

#include "measurement/FObjf0.h"
#include "measurement/FObjf1.h"

#include <cmath>

namespace
{
constexpr float kEpsilon = 1.1920929e-7f;         // FLT_EPSILON
constexpr float kSmallestNormal = 1.1754944e-38f; // FLT_MIN

// Correction of the Wilson-Hilferty approximation for 60 degrees of freedom at
// x = -3.5, -3.0, ..., 3.5 (Abramowitz and Stegun 26.4.14), scaled by 60 / n.
constexpr float kChiSquareCorrection[15] = {-0.0118f, -0.0067f, -0.0033f, -0.0010f, 0.0001f,
                                            0.0006f,  0.0006f,  0.0002f,  -0.0003f, -0.0006f,
                                            -0.0005f, 0.0002f,  0.0017f,  0.0043f,  0.0082f};

float ChiSquareCorrection(float m)
{
    if (m <= -3.5f)
        return -0.0118f;
    const float position = (m + 3.5f) * 2.0f;
    // Compared as a float first: a huge or NaN m must not reach the integer conversion.
    if (!(position < 14.0f))
        return 0.0082f;
    const int k = static_cast<int>(position);
    const float r = position - static_cast<float>(k);
    return kChiSquareCorrection[k] + (kChiSquareCorrection[k + 1] - kChiSquareCorrection[k]) * r;
}
// The secant steps run away for one degree of freedom close to p = 1 (the lower quantiles that
// the Cp lower bound of a two-reading series asks for) and for very many degrees of freedom at
// the far tails, where the single-precision tail is too coarse. The tail falls monotonically in
// x, so halving a bracket always lands on the root the secant missed.
float BisectChiSquare(float p, int n, float start)
{
    float low = 0.0f;
    float high = start > 1.0f ? start : 1.0f;
    while (ChiSquareUpperTail(high, n) > p && high < 1e30f)
        high *= 2.0f;
    for (int round = 0; round < 200; ++round)
    {
        const float middle = low + (high - low) * 0.5f;
        if (middle <= low || middle >= high)
            break;
        if (ChiSquareUpperTail(middle, n) > p)
            low = middle;
        else
            high = middle;
    }
    return low + (high - low) * 0.5f;
}
} // namespace

float NormalUpperTail(float x)
{
    const float a = std::fabs(x);
    const float t = 1.0f / (1.0f + 0.33f * a);
    const float z = std::exp(-0.5f * a * a);
    const float q =
        0.3989423f * z * t *
        (0.30406955f + t * (0.5180784f + t * (-0.24330597f + t * (0.95238686f - 0.2779147f * t))));
    return x >= 0.0f ? q : 1.0f - q;
}

float InverseNormalApprox(float p)
{
    const bool upper = p > 0.5f;
    const float q = upper ? 1.0f - p : p;
    float x = 1e8f;
    if (q > 0.0f)
    {
        const float t = std::sqrt(-2.0f * std::log(q));
        x = t - (2.30753f + 0.27061f * t) / (1.0f + 0.99229f * t + 0.04481f * t * t);
    }
    return upper ? -x : x;
}

float NormalUpperQuantile(float p)
{
    const bool upper = p > 0.5f;
    float q = upper ? 1.0f - p : p;
    if (q <= 0.0f)
        q = upper ? kEpsilon : kSmallestNormal;
    const float x0 = InverseNormalApprox(q);
    const float x = SecantRoot(FObjf0(NormalUpperTail), q, x0, x0 + 0.003f);
    return upper ? -x : x;
}

float ChiSquareUpperTail(float x, int n)
{
    if (n <= 0 || x < kEpsilon)
        return 1.0f;
    if (n == 1)
        return 2.0f * NormalUpperTail(std::sqrt(x));
    if (n == 2)
        return std::exp(-0.5f * x);
    if (n <= 30)
    {
        const float s = std::sqrt(x);
        const float z = 0.3989423f * std::exp(-0.5f * s * s);
        if (n % 2 != 0)
        {
            float u = s;
            float sum = s;
            for (int i = 3; i < n; i += 2)
            {
                u = u * x / static_cast<float>(i);
                sum += u;
            }
            return 2.0f * (NormalUpperTail(s) + z * sum);
        }
        float u = 0.5f * x;
        float sum = 1.0f + u;
        for (int i = 4; i < n; i += 2)
        {
            u = u * x / static_cast<float>(i);
            sum += u;
        }
        return z * 2.5066283f * sum;
    }
    const float nf = static_cast<float>(n);
    if (n <= 100)
    {
        const float e = 2.0f / (9.0f * nf);
        const float w = std::pow(x / nf, 0.33333334f);
        const float m = (w - (1.0f - e)) / std::sqrt(e);
        return NormalUpperTail(m + (60.0f / nf) * ChiSquareCorrection(m));
    }
    return NormalUpperTail(std::sqrt(2.0f * x) - std::sqrt(2.0f * nf - 1.0f));
}

float ChiSquareUpperQuantile(float p, int n, float startHint)
{
    if (p >= 1.0f)
        return 0.0f;
    if (p <= 0.0f)
        p = kSmallestNormal;
    const float z = startHint == kNoStartHint ? InverseNormalApprox(p) : startHint;
    const float nf = static_cast<float>(n);
    const float e = 0.22222222f / nf;
    const float a = 1.0f - e + z * std::sqrt(e);
    float s = nf * (a * a * a);
    if (s < 0.01f)
        s = 0.01f;
    const float x = SecantRoot(FObjf1(ChiSquareUpperTail, n), p, 0.98f * s, 1.02f * s);
    if (std::isfinite(x) && x >= 0.0f && std::fabs(ChiSquareUpperTail(x, n) - p) <= 1e-4f)
        return x;
    return BisectChiSquare(p, n, s);
}

float StudentTCentralProbability(float t, int n)
{
    if (n <= 0 || t < kEpsilon)
        return 0.0f;
    const float nf = static_cast<float>(n);
    if (n <= 30)
    {
        const float theta = std::atan(t / std::sqrt(nf));
        const float s = std::sin(theta);
        const float c = std::cos(theta);
        const float c2 = c * c;
        if (n % 2 != 0)
        {
            float sum = 0.0f;
            if (n > 1)
            {
                float u = c;
                sum = c;
                for (int i = 3; i < n; i += 2)
                {
                    u = u * c2 * static_cast<float>(i - 1) / static_cast<float>(i);
                    sum += u;
                }
            }
            return (sum * s + theta) * 0.63661975f;
        }
        float sum = 1.0f;
        if (n > 2)
        {
            float u = 0.5f * c2;
            sum = 1.0f + u;
            for (int i = 4; i < n; i += 2)
            {
                u = u * c2 * static_cast<float>(i - 1) / static_cast<float>(i);
                sum += u;
            }
        }
        return sum * s;
    }
    const float a = (1.0f - 1.0f / (4.0f * nf)) * t;
    const float b = std::sqrt(1.0f + t * t / (2.0f * nf));
    return 2.0f * NormalUpperTail(-(a / b)) - 1.0f;
}

float StudentTUpperTail(float t, int n)
{
    return (1.0f - StudentTCentralProbability(t, n)) * 0.5f;
}

float StudentTUpperQuantile(float p, int n)
{
    if (n > 1000)
        return NormalUpperQuantile(p);
    const float x = InverseNormalApprox(p);
    const float g = x * x;
    const float v = 1.0f / static_cast<float>(n);
    const float c1 = (g + 1.0f) * 0.25f;
    const float c2 = (0.052083332f * g + 0.16666667f) * g + 0.03125f;
    const float c3 = ((0.0078125f * g + 0.049479168f) * g + 0.044270832f) * g - 0.0390625f;
    const float c4 =
        (((0.00085720484f * g + 0.008420139f) * g + 0.01608073f) * g - 0.020833334f) * g - 0.010253906f;
    const float s = x * (1.0f + v * (c1 + v * (c2 + v * (c3 + v * c4))));
    return SecantRoot(FObjf1(StudentTUpperTail, n), p, s, s + 0.01f);
}

float StudentTQuantileTwoSided(float c, int n)
{
    const float t = StudentTUpperQuantile((1.0f - std::fabs(c)) * 0.5f, n);
    return c < 0.0f ? -t : t;
}

float SecantRoot(const FObjf& f, float y, float x0, float x1)
{
    if (std::fabs(x1 - x0) < 1.1920929e-4f)
    {
        constexpr float half = 5.9604645e-5f;
        if (x1 >= x0)
        {
            x1 += half;
            x0 -= half;
        }
        else
        {
            x0 += half;
            x1 -= half;
        }
    }
    float f0 = f(x0) - y;
    float f1 = f(x1) - y;
    if (f0 == 0.0f)
        return x0;
    if (f1 == 0.0f)
        return x1;
    float x2 = x1;
    for (int round = 0; round < 100; ++round)
    {
        float d = f1 - f0;
        if (d == 0.0f)
            d = 1e-5f;
        const float step = (x1 - x0) * f1 / d;
        x2 = x1 - step;
        if (x2 == x1 || std::fabs(step) < 1.1920929e-10f)
            return x2;
        x0 = x1;
        f0 = f1;
        x1 = x2;
        f1 = f(x2) - y;
        if (f1 == 0.0f)
            return x2;
    }
    return x2;
}
