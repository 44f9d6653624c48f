#pragma once
#include "platform/gui/Canvas.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <memory>
#include <optional>

class QPaintDevice;
class QWidget;

namespace Platform
{

// A canvas that draws with a QPainter the caller has begun on a widget, an image or a
// printer. The painter is used in device pixels without a transform or anti-aliasing;
// the canvas applies the mapping and the pixel rules itself.
class PainterCanvas : public Canvas
{
public:
    PainterCanvas(QPainter& painter, const QRect& deviceBounds, const QRegion& systemClip, bool printing);
    ~PainterCanvas() override;

    bool IsPrinting() const override { return m_printing; }
    int GetDeviceCaps(int index) const override;
    Size GetTextExtent(QStringView text) override;
    TextMetrics GetTextMetrics() override;

protected:
    void DeviceFill(const QRect& rect, ColorRef color) override;
    void DeviceLine(Point from, Point to, const Pen& pen) override;
    void DevicePolygon(const std::vector<Point>& points, const Brush& brush) override;
    void DeviceInvert(const QRect& rect) override;
    void DeviceText(Point reference, QStringView text) override;
    void DeviceImage(const QRect& target, const QImage& image, double opacity) override;
    void DeviceSmoothStroke(const QPainterPath& path, ColorRef color, double width) override;
    void ClipChanged() override { m_clipDirty = true; }

private:
    void Prepare();
    const QFontMetrics& Metrics();

    QPainter& m_painter;
    bool m_printing;
    bool m_clipDirty = true;
    // Last font used, by its shared description and the scale it was made for.
    const void* m_fontKey = nullptr;
    double m_fontScale = 0;
    QFont m_qfont;
    std::optional<QFontMetrics> m_metrics;
};

// A canvas over an image it paints on; the image must outlive it.
class ImageCanvas : public PainterCanvas
{
public:
    explicit ImageCanvas(QImage& image);
    ~ImageCanvas() override;

protected:
    // Built before the base class, which keeps a reference to its painter.
    struct PainterHolder
    {
        explicit PainterHolder(QImage* target);
        explicit PainterHolder(QSize ownSize);
        QImage owned;
        QImage* image;
        QPainter painter;
    };
    explicit ImageCanvas(std::unique_ptr<PainterHolder> holder);

private:
    std::unique_ptr<PainterHolder> m_holder;
};

// A canvas for a widget's paint event: clipped to the region the event asks for.
class WidgetCanvas : public PainterCanvas
{
public:
    WidgetCanvas(QWidget* widget, const QRegion& paintRegion);
    ~WidgetCanvas() override;

private:
    struct PainterHolder
    {
        explicit PainterHolder(QWidget* widget);
        QPainter painter;
    };
    WidgetCanvas(std::unique_ptr<PainterHolder> holder, QWidget* widget, const QRegion& paintRegion);
    std::unique_ptr<PainterHolder> m_holder;
};

// A canvas that only measures text, like a memory device context made for no device: the
// screen's font metrics without a surface. Needs a running GUI application.
class MeasureCanvas : public ImageCanvas
{
public:
    MeasureCanvas();
};

// True when a GUI application runs, so that fonts can be measured.
bool CanMeasureText();

} // namespace Platform
