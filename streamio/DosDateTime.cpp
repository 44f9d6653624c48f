#include "streamio/DosDateTime.h"

namespace
{
constexpr int kFirstYear = 1980;
constexpr int kLastYear = 2107;
} // namespace

uint32_t TimeToDosDateTime(const QDateTime& time)
{
    if (!time.isValid())
        return 0;
    const QDateTime local = time.toLocalTime();
    QDate date = local.date();
    QTime clock = local.time();
    if (date.year() < kFirstYear)
    {
        date = QDate(kFirstYear, 1, 1);
        clock = QTime(0, 0, 0);
    }
    else if (date.year() > kLastYear)
    {
        date = QDate(kLastYear, 12, 31);
        clock = QTime(23, 59, 58);
    }
    const auto field = [](int v) { return static_cast<uint32_t>(v); };
    return field(date.year() - kFirstYear) << 25 | field(date.month()) << 21 | field(date.day()) << 16 |
           field(clock.hour()) << 11 | field(clock.minute()) << 5 | field(clock.second() / 2);
}

bool DosDateTimeFields(uint32_t value, QDate* date, QTime* time)
{
    const int year = static_cast<int>(value >> 25) + kFirstYear;
    const int month = static_cast<int>((value >> 21) & 0x0F);
    const int day = static_cast<int>((value >> 16) & 0x1F);
    const int hour = static_cast<int>((value >> 11) & 0x1F);
    const int minute = static_cast<int>((value >> 5) & 0x3F);
    const int second = static_cast<int>(value & 0x1F) * 2;
    if (!QDate::isValid(year, month, day) || !QTime::isValid(hour, minute, second))
        return false;
    *date = QDate(year, month, day);
    *time = QTime(hour, minute, second);
    return true;
}

QDateTime DosDateTimeToTime(uint32_t value)
{
    QDate date;
    QTime time;
    if (!DosDateTimeFields(value, &date, &time))
        return {};
    // Local time; a moment that daylight saving skips is placed by the system's rules.
    return QDateTime(date, time, Qt::LocalTime);
}
