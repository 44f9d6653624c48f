#include "seriesview/GraphGrid.h"

#include "platform/gui/Canvas.h"
#include "seriesview/GraphSteps.h"

#include <algorithm>
#include <climits>
#include <cmath>

using namespace Platform;

namespace
{

constexpr int kMajorTick = 5;
constexpr int kMinorTick = 3;
constexpr ColorRef kGridColor = Rgb(168, 168, 168);

// Truncation towards zero that stays defined for values no int can hold.
int TruncToInt(double v)
{
    if (std::isnan(v))
        return 0;
    if (v >= static_cast<double>(INT_MAX))
        return INT_MAX;
    if (v <= static_cast<double>(INT_MIN))
        return INT_MIN;
    return static_cast<int>(v);
}

bool HasLabels(uint32_t flags)
{
    return flags & (GRAPHAXIS_LABELS | GRAPHAXIS_LABELS_ROTATED);
}

bool HasTitle(uint32_t flags)
{
    return flags & (GRAPHAXIS_TITLE | GRAPHAXIS_TITLE_ROTATED);
}

} // namespace

CGraphGrid::CGraphGrid() = default;

void CGraphGrid::SetSettings(Canvas& dc, const GRAPHSETTINGS& settings)
{
    m_settings = settings;
    Layout(dc);
}

uint32_t CGraphGrid::Flags(Edge edge) const
{
    switch (edge)
    {
    case Top:
        return m_settings.topAxis;
    case Bottom:
        return m_settings.bottomAxis;
    case Left:
        return m_settings.leftAxis;
    default:
        return m_settings.rightAxis;
    }
}

int CGraphGrid::TickUnit(const Canvas& dc) const
{
    const int width = dc.GetPen().width;
    return width > 0 ? width : 1;
}

void CGraphGrid::Layout(Canvas& dc)
{
    m_unit = TickUnit(dc);
    if (!m_horizontalFont)
    {
        LogFont lf = dc.GetFont().GetLogFont();
        m_horizontalFont = Font(lf);
        lf.escapement = 900;
        lf.orientation = 900;
        m_rotatedFont = Font(lf);
        m_gridPen = Pen::Solid(m_unit, kGridColor);
    }

    const Font entryFont = dc.SelectFont(*m_horizontalFont);
    for (int edge = 0; edge < EdgeCount; ++edge)
        MeasureAxis(dc, static_cast<Edge>(edge));

    auto room = [this](Edge e) { return m_axis[e].tickRoom + m_axis[e].labelExtent + m_axis[e].titleExtent; };
    const Rect& frame = m_settings.frame;
    m_plot.left = frame.left + std::max({room(Left), m_axis[Top].minOverhang, m_axis[Bottom].minOverhang});
    m_plot.top = frame.top + std::max({room(Top), m_axis[Left].lastOverhang, m_axis[Right].lastOverhang});
    m_plot.right =
        frame.right - std::max({room(Right), m_axis[Top].lastOverhang, m_axis[Bottom].lastOverhang});
    m_plot.bottom =
        frame.bottom - std::max({room(Bottom), m_axis[Left].minOverhang, m_axis[Right].minOverhang});
    dc.SelectFont(entryFont);
}

