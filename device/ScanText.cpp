#include "device/ScanText.h"

#include <QByteArray>

#include <algorithm>
#include <charconv>

namespace Device
{

namespace
{
void SkipBlanks(QStringView text, qsizetype& pos)
{
    while (pos < text.size() && text.at(pos).isSpace())
        ++pos;
}
} // namespace

std::optional<int32_t> ScanInt(QStringView text, qsizetype& pos)
{
    qsizetype i = pos;
    SkipBlanks(text, i);
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+')))
        negative = text.at(i++) == QLatin1Char('-');
    int64_t value = 0;
    int digits = 0;
    for (; i < text.size() && text.at(i) >= QLatin1Char('0') && text.at(i) <= QLatin1Char('9'); ++i)
    {
        value = std::min<int64_t>(value * 10 + (text.at(i).unicode() - '0'), int64_t(1) << 31);
        ++digits;
    }
    if (digits == 0)
        return std::nullopt;
    pos = i;
    value = negative ? -value : value;
    return int32_t(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

std::optional<double> ScanDouble(QStringView text, qsizetype& pos)
{
    qsizetype i = pos;
    SkipBlanks(text, i);
    // Only the characters a decimal number can hold take part.
    qsizetype end = i;
    while (end < text.size() && end - i < 64)
    {
        const char16_t c = text.at(end).unicode();
        if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E'))
            break;
        ++end;
    }
    QByteArray bytes = text.mid(i, end - i).toLatin1();
    const char* first = bytes.constData();
    const char* last = first + bytes.size();
    if (first < last && *first == '+' && (first + 1 == last || first[1] != '-'))
        ++first;
    double value = 0;
    const std::from_chars_result r = std::from_chars(first, last, value, std::chars_format::general);
    if (r.ec != std::errc() || r.ptr == first)
        return std::nullopt;
    pos = i + (r.ptr - bytes.constData());
    return value;
}

} // namespace Device
