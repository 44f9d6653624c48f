#pragma once
#include <QString>

// Texts of a series entry that the series page and the text export show. The
// untranslated flag selects fixed English words (for files) instead of the string table.

// "Vertical down" ... "Automatic", "Different directions" for -2; false and "Error" for
// any other angle.
bool FormatImpactDirection(int angle, QString& text, bool untranslated);
// A diameter correction in millimetres, or in 64ths and decimals of an inch; "off" for
// 31, "different diameters" for -2.
bool FormatDiameter(int code, bool imperial, QString& text, bool untranslated);
