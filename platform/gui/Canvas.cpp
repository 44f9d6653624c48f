#include "platform/gui/Canvas.h"

#include <algorithm>
#include <cmath>

namespace Platform
{
namespace
{

QRect FromExclusive(int left, int top, int right, int bottom)
{
    if (right < left)
        std::swap(left, right);
    if (bottom < top)
        std::swap(top, bottom);
    return QRect(left, top, right - left, bottom - top);
}

// "&&" stands for one ampersand, a single one marks the next character and is not shown.
QString StripPrefix(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i)
    {
        if (text[i] == u'&')
        {
            if (i + 1 < text.size() && text[i + 1] == u'&')
                out += u'&';
            ++i;
            if (i < text.size() && text[i] != u'&')
                out += text[i];
            continue;
        }
        out += text[i];
    }
    return out;
}

QColor Interpolate(ColorRef a, ColorRef b, double t)
{
    auto mix = [t](int x, int y) { return static_cast<int>(std::lround(x + (y - x) * t)); };
    return QColor(mix(RValue(a), RValue(b)), mix(GValue(a), GValue(b)), mix(BValue(a), BValue(b)));
}

} // namespace

Canvas::Canvas(const QRect& deviceBounds, const QRegion& systemClip)
    : m_deviceBounds(deviceBounds), m_systemClip(systemClip.intersected(deviceBounds))
{
}

Canvas::~Canvas() = default;

int Canvas::GetDeviceCaps(int index) const
{
    switch (index)
    {
    case HORZRES:
        return m_deviceBounds.width();
    case VERTRES:
        return m_deviceBounds.height();
    case LOGPIXELSX:
    case LOGPIXELSY:
        return 96;
    default:
        return 0;
    }
}

Pen Canvas::SelectPen(const Pen& pen)
{
    return std::exchange(m_state.pen, pen);
}

Brush Canvas::SelectBrush(const Brush& brush)
{
    return std::exchange(m_state.brush, brush);
}

Font Canvas::SelectFont(const Font& font)
{
    return std::exchange(m_state.font, font);
}

ColorRef Canvas::SetTextColor(ColorRef color)
{
    return std::exchange(m_state.textColor, color);
}

ColorRef Canvas::SetBkColor(ColorRef color)
{
    return std::exchange(m_state.bkColor, color);
}

int Canvas::SetBkMode(int mode)
{
    return std::exchange(m_state.bkMode, mode);
}

unsigned Canvas::SetTextAlign(unsigned align)
{
    return std::exchange(m_state.textAlign, align);
}

int Canvas::SaveDC()
{
    m_saved.push_back(m_state);
    return static_cast<int>(m_saved.size());
}

bool Canvas::RestoreDC(int level)
{
    const int count = static_cast<int>(m_saved.size());
    const int target = level < 0 ? count + level : level - 1;
    if (target < 0 || target >= count)
        return false;
    const bool clipDiffers = m_state.clip != m_saved[target].clip;
    m_state = m_saved[target];
    m_saved.resize(target);
    if (clipDiffers)
        ClipChanged();
    return true;
}

int Canvas::SetMapMode(int mode)
{
    const int old = m_state.mapMode;
    m_state.mapMode = mode == MM_ANISOTROPIC ? MM_ANISOTROPIC : MM_TEXT;
    if (m_state.mapMode == MM_TEXT)
    {
        m_state.windowExt = {1, 1};
        m_state.viewportExt = {1, 1};
    }
    return old;
}

Size Canvas::SetWindowExt(Size ext)
{
    const Size old = m_state.windowExt;
    if (m_state.mapMode == MM_ANISOTROPIC && ext.cx != 0 && ext.cy != 0)
        m_state.windowExt = ext;
    return old;
}

Size Canvas::SetViewportExt(Size ext)
{
    const Size old = m_state.viewportExt;
    if (m_state.mapMode == MM_ANISOTROPIC && ext.cx != 0 && ext.cy != 0)
        m_state.viewportExt = ext;
    return old;
}

Point Canvas::SetWindowOrg(Point origin)
{
    return std::exchange(m_state.windowOrg, origin);
}

Point Canvas::SetViewportOrg(Point origin)
{
    return std::exchange(m_state.viewportOrg, origin);
}

double Canvas::ScaleX() const
{
    return static_cast<double>(m_state.viewportExt.cx) / m_state.windowExt.cx;
}

double Canvas::ScaleY() const
{
    return static_cast<double>(m_state.viewportExt.cy) / m_state.windowExt.cy;
}

