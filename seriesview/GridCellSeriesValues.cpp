// The two panels of the series cell that show the readings themselves: the bar graph and
// the list of values.
#include "document/ValueText.h"
#include "document/VeskDoc.h"
#include "measurement/MeasSeries1.h"
#include "measurement/MeasSeriesWrapper.h"
#include "measurement/ScaleCodes.h"
#include "measurement/SeriesSettings.h"
#include "platform/gui/Canvas.h"
#include "seriesview/ColorScheme.h"
#include "seriesview/GraphGrid.h"
#include "seriesview/GridCellSeries.h"

#include <algorithm>

using Platform::Brush;
using Platform::Canvas;
using Platform::Font;
using Platform::LogFont;
using Platform::Pen;
using Platform::Rect;
using Platform::Size;

namespace
{
// Filter of the readings the panels show: all but the excluded ones.
constexpr int kShownReadings = 1 | 4;

QString Number(int value)
{
    return QString::number(value);
}

QString Fixed(double value, int decimals)
{
    return QString::number(value, 'f', std::clamp(decimals, 0, 6));
}

// The readings of an indentation-tester probe are depths: a reading above the conversion's
// range is a shallow indent, so its converted value lies at the low end of the axis.
bool IsBench(CMeasSeries1& series)
{
    return series.GetProbeId().IsBenchProbe();
}
} // namespace

int CGridCellSeries::CompareValueAndIndex(const VALUEANDINDEX& a, const VALUEANDINDEX& b)
{
    if (a.nativeValue == b.nativeValue)
        return 0;
    const bool less = a.nativeValue < b.nativeValue;
    if (a.ascending)
        return less ? -1 : 1;
    return less ? 1 : -1;
}

std::vector<CGridCellSeries::VALUEANDINDEX> CGridCellSeries::SortedRecords(CMeasSeries1& series) const
{
    const int count = ShownReadingCount(&series);
    const uint8_t ascending = IsBench(series) ? 0 : 1;
    std::vector<VALUEANDINDEX> records(size_t(std::max(count, 0)));
    for (int i = 0; i < count; ++i)
    {
        VALUEANDINDEX& r = records[size_t(i)];
        r.value = series.GetReading(i, nullptr, nullptr, kShownReadings);
        r.nativeValue = series.GetNativeValue(i, kShownReadings);
        r.number = i + 1;
        r.ascending = ascending;
    }
    // Stable, so that equal values keep their measurement order on every draw.
    std::stable_sort(records.begin(), records.end(),
                     [](const VALUEANDINDEX& a, const VALUEANDINDEX& b)
                     { return CompareValueAndIndex(a, b) < 0; });
    return records;
}

bool CGridCellSeries::OrderedByValue()
{
    return m_document->ResolveSeriesValueOrder(m_seriesIndex) == ValueOrder::kByValue;
}

CGridCellSeries::ShownReading CGridCellSeries::ReadingAt(CMeasSeries1& series,
                                                         const std::vector<VALUEANDINDEX>& sorted,
                                                         bool byValue, int position) const
{
    ShownReading r;
    if (byValue)
    {
        const VALUEANDINDEX& record = sorted[size_t(position)];
        r.value = float(record.value);
        r.number = record.number;
        r.index = record.number - 1;
    }
    else
    {
        r.value = series.GetReading(position, nullptr, nullptr, kShownReadings);
        r.number = position + 1;
        r.index = position;
    }
    r.value = ToShown(r.value);
    return r;
}

float CGridCellSeries::ToShown(float value) const
{
    if (m_showMils)
        MicronsToMils(value);
    return value;
}

void CGridCellSeries::DrawLink(Canvas& dc, const Fonts& fonts, int x, int y, const QString& text, int link,
                               bool bold, bool registerArea)
{
    const bool hovered = m_hoveredLink == link;
    const Font old = dc.SelectFont(bold ? (hovered ? fonts.boldUnderline : fonts.bold)
                                        : (hovered ? fonts.underline : fonts.normal));
    const Platform::ColorRef oldColor = dc.SetTextColor(m_linkColor);
    dc.TextOut(x, y, text);
    m_hitAreas.AddTextArea(dc, x, y, text, 0, SERIESHIT_LINK, link, std::nullopt,
                           registerArea && m_reallyPaint);
    dc.SetTextColor(oldColor);
    dc.SelectFont(old);
}

