#include "platform/gui/GdiObjects.h"

#include "platform/gui/SystemLook.h"

#include <QFontMetricsF>

#include <algorithm>
#include <cmath>

namespace Platform
{

struct Font::Data
{
    LogFont logFont;
};

namespace
{
const std::shared_ptr<const Font::Data>& SystemFontData()
{
    static const auto data = std::make_shared<const Font::Data>();
    return data;
}
} // namespace

Font::Font() : m_data(SystemFontData())
{
}

Font::Font(const LogFont& logFont) : m_data(std::make_shared<const Data>(Data{logFont}))
{
}

const LogFont& Font::GetLogFont() const
{
    return m_data->logFont;
}

QFont Font::ToQFont(double scale) const
{
    LogFont lf = m_data->logFont;
    // An empty description is the system's message font.
    const LogFont system = (lf.height == 0 || lf.faceName.isEmpty()) ? GetMessageFont() : LogFont{};
    if (lf.faceName.isEmpty())
        lf.faceName = system.faceName;
    if (lf.height == 0)
        lf.height = system.height;
    if (lf.weight == 0)
        lf.weight = 400;

    QFont font(lf.faceName);
    font.setWeight(static_cast<QFont::Weight>(std::clamp(lf.weight, 100, 900)));
    font.setItalic(lf.italic);
    font.setUnderline(lf.underline);
    font.setStrikeOut(lf.strikeOut);
    const double s = std::abs(scale);
    int pixels;
    if (lf.height < 0)
    {
        pixels = static_cast<int>(std::lround(-lf.height * s));
    }
    else
    {
        // A positive height is the whole cell (ascent plus descent), not the character.
        font.setPixelSize(100);
        const QFontMetricsF fm(font);
        const double cell = fm.ascent() + fm.descent();
        pixels = static_cast<int>(std::lround(lf.height * s * (cell > 0 ? 100.0 / cell : 1.0)));
    }
    font.setPixelSize(std::max(1, pixels));
    return font;
}

} // namespace Platform