Point Canvas::LPtoDP(Point p) const
{
    if (m_state.mapMode == MM_TEXT)
        return {p.x - m_state.windowOrg.x + m_state.viewportOrg.x,
                p.y - m_state.windowOrg.y + m_state.viewportOrg.y};
    return {static_cast<int>(std::lround((p.x - m_state.windowOrg.x) * ScaleX())) + m_state.viewportOrg.x,
            static_cast<int>(std::lround((p.y - m_state.windowOrg.y) * ScaleY())) + m_state.viewportOrg.y};
}

Rect Canvas::LPtoDP(const Rect& r) const
{
    const Point a = LPtoDP(r.TopLeft());
    const Point b = LPtoDP(r.BottomRight());
    return {a.x, a.y, b.x, b.y};
}

Point Canvas::DPtoLP(Point p) const
{
    if (m_state.mapMode == MM_TEXT)
        return {p.x - m_state.viewportOrg.x + m_state.windowOrg.x,
                p.y - m_state.viewportOrg.y + m_state.windowOrg.y};
    return {static_cast<int>(std::lround((p.x - m_state.viewportOrg.x) / ScaleX())) + m_state.windowOrg.x,
            static_cast<int>(std::lround((p.y - m_state.viewportOrg.y) / ScaleY())) + m_state.windowOrg.y};
}

Rect Canvas::DPtoLP(const Rect& r) const
{
    const Point a = DPtoLP(r.TopLeft());
    const Point b = DPtoLP(r.BottomRight());
    return {a.x, a.y, b.x, b.y};
}

QRect Canvas::ToDevice(const Rect& logical) const
{
    const Rect d = LPtoDP(logical);
    return FromExclusive(d.left, d.top, d.right, d.bottom);
}

QRegion Canvas::EffectiveClip() const
{
    if (!m_state.clip)
        return m_systemClip;
    return m_systemClip.intersected(*m_state.clip);
}

