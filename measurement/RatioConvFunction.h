#pragma once
#include "measurement/ConvFunction.h"

// Type 1: a rational polynomial in b = x - x0 (or its square), numerator degree N and
// denominator degree D sharing the coefficient c[N], with optional multiplication by the
// input and squaring or square root of the result.
class CRatioConvFunction : public CConvFunction
{
public:
    static constexpr int kMaxCoefficients = 8;

    bool Load(const uint8_t* record, size_t available) override;
    float GetMinX() const override;
    float GetMaxX() const override;
    bool IsInRange(float x) const override;
    float Evaluate(float x) override;
    void GetInfo(SConvFunctionInfo& info) const override;
    bool IsSameRecord(const uint8_t* record, size_t available) const override;

private:
    bool IsLoaded() const { return m_numerator >= 0; }

    float m_x0 = 0.0f;
    int m_numerator = -1; // -1 while nothing is loaded
    int m_denominator = 0;
    bool m_squareInput = false;
    bool m_multiplyByInput = false;
    bool m_squareResult = false;
    bool m_rootResult = false;
    float m_c[kMaxCoefficients] = {};
};
