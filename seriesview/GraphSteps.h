#pragma once
#include <QString>

#include <array>
#include <vector>

// The tick-step rules of the chart frame: 1-2-5 steps, the first tick of an axis, the
// ticks themselves and the tick labels.

// 1, 2 and 5 times 10^k for k = -11 to 11, ascending.
extern const std::array<double, 69> NiceStepTable;

// The smallest multiple of the step that is not below the minimum (the minimum itself when
// it lies on a multiple).
double FirstTickAtOrAbove(double min, double step);
// Ticks from the first one up to max (with a tolerance of a millionth of a step), by
// repeated addition. Empty for a step that is not a positive finite number; never more
// than a bounded number of ticks, so a step far too small for the range cannot hang.
std::vector<double> TickValues(double min, double max, double step);

// A step from the table for about n ticks over the range, with its label format. The x
// rule gives the step's own decimals, the y rule those of the raw step. Returns 0 for an
// empty range.
double NiceStepX(double min, double max, int n, QString& format);
double NiceStepY(double min, double max, int n, QString& format);

// The default-step rule: five to ten-and-a-half steps over the range. Step and half step
// are 0 for an empty range or one beyond the table's decades.
void DefaultStepX(double min, double max, double& step, double& halfStep, QString& format);
void DefaultStepY(double min, double max, double& step, double& halfStep, QString& format);

// Formats a value with a printf format of one floating-point conversion ("%5.1lf"), in
// the C locale whatever the process locale.
QString FormatTickLabel(const QString& format, double value);
