#pragma once
// Tests that show scale, probe and material names use the program's own English texts.
#include "resources/BuiltInStrings.h"

inline void SetEnglishMeasurementTexts()
{
    RegisterMeasurementNames();
}