void CGraphGrid::MeasureAxis(Canvas& dc, Edge edge)
{
    const uint32_t flags = Flags(edge);
    const bool xAxis = edge == Top || edge == Bottom;
    // Extents across the axis and along it; a rotated text swaps width and height.
    auto across = [xAxis](Size s, bool rotated) { return xAxis != rotated ? s.cy : s.cx; };
    auto along = [xAxis](Size s, bool rotated) { return xAxis != rotated ? s.cx : s.cy; };

    AxisMeasures m;
    const QString& title = xAxis ? m_settings.xTitle : m_settings.yTitle;
    if (HasTitle(flags) && !title.isEmpty())
        m.titleExtent = across(dc.GetTextExtent(title), flags & GRAPHAXIS_TITLE_ROTATED);

    if (HasLabels(flags))
    {
        const bool rotated = flags & GRAPHAXIS_LABELS_ROTATED;
        const double min = xAxis ? m_settings.xMin : m_settings.yMin;
        const double max = xAxis ? m_settings.xMax : m_settings.yMax;
        const double step = xAxis ? m_settings.xStep : m_settings.yStep;
        const QString& format = xAxis ? m_settings.xLabelFormat : m_settings.yLabelFormat;
        const std::vector<double> ticks = TickValues(min, max, step);
        for (double t : ticks)
            m.labelExtent =
                std::max(m.labelExtent, across(dc.GetTextExtent(FormatTickLabel(format, t)), rotated));
        m.minOverhang = along(dc.GetTextExtent(FormatTickLabel(format, min)), rotated) / 2;
        if (!ticks.empty())
            m.lastOverhang = along(dc.GetTextExtent(FormatTickLabel(format, ticks.back())), rotated) / 2;
    }

    if (flags & GRAPHAXIS_MAJOR_OUT)
        m.tickRoom = kMajorTick * m_unit;
    else if (flags & GRAPHAXIS_MINOR_OUT)
        m.tickRoom = kMinorTick * m_unit;
    m_axis[edge] = m;
}

double CGraphGrid::XToPixelF(double x) const
{
    return m_plot.left +
           (x - m_settings.xMin) * (m_plot.right - m_plot.left + 0.1) / (m_settings.xMax - m_settings.xMin) +
           0.5;
}

double CGraphGrid::YToPixelF(double y) const
{
    return m_plot.bottom -
           (y - m_settings.yMin) * (m_plot.bottom - m_plot.top + 0.1) / (m_settings.yMax - m_settings.yMin) +
           0.5;
}

int CGraphGrid::XToPixel(double x) const
{
    return TruncToInt(XToPixelF(x));
}

int CGraphGrid::YToPixel(double y) const
{
    return TruncToInt(YToPixelF(y));
}

void CGraphGrid::Draw(Canvas& dc)
{
    const Pen entryPen = dc.GetPen();
    const Font entryFont = dc.GetFont();
    const unsigned entryAlign = dc.GetTextAlign();
    const int entryBkMode = dc.SetBkMode(TRANSPARENT);

    Layout(dc);
    DrawGrid(dc);
    DrawHorizontalAxis(dc, Top);
    DrawHorizontalAxis(dc, Bottom);
    DrawXZeroLine(dc);
    DrawVerticalAxis(dc, Left);
    DrawVerticalAxis(dc, Right);
    DrawYZeroLine(dc);

    dc.SetTextAlign(entryAlign);
    dc.SelectFont(entryFont);
    dc.SelectPen(entryPen);
    dc.SetBkMode(entryBkMode);
}

void CGraphGrid::DrawGrid(Canvas& dc)
{
    const GRAPHSETTINGS& s = m_settings;
    const Pen entryPen = dc.SelectPen(m_gridPen);
    if (s.horizontalGrid)
    {
        const int x0 = XToPixel(s.xMin);
        const int x1 = XToPixel(s.xMax);
        for (double t : TickValues(s.yMin, s.yMax, s.yStep))
        {
            dc.MoveTo(x0, YToPixel(t));
            dc.LineTo(x1, YToPixel(t));
        }
    }
    if (s.verticalGrid)
    {
        const int y0 = YToPixel(s.yMin);
        const int y1 = YToPixel(s.yMax);
        for (double t : TickValues(s.xMin, s.xMax, s.xStep))
        {
            dc.MoveTo(XToPixel(t), y0);
            dc.LineTo(XToPixel(t), y1);
        }
    }
    dc.SelectPen(entryPen);
}

void CGraphGrid::DrawAxisLine(Canvas& dc, uint32_t flags, Point from, Point to)
{
    if (!(flags & (GRAPHAXIS_LINE | GRAPHAXIS_LINE_GRIDPEN)))
        return;
    std::optional<Pen> entryPen;
    if (flags & GRAPHAXIS_LINE_GRIDPEN)
        entryPen = dc.SelectPen(m_gridPen);
    dc.MoveTo(from.x, from.y);
    dc.LineTo(to.x, to.y);
    if (entryPen)
        dc.SelectPen(*entryPen);
}

