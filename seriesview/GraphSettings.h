#pragma once
#include "platform/gui/GdiTypes.h"

#include <QString>

#include <cstdint>

namespace Platform
{
class Canvas;
}

// Parts of an axis, one bit each in the six axis flag words of a chart.
enum : uint32_t
{
    GRAPHAXIS_LINE = 0x001,
    GRAPHAXIS_MAJOR_IN = 0x002,
    GRAPHAXIS_MAJOR_OUT = 0x004,
    GRAPHAXIS_MINOR_IN = 0x008,
    GRAPHAXIS_MINOR_OUT = 0x010,
    GRAPHAXIS_LABELS = 0x020,
    GRAPHAXIS_LABELS_ROTATED = 0x040,
    GRAPHAXIS_TITLE = 0x080,
    GRAPHAXIS_TITLE_ROTATED = 0x100,
    GRAPHAXIS_LINE_GRIDPEN = 0x400,
};

// The settings of one x/y chart: where it may draw, the value ranges with their tick steps
// and label formats, the axis titles, which parts each axis shows, and the grid lines. A
// plain value; the caller fills it and hands a copy to the chart frame (CGraphGrid).
struct GRAPHSETTINGS
{
    // Outer rectangle the chart may use, in the canvas's logical units.
    Platform::Rect frame;

    double xMin = 0;
    double xMax = 0;
    // Distance of major x ticks, labels and vertical grid lines, and of minor x ticks.
    double xStep = 0;
    double xHalfStep = 0;
    // printf format of the x tick labels, taking one double.
    QString xLabelFormat = QStringLiteral("%0.0lf");
    QString xTitle;

    double yMin = 0;
    double yMax = 0;
    double yStep = 0;
    double yHalfStep = 0;
    QString yLabelFormat = QStringLiteral("%0.0lf");
    QString yTitle;

    // Line and ticks on top and right; line, ticks, labels and title at the bottom; the
    // same on the left with a rotated title; the zero lines with line and ticks.
    uint32_t topAxis = 31;
    uint32_t bottomAxis = 191;
    uint32_t leftAxis = 319;
    uint32_t rightAxis = 31;
    // The horizontal axis at y = 0 (drawn only when y min < 0 < y max) and the vertical one
    // at x = 0 (drawn when x min <= 0 <= x max).
    uint32_t xZeroLine = 31;
    uint32_t yZeroLine = 31;

    // Grid lines across the plot at every y tick and at every x tick.
    uint8_t horizontalGrid = 1;
    uint8_t verticalGrid = 1;

    // Steps and label formats from the ranges alone (the default-step rule).
    void SetDefaultSteps();
    // Fits both steps to the pixel lengths the axes get on this canvas, so that the labels
    // do not crowd, and with the flags widens the ranges to whole steps.
    void FitToDC(Platform::Canvas& dc, bool roundX, bool roundY);
};
