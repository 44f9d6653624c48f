#include "platform/gui/DialogUnits.h"

#include "platform/gui/PainterCanvas.h"

#include <cmath>

namespace Platform
{

Size DialogBaseUnits(const LogFont& font)
{
    if (!CanMeasureText())
        return {6, 13};
    MeasureCanvas dc;
    dc.SelectFont(Font(font));
    // The average of the 52 letters, rounded, as dialog layouts were designed with.
    const int letters = dc.GetTextExtent(u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz").cx;
    return {(letters / 26 + 1) / 2, dc.GetTextMetrics().height};
}

Rect MapDialogRect(const Rect& dialogUnits, const LogFont& font)
{
    const Size base = DialogBaseUnits(font);
    auto scale = [](int value, int numerator, int denominator)
    { return static_cast<int>(std::lround(static_cast<double>(value) * numerator / denominator)); };
    return {scale(dialogUnits.left, base.cx, 4), scale(dialogUnits.top, base.cy, 8),
            scale(dialogUnits.right, base.cx, 4), scale(dialogUnits.bottom, base.cy, 8)};
}

} // namespace Platform
