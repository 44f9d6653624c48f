#include "platform/gui/RecordingCanvas.h"

namespace Platform
{

RecordingCanvas::RecordingCanvas(const Rect& bounds, int charWidth, int lineHeight, bool printing)
    : Canvas(QRect(bounds.left, bounds.top, bounds.Width(), bounds.Height()),
             QRegion(QRect(bounds.left, bounds.top, bounds.Width(), bounds.Height()))),
      m_charWidth(charWidth), m_lineHeight(lineHeight), m_printing(printing)
{
}

Size RecordingCanvas::GetTextExtent(QStringView text)
{
    return {static_cast<int>(text.size()) * m_charWidth, m_lineHeight};
}

TextMetrics RecordingCanvas::GetTextMetrics()
{
    TextMetrics tm;
    tm.height = m_lineHeight;
    tm.ascent = m_lineHeight * 3 / 4;
    tm.descent = m_lineHeight - tm.ascent;
    tm.aveCharWidth = m_charWidth;
    return tm;
}

CanvasOp& RecordingCanvas::Record(CanvasOp::Kind kind)
{
    CanvasOp& op = m_ops.emplace_back();
    op.kind = kind;
    op.pen = GetPen();
    op.brush = GetBrush();
    op.textColor = GetTextColor();
    op.bkColor = GetBkColor();
    op.bkMode = GetBkMode();
    op.textAlign = GetTextAlign();
    op.font = GetFont().GetLogFont();
    GetClipBox(&op.clipBox);
    return op;
}

std::vector<CanvasOp> RecordingCanvas::OpsOf(CanvasOp::Kind kind) const
{
    std::vector<CanvasOp> out;
    for (const CanvasOp& op : m_ops)
        if (op.kind == kind)
            out.push_back(op);
    return out;
}

void RecordingCanvas::LineTo(int x, int y)
{
    const Point from = GetCurrentPosition();
    if (GetPen().style != PenStyle::Null)
        Record(CanvasOp::Kind::Line).points = {from, Point{x, y}};
    Canvas::LineTo(x, y);
}

void RecordingCanvas::Polyline(const Point* points, int count)
{
    if (points && count > 0)
        Record(CanvasOp::Kind::Polyline).points.assign(points, points + count);
}

void RecordingCanvas::Polygon(const Point* points, int count)
{
    if (points && count > 0)
        Record(CanvasOp::Kind::Polygon).points.assign(points, points + count);
}

void RecordingCanvas::Rectangle(const Rect& rect)
{
    Record(CanvasOp::Kind::Rectangle).rect = rect;
}

void RecordingCanvas::FillRect(const Rect& rect, const Brush& brush)
{
    if (brush.style == BrushStyle::Null)
        return;
    CanvasOp& op = Record(CanvasOp::Kind::FillRect);
    op.rect = rect;
    op.color = brush.color;
}

void RecordingCanvas::FrameRect(const Rect& rect, const Brush& brush)
{
    if (brush.style == BrushStyle::Null)
        return;
    CanvasOp& op = Record(CanvasOp::Kind::FrameRect);
    op.rect = rect;
    op.color = brush.color;
}

void RecordingCanvas::InvertRect(const Rect& rect)
{
    Record(CanvasOp::Kind::InvertRect).rect = rect;
}

void RecordingCanvas::TextOut(int x, int y, QStringView text)
{
    CanvasOp& op = Record(CanvasOp::Kind::TextOut);
    op.points = {Point{x, y}};
    op.text = text.toString();
}

int RecordingCanvas::DrawText(QStringView text, Rect* rect, unsigned format)
{
    if (rect && !(format & DT_CALCRECT))
    {
        CanvasOp& op = Record(CanvasOp::Kind::DrawText);
        op.rect = *rect;
        op.text = text.toString();
        op.format = format;
    }
    return Canvas::DrawText(text, rect, format);
}

void RecordingCanvas::DrawTextLine(int x, int y, QStringView text)
{
    CanvasOp& op = Record(CanvasOp::Kind::TextLine);
    op.points = {Point{x, y}};
    op.text = text.toString();
}

void RecordingCanvas::GradientFill(const TriVertex* vertices, int vertexCount, const int* mesh, int meshCount,
                                   int mode)
{
    if (!vertices || vertexCount <= 0)
        return;
    CanvasOp& op = Record(CanvasOp::Kind::GradientFill);
    op.mode = mode;
    op.color = vertices[0].color;
    for (int i = 0; i < vertexCount; ++i)
    {
        op.points.push_back(Point{vertices[i].x, vertices[i].y});
        op.colors.push_back(vertices[i].color);
    }
    (void)mesh;
    (void)meshCount;
}

void RecordingCanvas::BitBlt(int x, int y, int width, int height, const QImage&, int, int)
{
    Record(CanvasOp::Kind::BitBlt).rect = {x, y, x + width, y + height};
}

void RecordingCanvas::AlphaBlend(int x, int y, int width, int height, const QImage&, int constantAlpha)
{
    CanvasOp& op = Record(CanvasOp::Kind::AlphaBlend);
    op.rect = {x, y, x + width, y + height};
    op.color = static_cast<ColorRef>(constantAlpha);
}

void RecordingCanvas::SmoothPolyline(const PointF* points, int count, ColorRef color, double width)
{
    if (!points || count <= 0)
        return;
    CanvasOp& op = Record(CanvasOp::Kind::SmoothPolyline);
    op.pointsF.assign(points, points + count);
    op.color = color;
    op.width = width;
}

void RecordingCanvas::SmoothEllipse(const Rect& bounds, ColorRef color, double width)
{
    CanvasOp& op = Record(CanvasOp::Kind::SmoothEllipse);
    op.rect = bounds;
    op.color = color;
    op.width = width;
}

} // namespace Platform
