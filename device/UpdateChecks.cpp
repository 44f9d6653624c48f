#include "device/UpdateChecks.h"
#include <algorithm>

namespace Device
{

NError_code CheckHardwareRevision(QString& revision, uint16_t low, uint16_t high, QChar lastLetter,
                                  uint16_t mask)
{
    if (low == 0 && high == 0)
        return errNone;
    revision = revision.toUpper();
    if (revision.isEmpty())
        return errHardwareRevision;
    const QChar letter = revision.at(0);
    // The number as "%d" reads it: blanks, a sign, then at least one digit.
    qsizetype i = 1;
    while (i < revision.size() && revision.at(i).isSpace())
        ++i;
    bool negative = false;
    if (i < revision.size() && (revision.at(i) == QLatin1Char('-') || revision.at(i) == QLatin1Char('+')))
        negative = revision.at(i++) == QLatin1Char('-');
    int64_t number = 0;
    int digits = 0;
    for (; i < revision.size() && revision.at(i) >= QLatin1Char('0') && revision.at(i) <= QLatin1Char('9');
         ++i)
    {
        number = std::min<int64_t>(number * 10 + (revision.at(i).unicode() - '0'), 1 << 20);
        ++digits;
    }
    if (digits == 0 || letter < QLatin1Char('A') || letter > lastLetter)
        return errHardwareRevision;
    if (negative)
        number = -number;
    if (number > 255)
        return errHardwareRevision;
    const int64_t code = int64_t(letter.unicode() - 'A') * 256 + number;
    if (code < int64_t(low & mask))
        return errHardwareRevision;
    if (high != 0 && code > int64_t(high & mask))
        return errHardwareRevision;
    return errNone;
}

NError_code CheckOsVersion(const CVersion& device, const CVersion& required)
{
    if (required.GetValue() == 0)
        return errNone;
    if (device >= required && device.GetPart(0) == required.GetPart(0))
        return errNone;
    return errOsVersion;
}

} // namespace Device
