#include "document/LocalTime.h"

#include <cerrno>
#include <ctime>
#include <limits>

namespace
{

std::optional<std::tm> ToTm(int64_t timeStamp)
{
    if (timeStamp < std::numeric_limits<time_t>::min() || timeStamp > std::numeric_limits<time_t>::max())
        return std::nullopt;
    const time_t t = static_cast<time_t>(timeStamp);
    std::tm tm{};
    if (!localtime_r(&t, &tm))
        return std::nullopt;
    return tm;
}

// -1 is a valid result (one second before the epoch), so a failure is told by errno.
std::optional<int64_t> MakeTime(std::tm tm)
{
    errno = 0;
    const time_t t = std::mktime(&tm);
    if (t == static_cast<time_t>(-1) && errno != 0)
        return std::nullopt;
    return static_cast<int64_t>(t);
}

} // namespace

std::optional<LocalDateTime> ToLocalDateTime(int64_t timeStamp)
{
    const auto tm = ToTm(timeStamp);
    if (!tm)
        return std::nullopt;
    const QDate date(tm->tm_year + 1900, tm->tm_mon + 1, tm->tm_mday);
    // A leap second (tm_sec 60) is shown as the last second of its minute.
    const QTime time(tm->tm_hour, tm->tm_min, tm->tm_sec > 59 ? 59 : tm->tm_sec);
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return LocalDateTime{date, time};
}

std::optional<int64_t> FromLocalDateTime(const LocalDateTime& local, int dst)
{
    if (!local.date.isValid() || !local.time.isValid())
        return std::nullopt;
    if (local.date.year() < std::numeric_limits<int>::min() + 1900)
        return std::nullopt;
    std::tm tm{};
    tm.tm_year = local.date.year() - 1900;
    tm.tm_mon = local.date.month() - 1;
    tm.tm_mday = local.date.day();
    tm.tm_hour = local.time.hour();
    tm.tm_min = local.time.minute();
    tm.tm_sec = local.time.second();
    tm.tm_isdst = dst;
    return MakeTime(tm);
}

bool IsDaylightSavingTime(int64_t timeStamp)
{
    const auto tm = ToTm(timeStamp);
    if (!tm)
        return false;
    std::tm standard = *tm;
    standard.tm_isdst = 0;
    std::tm decided = *tm;
    decided.tm_isdst = -1;
    const auto a = MakeTime(standard);
    const auto b = MakeTime(decided);
    return a && b && *a != *b;
}

int64_t ApplyDaylightRule(int64_t timeStamp)
{
    return IsDaylightSavingTime(timeStamp) ? timeStamp - 3600 : timeStamp;
}

std::optional<LocalDateTime> CShownTimes::Shown(const LocalDateTime& stored)
{
    if (!stored.date.isValid() || !stored.time.isValid())
        return std::nullopt;
    switch (DayKind(stored.date))
    {
    case NDay::Standard:
        return stored;
    case NDay::Daylight:
        if (stored.time.hour() >= 1)
            return LocalDateTime{stored.date, stored.time.addSecs(-3600)};
        break;
    case NDay::Mixed:
        break;
    }
    const auto stamp = FromLocalDateTime(stored);
    if (!stamp)
        return std::nullopt;
    return ToLocalDateTime(ApplyDaylightRule(*stamp));
}

CShownTimes::NDay CShownTimes::DayKind(const QDate& date)
{
    const auto found = m_days.find(date.toJulianDay());
    if (found != m_days.end())
        return found->second;
    NDay kind = NDay::Mixed;
    const auto first = FromLocalDateTime({date, QTime(0, 0, 0)});
    const auto last = FromLocalDateTime({date, QTime(23, 59, 59)});
    // One offset all day: the day's first and last second lie a day apart and agree.
    if (first && last && *last - *first == 86399)
    {
        const bool daylight = IsDaylightSavingTime(*first);
        if (daylight == IsDaylightSavingTime(*last))
            kind = daylight ? NDay::Daylight : NDay::Standard;
    }
    m_days.emplace(date.toJulianDay(), kind);
    return kind;
}
