#include "platform/core/Codepage.h"

namespace
{
// U+ values of 0x80..0x9F; zero where 1252 has no character (kept as C1 controls).
constexpr char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
} // namespace

QString DecodeCp1252(QByteArrayView bytes)
{
    QString out;
    out.resize(bytes.size());
    QChar* dst = out.data();
    for (qsizetype i = 0; i < bytes.size(); ++i)
    {
        const auto b = static_cast<unsigned char>(bytes[i]);
        dst[i] = (b >= 0x80 && b < 0xA0) ? QChar(kHigh[b - 0x80]) : QChar(b);
    }
    return out;
}

QByteArray EncodeCp1252(QStringView text, char replacement)
{
    QByteArray out;
    out.reserve(text.size());
    for (QChar c : text)
    {
        const char16_t u = c.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF))
        {
            out.append(static_cast<char>(u));
            continue;
        }
        char mapped = replacement;
        for (int k = 0; k < 32; ++k)
            if (kHigh[k] == u)
            {
                mapped = static_cast<char>(0x80 + k);
                break;
            }
        out.append(mapped);
    }
    return out;
}
