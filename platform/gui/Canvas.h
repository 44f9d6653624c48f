#pragma once
#include "platform/gui/GdiObjects.h"
#include "platform/gui/GdiTypes.h"

#include <QImage>
#include <QPainterPath>
#include <QRegion>
#include <QString>
#include <QStringView>

#include <optional>
#include <vector>

namespace Platform
{

class ImageList;

// One corner of a gradient fill.
struct TriVertex
{
    int x = 0;
    int y = 0;
    ColorRef color = 0;
};

struct TextMetrics
{
    int height = 0;
    int ascent = 0;
    int descent = 0;
    int aveCharWidth = 0;
};

// Our device context. Every drawing of the program goes through it, so the pixel rules the
// drawing code was written for live here and nowhere else:
// - rectangles exclude their right and bottom edge; a line excludes its end point;
// - TextOut places text by a reference point chosen with SetTextAlign; DrawText lays text
//   out in a rectangle by DT_ flags;
// - logical coordinates map to device pixels by a window origin and, in MM_ANISOTROPIC,
//   by window and viewport extents; pens of width 0 stay one device pixel wide;
// - clipping is a region in device pixels, intersected with what the surface allows;
// - SaveDC/RestoreDC keep and restore every attribute, the mapping and the clip region.
//
// The state lives in this class; the drawing is done by a backend: a QPainter on a
// widget, an image or a printer (PainterCanvas), or a recorder for tests.
class Canvas
{
public:
    virtual ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    // True on a printer: the drawing code uses print colours and draws straight through.
    virtual bool IsPrinting() const { return false; }
    virtual int GetDeviceCaps(int index) const;

    // Attributes. Each setter returns the previous value.
    Pen SelectPen(const Pen& pen);
    Brush SelectBrush(const Brush& brush);
    Font SelectFont(const Font& font);
    const Pen& GetPen() const { return m_state.pen; }
    const Brush& GetBrush() const { return m_state.brush; }
    const Font& GetFont() const { return m_state.font; }
    ColorRef SetTextColor(ColorRef color);
    ColorRef GetTextColor() const { return m_state.textColor; }
    ColorRef SetBkColor(ColorRef color);
    ColorRef GetBkColor() const { return m_state.bkColor; }
    int SetBkMode(int mode);
    int GetBkMode() const { return m_state.bkMode; }
    unsigned SetTextAlign(unsigned align);
    unsigned GetTextAlign() const { return m_state.textAlign; }

    // The whole state, kept on a stack. SaveDC returns the new level (1 for the first);
    // RestoreDC(-1) goes back one level, RestoreDC(n) to the state saved as level n.
    int SaveDC();
    bool RestoreDC(int level);

    // Mapping.
    int SetMapMode(int mode);
    int GetMapMode() const { return m_state.mapMode; }
    Size SetWindowExt(Size ext);
    Size SetViewportExt(Size ext);
    Point SetWindowOrg(Point origin);
    Point SetViewportOrg(Point origin);
    Point GetWindowOrg() const { return m_state.windowOrg; }
    Size GetWindowExt() const { return m_state.windowExt; }
    Size GetViewportExt() const { return m_state.viewportExt; }
    Point GetViewportOrg() const { return m_state.viewportOrg; }
    Point LPtoDP(Point p) const;
    Rect LPtoDP(const Rect& r) const;
    Point DPtoLP(Point p) const;
    Rect DPtoLP(const Rect& r) const;

    // Clipping. Rectangles are logical; the region is kept in device pixels. A null
    // rectangle removes the clip region.
    int SelectClipRect(const Rect* rect);
    int IntersectClipRect(const Rect& rect);
    int ExcludeClipRect(const Rect& rect);
    // The smallest logical rectangle around what may be drawn now.
    int GetClipBox(Rect* box) const;