int Canvas::ClipResult() const
{
    const QRegion clip = EffectiveClip();
    if (clip.isEmpty())
        return NULLREGION;
    return clip.rectCount() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

int Canvas::SelectClipRect(const Rect* rect)
{
    if (rect)
        m_state.clip = QRegion(ToDevice(*rect));
    else
        m_state.clip.reset();
    ClipChanged();
    return ClipResult();
}

int Canvas::IntersectClipRect(const Rect& rect)
{
    const QRegion base = m_state.clip ? *m_state.clip : QRegion(m_deviceBounds);
    m_state.clip = base.intersected(ToDevice(rect));
    ClipChanged();
    return ClipResult();
}

int Canvas::ExcludeClipRect(const Rect& rect)
{
    const QRegion base = m_state.clip ? *m_state.clip : QRegion(m_deviceBounds);
    m_state.clip = base.subtracted(ToDevice(rect));
    ClipChanged();
    return ClipResult();
}

int Canvas::GetClipBox(Rect* box) const
{
    const QRegion clip = EffectiveClip();
    Rect logical;
    if (!clip.isEmpty())
    {
        const QRect b = clip.boundingRect();
        logical = DPtoLP(Rect{b.left(), b.top(), b.left() + b.width(), b.top() + b.height()});
        logical.Normalize();
    }
    if (box)
        *box = logical;
    return ClipResult();
}

int Canvas::DevicePenWidth(const Pen& pen) const
{
    if (pen.width <= 0)
        return 1;
    return std::max(1, static_cast<int>(std::lround(pen.width * std::abs(ScaleX()))));
}

Point Canvas::MoveTo(int x, int y)
{
    return std::exchange(m_state.position, Point{x, y});
}

void Canvas::LineTo(int x, int y)
{
    const Point from = m_state.position;
    m_state.position = {x, y};
    if (m_state.pen.style != PenStyle::Null)
        DeviceLine(LPtoDP(from), LPtoDP(Point{x, y}), m_state.pen);
}

void Canvas::Polyline(const Point* points, int count)
{
    if (!points || count < 2 || m_state.pen.style == PenStyle::Null)
        return;
    for (int i = 1; i < count; ++i)
        DeviceLine(LPtoDP(points[i - 1]), LPtoDP(points[i]), m_state.pen);
}

void Canvas::Polygon(const Point* points, int count)
{
    if (!points || count < 2)
        return;
    std::vector<Point> device;
    device.reserve(count);
    for (int i = 0; i < count; ++i)
        device.push_back(LPtoDP(points[i]));
    if (m_state.brush.style != BrushStyle::Null && count >= 3)
        DevicePolygon(device, m_state.brush);
    if (m_state.pen.style != PenStyle::Null)
    {
        // A closed figure: every segment leaves out its end point, which is where the
        // next one starts, so every vertex is drawn once.
        for (int i = 0; i < count; ++i)
            DeviceLine(device[i], device[(i + 1) % count], m_state.pen);
    }
}

void Canvas::Rectangle(const Rect& rect)
{
    QRect d = ToDevice(rect);
    if (d.isEmpty())
        return;
    if (m_state.pen.style == PenStyle::Null)
    {
        // Without a pen the filled area is one pixel smaller to the right and bottom.
        d.setWidth(d.width() - 1);
        d.setHeight(d.height() - 1);
        if (m_state.brush.style != BrushStyle::Null && !d.isEmpty())
            DeviceFill(d, m_state.brush.color);
        return;
    }
    const int w = std::min({DevicePenWidth(m_state.pen), d.width(), d.height()});
    const QRect inner = d.adjusted(w, w, -w, -w);
    if (m_state.brush.style != BrushStyle::Null && !inner.isEmpty())
        DeviceFill(inner, m_state.brush.color);
    const ColorRef c = m_state.pen.color;
    DeviceFill(QRect(d.left(), d.top(), d.width(), w), c);
    DeviceFill(QRect(d.left(), d.bottom() + 1 - w, d.width(), w), c);
    DeviceFill(QRect(d.left(), d.top() + w, w, d.height() - 2 * w), c);
    DeviceFill(QRect(d.right() + 1 - w, d.top() + w, w, d.height() - 2 * w), c);
}

void Canvas::FillRect(const Rect& rect, const Brush& brush)
{
    if (brush.style == BrushStyle::Null)
        return;
    const QRect d = ToDevice(rect);
    if (!d.isEmpty())
        DeviceFill(d, brush.color);
}

void Canvas::FillSolidRect(const Rect& rect, ColorRef color)
{
    SetBkColor(color);
    FillRect(rect, Brush::Solid(color));
}

void Canvas::FrameRect(const Rect& rect, const Brush& brush)
{
    if (brush.style == BrushStyle::Null || rect.IsEmpty())
        return;
    const Rect bands[] = {{rect.left, rect.top, rect.right, rect.top + 1},
                          {rect.left, rect.bottom - 1, rect.right, rect.bottom},
                          {rect.left, rect.top, rect.left + 1, rect.bottom},
                          {rect.right - 1, rect.top, rect.right, rect.bottom}};
    for (const Rect& band : bands)
    {
        const QRect d = ToDevice(band);
        if (!d.isEmpty())
            DeviceFill(d, brush.color);
    }
}

void Canvas::InvertRect(const Rect& rect)
{
    const QRect d = ToDevice(rect);
    if (!d.isEmpty())
        DeviceInvert(d);
}

void Canvas::TextOut(int x, int y, QStringView text)
{
    if (!text.isEmpty())
        DeviceText(LPtoDP(Point{x, y}), text);
}

void Canvas::DrawTextLine(int x, int y, QStringView text)
{
    const unsigned align = SetTextAlign(TA_LEFT | TA_TOP);
    TextOut(x, y, text);
    SetTextAlign(align);
}

int Canvas::DrawText(QStringView text, Rect* rect, unsigned format)
{
    if (!rect)
        return 0;
    const QString source = (format & DT_NOPREFIX) ? text.toString() : StripPrefix(text);
    const int width = rect->Width();

    std::vector<QString> lines;
    if (format & DT_SINGLELINE)
    {
        QString line = source;
        line.remove(u'\r');
        line.remove(u'\n');
        lines.push_back(line);
    }
    else
    {
        QString normalized = source;
        normalized.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        normalized.replace(u'\r', u'\n');
        for (const QString& paragraph : normalized.split(u'\n'))
        {
            if (!(format & DT_WORDBREAK))
            {
                lines.push_back(paragraph);
                continue;
            }
            // Greedy breaking at blanks; a word wider than the rectangle stays whole.
            QString line;
            qsizetype pos = 0;
            bool any = false;
            while (pos < paragraph.size())
            {
                qsizetype end = pos;
                while (end < paragraph.size() && paragraph[end] != u' ')
                    ++end;
                while (end < paragraph.size() && paragraph[end] == u' ')
                    ++end;
                const QString word = paragraph.mid(pos, end - pos);
                const QString candidate = line + word;
                if (!line.isEmpty() && GetTextExtent(QStringView(candidate).trimmed()).cx > width)
                {
                    while (line.endsWith(u' '))
                        line.chop(1);
                    lines.push_back(line);
                    line = word;
                }
                else
                {
                    line = candidate;
                }
                any = true;
                pos = end;
            }
            while (line.endsWith(u' '))
                line.chop(1);
            if (!line.isEmpty() || !any)
                lines.push_back(line);
        }
    }

    if (format & DT_END_ELLIPSIS)
    {
        const QString dots = QStringLiteral("...");
        for (QString& line : lines)
        {
            if (GetTextExtent(line).cx <= width)
                continue;
            qsizetype keep = line.size();
            while (keep > 0 && GetTextExtent(QString(line.left(keep) + dots)).cx > width)
                --keep;
            line = line.left(keep) + dots;
        }
    }

    const int lineHeight = GetTextMetrics().height;
    const int total = lineHeight * static_cast<int>(lines.size());
    if (format & DT_CALCRECT)
    {
        int widest = 0;
        for (const QString& line : lines)
            widest = std::max(widest, GetTextExtent(line).cx);
        rect->right = rect->left + widest;
        rect->bottom = rect->top + total;
        return total;
    }

    int y = rect->top;
    if (format & DT_SINGLELINE)
    {
        if (format & DT_VCENTER)
            y = rect->top + (rect->Height() - lineHeight) / 2;
        else if (format & DT_BOTTOM)
            y = rect->bottom - lineHeight;
    }
    const int offset = y - rect->top;

    const bool clip = !(format & DT_NOCLIP);
    if (clip)
    {
        SaveDC();
        IntersectClipRect(*rect);
    }
    for (const QString& line : lines)
    {
        if (!line.isEmpty())
        {
            int x = rect->left;
            if (format & (DT_CENTER | DT_RIGHT))
            {
                const int w = GetTextExtent(line).cx;
                x = (format & DT_RIGHT) ? rect->right - w : rect->left + (width - w) / 2;
            }
            DrawTextLine(x, y, line);
        }
        y += lineHeight;
    }
    if (clip)
        RestoreDC(-1);
    return offset + total;
}

void Canvas::GradientFill(const TriVertex* vertices, int vertexCount, const int* mesh, int meshCount,
                          int mode)
{
    if (!vertices || !mesh || vertexCount <= 0 || meshCount <= 0)
        return;
    auto vertex = [&](int i) -> const TriVertex*
    { return i >= 0 && i < vertexCount ? &vertices[i] : nullptr; };

    if (mode == GRADIENT_FILL_RECT_H || mode == GRADIENT_FILL_RECT_V)
    {
        for (int m = 0; m < meshCount; ++m)
        {
            const TriVertex* a = vertex(mesh[2 * m]);
            const TriVertex* b = vertex(mesh[2 * m + 1]);
            if (!a || !b)
                continue;
            const QRect d = ToDevice(Rect{a->x, a->y, b->x, b->y});
            if (d.isEmpty())
                continue;
            // The first colour belongs to the upper-left vertex even when b lies left of a.
            const bool aFirstX = LPtoDP(Point{a->x, a->y}).x <= LPtoDP(Point{b->x, b->y}).x;
            const bool aFirstY = LPtoDP(Point{a->x, a->y}).y <= LPtoDP(Point{b->x, b->y}).y;
            const bool horizontal = mode == GRADIENT_FILL_RECT_H;
            const ColorRef from = (horizontal ? aFirstX : aFirstY) ? a->color : b->color;
            const ColorRef to = (horizontal ? aFirstX : aFirstY) ? b->color : a->color;
            const int steps = horizontal ? d.width() : d.height();
            for (int i = 0; i < steps; ++i)
            {
                const double t = steps > 1 ? static_cast<double>(i) / (steps - 1) : 0.0;
                const QColor c = Interpolate(from, to, t);
                const QRect band = horizontal ? QRect(d.left() + i, d.top(), 1, d.height())
                                              : QRect(d.left(), d.top() + i, d.width(), 1);
                DeviceFill(band, Rgb(c.red(), c.green(), c.blue()));
            }
        }
        return;
    }
    if (mode != GRADIENT_FILL_TRIANGLE)
        return;

    for (int m = 0; m < meshCount; ++m)
    {
        const TriVertex* v[3] = {vertex(mesh[3 * m]), vertex(mesh[3 * m + 1]), vertex(mesh[3 * m + 2])};
        if (!v[0] || !v[1] || !v[2])
            continue;
        Point p[3];
        for (int k = 0; k < 3; ++k)
            p[k] = LPtoDP(Point{v[k]->x, v[k]->y});
        const int minX = std::min({p[0].x, p[1].x, p[2].x});
        const int maxX = std::max({p[0].x, p[1].x, p[2].x});
        const int minY = std::min({p[0].y, p[1].y, p[2].y});
        const int maxY = std::max({p[0].y, p[1].y, p[2].y});
        const double area = static_cast<double>(p[1].x - p[0].x) * (p[2].y - p[0].y) -
                            static_cast<double>(p[2].x - p[0].x) * (p[1].y - p[0].y);
        if (area == 0 || maxX <= minX || maxY <= minY)
            continue;
        // Pixels whose centre lies inside the triangle (edges inclusive, so that the two
        // triangles of a rectangle leave no gap), coloured by barycentric interpolation.
        QImage image(maxX - minX, maxY - minY, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        for (int y = minY; y < maxY; ++y)
        {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y - minY));
            for (int x = minX; x < maxX; ++x)
            {
                const double px = x + 0.5;
                const double py = y + 0.5;
                const double w0 = ((p[1].x - px) * (p[2].y - py) - (p[2].x - px) * (p[1].y - py)) / area;
                const double w1 = ((p[2].x - px) * (p[0].y - py) - (p[0].x - px) * (p[2].y - py)) / area;
                const double w2 = 1.0 - w0 - w1;
                if (w0 < -1e-9 || w1 < -1e-9 || w2 < -1e-9)
                    continue;
                auto channel = [&](int (*get)(ColorRef))
                {
                    return std::clamp(
                        static_cast<int>(std::lround(w0 * get(v[0]->color) + w1 * get(v[1]->color) +
                                                     w2 * get(v[2]->color))),
                        0, 255);
                };
                line[x - minX] = qRgb(channel(RValue), channel(GValue), channel(BValue));
            }
        }
        DeviceImage(QRect(minX, minY, maxX - minX, maxY - minY), image, 1.0);
    }
}

