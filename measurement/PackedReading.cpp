#include "measurement/PackedReading.h"

#include "measurement/MeasValues.h"

#include <algorithm>
#include <bit>

namespace
{

constexpr uint32_t kDirectionMask = 0x00Eu; // bits 1-3
constexpr uint32_t kFlagBits = 0xFFEu;      // bits 1-11
constexpr uint32_t kLow12 = 0xFFFu;
constexpr uint32_t kNoDirection = 0xFE0u; // automatic without fine angle: nothing known
constexpr uint32_t kNoDiameter = 0xF8Au;  // diameter code 5, as-measured code 31
constexpr int kAutomatic = 360;

uint32_t DirectionCode(uint32_t w)
{
    return (w >> 1) & 7u;
}

uint32_t SevenBits(uint32_t w)
{
    return (w >> 7) & 31u;
}

int AngleOfCode(uint32_t code)
{
    return code == 7 ? kAutomatic : static_cast<int>(code) * 45;
}

bool InDirectionRange(int angle)
{
    return angle >= -22 && angle <= 201;
}

uint32_t EncodeValue(float value)
{
    uint32_t p = std::bit_cast<uint32_t>(value);
    if (p & 0x80000000u)
    {
        // Small negative values (rounding noise of a correction) are stored as their magnitude.
        if (-value > 1.53e-05f)
            return SPackedReading::kBelowRange;
        p &= 0x7FFFFFFFu;
    }
    if (p >= 0x4C945958u) // 77777600.0 and above, infinities and NaNs
        return p == 0x4C945964u ? SPackedReading::kNoValue : SPackedReading::kAboveRange;

    uint32_t mantissa = ((p >> 8) & 0x7FFFu) | 0x8000u;
    int carry = 0;
    if (p & 0x80u)
    {
        if (++mantissa > 0xFFFFu)
        {
            mantissa = 0x8000u;
            carry = 1;
        }
    }
    const int d = static_cast<int>((p >> 23) & 0xFFu) - 126 + carry;
    uint32_t e;
    uint32_t m;
    if (d > 15)
    {
        e = 15;
        m = 0xFFFEu;
    }
    else if (d >= 0)
    {
        e = static_cast<uint32_t>(d);
        m = mantissa;
    }
    else
    {
        e = 0;
        m = d <= -16 ? 0 : mantissa >> -d;
    }
    return (e << 28) | (m << 12) | SPackedReading::kDefaultFlags;
}

// A diameter override is spread over the value (its bit 0: an extra 1000), the direction
// code (bit 1: code 6) and bits 4-6 (its bits 2-4).
int DiameterOverride(const SPackedReading& r)
{
    const float value = DecodeReading(r);
    int o = (IsValidValue(value) && value >= 1000.0f) ? 1 : 0;
    if (DirectionCode(r.word) == 6)
        o |= 2;
    o |= static_cast<int>((r.word >> 4) & 7u) << 2;
    return o;
}

void WriteDiameterOverride(SPackedReading& r, int o)
{
    r.word &= ~0x7Eu; // bits 1-6
    r.SetValueFlag((o & 1) != 0);
    r.word |= static_cast<uint32_t>((o >> 2) & 7) << 4;
    r.word |= ((o & 2) ? 6u : 5u) << 1;
}

} // namespace

void EncodeReading(SPackedReading& reading, float value, int angle, int fineAngle)
{
    reading.word = EncodeValue(value);
    if (angle != 0 || fineAngle != -1)
        reading.SetDirectionBits(angle, fineAngle);
}

float DecodeReading(const SPackedReading& reading)
{
    const uint32_t w = reading.word;
    int e = static_cast<int>(w >> 28);
    uint32_t m = (w >> 12) & 0xFFFFu;
    if (e == 15)
    {
        if (m == 0xFFFFu)
            return MEAS_NO_VALUE;
        if (m == 0xFFFEu)
            return MEAS_ABOVE_RANGE;
        if (m == 0)
            return MEAS_BELOW_RANGE;
    }
    if (m == 0)
        return 0.0f;
    while ((m & 0x8000u) == 0)
    {
        m <<= 1;
        --e;
    }
    return std::bit_cast<float>((static_cast<uint32_t>(e + 126) << 23) | ((m & 0x7FFFu) << 8));
}

