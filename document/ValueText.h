#pragma once
#include "measurement/MeasValues.h"

#include <QString>

// A series value as text: "--" for no value, "noCnv" for a value outside the conversion's
// range (the string-table texts unless literal is set, for exports that must not be
// translated), otherwise the value with the given number of decimals.
QString FormatValue(float value, int decimals, bool literal = false);
// The same, appended to a text (no temporary string, for long exports).
void AppendValue(QString& out, float value, int decimals, bool literal = false);

// Indentation depths for the imperial display: micrometres to thousandths of an inch and
// back. Each converts in place and returns the result; the sentinels stay as they are.
float MicronsToMils(float& value);
double MicronsToMilsDouble(double& value);
float MilsToMicrons(float& value);
