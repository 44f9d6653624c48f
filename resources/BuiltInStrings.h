#pragma once

// Fills the string table with the program's built-in English texts. A language pack
// loaded later replaces entries by id.
void RegisterBuiltInStrings();

// The names of scales, probes, units and materials (part of the built-in texts).
void RegisterMeasurementNames();