bool SPackedReading::IsDiameterReading() const
{
    const uint32_t code = DirectionCode(word);
    return code == 5 || code == 6;
}

bool SPackedReading::SetDirectionBits(int angle, int fineAngle)
{
    if (fineAngle >= -1 && fineAngle <= 360)
    {
        const uint32_t c = InDirectionRange(angle) ? static_cast<uint32_t>((angle + 22) / 45) : 7u;
        const uint32_t d = fineAngle == -1 ? 31u : static_cast<uint32_t>((std::min(fineAngle, 180) + 3) / 6);
        word &= ~kFlagBits;
        if (c == 7 && d == 31)
        {
            word |= kNoDirection;
            return false;
        }
        word |= (c << 1) | (c << 4) | (d << 7);
        return true;
    }
    if (fineAngle == -2)
    {
        word &= ~kFlagBits;
        if (angle >= 3 && angle <= 31)
        {
            word |= (static_cast<uint32_t>(angle) << 7) | (5u << 1);
            return true;
        }
        word |= kNoDiameter;
        return false;
    }
    return true;
}

bool SPackedReading::SetExcluded()
{
    const bool was = IsExcluded();
    word |= 1u;
    return was;
}

bool SPackedReading::ClearExcluded()
{
    const bool was = IsExcluded();
    word &= ~1u;
    return was;
}

int SPackedReading::GetDirection(int* fineAngle) const
{
    if (IsDiameterReading())
    {
        if (fineAngle)
            *fineAngle = -2;
        const int o = DiameterOverride(*this);
        return o != 0 ? o : static_cast<int>(SevenBits(word));
    }
    if (fineAngle)
    {
        const uint32_t fine = SevenBits(word);
        *fineAngle = fine == 31 ? kAutomatic : static_cast<int>(fine) * 6;
    }
    return AngleOfCode(DirectionCode(word));
}

int SPackedReading::GetOriginalDirection() const
{
    if (IsDiameterReading())
        return static_cast<int>(SevenBits(word));
    return AngleOfCode((word >> 4) & 7u);
}

float SPackedReading::GetPlainValue() const
{
    const float value = DecodeReading(*this);
    if (IsDiameterReading() && IsValidValue(value) && value >= 1000.0f)
        return value - 1000.0f;
    return value;
}

void SPackedReading::SetValueFlag(bool flag)
{
    float value = DecodeReading(*this);
    // A sentinel carries no flag; shifting it would turn "no value" into "above range".
    if (!IsValidValue(value))
        return;
    if (flag && value < 1000.0f)
        value += 1000.0f;
    else if (!flag && value >= 1000.0f)
        value -= 1000.0f;
    word = (EncodeValue(value) & ~kLow12) | (word & kLow12);
}

bool SPackedReading::SetDirection(int value)
{
    if (IsDiameterReading())
    {
        int o;
        if (value == static_cast<int>(SevenBits(word)))
            o = 0;
        else if (value == 0 || (value >= 3 && value <= 31))
            o = value;
        else
            return false;
        WriteDiameterOverride(*this, o);
        return true;
    }
    if (InDirectionRange(value))
    {
        word = (word & ~kDirectionMask) | (static_cast<uint32_t>((value + 22) / 45) << 1);
        return true;
    }
    if ((word & kNoDirection) == kNoDirection)
        return false;
    word |= kDirectionMask; // automatic
    return true;
}

int SPackedReading::RestoreDirection()
{
    const int before = GetDirection();
    if (IsDiameterReading())
    {
        const int measured = static_cast<int>(SevenBits(word));
        if (measured >= 3 && measured <= 31)
            WriteDiameterOverride(*this, measured);
        return before;
    }
    uint32_t first = (word >> 4) & 7u;
    // The pattern of a reading stored without direction holds 6 in these bits; restoring
    // it as a direction code would turn the reading into a diameter reading.
    if (first == 5 || first == 6)
        first = 0;
    word = (word & ~kDirectionMask) | (first << 1);
    return before;
}