void Canvas::BitBlt(int x, int y, int width, int height, const QImage& source, int srcX, int srcY)
{
    if (source.isNull() || width <= 0 || height <= 0)
        return;
    const QRect d = ToDevice(Rect{x, y, x + width, y + height});
    QImage part = source.copy(srcX, srcY, width, height).convertToFormat(QImage::Format_RGB32);
    DeviceImage(d, part, 1.0);
}

void Canvas::AlphaBlend(int x, int y, int width, int height, const QImage& source, int constantAlpha)
{
    if (source.isNull() || width <= 0 || height <= 0 || constantAlpha <= 0)
        return;
    const QRect d = ToDevice(Rect{x, y, x + width, y + height});
    const QImage part = source.copy(0, 0, width, height).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    DeviceImage(d, part, std::min(constantAlpha, 255) / 255.0);
}

void Canvas::DeviceSmoothStroke(const QPainterPath&, ColorRef, double)
{
}

QPointF Canvas::LPtoDPF(PointF p) const
{
    if (m_state.mapMode == MM_TEXT)
        return {p.x - m_state.windowOrg.x + m_state.viewportOrg.x,
                p.y - m_state.windowOrg.y + m_state.viewportOrg.y};
    return {(p.x - m_state.windowOrg.x) * ScaleX() + m_state.viewportOrg.x,
            (p.y - m_state.windowOrg.y) * ScaleY() + m_state.viewportOrg.y};
}

double Canvas::DeviceStrokeWidth(double width) const
{
    return m_state.mapMode == MM_TEXT ? width : width * std::abs(ScaleX());
}

void Canvas::SmoothPolyline(const PointF* points, int count, ColorRef color, double width)
{
    if (!points || count < 2 || !(width > 0))
        return;
    QPainterPath path(LPtoDPF(points[0]));
    for (int i = 1; i < count; ++i)
        path.lineTo(LPtoDPF(points[i]));
    DeviceSmoothStroke(path, color, DeviceStrokeWidth(width));
}

void Canvas::SmoothEllipse(const Rect& bounds, ColorRef color, double width)
{
    if (!(width > 0))
        return;
    const QPointF a = LPtoDPF(PointF{double(bounds.left), double(bounds.top)});
    const QPointF b = LPtoDPF(PointF{double(bounds.right), double(bounds.bottom)});
    QPainterPath path;
    path.addEllipse(QRectF(a, b).normalized());
    DeviceSmoothStroke(path, color, DeviceStrokeWidth(width));
}

} // namespace Platform
