// Statistics, tolerance checks and the completion rule of a series.
#include "measurement/MeasSeries1.h"

#include "measurement/Distributions.h"
#include "measurement/SeriesWords.h"

#include <algorithm>
#include <cmath>

using namespace SeriesWords;

namespace
{
// Capability indices are shown with two decimals; larger values mean nothing more.
constexpr float kCapabilityClamp = 999.99f;

// Critical values of the two-sided Grubbs test at the 5 % level for 3 to 25 readings.
const float kGrubbsCritical[23] = {1.154305f, 1.481250f, 1.715037f, 1.887145f, 2.019969f, 2.126645f,
                                   2.215004f, 2.289954f, 2.354730f, 2.411540f, 2.462033f, 2.507321f,
                                   2.548308f, 2.585676f, 2.619964f, 2.651599f, 2.680931f, 2.708246f,
                                   2.733780f, 2.757735f, 2.780277f, 2.801551f, 2.821681f};

// The resolution byte with one decimal more (the mean is judged one digit finer).
uint8_t OneDecimalFiner(uint8_t resolution)
{
    const int decimals = resolution & 7;
    const int kind = (resolution >> 3) & 3;
    if (decimals == 7 || kind == 0)
        return resolution;
    return uint8_t(resolution + 1);
}
} // namespace

float CMeasSeries1::RawVariance() const
{
    const float n = float(D().statCount);
    const float variance = (D().sumSquares - D().sum * D().sum / n) / (n - 1.0f);
    // Rounding can leave a tiny negative value for equal readings.
    return variance > 0.0f ? variance : 0.0f;
}

float CMeasSeries1::GetMean()
{
    EnsureValid();
    if (D().statCount <= 0)
        return MEAS_NO_VALUE;
    if (D().mean == MEAS_NO_VALUE)
        D().mean = D().sum / float(D().statCount) + D().shift;
    return D().mean;
}

float CMeasSeries1::GetStdDev()
{
    EnsureValid();
    if (D().statCount < 2)
        return MEAS_NO_VALUE;
    if (D().stdDev == MEAS_NO_VALUE)
        D().stdDev = std::sqrt(RawVariance());
    return D().stdDev;
}

float CMeasSeries1::GetEffectiveStdDev()
{
    if ((m_statMode & 3) != 1)
        return GetStdDev();
    EnsureValid();
    if (D().statCount < 2)
        return MEAS_NO_VALUE;
    const float variance = D().stdDev != MEAS_NO_VALUE ? D().stdDev * D().stdDev : RawVariance();
    const float step = GetResolutionStep(m_resolution);
    return std::sqrt(step * 0.083333336f * step + variance);
}

void CMeasSeries1::FirstAndLast(float& first, float& last)
{
    first = D().converted[D().sorted[D().belowCount]];
    last = D().converted[D().sorted[D().belowCount + D().statCount - 1]];
}

float CMeasSeries1::GetMedian()
{
    EnsureValid();
    if (D().statCount <= 0)
        return MEAS_NO_VALUE;
    const int j = D().belowCount + D().statCount / 2;
    if (D().statCount % 2)
        return D().converted[D().sorted[j]];
    return (D().converted[D().sorted[j - 1]] + D().converted[D().sorted[j]]) * 0.5f;
}

float CMeasSeries1::GetMin()
{
    EnsureValid();
    if (D().statCount <= 0 || D().belowCount >= m_count)
        return MEAS_NO_VALUE;
    float first, last;
    FirstAndLast(first, last);
    return D().falling ? last : first;
}

float CMeasSeries1::GetMax()
{
    EnsureValid();
    if (D().statCount <= 0 || D().belowCount >= m_count)
        return MEAS_NO_VALUE;
    float first, last;
    FirstAndLast(first, last);
    return D().falling ? first : last;
}

float CMeasSeries1::GetRange()
{
    EnsureValid();
    if (D().statCount <= 0 || D().belowCount >= m_count)
        return MEAS_NO_VALUE;
    float first, last;
    FirstAndLast(first, last);
    return D().falling ? first - last : last - first;
}

float CMeasSeries1::GetMidRange()
{
    EnsureValid();
    if (D().statCount <= 0 || D().belowCount >= m_count)
        return MEAS_NO_VALUE;
    float first, last;
    FirstAndLast(first, last);
    return (last + first) * 0.5f;
}

float CMeasSeries1::GetConfidenceHalfWidth()
{
    EnsureValid();
    if (D().statCount < 2)
        return MEAS_NO_VALUE;
    if (D().halfWidth == MEAS_NO_VALUE)
    {
        const float t = StudentTQuantileTwoSided((m_confidence + 5000) * 1e-4f, D().statCount - 1);
        D().halfWidth = GetEffectiveStdDev() * t / std::sqrt(float(D().statCount));
    }
    return D().halfWidth;
}

