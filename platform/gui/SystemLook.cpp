#include "platform/gui/SystemLook.h"

#include <QApplication>
#include <QFontInfo>
#include <QPalette>
#include <QStyle>

#include <cmath>

namespace Platform
{
namespace
{

ColorRef FromQColor(const QColor& c)
{
    return Rgb(c.red(), c.green(), c.blue());
}

// The classic scheme, for code that runs without a GUI application.
ColorRef ClassicColor(int index)
{
    switch (index)
    {
    case COLOR_WINDOW:
        return 0xFFFFFF;
    case COLOR_WINDOWTEXT:
    case COLOR_BTNTEXT:
    case COLOR_INFOTEXT:
        return 0x000000;
    case COLOR_HIGHLIGHT:
        return Rgb(0, 120, 215);
    case COLOR_HIGHLIGHTTEXT:
    case COLOR_BTNHIGHLIGHT:
        return 0xFFFFFF;
    case COLOR_BTNFACE:
        return Rgb(240, 240, 240);
    case COLOR_BTNSHADOW:
        return Rgb(160, 160, 160);
    case COLOR_GRAYTEXT:
        return Rgb(109, 109, 109);
    case COLOR_3DDKSHADOW:
        return Rgb(105, 105, 105);
    case COLOR_3DLIGHT:
        return Rgb(227, 227, 227);
    case COLOR_INFOBK:
        return Rgb(255, 255, 225);
    default:
        return 0;
    }
}

bool HaveWidgets()
{
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

} // namespace

ColorRef GetSysColor(int index)
{
    if (!HaveWidgets())
        return ClassicColor(index);
    const QPalette pal = QApplication::palette();
    switch (index)
    {
    case COLOR_WINDOW:
        return FromQColor(pal.color(QPalette::Active, QPalette::Base));
    case COLOR_WINDOWTEXT:
        return FromQColor(pal.color(QPalette::Active, QPalette::Text));
    case COLOR_HIGHLIGHT:
        return FromQColor(pal.color(QPalette::Active, QPalette::Highlight));
    case COLOR_HIGHLIGHTTEXT:
        return FromQColor(pal.color(QPalette::Active, QPalette::HighlightedText));
    case COLOR_BTNFACE:
        return FromQColor(pal.color(QPalette::Active, QPalette::Button));
    case COLOR_BTNSHADOW:
        return FromQColor(pal.color(QPalette::Active, QPalette::Dark));
    case COLOR_GRAYTEXT:
        return FromQColor(pal.color(QPalette::Disabled, QPalette::Text));
    case COLOR_BTNTEXT:
        return FromQColor(pal.color(QPalette::Active, QPalette::ButtonText));
    case COLOR_BTNHIGHLIGHT:
        return FromQColor(pal.color(QPalette::Active, QPalette::Light));
    case COLOR_3DDKSHADOW:
        return FromQColor(pal.color(QPalette::Active, QPalette::Shadow));
    case COLOR_3DLIGHT:
        return FromQColor(pal.color(QPalette::Active, QPalette::Midlight));
    case COLOR_INFOTEXT:
        return FromQColor(pal.color(QPalette::Active, QPalette::ToolTipText));
    case COLOR_INFOBK:
        return FromQColor(pal.color(QPalette::Active, QPalette::ToolTipBase));
    default:
        return 0;
    }
}

int GetSystemMetrics(int index)
{
    switch (index)
    {
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
        return HaveWidgets() ? QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent) : 17;
    case SM_CXBORDER:
    case SM_CYBORDER:
        return 1;
    default:
        return 0;
    }
}

int GetWheelScrollLines()
{
    return HaveWidgets() ? QApplication::wheelScrollLines() : 3;
}

LogFont GetMessageFont()
{
    LogFont lf;
    QFont font = HaveWidgets() ? QApplication::font() : QFont(QStringLiteral("DejaVu Sans"), 9);
    int pixels = font.pixelSize();
    if (pixels <= 0)
        pixels = static_cast<int>(std::lround(font.pointSizeF() * 96.0 / 72.0));
    lf.height = -std::max(1, pixels);
    lf.weight = font.weight();
    lf.italic = font.italic();
    lf.underline = font.underline();
    lf.strikeOut = font.strikeOut();
    lf.faceName = font.family();
    return lf;
}

} // namespace Platform
