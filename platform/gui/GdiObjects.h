#pragma once
#include "platform/gui/GdiTypes.h"

#include <QFont>
#include <QString>

#include <memory>

namespace Platform
{

// A font description in the terms the drawing code uses: a negative height is the
// character height in logical units, a positive one the cell height; weight 400 is normal,
// 700 bold; escapement in tenths of a degree (900 = text reading bottom to top).
struct LogFont
{
    int height = 0;
    int width = 0;
    int escapement = 0;
    int orientation = 0;
    int weight = 0;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    QString faceName;

    friend bool operator==(const LogFont&, const LogFont&) = default;
};

// A font object made from a LogFont. Cheap to copy: copies share one description and the
// Qt font built from it.
class Font
{
public:
    Font();
    explicit Font(const LogFont& logFont);

    const LogFont& GetLogFont() const;
    // The Qt font at the given device scale (device pixels per logical unit vertically).
    QFont ToQFont(double scale = 1.0) const;
    // Identity of the shared description, for caches of metrics.
    const void* Key() const { return m_data.get(); }

    struct Data;

private:
    std::shared_ptr<const Data> m_data;
};

enum class PenStyle
{
    Solid,
    Null,
};

// Width 0 is one device pixel whatever the mapping; wider pens scale with it.
struct Pen
{
    PenStyle style = PenStyle::Solid;
    int width = 0;
    ColorRef color = 0;

    static Pen Solid(int width, ColorRef color) { return {PenStyle::Solid, width, color}; }
    static Pen Null() { return {PenStyle::Null, 0, 0}; }
    static Pen Black() { return {PenStyle::Solid, 0, 0}; }
    friend bool operator==(const Pen&, const Pen&) = default;
};

enum class BrushStyle
{
    Solid,
    Null,
};

struct Brush
{
    BrushStyle style = BrushStyle::Solid;
    ColorRef color = 0xFFFFFF;

    static Brush Solid(ColorRef color) { return {BrushStyle::Solid, color}; }
    static Brush Null() { return {BrushStyle::Null, 0}; }
    friend bool operator==(const Brush&, const Brush&) = default;
};

} // namespace Platform
