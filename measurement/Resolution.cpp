#include "measurement/Resolution.h"

#include "measurement/MeasValues.h"

#include <cmath>

namespace
{
const float kPowersOfTen[8] = {1.0f, 10.0f, 100.0f, 1000.0f, 10000.0f, 100000.0f, 1000000.0f, 10000000.0f};
const float kInversePowers[7] = {1.0f, 0.1f, 0.01f, 0.001f, 1e-4f, 1e-5f, 1e-6f};

} // namespace

float RoundToResolution(float value, uint8_t resolution)
{
    const int decimals = resolution & 7;
    const int kind = (resolution >> 3) & 3;
    const int power = resolution >> 5;
    if (decimals == 7 || kind == 0)
        return value;
    const bool negative = value < 0.0f;
    const float y = std::fabs(value) * kPowersOfTen[decimals];
    const float e = kInversePowers[decimals];
    float result;
    if (power == 0)
    {
        if (kind == 1)
            result = std::trunc(y + 0.5f) * e;
        else if (kind == 2)
            result = std::trunc((y + 1.0f) * 0.5f) * (2.0f * e);
        else
            result = std::trunc((y + 2.5f) * 0.2f) * (5.0f * e);
    }
    else
    {
        const float step = kind == 1 ? 1.0f : kind == 2 ? 2.0f : 5.0f;
        const float g = step * kPowersOfTen[power];
        result = std::trunc((y + g * 0.5f) / g) * (e * g);
    }
    return negative ? -result : result;
}

float GetResolutionStep(uint8_t resolution)
{
    if (resolution == 8)
        return 1.0f;
    if (resolution == 9)
        return 0.1f;
    const int decimals = resolution & 7;
    if (decimals == 7)
        return 0.0f;
    const int kind = (resolution >> 3) & 3;
    float step = kind == 0 ? 0.0f : kind == 1 ? 1.0f : kind == 2 ? 2.0f : 5.0f;
    const int exponent = (resolution >> 5) - decimals;
    for (int i = 0; i < exponent; ++i)
        step *= 10.0f;
    for (int i = 0; i < -exponent; ++i)
        step *= 0.1f;
    return step;
}

float ConvertMicronsToMils(float value, int flag)
{
    if ((flag & 0xFF) == 0 || !IsValidValue(value))
        return value;
    return value * 0.03937008f;
}

double ConvertMicronsToMilsDouble(double value, int flag)
{
    if ((flag & 0xFF) == 0 || value == double(MEAS_NO_VALUE) || value == double(MEAS_ABOVE_RANGE) ||
        value == double(MEAS_BELOW_RANGE))
        return value;
    return value * 0.0393700787;
}
