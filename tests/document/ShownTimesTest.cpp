#include "document/LocalTime.h"
#include "tests/controls/ScopedTimeZone.h"

#include <gtest/gtest.h>

namespace
{
// The daylight rule the long way, as every single stamp takes it.
std::optional<LocalDateTime> FullWay(const LocalDateTime& stored)
{
    const auto stamp = FromLocalDateTime(stored);
    if (!stamp)
        return std::nullopt;
    return ToLocalDateTime(ApplyDaylightRule(*stamp));
}
} // namespace

TEST(ShownTimes, AgreeWithTheFullRuleOnEveryKindOfDay)
{
    const struct
    {
        const char* zone;
        std::vector<QDate> days; // transition days and their neighbours, and plain days
    } cases[] = {
        {kCentralEurope,
         {QDate(2024, 3, 30), QDate(2024, 3, 31), QDate(2024, 4, 1), QDate(2024, 10, 26), QDate(2024, 10, 27),
          QDate(2024, 10, 28), QDate(2024, 1, 10), QDate(2024, 7, 10)}},
        // Changes at midnight: the day after the change starts in the other offset.
        {"<-04>4<-03>,M9.1.6/24,M4.1.6/24",
         {QDate(2024, 4, 6), QDate(2024, 4, 7), QDate(2024, 9, 7), QDate(2024, 9, 8), QDate(2024, 6, 1)}},
        {"UTC0", {QDate(2024, 3, 31), QDate(2024, 10, 27)}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.zone);
        ScopedTimeZone zone(c.zone);
        CShownTimes shown;
        for (const QDate& day : c.days)
        {
            // Every ten minutes, at an odd second, twice (the second pass from the cache).
            for (int pass = 0; pass < 2; ++pass)
                for (int minute = 0; minute < 24 * 60; minute += 10)
                {
                    const LocalDateTime stored{day, QTime(minute / 60, minute % 60, 58)};
                    ASSERT_EQ(shown.Shown(stored), FullWay(stored))
                        << day.toString(Qt::ISODate).toStdString() << " " << minute;
                }
        }
    }
}
