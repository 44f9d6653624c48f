#pragma once
#include "measurement/Material.h"
#include "measurement/MeasValues.h"
#include "measurement/PackedSerial.h"
#include "measurement/ProbeId.h"
#include "measurement/TargetScale.h"

#include <cstdint>

// The settings of a series read or applied in one piece. Limits are target-scale
// values; MEAS_NO_VALUE means the limit is off, and in records filled from a series a
// limit outside the conversion's target range reads MEAS_BELOW_RANGE or
// MEAS_ABOVE_RANGE.
struct SSeriesSettings
{
    uint32_t dateTime = 0xFFFFFFFF; // DOS date and time, 0xFFFFFFFF = not set
    SPackedSerial deviceSerial{};
    SProbeId probeId;
    SMaterial material;
    STargetScale targetScale;
    float upperLimit = MEAS_NO_VALUE;
    float lowerLimit = MEAS_NO_VALUE;
    float secondLowerLimit = MEAS_NO_VALUE;
    float secondUpperLimit = MEAS_NO_VALUE;
    uint8_t decimals = 0; // 0-6
    // The rounding step as a whole number (1, 2, 5 times a power of ten). Wider than a
    // byte so that every step the series accepts (up to 50000) survives a round trip.
    int32_t step = 1;
    float confidenceLevel = 95.0f; // percent, 50.00 to 99.99
};
