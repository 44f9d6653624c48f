#include "platform/core/NumberText.h"

#include <charconv>

namespace Platform
{

namespace
{
QByteArray TrimmedAscii(QStringView text)
{
    const QStringView t = text.trimmed();
    QByteArray out;
    out.reserve(t.size());
    for (QChar c : t)
    {
        if (c.unicode() > 0x7F)
            return {};
        out.append(static_cast<char>(c.unicode()));
    }
    return out;
}

template <typename T> std::optional<T> ParseFloating(QStringView text)
{
    const QByteArray a = TrimmedAscii(text);
    if (a.isEmpty())
        return std::nullopt;
    const char* first = a.constData();
    const char* last = first + a.size();
    if (*first == '+')
        ++first;
    T value{};
    const auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (ec != std::errc() || ptr != last)
        return std::nullopt;
    return value;
}
} // namespace

QString FormatFixed(double value, int decimals)
{
    char buf[512];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    if (r.ec != std::errc())
        return QString();
    return QString::fromLatin1(buf, r.ptr - buf);
}

QString FormatGeneral(double value, int precision)
{
    char buf[128];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general,
                                 precision <= 0 ? 1 : precision);
    if (r.ec != std::errc())
        return QString();
    return QString::fromLatin1(buf, r.ptr - buf);
}

std::optional<double> ParseDouble(QStringView text)
{
    return ParseFloating<double>(text);
}

std::optional<float> ParseFloat(QStringView text)
{
    return ParseFloating<float>(text);
}

std::optional<long long> ParseInteger(QStringView text, int base)
{
    const QByteArray a = TrimmedAscii(text);
    if (a.isEmpty())
        return std::nullopt;
    const char* first = a.constData();
    const char* last = first + a.size();
    if (*first == '+')
        ++first;
    long long value = 0;
    const auto [ptr, ec] = std::from_chars(first, last, value, base);
    if (ec != std::errc() || ptr != last)
        return std::nullopt;
    return value;
}

} // namespace Platform