Size CGridCellSeries::DrawBarGraph(Canvas& dc, int x, int y, int width, int height, int offset, int count,
                                   bool measureOnly)
{
    CMeasSeriesWrapper* entry = Entry();
    CMeasSeries1* series = Series();
    if (!entry || !series)
        return {};
    const Fonts& fonts = SharedFonts(dc);
    const int margin = m_margin;
    const int decimals = m_document->GetSeriesDecimals(m_seriesIndex, 0);
    const bool byValue = OrderedByValue();
    const bool bench = IsBench(*series);
    const int total = ShownReadingCount();
    const int n = std::max(0, std::min(count, total - offset));

    const Font oldFont = dc.SelectFont(fonts.bold);
    const Pen oldPen = dc.GetPen();
    const Brush oldBrush = dc.GetBrush();
    const unsigned oldAlign = dc.GetTextAlign();

    // Title and order link. The link's width counts also when only measuring, so that a
    // measured graph is as wide as the painted one.
    QString title = QStringLiteral("Bar graph");
    if (offset != 0)
        title += QStringLiteral(" (continued)");
    title += QLatin1Char(' ');
    const QString link =
        byValue ? QStringLiteral("[ordered by value]") : QStringLiteral("[measurement order]");
    const Size titleSize = dc.GetTextExtent(title);
    int tw = titleSize.cx;
    if (n > 1)
    {
        dc.SelectFont(m_hoveredLink == LINK_ORDER ? fonts.boldUnderline : fonts.bold);
        tw += dc.GetTextExtent(link).cx;
        dc.SelectFont(fonts.bold);
    }
    if (!measureOnly)
    {
        dc.TextOut(x + margin, y + margin, title);
        if (n > 1)
            DrawLink(dc, fonts, x + margin + titleSize.cx, y + margin, link, LINK_ORDER, true, true);
    }
    const int y1 = y + margin + int(1.2 * titleSize.cy);

    dc.SelectFont(fonts.normal);
    dc.SelectPen(Pen::Solid(1, 0));

    // Bars and gaps shrink until they fit beside the axis.
    int bw = 24;
    int g = 2;
    while (n * bw + (n + 2) * g > width - 2 * margin - 30 && bw > 0)
    {
        --bw;
        g = bw < 24 ? 1 : 2;
    }
    const int barsWidth = n * bw + (n + 2) * g;

    // The label font: the normal font, made smaller until "55.5" fits over a bar.
    LogFont lf = fonts.normal.GetLogFont();
    Font labelFont;
    int labelWidth = 0;
    do
    {
        labelFont = Font(lf);
        dc.SelectFont(labelFont);
        lf.height += 1;
        labelWidth = dc.GetTextExtent(u"55.5").cx;
    } while (labelWidth > bw && lf.height < 0);
    dc.SelectFont(fonts.normal);
    const int dh = dc.GetTextExtent(u"5").cy;

    float rmin = 0;
    float rmax = 0;
    series->GetConvTargetRange(rmin, rmax, true);
    rmin = ToShown(rmin);
    rmax = ToShown(rmax);
    // A series without a conversion has no target range: scale the axis to the readings,
    // so that the axis has a length at all.
    if (!(rmax > 0))
    {
        rmax = 0;
        for (int i = 0; i < total; ++i)
        {
            const float v = ToShown(series->GetReading(i, nullptr, nullptr, kShownReadings));
            if (IsValidValue(v))
                rmax = std::max(rmax, v);
        }
        if (!(rmax > 0))
            rmax = 1;
        rmin = std::min(rmin, 0.0f);
    }

    GRAPHSETTINGS gs;
    gs.xMin = 0;
    gs.xMax = 10;
    gs.yMin = 0;
    gs.yMax = rmax;
    gs.topAxis = 0;
    gs.bottomAxis = 0;
    gs.leftAxis = 305;
    gs.rightAxis = 0;
    gs.xZeroLine = 0;
    gs.yZeroLine = 0;
    gs.horizontalGrid = 0;
    gs.verticalGrid = 0;
    gs.frame = {0, 0, 100, height - 2 * margin - dh};
    gs.FitToDC(dc, true, true);
    gs.yHalfStep = gs.yStep;
    CGraphGrid grid;
    grid.SetSettings(dc, gs);
    const int pl = grid.GetPlotRect().left;

    const Size size{2 * margin + std::max(tw, pl + 4 + barsWidth), height};
    if (measureOnly)
    {
        dc.SelectFont(oldFont);
        dc.SelectPen(oldPen);
        return size;
    }

    gs.xMin = -0.5;
    gs.xMax = n + 0.5;
    gs.yMin = 0;
    gs.yMax = rmax;
    gs.frame = {x + margin, y1 + margin, x + margin + pl + barsWidth, y + height - margin - dh};
    gs.FitToDC(dc, true, true);
    gs.yHalfStep = gs.yStep;
    grid.SetSettings(dc, gs);
    grid.Draw(dc);
    const Rect plot = grid.GetPlotRect();

    dc.MoveTo(plot.left, plot.bottom);
    dc.LineTo(plot.left + barsWidth + 4, plot.bottom);

    SSeriesSettings settings;
    series->GetSettings(settings);
    const bool upperOn = IsValidValue(settings.upperLimit);
    const bool lowerOn = IsValidValue(settings.lowerLimit);
    const float upper = upperOn ? ToShown(settings.upperLimit) : rmax;
    const float lower = lowerOn ? ToShown(settings.lowerLimit) : 0.0f;
    if (upperOn || lowerOn)
    {
        const int yu = grid.YToPixel(upper);
        const int yl = grid.YToPixel(lower);
        dc.FillSolidRect({plot.left + 3, yu, plot.right + 3, yl}, CColorScheme::kToleranceBand);
        dc.SelectPen(Pen::Solid(1, CColorScheme::kLimitLine));
        dc.MoveTo(plot.left + 3, yu);
        dc.LineTo(plot.right + 3, yu);
        dc.MoveTo(plot.left + 3, yl);
        dc.LineTo(plot.right + 3, yl);
        dc.SelectPen(Pen::Solid(1, 0));
    }

    const int yMean = grid.YToPixel(ToShown(series->GetMean()));
    dc.MoveTo(plot.left - 2, yMean);
    dc.LineTo(plot.left + 4, yMean);

    const int lastNumber = offset + n - 1;
    const int q = int(1.3 * dc.GetTextExtent(Number(lastNumber)).cx) / (bw + g);

    dc.SelectFont(labelFont);
    dc.SetTextAlign(Platform::TA_CENTER | Platform::TA_BASELINE);
    const std::vector<VALUEANDINDEX> sorted = byValue ? SortedRecords(*series) : std::vector<VALUEANDINDEX>{};

    QString scaleShort;
    QString scaleLong;
    series->GetTargetScaleNames(scaleShort, scaleLong, m_imperial);
    const int probeCode = series->GetProbeId().code;
    const QString directionLabel =
        bench ? QStringLiteral("Diameter correction") : QStringLiteral("Direction");

    int xk = plot.left + 4 + g;
    for (int k = 1; k <= n; ++k, xk += bw + g)
    {
        const ShownReading reading = ReadingAt(*series, sorted, byValue, offset + k - 1);
        float v = reading.value;
        const bool valid = IsValidValue(v);

        const QString tipTitle = QStringLiteral("Measurement number %1").arg(reading.number);
        QString tipText;
        if (valid)
        {
            tipText = FormatValue(v, decimals) + QLatin1Char(' ') + scaleShort;
        }
        else
        {
            QString nativeShort;
            QString nativeLong;
            GetScaleNames(probeCode, nativeShort, nativeLong, m_imperial);
            const int nativeDecimals = GetScaleDecimals(probeCode, m_imperial);
            float sourceMin = 0;
            float sourceMax = 0;
            series->GetConvSourceRange(sourceMin, sourceMax);
            const float native = series->GetNativeValue(reading.index, kShownReadings);
            tipText =
                QStringLiteral("Measurement out of range for converting to %1 scale.\r\nValid range: %2\r\n"
                               "This measurement: %3")
                    .arg(scaleShort,
                         Fixed(sourceMin, nativeDecimals) + QStringLiteral(" ... ") +
                             Fixed(sourceMax, nativeDecimals) + QLatin1Char(' ') + nativeShort,
                         Fixed(native, nativeDecimals) + QLatin1Char(' ') + nativeShort);
        }
        tipText += QStringLiteral("\n") + directionLabel + QStringLiteral(": ") +
                   (bench ? entry->GetReadingDiameterText(reading.index, m_imperial, false)
                          : entry->GetReadingDirectionText(reading.index, false));
        const QString label = valid ? FormatValue(v, decimals) : QStringLiteral("--");

        // Out-of-range bars reach the end of the range they left; a reading without any
        // value has no height.
        if (v == MEAS_ABOVE_RANGE)
            v = bench ? rmin : rmax;
        else if (v == MEAS_BELOW_RANGE)
            v = bench ? rmax : rmin;
        else if (v == MEAS_NO_VALUE)
            v = 0;
        const Rect bar{xk, grid.YToPixel(v), xk + bw, plot.bottom};

        const bool inside = valid && lower <= v && v <= upper;
        const bool hovered = m_hoveredReading == reading.index;
        const Platform::ColorRef color =
            inside ? (hovered ? CColorScheme::kBarInsideHover : CColorScheme::kBarInside)
                   : (hovered ? CColorScheme::kBarOutsideHover : CColorScheme::kBarOutside);
        dc.SelectBrush(Brush::Solid(color));
        dc.SelectPen(Pen::Solid(1, color));
        dc.Rectangle(bar);

        if (m_reallyPaint)
            AddTipZone(&bar, tipTitle, tipText);
        m_hitAreas.Add(bar, 0, SERIESHIT_BAR, reading.index, std::nullopt, m_reallyPaint);

        const int centre = (bar.left + bar.right) / 2 + 1;
        dc.TextOut(centre, bar.top - 3, label);

        if (!byValue && k % (q + 1) == 0)
        {
            dc.SelectFont(fonts.normal);
            dc.SetTextAlign(Platform::TA_CENTER | Platform::TA_TOP);
            dc.TextOut(centre, plot.bottom + 3, Number(reading.number));
            dc.SetTextAlign(Platform::TA_CENTER | Platform::TA_BASELINE);
            dc.SelectFont(labelFont);
        }
    }

    dc.SetTextAlign(oldAlign);
    dc.SelectFont(oldFont);
    dc.SelectBrush(oldBrush);
    dc.SelectPen(oldPen);
    return size;
}

