#pragma once

// The three values that stand in for a reading that cannot be given. They are ordinary
// floats, so they travel through every value array, limit and export unchanged and are
// recognised by equality. The no-value sentinel also marks a limit that is off.
inline constexpr float MEAS_NO_VALUE = 77777696.0f;     // bits 0x4C945964
inline constexpr float MEAS_ABOVE_RANGE = 77777600.0f;  // bits 0x4C945958
inline constexpr float MEAS_BELOW_RANGE = -77777600.0f; // bits 0xCC945958

// False for the three sentinels; anything else (a NaN too) counts as a value.
inline bool IsValidValue(float value)
{
    return value != MEAS_NO_VALUE && value != MEAS_ABOVE_RANGE && value != MEAS_BELOW_RANGE;
}
