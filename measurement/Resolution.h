#pragma once
#include <cstdint>

// Display rounding of converted values and the imperial display of depth values.

// Rounds a value by a resolution byte: bits 0-2 decimals (7 = none), bits 3-4 the step
// kind (0 none, 1, 2 or 5), bits 5-7 a power of ten applied to the step. Negative
// values round as their magnitude.
float RoundToResolution(float value, uint8_t resolution);
// The rounding step in value units, 0 when the byte does not round.
float GetResolutionStep(uint8_t resolution);
// Depth values in thousandths of an inch when the flag's low byte is set; the three
// sentinels pass unchanged.
float ConvertMicronsToMils(float value, int flag);
double ConvertMicronsToMilsDouble(double value, int flag);