Size CGridCellSeries::DrawValueList(Canvas& dc, int x, int y, int height, int offset, int count,
                                    bool measureOnly)
{
    CMeasSeries1* series = Series();
    if (!series)
        return {};
    const Fonts& fonts = SharedFonts(dc);
    const int margin = m_margin;
    const int decimals = m_document->GetSeriesDecimals(m_seriesIndex, 0);
    const bool byValue = OrderedByValue();
    const int total = ShownReadingCount();
    const int n = std::max(0, std::min(count, total - offset));
    int xs = x + margin;
    const int ys = y + margin;

    const Font oldFont = dc.SelectFont(fonts.bold);
    QString title = QStringLiteral("Measurements");
    if (offset != 0)
        title += QStringLiteral(" (continued)");
    title += QLatin1Char(' ');
    const Size titleSize = dc.GetTextExtent(title);
    int tw = titleSize.cx;
    if (!measureOnly)
    {
        dc.TextOut(xs, ys, title);
        m_hitAreas.AddTextArea(dc, xs, ys, title, 0, SERIESHIT_LISTTITLE, 0, std::nullopt, m_reallyPaint);
    }
    if (!series->AreAllIncluded())
    {
        const QString link = QStringLiteral("[Undelete]");
        dc.SelectFont(m_hoveredLink == LINK_UNDELETE ? fonts.boldUnderline : fonts.bold);
        tw += dc.GetTextExtent(link).cx;
        dc.SelectFont(fonts.bold);
        if (!measureOnly)
            DrawLink(dc, fonts, xs + titleSize.cx, ys, link, LINK_UNDELETE, true, true);
    }

    const int r0 = ys + int(1.2 * titleSize.cy);
    dc.SelectFont(fonts.normal);

    float rmin = 0;
    float rmax = 0;
    series->GetConvTargetRange(rmin, rmax, true);
    rmax = ToShown(rmax);
    const int vw = std::max(dc.GetTextExtent(Fixed(rmax, decimals)).cx,
                            dc.GetTextExtent(FormatValue(MEAS_BELOW_RANGE, decimals)).cx);
    const Size nineSize = dc.GetTextExtent(u"9999");
    const int nw = nineSize.cx;
    const int rh = nineSize.cy;

    const std::vector<VALUEANDINDEX> sorted = byValue ? SortedRecords(*series) : std::vector<VALUEANDINDEX>{};
    const Pen oldPen = dc.GetPen();
    const Brush oldBrush = dc.GetBrush();
    dc.SetTextAlign(Platform::TA_RIGHT);
    int top = r0;
    int lowest = r0;
    bool columnUsed = false;
    for (int i = 0; i < n; ++i)
    {
        const ShownReading reading = ReadingAt(*series, sorted, byValue, offset + i);
        // A row that would reach into the bottom margin starts the next column; a column
        // takes at least one row, so that a low panel still lists every value.
        if (columnUsed && top + rh + margin > y + height)
        {
            top = r0;
            xs += 24 + vw + nw;
        }
        columnUsed = true;
        if (!measureOnly)
        {
            const Rect row{xs - 8, top, xs + nw + 2 + vw + 12, top + rh};
            if (m_hoveredReading == reading.index)
            {
                dc.SelectBrush(Brush::Solid(CColorScheme::kRowHoverFill));
                dc.SelectPen(Pen::Solid(1, CColorScheme::kRowHoverFrame));
                dc.Rectangle(row);
            }
            m_hitAreas.Add(row, 0, SERIESHIT_VALUE, reading.index, std::nullopt, m_reallyPaint);
            dc.TextOut(xs + nw, top, Number(reading.number));
            dc.TextOut(xs + nw + 2 + vw, top, FormatValue(reading.value, decimals));
        }
        top += rh;
        lowest = std::max(lowest, top);
    }
    dc.SetTextAlign(Platform::TA_LEFT | Platform::TA_TOP);
    dc.SelectPen(oldPen);
    dc.SelectBrush(oldBrush);
    dc.SelectFont(oldFont);

    const int width = 2 * margin + std::max(tw + 2 * margin, (xs - x) + margin + nw + 2 + vw);
    return {width, lowest - y + margin};
}
