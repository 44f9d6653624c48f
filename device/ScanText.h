#pragma once
#include <QStringView>

#include <cstdint>
#include <optional>

// Numbers read the way the instruments' texts are written to be read: leading blanks,
// then the longest number at the reading position, the rest of the text left over
// ("12abc" reads 12). Always in the C locale. Each advances pos past what it read.
namespace Device
{

// Blanks, an optional sign and decimal digits; values beyond 32 bits are clamped.
std::optional<int32_t> ScanInt(QStringView text, qsizetype& pos);
// Blanks, an optional sign and a decimal floating-point number.
std::optional<double> ScanDouble(QStringView text, qsizetype& pos);

inline std::optional<int32_t> ScanInt(QStringView text)
{
    qsizetype pos = 0;
    return ScanInt(text, pos);
}

inline std::optional<double> ScanDouble(QStringView text)
{
    qsizetype pos = 0;
    return ScanDouble(text, pos);
}

} // namespace Device
