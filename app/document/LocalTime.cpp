#include "app/document/LocalTime.h"

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
