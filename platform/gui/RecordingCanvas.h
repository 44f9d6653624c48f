#pragma once
#include "platform/gui/Canvas.h"

#include <vector>

namespace Platform
{

// One drawing call as a recording canvas saw it, in logical coordinates, with the
// attributes that were in effect.
struct CanvasOp
{
    enum class Kind
    {
        Line,
        Polyline,
        Polygon,
        Rectangle,
        FillRect,
        FrameRect,
        InvertRect,
        TextOut,
        DrawText,
        // One laid-out line of a DrawText call, at its top-left corner.
        TextLine,
        GradientFill,
        BitBlt,
        AlphaBlend,
        SmoothPolyline,
        SmoothEllipse,
    };

    Kind kind = Kind::Line;
    std::vector<Point> points;
    // The points of a smooth polyline.
    std::vector<PointF> pointsF;
    // The vertex colours of a gradient.
    std::vector<ColorRef> colors;
    Rect rect;
    QString text;
    unsigned format = 0;
    // The fill colour of FillRect and FrameRect, the first colour of a gradient, the
    // constant alpha of AlphaBlend, the pen colour of a smooth stroke.
    ColorRef color = 0;
    int mode = 0;
    // The pen width of a smooth stroke.
    double width = 0;
    Pen pen;
    Brush brush;
    ColorRef textColor = 0;
    ColorRef bkColor = 0;
    int bkMode = 0;
    unsigned textAlign = 0;
    LogFont font;
    Rect clipBox;
};

// A canvas that draws nothing and records every call, for exact tests of drawing code.
// Text has fixed-width metrics: every character is charWidth wide and every line
// lineHeight high, whatever the font.
class RecordingCanvas : public Canvas
{
public:
    explicit RecordingCanvas(const Rect& bounds = {0, 0, 2000, 2000}, int charWidth = 6, int lineHeight = 12,
                             bool printing = false);

    bool IsPrinting() const override { return m_printing; }
    Size GetTextExtent(QStringView text) override;
    TextMetrics GetTextMetrics() override;

    void LineTo(int x, int y) override;
    void Polyline(const Point* points, int count) override;
    void Polygon(const Point* points, int count) override;
    void Rectangle(const Rect& rect) override;
    void FillRect(const Rect& rect, const Brush& brush) override;
    void FrameRect(const Rect& rect, const Brush& brush) override;
    void InvertRect(const Rect& rect) override;
    void TextOut(int x, int y, QStringView text) override;
    int DrawText(QStringView text, Rect* rect, unsigned format) override;
    void GradientFill(const TriVertex* vertices, int vertexCount, const int* mesh, int meshCount,
                      int mode) override;
    void BitBlt(int x, int y, int width, int height, const QImage& source, int srcX, int srcY) override;
    void AlphaBlend(int x, int y, int width, int height, const QImage& source, int constantAlpha) override;
    void SmoothPolyline(const PointF* points, int count, ColorRef color, double width) override;
    void SmoothEllipse(const Rect& bounds, ColorRef color, double width) override;

    const std::vector<CanvasOp>& Ops() const { return m_ops; }
    std::vector<CanvasOp> OpsOf(CanvasOp::Kind kind) const;
    void Clear() { m_ops.clear(); }

protected:
    void DeviceFill(const QRect&, ColorRef) override {}
    void DeviceLine(Point, Point, const Pen&) override {}
    void DevicePolygon(const std::vector<Point>&, const Brush&) override {}
    void DeviceInvert(const QRect&) override {}
    void DeviceText(Point, QStringView) override {}
    void DeviceImage(const QRect&, const QImage&, double) override {}
    void DrawTextLine(int x, int y, QStringView text) override;

private:
    CanvasOp& Record(CanvasOp::Kind kind);

    int m_charWidth;
    int m_lineHeight;
    bool m_printing;
    std::vector<CanvasOp> m_ops;
};

} // namespace Platform
