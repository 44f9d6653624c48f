#pragma once
#include <QString>
#include <QStringView>

#include <compare>
#include <cstdint>

// A version of four 16-bit parts in one 64-bit number, the first part most significant,
// so versions compare as numbers.
class CVersion
{
public:
    CVersion() = default;
    explicit CVersion(uint64_t value) : m_value(value) {}
    // Up to four numbers separated by points ("," counts as ".", blanks are ignored):
    // one number is the value itself (when written with fewer than 20 characters), two
    // are the high and low 32 bits, three or four are 16-bit parts. A part out of range,
    // a sign, an overflow or no number at all give version 0.
    explicit CVersion(QStringView text);

    uint64_t GetValue() const { return m_value; }
    // 0 = first part ... 3 = fourth; any other index 0.
    uint16_t GetPart(int index) const;
    // 2: the two 32-bit halves, 3 or 4: that many parts, joined by points; any other
    // count: the whole value as a signed number.
    QString Format(int count) const;

    auto operator<=>(const CVersion&) const = default;

private:
    uint64_t m_value = 0;
};
