#include "platform/core/NumberText.h"

#include <charconv>
#include <cmath>
#include <cstdint>

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
    if (decimals < 0 || decimals > 6 || !std::isfinite(value) ||
        static_cast<double>(static_cast<float>(value)) != value)
        return false;
    const double scaled = value * kScale[decimals];
    if (std::fabs(scaled) >= 9.0e15)
        return false;
    const double rounded = std::nearbyint(scaled);
    uint64_t n = static_cast<uint64_t>(std::fabs(rounded));
    char digits[24];
    int count = 0;
    do
    {
        digits[count++] = static_cast<char>('0' + n % 10);
        n /= 10;
    } while (n != 0 || count <= decimals);
    char text[32];
    int length = 0;
    if (std::signbit(value))
        text[length++] = '-';
    for (int i = count - 1; i >= 0; --i)
    {
        text[length++] = digits[i];
        if (i == decimals && decimals > 0)
            text[length++] = '.';
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
