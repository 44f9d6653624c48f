#include "streamio/Version.h"

#include <QByteArray>

#include <charconv>

namespace
{
constexpr int kMaxFields = 4;
constexpr size_t kMaxSingleNumberLength = 20;
} // namespace

CVersion::CVersion(QStringView text)
{
    QString cleaned = text.toString();
    cleaned.remove(QLatin1Char(' '));
    cleaned.replace(QLatin1Char(','), QLatin1Char('.'));
    // Characters outside Latin-1 become '?', which ends a number like any other letter.
    const QByteArray bytes = cleaned.toLatin1();
    const char* p = bytes.constData();
    const char* const end = p + bytes.size();

    uint64_t fields[kMaxFields] = {};
    int count = 0;
    while (count < kMaxFields)
    {
        if (count > 0)
        {
            if (p == end || *p != '.')
                break;
            ++p;
        }
        // A version has no sign: "-1" is not a version.
        if (p != end && (*p == '-' || *p == '+'))
            return;
        const auto [next, error] = std::from_chars(p, end, fields[count]);
        if (error == std::errc::result_out_of_range)
            return;
        if (error != std::errc())
            break;
        p = next;
        ++count;
    }

    switch (count)
    {
    case 1:
        if (static_cast<size_t>(bytes.size()) < kMaxSingleNumberLength)
            m_value = fields[0];
        break;
    case 2:
        if (fields[0] <= 0xFFFFFFFFu && fields[1] <= 0xFFFFFFFFu)
            m_value = fields[0] << 32 | fields[1];
        break;
    case 3:
    case 4:
        if (fields[0] <= 0xFFFF && fields[1] <= 0xFFFF && fields[2] <= 0xFFFF && fields[3] <= 0xFFFF)
            m_value = fields[0] << 48 | fields[1] << 32 | fields[2] << 16 | fields[3];
        break;
    default:
        break;
    }
}

uint16_t CVersion::GetPart(int index) const
{
    if (index < 0 || index > 3)
        return 0;
    return static_cast<uint16_t>(m_value >> (48 - 16 * index));
}

QString CVersion::Format(int count) const
{
    const QChar point(QLatin1Char('.'));
    switch (count)
    {
    case 2:
        return QString::number(m_value >> 32) + point + QString::number(m_value & 0xFFFFFFFFu);
    case 3:
    case 4:
    {
        QString text = QString::number(GetPart(0));
        for (int i = 1; i < count; ++i)
            text += point + QString::number(GetPart(i));
        return text;
    }
    default:
        return QString::number(static_cast<int64_t>(m_value));
    }
}
