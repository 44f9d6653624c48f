#pragma once
#include <cstdint>

// One reading in 32 bits, as series, series blocks and measurement files store it:
//   bit 0      excluded from the statistics
//   bits 1-3   direction code: 0-4 = 0, 45, 90, 135, 180 degrees, 7 = automatic;
//              5 and 6 mark a diameter-correction reading of the indentation tester
//   bits 4-6   direction reading: the direction it was first stored with;
//              diameter reading: bits 2-4 of the diameter override
//   bits 7-11  direction reading: fine angle in 6-degree steps (31 none);
//              diameter reading: the diameter code as measured (3-31)
//   bits 12-27 mantissa M, bits 28-31 exponent E: value = M * 2^(E - 16)
// Exponent 15 with M = 0xFFFF, 0xFFFE or 0 are the no-value, above-range and below-range
// sentinels.
struct SPackedReading
{
    static constexpr uint32_t kNoValue = 0xFFFFFFFFu;
    static constexpr uint32_t kAboveRange = 0xFFFFEFFFu;
    static constexpr uint32_t kBelowRange = 0xF0000FFFu;
    static constexpr uint32_t kDefaultFlags = 0xF80u; // not excluded, direction 0, no fine angle

    uint32_t word = kNoValue;

    bool IsDiameterReading() const;

    // The direction step of encoding (fine angle -1..360: a direction reading; -2: the angle
    // argument is a diameter code). False when the word got one of the two patterns that
    // mark a missing direction or diameter.
    bool SetDirectionBits(int angle, int fineAngle);
    // Both return the previous excluded bit.
    bool SetExcluded();
    bool ClearExcluded();
    bool IsExcluded() const { return (word & 1u) != 0; }

    // Direction reading: the angle (360 automatic) and, in the output, the fine angle (360
    // for none). Diameter reading: the effective diameter code and -2 in the output.
    int GetDirection(int* fineAngle = nullptr) const;
    // The direction (or as-measured diameter code) the reading was first stored with.
    int GetOriginalDirection() const;
    // The value without the 1000 that a diameter override may have added.
    float GetPlainValue() const;
    // Adds or removes the extra 1000 of a diameter override, keeping the low 12 bits.
    void SetValueFlag(bool flag);
    // The user's change of a reading's direction or diameter code.
    bool SetDirection(int angleOrDiameter);
    // Back to the first direction (or as-measured diameter); returns the one in effect before.
    int RestoreDirection();
};

// Writes the value with the default flag bits, then the direction (when the angle is not 0
// or the fine angle not -1).
void EncodeReading(SPackedReading& reading, float value, int angle, int fineAngle);
// The value, or one of the three sentinel floats.
float DecodeReading(const SPackedReading& reading);
