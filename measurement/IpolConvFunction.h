#pragma once
#include "measurement/ConvFunction.h"

#include <vector>

// Type 2: a table of k points with strictly rising x, joined by cubic segments whose
// node slopes follow Akima's weighting; linear continuation beyond the ends.
class CIpolConvFunction : public CConvFunction
{
public:
    bool Load(const uint8_t* record, size_t available) override;
    float GetMinX() const override;
    float GetMaxX() const override;
    bool IsInRange(float x) const override;
    float Evaluate(float x) override;
    void GetInfo(SConvFunctionInfo& info) const override;
    bool IsSameRecord(const uint8_t* record, size_t available) const override;

private:
    int FindSegment(float x);

    int m_points = 0; // 0 while nothing is loaded
    int m_lastSegment = 0;
    // The tables only grow, so reloading the same table sizes costs no allocation.
    std::vector<float> m_x, m_y;
    std::vector<float> m_b, m_c, m_d; // per segment: y[i] + ((d dx + c) dx + b) dx
    std::vector<float> m_slope;       // segment slopes with two extra at each end
    std::vector<float> m_left, m_right;
};
