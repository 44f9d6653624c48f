#include "seriesview/GraphSettings.h"

#include "platform/gui/Canvas.h"
#include "seriesview/GraphGrid.h"
#include "seriesview/GraphSteps.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

using namespace Platform;

namespace
{

using NiceStepRule = double (*)(double, double, int, QString&);

// Grows the step until the labels of all ticks take at most the given share of the axis:
// a label's size along the axis is measured with the label of the maximum.
double FitStep(Canvas& dc, double min, double max, int axisLength, double share, bool byWidth,
               NiceStepRule rule, QString& format)
{
    const double range = max - min;
    const double room = share * std::max(axisLength, 1);
    int n = 100;
    double step = 0;
    for (;;)
    {
        const double previous = step;
        step = rule(min, max, n, format);
        // An empty range has no step; past the end of the table the step cannot grow.
        if (!(step > 0) || step <= previous)
            return step;
        const Size label = dc.GetTextExtent(FormatTickLabel(format, max));
        const double k = std::trunc(range / step);
        if ((k + 1) * (byWidth ? label.cx : label.cy) > room && k > 1)
        {
            n = static_cast<int>(std::min(k, 1e9));
            continue;
        }
        return step;
    }
}

// Down to a whole step, one step lower when already on one, but never below 0 from a
// minimum that was not negative.
double RoundMinimumDown(double min, double step)
{
    double lo = std::floor(min / step) * step;
    if (lo == min)
        lo -= step;
    if (lo < 0 && min >= 0)
        lo = 0;
    return lo;
}

} // namespace

void GRAPHSETTINGS::SetDefaultSteps()
{
    DefaultStepX(xMin, xMax, xStep, xHalfStep, xLabelFormat);
    DefaultStepY(yMin, yMax, yStep, yHalfStep, yLabelFormat);
}

void GRAPHSETTINGS::FitToDC(Canvas& dc, bool roundX, bool roundY)
{
    SetDefaultSteps();
    int xLength = 0;
    int yLength = 0;
    {
        CGraphGrid probe;
        probe.SetSettings(dc, *this);
        xLength = probe.XToPixel(xMax) - probe.XToPixel(xMin);
        yLength = std::abs(probe.YToPixel(yMax) - probe.YToPixel(yMin));
    }

    xStep = FitStep(dc, xMin, xMax, xLength, 0.75, true, NiceStepX, xLabelFormat);
    if (roundX && xStep > 0)
    {
        xMin = RoundMinimumDown(xMin, xStep);
        const double lo = std::trunc(xMax / xStep) * xStep;
        const double hi = lo + xStep;
        // Up to the next multiple unless the maximum sits on one and is well below the
        // next (less than 0.9 of it).
        xMax = (xMax > lo || (hi != 0 && xMax / hi >= 0.9)) ? hi : lo;
    }
    xHalfStep = xStep / 2;

    yStep = FitStep(dc, yMin, yMax, yLength, 0.7, false, NiceStepY, yLabelFormat);
    if (roundY && yStep > 0)
    {
        yMin = RoundMinimumDown(yMin, yStep);
        // Always above the maximum, a whole step above one that sits on a multiple.
        yMax = (std::trunc(yMax / yStep) + 1) * yStep;
    }
    yHalfStep = yStep / 2;
}
