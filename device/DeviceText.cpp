#include "device/DeviceText.h"

#include "platform/core/StringTable.h"

namespace Device
{

QString FormatDeviceText(const QString& format, const QStringList& values)
{
    QString out;
    out.reserve(format.size() + 32);
    qsizetype next = 0;
    for (qsizetype i = 0; i < format.size(); ++i)
    {
        const QChar ch = format.at(i);
        if (ch == QLatin1Char('%') && i + 1 < format.size())
        {
            const QChar kind = format.at(i + 1);
            if (kind == QLatin1Char('%'))
            {
                out += QLatin1Char('%');
                ++i;
                continue;
            }
            if ((kind == QLatin1Char('s') || kind == QLatin1Char('d')) && next < values.size())
            {
                out += values.at(next++);
                ++i;
                continue;
            }
        }
        out += ch;
    }
    return out;
}

QString DeviceText(uint32_t id, const QStringList& values)
{
    return FormatDeviceText(Platform::LoadString(id), values);
}

} // namespace Device