void CGraphGrid::DrawHorizontalAxis(Canvas& dc, Edge edge)
{
    const GRAPHSETTINGS& s = m_settings;
    const uint32_t flags = Flags(edge);
    const int y = edge == Top ? YToPixel(s.yMax) : YToPixel(s.yMin);
    // Outwards is up for the top axis, down for the bottom one.
    const int out = edge == Top ? -1 : 1;

    DrawAxisLine(dc, flags, {XToPixel(s.xMin), y}, {XToPixel(s.xMax), y});

    const int majorOut = flags & GRAPHAXIS_MAJOR_OUT ? kMajorTick * m_unit : 0;
    const int majorIn = flags & GRAPHAXIS_MAJOR_IN ? kMajorTick * m_unit : 0;
    const int minorOut = flags & GRAPHAXIS_MINOR_OUT ? kMinorTick * m_unit : 0;
    const int minorIn = flags & GRAPHAXIS_MINOR_IN ? kMinorTick * m_unit : 0;
    const std::vector<double> ticks = TickValues(s.xMin, s.xMax, s.xStep);
    if (majorOut || majorIn)
        for (double t : ticks)
        {
            dc.MoveTo(XToPixel(t), y + out * majorOut);
            dc.LineTo(XToPixel(t), y - out * majorIn);
        }
    if (minorOut || minorIn)
        for (double t : TickValues(s.xMin, s.xMax, s.xHalfStep))
        {
            dc.MoveTo(XToPixel(t), y + out * minorOut);
            dc.LineTo(XToPixel(t), y - out * minorIn);
        }

    // Text across the axis is centred on its tick: by its width when horizontal, by its
    // height when rotated.
    auto place = [&](uint32_t rotatedFlag, double value, const QString& text, int at)
    {
        const bool rotated = flags & rotatedFlag;
        dc.SelectFont(rotated ? *m_rotatedFont : *m_horizontalFont);
        if (edge == Top)
            dc.SetTextAlign(rotated ? TA_LEFT | TA_TOP : TA_LEFT | TA_BOTTOM);
        else
            dc.SetTextAlign(rotated ? TA_RIGHT | TA_TOP : TA_LEFT | TA_TOP);
        const Size extent = dc.GetTextExtent(text);
        dc.TextOut(XToPixel(value) - (rotated ? extent.cy : extent.cx) / 2, at, text);
    };
    if (HasLabels(flags))
    {
        const int at = y + out * std::max(majorOut, minorOut);
        for (double t : ticks)
            place(GRAPHAXIS_LABELS_ROTATED, t, FormatTickLabel(s.xLabelFormat, t), at);
    }
    if (HasTitle(flags) && !s.xTitle.isEmpty())
    {
        const int at = y + out * (m_axis[edge].tickRoom + m_axis[edge].labelExtent);
        place(GRAPHAXIS_TITLE_ROTATED, (s.xMin + s.xMax) / 2, s.xTitle, at);
    }
}