CMeasSeries1::NLimitState CMeasSeries1::ClassifyLimit(float limit) const
{
    if (limit == MEAS_NO_VALUE)
        return limitOff;
    if (limit < Limits().GetRangeMin())
        return limitBelow;
    if (limit > Limits().GetRangeMax())
        return limitAbove;
    return limitInside;
}

float CMeasSeries1::GetCp()
{
    EnsureValid();
    if (D().statCount < 2)
        return MEAS_NO_VALUE;
    if (D().cp != MEAS_NO_VALUE)
        return D().cp;
    const float lower = Limits().GetLower();
    const float upper = Limits().GetUpper();
    if (ClassifyLimit(lower) != limitInside || ClassifyLimit(upper) != limitInside)
        return MEAS_NO_VALUE;
    const float s = GetEffectiveStdDev();
    if (s > 0.0f && s != MEAS_NO_VALUE)
        D().cp = std::min((upper - lower) / (6.0f * s), kCapabilityClamp);
    else
        D().cp = kCapabilityClamp;
    return D().cp;
}

float CMeasSeries1::GetCpk()
{
    EnsureValid();
    if (D().statCount < 2)
        return MEAS_NO_VALUE;
    if (D().cpk != MEAS_NO_VALUE)
        return D().cpk;
    const float lower = Limits().GetLower();
    const float upper = Limits().GetUpper();
    const bool lowerUsable = ClassifyLimit(lower) == limitInside;
    const bool upperUsable = ClassifyLimit(upper) == limitInside;
    if (!lowerUsable && !upperUsable)
        return MEAS_NO_VALUE;
    const float mean = GetMean();
    float d;
    if (lowerUsable && upperUsable)
        d = std::min(upper - mean, mean - lower);
    else if (upperUsable)
        d = upper - mean;
    else
        d = mean - lower;
    const float s = GetEffectiveStdDev();
    if (s > 0.0f && s != MEAS_NO_VALUE)
        D().cpk = std::clamp(d / (3.0f * s), -kCapabilityClamp, kCapabilityClamp);
    else
        D().cpk = d > 0.0f ? kCapabilityClamp : -kCapabilityClamp;
    return D().cpk;
}

float CMeasSeries1::GetCpLowerBound()
{
    const float cp = GetCp();
    if (cp == MEAS_NO_VALUE || cp == kCapabilityClamp)
        return cp;
    // The quantile is found by root-finding: far dearer than the rest, so it is kept.
    if (D().cpLower != MEAS_NO_VALUE)
        return D().cpLower;
    // The lower confidence bound of Cp takes the lower quantile of the chi-square
    // distribution: the quantile whose upper tail is the confidence level.
    const int df = D().statCount - 1;
    const float confidence = (m_confidence + 5000) * 1e-4f;
    const float q = ChiSquareUpperQuantile(confidence, df, -m_z);
    D().cpLower = cp * std::sqrt(q / float(df));
    return D().cpLower;
}

float CMeasSeries1::GetCpkLowerBound()
{
    EnsureValid();
    if (D().statCount < 2)
        return MEAS_NO_VALUE;
    const float cpk = GetCpk();
    if (cpk == MEAS_NO_VALUE || cpk == kCapabilityClamp || cpk == -kCapabilityClamp)
        return cpk;
    if (D().cpkLower != MEAS_NO_VALUE)
        return D().cpkLower;
    const float n = float(D().statCount);
    D().cpkLower = cpk - m_z * std::sqrt(cpk * cpk / (2.0f * n - 2.0f) + 1.0f / (9.0f * n));
    return D().cpkLower;
}

int CMeasSeries1::GetCommonDirection()
{
    EnsureValid();
    if (D().commonDirection != kNoCommonDirection)
        return D().commonDirection;
    // The readings that count are the first GetCount(5) of those not excluded, as a walk
    // through the filtered view sees them.
    const uint32_t* set = ActiveSet();
    int remaining = D().valuedCount;
    int common = 0;
    bool first = true;
    for (int raw = 0; raw < m_count && remaining > 0; ++raw)
    {
        if (IsExcluded(set[raw]))
            continue;
        --remaining;
        const int angle = Direction(set[raw], nullptr);
        if (first)
            common = angle;
        else if (angle != common)
        {
            common = -2;
            break;
        }
        first = false;
    }
    D().commonDirection = common;
    return common;
}

int CMeasSeries1::FindOutlier()
{
    EnsureValid();
    const int n = D().statCount;
    if (n < 5)
        return -1;
    const float mean = GetMean();
    const float s = GetStdDev();
    if (IsSentinel(mean) || IsSentinel(s) || GetResolutionStep(m_resolution) > s)
        return -1;
    const float dmax = GetMax() - mean;
    const float dmin = mean - GetMin();
    const int firstPos = D().belowCount;
    const int lastPos = D().belowCount + n - 1;
    int position;
    float g;
    if (dmax > dmin)
    {
        position = D().falling ? firstPos : lastPos;
        g = dmax / s;
    }
    else
    {
        position = D().falling ? lastPos : firstPos;
        g = dmin / s;
    }
    float critical;
    if (n <= 25)
    {
        critical = kGrubbsCritical[n - 3];
    }
    else
    {
        const float fn = float(n);
        const float t = StudentTUpperQuantile(0.05f / (2.0f * fn), n - 2);
        critical = (fn - 1.0f) * t / std::sqrt(fn * (t * t + fn - 2.0f));
    }
    return g > critical ? int(D().sorted[position]) : -1;
}

