#include "measurement/SeriesTexts.h"

#include "platform/core/NumberText.h"
#include "platform/core/StringTable.h"

namespace
{
QString Text(uint32_t id, const char* english, bool untranslated)
{
    return untranslated ? QString::fromLatin1(english) : Platform::LoadString(id);
}
} // namespace

bool FormatImpactDirection(int angle, QString& text, bool untranslated)
{
    switch (angle)
    {
    case 0:
        text = Text(59178, "Vertical down", untranslated);
        return true;
    case 45:
        text = Text(59180, "Diagonal down", untranslated);
        return true;
    case 90:
        text = Text(59179, "Horizontal", untranslated);
        return true;
    case 135:
        text = Text(59181, "Diagonal up", untranslated);
        return true;
    case 180:
        text = Text(59182, "Vertical up", untranslated);
        return true;
    case 360:
        text = Text(59177, "Automatic", untranslated);
        return true;
    case -2:
        text = Text(59183, "Different directions", untranslated);
        return true;
    default:
        text = QStringLiteral("Error");
        return false;
    }
}

bool FormatDiameter(int code, bool imperial, QString& text, bool untranslated)
{
    if (code == -2)
    {
        text = Text(59195, "different diameters", untranslated);
        return true;
    }
    if (code == 31)
    {
        text = Text(59193, "off", untranslated);
        return true;
    }
    if (!imperial)
    {
        text = QString::number(code) + QLatin1Char(' ') + Text(59192, "mm", untranslated);
        return true;
    }
    const double inches = code * 0.03937;
    const QString unit = Text(59191, "inch", untranslated);
    text = QString::number(int(inches * 64 + 0.5)) + QStringLiteral("/64 ") + unit +
           QStringLiteral("  <--->  ") + Platform::FormatFixed(inches, 2) + QLatin1Char(' ') + unit;
    return true;
}
