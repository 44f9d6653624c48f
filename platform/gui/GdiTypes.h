#pragma once
#include <algorithm>
#include <cstdint>

// The small value types every drawing caller shares: points, sizes, rectangles with an
// exclusive right and bottom edge, and colours as 0x00BBGGRR values, so that colour
// constants read the same as everywhere else in the program (0xFF0000 is blue).
namespace Platform
{

using ColorRef = uint32_t;

constexpr ColorRef Rgb(int r, int g, int b)
{
    return static_cast<ColorRef>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int RValue(ColorRef c)
{
    return static_cast<int>(c & 0xFF);
}
constexpr int GValue(ColorRef c)
{
    return static_cast<int>((c >> 8) & 0xFF);
}
constexpr int BValue(ColorRef c)
{
    return static_cast<int>((c >> 16) & 0xFF);
}

struct Point
{
    int x = 0;
    int y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

// A point between pixels, for anti-aliased strokes.
struct PointF
{
    double x = 0;
    double y = 0;
    friend bool operator==(const PointF&, const PointF&) = default;
};

struct Size
{
    int cx = 0;
    int cy = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

// Right and bottom are outside the rectangle, as on the device contexts the drawing code
// was designed for: (0, 0, 10, 10) covers 10 x 10 pixels.
struct Rect
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool Contains(Point p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
    Point TopLeft() const { return {left, top}; }
    Point BottomRight() const { return {right, bottom}; }
    void Offset(int dx, int dy)
    {
        left += dx;
        right += dx;
        top += dy;
        bottom += dy;
    }
    void Inflate(int dx, int dy)
    {
        left -= dx;
        right += dx;
        top -= dy;
        bottom += dy;
    }
    void Normalize()
    {
        if (left > right)
            std::swap(left, right);
        if (top > bottom)
            std::swap(top, bottom);
    }
    // Empty (all zero) when the two do not overlap.
    static Rect Intersect(const Rect& a, const Rect& b)
    {
        Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
               std::min(a.bottom, b.bottom)};
        return r.IsEmpty() ? Rect{} : r;
    }
    friend bool operator==(const Rect&, const Rect&) = default;
};

// Text layout flags of DrawText.
enum : unsigned
{
    DT_LEFT = 0x0000,
    DT_TOP = 0x0000,
    DT_CENTER = 0x0001,
    DT_RIGHT = 0x0002,
    DT_VCENTER = 0x0004,
    DT_BOTTOM = 0x0008,
    DT_WORDBREAK = 0x0010,
    DT_SINGLELINE = 0x0020,
    DT_NOCLIP = 0x0100,
    DT_CALCRECT = 0x0400,
    DT_NOPREFIX = 0x0800,
    DT_END_ELLIPSIS = 0x8000,
};

// Reference point of TextOut.
enum : unsigned
{
    TA_LEFT = 0,
    TA_TOP = 0,
    TA_RIGHT = 2,
    TA_CENTER = 6,
    TA_BOTTOM = 8,
    TA_BASELINE = 24,
};

// Background modes.
enum : int
{
    TRANSPARENT = 1,
    OPAQUE = 2,
};

// Mapping modes: pixels, or independently scaled axes (printing).
enum : int
{
    MM_TEXT = 1,
    MM_ANISOTROPIC = 8,
};

// Results of the clip queries.
enum : int
{
    REGION_ERROR = 0,
    NULLREGION = 1,
    SIMPLEREGION = 2,
    COMPLEXREGION = 3,
};

// Device capabilities.
enum : int
{
    HORZRES = 8,
    VERTRES = 10,
    LOGPIXELSX = 88,
    LOGPIXELSY = 90,
};

// Gradient fill modes.
enum : int
{
    GRADIENT_FILL_RECT_H = 0,
    GRADIENT_FILL_RECT_V = 1,
    GRADIENT_FILL_TRIANGLE = 2,
};

} // namespace Platform
