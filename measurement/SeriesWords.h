#pragma once
#include "measurement/MeasValues.h"
#include "measurement/PackedReading.h"

#include <cstdint>

// The word operations as the series code uses them: the series keeps its readings as
// plain 32-bit words and works on them through SPackedReading.
namespace SeriesWords
{

// A word has no value when its value field holds the no-value pattern or one of the two
// range patterns the tester wrote (above range as measured, below range as measured).
// Only the value field counts: a no-value word whose excluded bit was cleared still has
// no value.
inline bool HasValue(uint32_t word)
{
    const uint32_t top = word >> 12;
    return top != 0xFFFFFu && top != 0xFFFFEu && top != 0xF0000u;
}

inline bool IsExcluded(uint32_t word)
{
    return (word & 1u) != 0;
}

inline void SetExcluded(uint32_t& word)
{
    SPackedReading reading{word};
    reading.SetExcluded();
    word = reading.word;
}

inline void ClearExcluded(uint32_t& word)
{
    SPackedReading reading{word};
    reading.ClearExcluded();
    word = reading.word;
}

inline float PlainValue(uint32_t word)
{
    return SPackedReading{word}.GetPlainValue();
}

inline int Direction(uint32_t word, int* fineAngle)
{
    return SPackedReading{word}.GetDirection(fineAngle);
}

inline int OriginalDirection(uint32_t word)
{
    return SPackedReading{word}.GetOriginalDirection();
}

inline bool SetDirection(uint32_t& word, int value)
{
    SPackedReading reading{word};
    const bool result = reading.SetDirection(value);
    word = reading.word;
    return result;
}

inline int RestoreDirection(uint32_t& word)
{
    SPackedReading reading{word};
    const int result = reading.RestoreDirection();
    word = reading.word;
    return result;
}

inline uint32_t Encode(float value, int angle, int fineAngle)
{
    SPackedReading reading;
    EncodeReading(reading, value, angle, fineAngle);
    return reading.word;
}

inline float Decode(uint32_t word)
{
    return DecodeReading(SPackedReading{word});
}

inline bool IsSentinel(float value)
{
    return !IsValidValue(value);
}

inline bool IsRangeSentinel(float value)
{
    return value == MEAS_ABOVE_RANGE || value == MEAS_BELOW_RANGE;
}

} // namespace SeriesWords
