#pragma once
#include <cstdint>
#include <span>

// Results of the check of an indentation curve. CURVE_INCOMPLETE is the guidance window's own
// finding (the operator stopped before the test ended); the check never gives it.
inline constexpr int CURVE_ACCEPTED = 0;
inline constexpr int CURVE_TOO_SHORT = 512;
inline constexpr int CURVE_INCOMPLETE = 513;
inline constexpr int CURVE_PRESSED_TOO_FAST = 514;
inline constexpr int CURVE_RELEASED_TOO_FAST = 515;
inline constexpr int CURVE_CLAMP_SUSPECTED = 516;
inline constexpr int CURVE_VIBRATION = 517;

// Evaluates the depth curve of one indentation test (unsigned samples in hundredths of a
// micrometre over loading, holding and release): rejects curves that are too short or whose load
// was applied or released too fast, warns about vibration and about curves typical of a
// measurement clamp, and yields the indentation depth and the plateau value in micrometres.
//
// A short-lived value: make one, set the curve, evaluate, take the mark. The samples are not
// copied and must outlive the evaluation.
class CCurveCheck
{
public:
    void SetCurve(std::span<const uint16_t> samples) { m_samples = samples; }
    // The result code, also kept. Depth and plateau are 0 unless the curve passed the load and
    // release checks.
    int Evaluate(float& depth, float& plateau);
    // The kept result, then 0.
    int TakeResult();
    // The sample the last evaluation marked (-1 for none), then 0.
    int TakeMarkIndex();

private:
    int Check(float& depth, float& plateau);

    std::span<const uint16_t> m_samples;
    int32_t m_result = CURVE_ACCEPTED;
    int32_t m_markIndex = -1;
};
