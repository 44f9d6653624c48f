#include "seriesview/SignalPlot.h"

#include "measurement/Resolution.h"
#include "platform/gui/Canvas.h"
#include "seriesview/GraphGrid.h"

#include <vector>

using namespace Platform;

namespace
{
constexpr ColorRef kBandFill = Rgb(180, 180, 180);
constexpr ColorRef kBandFrame = Rgb(120, 120, 120);
constexpr ColorRef kCurveColor = Rgb(0, 0, 255);
constexpr ColorRef kMarkColor = Rgb(255, 0, 0);
constexpr double kCurveWidth = 1.6;
constexpr double kMarkWidth = 3.0;
constexpr int kMarkRadius = 20;
constexpr int kTitleFontHeight = -26;
constexpr int kTitleOffset = 12;
} // namespace

Font SignalFont(int height)
{
    LogFont lf;
    lf.height = height;
    lf.weight = 400;
    lf.faceName = QStringLiteral("Tahoma");
    return Font(lf);
}

double SampleDepth(uint16_t sample, bool imperial)
{
    return ConvertMicronsToMilsDouble(sample / 100.0, imperial ? 1 : 0);
}

Rect TitleBandRect(Canvas& dc, const Rect& client, const QString& title)
{
    const Font entry = dc.SelectFont(SignalFont(kTitleFontHeight));
    const int height = dc.GetTextExtent(title).cy;
    dc.SelectFont(entry);
    return {client.left, client.top + 5, client.right, client.top + 5 + 2 * height};
}

void DrawTitleBand(Canvas& dc, const Rect& band, const QString& title)
{
    dc.SelectFont(SignalFont(kTitleFontHeight));
    dc.FillSolidRect(band, kBandFill);
    const int width = dc.GetTextExtent(title).cx;
    dc.TextOut(band.left + (band.Width() - width) / 2, band.top + kTitleOffset, title);
    dc.FrameRect(band, Brush::Solid(kBandFrame));
}

void DrawSignalCurve(Canvas& dc, const CGraphGrid& grid, std::span<const uint16_t> samples, bool imperial)
{
    std::vector<PointF> points;
    points.reserve(samples.size());
    for (size_t i = 0; i < samples.size(); ++i)
        points.push_back(
            {grid.XToPixelF(i / kSamplesPerSecond), grid.YToPixelF(SampleDepth(samples[i], imperial))});
    dc.SmoothPolyline(points.data(), static_cast<int>(points.size()), kCurveColor, kCurveWidth);
}

void DrawSampleMark(Canvas& dc, const CGraphGrid& grid, std::span<const uint16_t> samples, int index,
                    bool imperial)
{
    if (index < 0 || static_cast<size_t>(index) >= samples.size())
        return;
    const int x = grid.XToPixel(index / kSamplesPerSecond);
    const int y = grid.YToPixel(SampleDepth(samples[index], imperial));
    dc.SmoothEllipse({x - kMarkRadius, y - kMarkRadius, x + kMarkRadius, y + kMarkRadius}, kMarkColor,
                     kMarkWidth);
}
