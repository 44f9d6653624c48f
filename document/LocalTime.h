#pragma once
#include <QDate>
#include <QTime>

#include <cstdint>
#include <optional>
#include <unordered_map>

// Time stamps are seconds since 1 January 1970 (UTC), as the series keep them; calendar
// times follow the machine's time zone and daylight-saving rules (TZ).

// The local calendar time of a time stamp; none when the C library cannot form it.
struct LocalDateTime
{
    QDate date;
    QTime time;
    friend bool operator==(const LocalDateTime&, const LocalDateTime&) = default;
};
std::optional<LocalDateTime> ToLocalDateTime(int64_t timeStamp);

// The time stamp of a local calendar time. dst -1 lets the system decide whether
// daylight-saving time applies, 0 takes the time as standard time, 1 as daylight time.
std::optional<int64_t> FromLocalDateTime(const LocalDateTime& local, int dst = -1);

// True when the time stamp's local time lies in daylight-saving time: its calendar time
// converts back differently as standard time and as the system decides.
bool IsDaylightSavingTime(int64_t timeStamp);

// Every place that shows or adjusts a stored time stamp as a calendar time uses this: a
// stamp in daylight-saving time is taken one hour earlier (t - 3600), others as they are.
int64_t ApplyDaylightRule(int64_t timeStamp);

// The daylight rule for many stored local times (a long export): each is shown as the
// local time of ApplyDaylightRule of its stamp. Whether a local day keeps one offset
// throughout is worked out once per day; on such a day the rule is plain arithmetic, and
// only times on days with a change of offset (or in the first hour of a daylight-saving
// day) go the full way through the C library, which is slow.
class CShownTimes
{
public:
    std::optional<LocalDateTime> Shown(const LocalDateTime& stored);

private:
    enum class NDay : int8_t
    {
        Standard,
        Daylight,
        Mixed,
    };
    NDay DayKind(const QDate& date);

    std::unordered_map<qint64, NDay> m_days;
};