    // Lines and shapes, in the current pen and brush.
    Point MoveTo(int x, int y);
    virtual void LineTo(int x, int y);
    Point GetCurrentPosition() const { return m_state.position; }
    virtual void Polyline(const Point* points, int count);
    virtual void Polygon(const Point* points, int count);
    virtual void Rectangle(const Rect& rect);
    virtual void FillRect(const Rect& rect, const Brush& brush);
    // Fills with a colour; like the class library's helper it leaves that colour as the
    // background colour.
    void FillSolidRect(const Rect& rect, ColorRef color);
    // A frame one logical unit wide inside the rectangle.
    virtual void FrameRect(const Rect& rect, const Brush& brush);
    virtual void InvertRect(const Rect& rect);

    // Text.
    virtual void TextOut(int x, int y, QStringView text);
    virtual Size GetTextExtent(QStringView text) = 0;
    virtual TextMetrics GetTextMetrics() = 0;
    // Returns the height of the drawn text; with DT_CALCRECT only measures and sets the
    // rectangle's right and bottom.
    virtual int DrawText(QStringView text, Rect* rect, unsigned format);

    // Gradients: GRADIENT_FILL_RECT_H / _V between vertex pairs, or GRADIENT_FILL_TRIANGLE
    // over vertex index triples.
    virtual void GradientFill(const TriVertex* vertices, int vertexCount, const int* mesh, int meshCount,
                              int mode);
    // Copies an image; with alpha, blends it by its per-pixel alpha and the constant alpha.
    virtual void BitBlt(int x, int y, int width, int height, const QImage& source, int srcX, int srcY);
    virtual void AlphaBlend(int x, int y, int width, int height, const QImage& source, int constantAlpha);

    // Anti-aliased strokes with a pen of fractional width (logical units), for the signal
    // curves: a connected line through the points, and an ellipse inside the bounds. Pixel
    // centres lie on whole coordinates, as with the smoothing renderer the curve drawing
    // was made for; the clip region applies as for every other call.
    virtual void SmoothPolyline(const PointF* points, int count, ColorRef color, double width);
    virtual void SmoothEllipse(const Rect& bounds, ColorRef color, double width);

protected:
    // deviceBounds: the pixels of the surface; systemClip: what the surface lets be drawn
    // (a paint event's region), never widened by the drawing code.
    Canvas(const QRect& deviceBounds, const QRegion& systemClip);

    // Backend primitives, in device pixels, clipped to EffectiveClip().
    virtual void DeviceFill(const QRect& rect, ColorRef color) = 0;
    virtual void DeviceLine(Point from, Point to, const Pen& pen) = 0;
    virtual void DevicePolygon(const std::vector<Point>& points, const Brush& brush) = 0;
    virtual void DeviceInvert(const QRect& rect) = 0;
    virtual void DeviceText(Point reference, QStringView text) = 0;
    virtual void DeviceImage(const QRect& target, const QImage& image, double opacity) = 0;
    // An anti-aliased stroke of a path in device pixels; a backend without smoothing
    // draws nothing.
    virtual void DeviceSmoothStroke(const QPainterPath& path, ColorRef color, double width);
    virtual void ClipChanged() {}

    // One line of laid-out text of DrawText, placed at its top-left logical corner.
    virtual void DrawTextLine(int x, int y, QStringView text);

    double ScaleX() const;
    double ScaleY() const;
    // Device width of the current pen.
    int DevicePenWidth(const Pen& pen) const;
    QRegion EffectiveClip() const;
    QRect DeviceBounds() const { return m_deviceBounds; }

private:
    struct State
    {
        Pen pen = Pen::Black();
        Brush brush = Brush::Solid(0xFFFFFF);
        Font font;
        ColorRef textColor = 0;
        ColorRef bkColor = 0xFFFFFF;
        int bkMode = OPAQUE;
        unsigned textAlign = TA_LEFT | TA_TOP;
        int mapMode = MM_TEXT;
        Point windowOrg;
        Point viewportOrg;
        Size windowExt{1, 1};
        Size viewportExt{1, 1};
        Point position;
        std::optional<QRegion> clip;
    };

    int ClipResult() const;
    QRect ToDevice(const Rect& logical) const;
    QPointF LPtoDPF(PointF p) const;
    double DeviceStrokeWidth(double width) const;

    QRect m_deviceBounds;
    QRegion m_systemClip;
    State m_state;
    std::vector<State> m_saved;
};

} // namespace Platform