int CMeasSeries1::CheckReadingLimits(int index, int mask)
{
    const int raw = ResolveExisting(index, mask);
    if (raw < 0)
        return 0;
    EnsureValid();
    const float v = D().converted[raw];
    // A reading without a value is neither inside nor outside the limits.
    if (v == MEAS_NO_VALUE)
        return 0;
    const float lower = Limits().GetLower();
    const float upper = Limits().GetUpper();
    if (lower != MEAS_NO_VALUE)
    {
        if (ClassifyLimit(lower) == limitInside && !IsRangeSentinel(lower) && !IsRangeSentinel(v))
        {
            const float rounded = RoundToResolution(lower, m_resolution);
            if (v < rounded)
                return -2;
            const float h = GetConfidenceHalfWidth();
            if (h != MEAS_NO_VALUE && rounded > v - h)
                return -1;
        }
        else if (D().native[raw] < Limits().GetLowerNative())
        {
            return -2;
        }
    }
    if (upper == MEAS_NO_VALUE)
        return 0;
    if (ClassifyLimit(upper) == limitInside && !IsRangeSentinel(upper) && !IsRangeSentinel(v))
    {
        const float rounded = RoundToResolution(upper, m_resolution);
        if (v > rounded)
            return 2;
        const float h = GetConfidenceHalfWidth();
        if (h != MEAS_NO_VALUE && v + h > rounded)
            return 1;
    }
    else if (D().native[raw] > Limits().GetUpperNative())
    {
        return 2;
    }
    return 0;
}

int CMeasSeries1::CheckMeanLimits()
{
    const float mean = GetMean();
    if (mean == MEAS_NO_VALUE)
        return 0;
    const float rounded = RoundToResolution(mean, OneDecimalFiner(m_resolution));
    const float lower = Limits().GetLower();
    const float upper = Limits().GetUpper();
    switch (ClassifyLimit(lower))
    {
    case limitAbove:
        return -2;
    case limitInside:
    {
        const float limit = RoundToResolution(lower, m_resolution);
        if (rounded < limit)
            return -2;
        const float h = GetConfidenceHalfWidth();
        if (h != MEAS_NO_VALUE && limit > rounded - h)
            return -1;
        break;
    }
    default:
        break;
    }
    switch (ClassifyLimit(upper))
    {
    case limitBelow:
        return 2;
    case limitInside:
    {
        const float limit = RoundToResolution(upper, m_resolution);
        if (rounded > limit)
            return 2;
        const float h = GetConfidenceHalfWidth();
        if (h != MEAS_NO_VALUE && rounded + h > limit)
            return 1;
        break;
    }
    default:
        break;
    }
    return 0;
}

float CMeasSeries1::SetConfidenceLevel(float percent)
{
    const float previous = (m_confidence + 5000) * 0.01f;
    float level = std::floor((percent + 0.005f) * 100.0f) - 5000.0f;
    if (!(level >= 0.0f))
        level = 0.0f; // also a NaN
    if (level > 4999.0f)
        level = 4999.0f;
    const uint16_t stored = uint16_t(level);
    if (stored == m_confidence)
        return previous;
    m_confidence = stored;
    if (m_new)
    {
        SeparateKeptBlock();
        m_orig.confidence = stored;
    }
    m_z = NormalUpperQuantile((5000 - stored) * 1e-4f);
    D().halfWidth = D().cpLower = D().cpkLower = MEAS_NO_VALUE;
    MarkModified();
    return previous;
}

bool CMeasSeries1::SetCompletionRule(int type, int count)
{
    switch (type)
    {
    case 0:
        m_completionRule = 0;
        m_completionCount = 0;
        return true;
    case 1:
        if (count < 0 || count > MEAS_DEFAULT_CAPACITY)
            return false;
        m_completionCount = int16_t(count);
        m_completionRule = count == 0 ? 0 : 1;
        return true;
    case 2:
    case 3:
        m_completionRule = int16_t(type);
        m_completionCount = int16_t(count >= 2 && count <= MEAS_DEFAULT_CAPACITY ? count : 3);
        return true;
    default:
        return false;
    }
}

bool CMeasSeries1::IsComplete()
{
    if (m_completionRule == 0)
        return false;
    EnsureValid();
    if (D().valuedCount < m_completionCount)
        return false;
    switch (m_completionRule)
    {
    case 1:
        return true;
    case 2:
        return CheckMeanLimits() == 0;
    case 3:
    {
        const float bound = GetCpkLowerBound();
        return bound != MEAS_NO_VALUE && bound > 1.0f;
    }
    default:
        return false;
    }
}
