#include "platform/core/NumberText.h"

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
    // The digits of n, with zeros in front so that one stands before the decimal point.
    char digits[32];
    int count = static_cast<int>(std::to_chars(digits, digits + sizeof digits, n).ptr - digits);
    if (count <= decimals)
    {
        const int zeros = decimals + 1 - count;
        std::memmove(digits + zeros, digits, size_t(count));
        std::memset(digits, '0', size_t(zeros));
        count += zeros;
    }
    char text[40];
    int length = 0;
    if (std::signbit(value))
        text[length++] = '-';
    const int whole = count - decimals;
    std::memcpy(text + length, digits, size_t(whole));
    length += whole;
    if (decimals > 0)
    {
        text[length++] = '.';
        std::memcpy(text + length, digits + whole, size_t(decimals));
        length += decimals;
    }
    out.append(QLatin1StringView(text, length));
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

} // namespace Platform