void CGraphGrid::DrawVerticalAxis(Canvas& dc, Edge edge)
{
    const GRAPHSETTINGS& s = m_settings;
    const uint32_t flags = Flags(edge);
    const int x = edge == Left ? XToPixel(s.xMin) : XToPixel(s.xMax);
    // Outwards is left for the left axis, right for the right one.
    const int out = edge == Left ? -1 : 1;

    DrawAxisLine(dc, flags, {x, YToPixel(s.yMax)}, {x, YToPixel(s.yMin)});

    const int majorOut = flags & GRAPHAXIS_MAJOR_OUT ? kMajorTick * m_unit : 0;
    const int majorIn = flags & GRAPHAXIS_MAJOR_IN ? kMajorTick * m_unit : 0;
    const int minorOut = flags & GRAPHAXIS_MINOR_OUT ? kMinorTick * m_unit : 0;
    const int minorIn = flags & GRAPHAXIS_MINOR_IN ? kMinorTick * m_unit : 0;
    const std::vector<double> ticks = TickValues(s.yMin, s.yMax, s.yStep);
    if (majorOut || majorIn)
        for (double t : ticks)
        {
            dc.MoveTo(x + out * majorOut, YToPixel(t));
            dc.LineTo(x - out * majorIn, YToPixel(t));
        }
    if (minorOut || minorIn)
        for (double t : TickValues(s.yMin, s.yMax, s.yHalfStep))
        {
            dc.MoveTo(x + out * minorOut, YToPixel(t));
            dc.LineTo(x - out * minorIn, YToPixel(t));
        }

    // Text beside the axis is centred on its tick: by its height when horizontal, by its
    // width when rotated.
    auto place = [&](uint32_t rotatedFlag, double value, const QString& text, int at)
    {
        const bool rotated = flags & rotatedFlag;
        dc.SelectFont(rotated ? *m_rotatedFont : *m_horizontalFont);
        if (edge == Left)
            dc.SetTextAlign(rotated ? TA_RIGHT | TA_BOTTOM : TA_RIGHT | TA_TOP);
        else
            dc.SetTextAlign(rotated ? TA_RIGHT | TA_TOP : TA_LEFT | TA_TOP);
        const Size extent = dc.GetTextExtent(text);
        dc.TextOut(at, YToPixel(value) - (rotated ? extent.cx : extent.cy) / 2, text);
    };
    if (HasLabels(flags))
    {
        const int at = x + out * std::max(majorOut, minorOut);
        for (double t : ticks)
            place(GRAPHAXIS_LABELS_ROTATED, t, FormatTickLabel(s.yLabelFormat, t), at);
    }
    if (HasTitle(flags) && !s.yTitle.isEmpty())
    {
        const int at = x + out * (m_axis[edge].tickRoom + m_axis[edge].labelExtent);
        place(GRAPHAXIS_TITLE_ROTATED, (s.yMin + s.yMax) / 2, s.yTitle, at);
    }
}

void CGraphGrid::DrawXZeroLine(Canvas& dc)
{
    const GRAPHSETTINGS& s = m_settings;
    if (!(s.yMin < 0 && 0 < s.yMax))
        return;
    const uint32_t flags = s.xZeroLine;
    const int y = YToPixel(0);
    DrawAxisLine(dc, flags, {XToPixel(s.xMin), y}, {XToPixel(s.xMax), y});
    // Inwards is up here, outwards down.
    auto ticks = [&](double step, int length, uint32_t inFlag, uint32_t outFlag)
    {
        const int up = flags & inFlag ? length : 0;
        const int down = flags & outFlag ? length : 0;
        if (!up && !down)
            return;
        for (double t : TickValues(s.xMin, s.xMax, step))
        {
            dc.MoveTo(XToPixel(t), y - up);
            dc.LineTo(XToPixel(t), y + down);
        }
    };
    ticks(s.xStep, kMajorTick * m_unit, GRAPHAXIS_MAJOR_IN, GRAPHAXIS_MAJOR_OUT);
    ticks(s.xHalfStep, kMinorTick * m_unit, GRAPHAXIS_MINOR_IN, GRAPHAXIS_MINOR_OUT);
}

void CGraphGrid::DrawYZeroLine(Canvas& dc)
{
    const GRAPHSETTINGS& s = m_settings;
    if (!(s.xMin <= 0 && 0 <= s.xMax))
        return;
    const uint32_t flags = s.yZeroLine;
    const int x = XToPixel(0);
    DrawAxisLine(dc, flags, {x, YToPixel(s.yMax)}, {x, YToPixel(s.yMin)});
    // Inwards is right here, outwards left.
    auto ticks = [&](double step, int length, uint32_t inFlag, uint32_t outFlag)
    {
        const int right = flags & inFlag ? length : 0;
        const int left = flags & outFlag ? length : 0;
        if (!right && !left)
            return;
        for (double t : TickValues(s.yMin, s.yMax, step))
        {
            dc.MoveTo(x - left, YToPixel(t));
            dc.LineTo(x + right, YToPixel(t));
        }
    };
    ticks(s.yStep, kMajorTick * m_unit, GRAPHAXIS_MAJOR_IN, GRAPHAXIS_MAJOR_OUT);
    ticks(s.yHalfStep, kMinorTick * m_unit, GRAPHAXIS_MINOR_IN, GRAPHAXIS_MINOR_OUT);
}
