#include "measurement/CurveCheck.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr int kMinimumSamples = 128;
constexpr int kBottomWindow = 10; // samples on either side of a minimum
constexpr float kBottomTolerance = 250.0f;
constexpr int kBottomMinimumCount = 8;
constexpr float kReleaseTolerance = 50.0f;
constexpr int kReleaseMinimumCount = 6;
constexpr int kPlateauLevels = 10;
constexpr int kVibrationSpan = 38;
constexpr int kCreepSpan = 15;
constexpr int kVibrationMaxFall = -60;
constexpr int kVibrationMaxRise = 100;
} // namespace

int CCurveCheck::Evaluate(float& depth, float& plateau)
{
    m_result = Check(depth, plateau);
    return m_result;
}

int CCurveCheck::TakeResult()
{
    const int result = m_result;
    m_result = CURVE_ACCEPTED;
    return result;
}

int CCurveCheck::TakeMarkIndex()
{
    const int mark = m_markIndex;
    m_markIndex = 0;
    return mark;
}

int CCurveCheck::Check(float& depth, float& plateau)
{
    depth = 0.0f;
    plateau = 0.0f;
    const std::span<const uint16_t> s = m_samples;
    const int n = static_cast<int>(std::min<size_t>(s.size(), 0x7FFFFFFF));
    if (n < kMinimumSamples)
        return CURVE_TOO_SHORT;

    // g: first overall minimum; h: first minimum of the second half (g <= h always).
    const int g = static_cast<int>(std::min_element(s.begin(), s.begin() + n) - s.begin());
    const int h = static_cast<int>(std::min_element(s.begin() + n / 2, s.begin() + n) - s.begin());
    const int a = s[g];
    const int b = s[h];

    // The bottom of the loading must be reached gently: enough samples close to the minimum.
    m_markIndex = -1;
    auto closeSamples = [&](int centre, int level, float tolerance)
    {
        int close = 0;
        const int end = std::min(centre + kBottomWindow, n - 1);
        for (int i = std::max(centre - kBottomWindow, 0); i < end; ++i)
            if (static_cast<float>(s[i]) - static_cast<float>(level) < tolerance)
                ++close;
        return close;
    };
    if (g < 4 || closeSamples(g, a, kBottomTolerance) < kBottomMinimumCount)
    {
        m_markIndex = g;
        return CURVE_PRESSED_TOO_FAST;
    }
    if (closeSamples(h, b, kReleaseTolerance) < kReleaseMinimumCount)
    {
        m_markIndex = h;
        return CURVE_RELEASED_TOO_FAST;
    }

    depth = static_cast<float>(b - a) / 100.0f;
    // Plateau: the mean of the ten highest levels between the two minima (those not below a).
    const int e = *std::max_element(s.begin() + g, s.begin() + h + 1);
    const int lowest = std::max(e - (kPlateauLevels - 1), a);
    int perLevel[kPlateauLevels] = {};
    for (int i = g; i <= h; ++i)
        if (s[i] >= lowest)
            ++perLevel[e - s[i]];
    float sum = 0.0f;
    int count = 0;
    for (int j = 0; j <= e - lowest; ++j)
    {
        sum += static_cast<float>(static_cast<double>(e - j) * perLevel[j] / 100.0);
        count += perLevel[j];
    }
    plateau = count == 0 ? 0.0f
                         : static_cast<float>(static_cast<double>(sum / static_cast<float>(count)) -
                                              static_cast<double>(a) / 100.0);

    // Vibration: between the end of the loading (the first 38-sample span that rises by less
    // than 5) and the last creep (the last 15-sample rise before the release minimum), no
    // 38-sample span may rise by more than 100 or fall by more than 60.
    m_markIndex = -1;
    int start = -1;
    for (int j = g; j + kVibrationSpan < h; ++j)
        if (s[j + kVibrationSpan] - s[j] < 5)
        {
            start = j;
            break;
        }
    int end = -1;
    for (int i = h; i - kCreepSpan > g; --i)
        if (s[i - kCreepSpan] < s[i])
        {
            end = i - kCreepSpan;
            break;
        }
    for (int k = start; k < end - kVibrationSpan; ++k)
    {
        const int d = s[k + kVibrationSpan] - s[std::max(k, 0)];
        if (d < kVibrationMaxFall || d > kVibrationMaxRise)
        {
            m_markIndex = k + kVibrationSpan;
            return CURVE_VIBRATION;
        }
    }

    // A measurement clamp lets the plateau stand out from the depth by an amount that shrinks
    // with the depth.
    const float c = 4.1148f - 0.0276f * depth;
    if (std::fabs(c - (plateau - depth)) > c / 2.0f)
        return CURVE_CLAMP_SUSPECTED;
    return CURVE_ACCEPTED;
}
