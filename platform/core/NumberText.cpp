#include "platform/core/NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

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
    QString text;
    AppendFixed(text, value, decimals);
    return text;
}

namespace
{
// Exports format hundreds of thousands of measured values: floats with a few decimals.
// A float (24 significant bits) times 10^d for d <= 6 (at most 14 more bits) is an exact
// double, so rounding it to an integer (ties to even, as printf rounds the exact value)
// gives printf's digits without the general algorithm. False for other values; the
// caller then takes the general way.
bool AppendFixedFast(QString& out, double value, int decimals)
{
    static constexpr double kScale[] = {1.0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6};
    // (The size test first: a double beyond a float's range must not be cast to one.)
    if (decimals < 0 || decimals > 6 || !(std::fabs(value) < 9.0e15) ||
        static_cast<double>(static_cast<float>(value)) != value)
        return false;
    const double scaled = value * kScale[decimals];
    if (std::fabs(scaled) >= 9.0e15)
        return false;
    const uint64_t n = static_cast<uint64_t>(std::fabs(std::nearbyint(scaled)));
    char digits[24];
    const int count = static_cast<int>(std::to_chars(digits, digits + sizeof digits, n).ptr - digits);
    // The text goes straight into UTF-16 and to the string in one append: values come by
    // the hundred thousand, and each step here counts.
    char16_t text[48];
    char16_t* at = text;
    if (std::signbit(value))
        *at++ = u'-';
    const int whole = count - decimals;
    if (whole <= 0)
    {
        // Zeros in front, so that one digit stands before the decimal point.
        *at++ = u'0';
        *at++ = u'.';
        at = std::fill_n(at, -whole, u'0');
        for (int i = 0; i < count; ++i)
            *at++ = char16_t(digits[i]);
    }
    else
    {
        for (int i = 0; i < whole; ++i)
            *at++ = char16_t(digits[i]);
        if (decimals > 0)
        {
            *at++ = u'.';
            for (int i = whole; i < count; ++i)
                *at++ = char16_t(digits[i]);
        }
    }
    out.append(reinterpret_cast<const QChar*>(text), at - text);
    return true;
}
} // namespace

void AppendFixed(QString& out, double value, int decimals)
{
    if (AppendFixedFast(out, value, decimals))
        return;
    char buf[512];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    if (r.ec == std::errc())
        out.append(QLatin1StringView(buf, r.ptr - buf));
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

std::optional<double> ParseTypedNumber(QStringView text, const QLocale& locale)
{
    QString t = text.trimmed().toString();
    const QString separator = locale.decimalPoint();
    if (separator != QStringLiteral(".") && !separator.isEmpty() && t.count(separator) == 1)
    {
        if (t.contains(u'.'))
            return std::nullopt; // "1.000,5": a group separator is no number of ours
        t.replace(separator, QStringLiteral("."));
    }
    for (const QChar c : t)
        if (!(c.isDigit() || c == u'.' || c == u'-' || c == u'+' || c == u'e' || c == u'E'))
            return std::nullopt; // no "inf", "nan" or hexadecimal
    const std::optional<double> value = ParseDouble(t);
    if (!value || !std::isfinite(*value))
        return std::nullopt;
    return value;
}

std::optional<long long> ParseTypedInteger(QStringView text)
{
    return ParseInteger(text.trimmed(), 10);
}

QString TypedNumberExample(const QLocale& locale)
{
    const QString example = QStringLiteral("12.5");
    const QString separator = locale.decimalPoint();
    if (separator == QStringLiteral(".") || separator.isEmpty())
        return example;
    return example + QStringLiteral(" / 12") + separator + QStringLiteral("5");
}

} // namespace Platform
