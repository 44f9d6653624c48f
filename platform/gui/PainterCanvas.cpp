#include "platform/gui/PainterCanvas.h"

#include <QGuiApplication>
#include <QPaintDevice>
#include <QPolygon>
#include <QWidget>

#include <cmath>
#include <cstdlib>

namespace Platform
{
namespace
{

QColor ToQColor(ColorRef c)
{
    return QColor(RValue(c), GValue(c), BValue(c));
}

} // namespace

bool CanMeasureText()
{
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

PainterCanvas::PainterCanvas(QPainter& painter, const QRect& deviceBounds, const QRegion& systemClip,
                             bool printing)
    : Canvas(deviceBounds, systemClip), m_painter(painter), m_printing(printing)
{
    m_painter.resetTransform();
    m_painter.setRenderHint(QPainter::Antialiasing, false);
    m_painter.setRenderHint(QPainter::TextAntialiasing, true);
}

PainterCanvas::~PainterCanvas() = default;

int PainterCanvas::GetDeviceCaps(int index) const
{
    const QPaintDevice* device = m_painter.device();
    if (device && (index == LOGPIXELSX || index == LOGPIXELSY))
        return index == LOGPIXELSX ? device->logicalDpiX() : device->logicalDpiY();
    return Canvas::GetDeviceCaps(index);
}

void PainterCanvas::Prepare()
{
    if (!m_clipDirty)
        return;
    m_clipDirty = false;
    m_painter.setClipRegion(EffectiveClip());
}

const QFontMetrics& PainterCanvas::Metrics()
{
    const Font& font = GetFont();
    const double scale = std::abs(ScaleY());
    if (!m_metrics || m_fontKey != font.Key() || m_fontScale != scale)
    {
        m_fontKey = font.Key();
        m_fontScale = scale;
        m_qfont = font.ToQFont(scale);
        m_metrics.emplace(m_qfont, m_painter.device());
    }
    return *m_metrics;
}

Size PainterCanvas::GetTextExtent(QStringView text)
{
    const QFontMetrics& fm = Metrics();
    const int width = text.isEmpty() ? 0 : fm.horizontalAdvance(text.toString());
    const int height = fm.ascent() + fm.descent();
    if (GetMapMode() == MM_TEXT)
        return {width, height};
    return {static_cast<int>(std::lround(width / std::abs(ScaleX()))),
            static_cast<int>(std::lround(height / std::abs(ScaleY())))};
}

TextMetrics PainterCanvas::GetTextMetrics()
{
    const QFontMetrics& fm = Metrics();
    const double sy = GetMapMode() == MM_TEXT ? 1.0 : std::abs(ScaleY());
    const double sx = GetMapMode() == MM_TEXT ? 1.0 : std::abs(ScaleX());
    TextMetrics tm;
    tm.ascent = static_cast<int>(std::lround(fm.ascent() / sy));
    tm.descent = static_cast<int>(std::lround(fm.descent() / sy));
    tm.height = static_cast<int>(std::lround((fm.ascent() + fm.descent()) / sy));
    tm.aveCharWidth = static_cast<int>(std::lround(fm.averageCharWidth() / sx));
    return tm;
}

void PainterCanvas::DeviceFill(const QRect& rect, ColorRef color)
{
    Prepare();
    m_painter.fillRect(rect, ToQColor(color));
}

void PainterCanvas::DeviceLine(Point from, Point to, const Pen& pen)
{
    Prepare();
    const int width = DevicePenWidth(pen);
    const QColor color = ToQColor(pen.color);
    if (width > 1)
    {
        QPen qpen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        m_painter.setPen(qpen);
        m_painter.setBrush(Qt::NoBrush);
        m_painter.drawLine(QPoint(from.x, from.y), QPoint(to.x, to.y));
        return;
    }
    if (from == to)
        return;
    // One pixel wide, end point excluded.
    if (from.y == to.y)
    {
        const int x0 = from.x < to.x ? from.x : to.x + 1;
        m_painter.fillRect(QRect(x0, from.y, std::abs(to.x - from.x), 1), color);
        return;
    }
    if (from.x == to.x)
    {
        const int y0 = from.y < to.y ? from.y : to.y + 1;
        m_painter.fillRect(QRect(from.x, y0, 1, std::abs(to.y - from.y)), color);
        return;
    }
    QPolygon points;
    int x = from.x;
    int y = from.y;
    const int dx = std::abs(to.x - x);
    const int dy = -std::abs(to.y - y);
    const int sx = x < to.x ? 1 : -1;
    const int sy = y < to.y ? 1 : -1;
    int err = dx + dy;
    while (x != to.x || y != to.y)
    {
        points << QPoint(x, y);
        const int e2 = 2 * err;
        if (e2 >= dy)
        {
            err += dy;
            x += sx;
        }
        if (e2 <= dx)
        {
            err += dx;
            y += sy;
        }
    }
    m_painter.setPen(QPen(color, 1));
    m_painter.drawPoints(points);
}

void PainterCanvas::DevicePolygon(const std::vector<Point>& points, const Brush& brush)
{
    Prepare();
    QPolygon polygon;
    for (const Point& p : points)
        polygon << QPoint(p.x, p.y);
    m_painter.setPen(Qt::NoPen);
    m_painter.setBrush(ToQColor(brush.color));
    m_painter.drawPolygon(polygon, Qt::OddEvenFill);
    m_painter.setBrush(Qt::NoBrush);
}

void PainterCanvas::DeviceInvert(const QRect& rect)
{
    Prepare();
    const QPainter::CompositionMode mode = m_painter.compositionMode();
    m_painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    m_painter.fillRect(rect, Qt::white);
    m_painter.setCompositionMode(mode);
}

void PainterCanvas::DeviceText(Point reference, QStringView text)
{
    Prepare();
    const QFontMetrics& fm = Metrics();
    const QString s = text.toString();
    const int width = fm.horizontalAdvance(s);
    const int ascent = fm.ascent();
    const int descent = fm.descent();
    const unsigned align = GetTextAlign();
    int dx = 0;
    if ((align & TA_CENTER) == TA_CENTER)
        dx = -width / 2;
    else if (align & TA_RIGHT)
        dx = -width;
    int baseline = ascent;
    if ((align & TA_BASELINE) == TA_BASELINE)
        baseline = 0;
    else if (align & TA_BOTTOM)
        baseline = -descent;

    m_painter.save();
    m_painter.translate(reference.x, reference.y);
    const int escapement = GetFont().GetLogFont().escapement;
    if (escapement != 0)
        m_painter.rotate(-escapement / 10.0);
    if (GetBkMode() == OPAQUE)
        m_painter.fillRect(QRect(dx, baseline - ascent, width, ascent + descent), ToQColor(GetBkColor()));
    m_painter.setFont(m_qfont);
    m_painter.setPen(ToQColor(GetTextColor()));
    m_painter.drawText(QPoint(dx, baseline), s);
    m_painter.restore();
}

void PainterCanvas::DeviceImage(const QRect& target, const QImage& image, double opacity)
{
    Prepare();
    const double old = m_painter.opacity();
    m_painter.setOpacity(opacity);
    if (target.size() == image.size())
        m_painter.drawImage(target.topLeft(), image);
    else
        m_painter.drawImage(target, image);
    m_painter.setOpacity(old);
}

void PainterCanvas::DeviceSmoothStroke(const QPainterPath& path, ColorRef color, double width)
{
    Prepare();
    m_painter.save();
    m_painter.setRenderHint(QPainter::Antialiasing, true);
    // Qt puts pixel centres at half coordinates; the curves expect them on whole ones.
    m_painter.translate(0.5, 0.5);
    m_painter.setPen(QPen(ToQColor(color), width, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    m_painter.setBrush(Qt::NoBrush);
    m_painter.drawPath(path);
    m_painter.restore();
}

ImageCanvas::PainterHolder::PainterHolder(QImage* target) : image(target), painter(target)
{
}

ImageCanvas::PainterHolder::PainterHolder(QSize ownSize)
    : owned(ownSize, QImage::Format_RGB32), image(&owned), painter(&owned)
{
}

ImageCanvas::ImageCanvas(QImage& image) : ImageCanvas(std::make_unique<PainterHolder>(&image))
{
}

ImageCanvas::ImageCanvas(std::unique_ptr<PainterHolder> holder)
    : PainterCanvas(holder->painter, holder->image->rect(), QRegion(holder->image->rect()), false),
      m_holder(std::move(holder))
{
}

ImageCanvas::~ImageCanvas() = default;

WidgetCanvas::PainterHolder::PainterHolder(QWidget* widget) : painter(widget)
{
}

WidgetCanvas::WidgetCanvas(QWidget* widget, const QRegion& paintRegion)
    : WidgetCanvas(std::make_unique<PainterHolder>(widget), widget, paintRegion)
{
}

WidgetCanvas::WidgetCanvas(std::unique_ptr<PainterHolder> holder, QWidget* widget, const QRegion& paintRegion)
    : PainterCanvas(holder->painter, widget->rect(), paintRegion, false), m_holder(std::move(holder))
{
}

WidgetCanvas::~WidgetCanvas() = default;

MeasureCanvas::MeasureCanvas() : ImageCanvas(std::make_unique<PainterHolder>(QSize(1, 1)))
{
}

} // namespace Platform
