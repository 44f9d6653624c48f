#pragma once
#include "platform/gui/GdiObjects.h"
#include "platform/gui/GdiTypes.h"
#include "seriesview/GraphSettings.h"

#include <optional>

namespace Platform
{
class Canvas;
}

// The frame of an x/y chart: axes, ticks, tick labels, axis titles and grid lines around a
// plot rectangle, with room reserved for labels and titles inside the settings' frame. It
// draws nothing of the data; the caller draws bars or curves with the plot rectangle and
// the value-to-pixel mappings.
//
// Use: fill a GRAPHSETTINGS (optionally SetDefaultSteps or FitToDC), SetSettings, Draw,
// then draw the data. A frame may be reused with new settings; its fonts and grid pen are
// made from the canvas of the first layout and kept.
class CGraphGrid
{
public:
    CGraphGrid();

    // Takes a copy of the settings and lays the chart out for the canvas.
    void SetSettings(Platform::Canvas& dc, const GRAPHSETTINGS& settings);
    const GRAPHSETTINGS& GetSettings() const { return m_settings; }
    // Lays out again, then paints grid lines, axes, ticks, labels and titles in the
    // canvas's current pen and text colour.
    void Draw(Platform::Canvas& dc);

    const Platform::Rect& GetPlotRect() const { return m_plot; }
    int XToPixel(double x) const;
    int YToPixel(double y) const;
    // The same before truncation, for anti-aliased drawing.
    double XToPixelF(double x) const;
    double YToPixelF(double y) const;

private:
    enum Edge
    {
        Top,
        Bottom,
        Left,
        Right,
        EdgeCount
    };
    // What the layout measured for one edge axis, across the axis unless said otherwise.
    struct AxisMeasures
    {
        int titleExtent = 0;
        int labelExtent = 0;
        int tickRoom = 0;
        // Half the extent along the axis of the label of the axis minimum and of the last
        // tick; 0 without labels.
        int minOverhang = 0;
        int lastOverhang = 0;
    };

    void Layout(Platform::Canvas& dc);
    void MeasureAxis(Platform::Canvas& dc, Edge edge);
    uint32_t Flags(Edge edge) const;
    int TickUnit(const Platform::Canvas& dc) const;

    void DrawGrid(Platform::Canvas& dc);
    void DrawHorizontalAxis(Platform::Canvas& dc, Edge edge);
    void DrawVerticalAxis(Platform::Canvas& dc, Edge edge);
    void DrawXZeroLine(Platform::Canvas& dc);
    void DrawYZeroLine(Platform::Canvas& dc);
    void DrawAxisLine(Platform::Canvas& dc, uint32_t flags, Platform::Point from, Platform::Point to);

    GRAPHSETTINGS m_settings;
    Platform::Rect m_plot;
    // Made on the first layout.
    std::optional<Platform::Font> m_horizontalFont;
    std::optional<Platform::Font> m_rotatedFont;
    Platform::Pen m_gridPen;
    int m_unit = 1;
    AxisMeasures m_axis[EdgeCount];
};
