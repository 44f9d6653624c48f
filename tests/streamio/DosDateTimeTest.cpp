#include "streamio/DosDateTime.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace
{

// Pins the process time zone for one test and restores the previous one.
class ZoneGuard
{
public:
    explicit ZoneGuard(const char* zone)
    {
        if (const char* old = std::getenv("TZ"))
            m_old = old;
        qputenv("TZ", zone);
        ::tzset();
    }
    ~ZoneGuard()
    {
        qputenv("TZ", m_old);
        ::tzset();
    }

private:
    QByteArray m_old = "UTC";
};

TEST(DosDateTime, PacksLocalTimeAndReadsItBackToTwoSeconds)
{
    ZoneGuard zone("EST5"); // five hours behind UTC, no daylight saving
    const QDateTime utc(QDate(2014, 1, 1), QTime(4, 59, 59), Qt::UTC);
    const uint32_t packed = TimeToDosDateTime(utc);
    EXPECT_EQ(packed >> 16, 0x439Fu) << "2013-12-31 local";
    EXPECT_EQ(packed & 0xFFFF, 0xBF7Du) << "23:59:58 local, second field 29";

    const QDateTime back = DosDateTimeToTime(packed);
    ASSERT_TRUE(back.isValid());
    EXPECT_EQ(back.date(), QDate(2013, 12, 31));
    EXPECT_EQ(back.time(), QTime(23, 59, 58));
    EXPECT_EQ(back.toUTC(), utc.addSecs(-1));
}

TEST(DosDateTime, OutOfRangeFieldsGiveNoTime)
{
    const auto pack = [](uint32_t y, uint32_t mo, uint32_t d, uint32_t h, uint32_t mi, uint32_t s2)
    { return (y << 25) | (mo << 21) | (d << 16) | (h << 11) | (mi << 5) | s2; };
    struct Case
    {
        const char* what;
        uint32_t value;
        bool valid;
    } cases[] = {
        {"zero", 0, false},
        {"month 13", pack(33, 13, 1, 0, 0, 0), false},
        {"month 15", pack(33, 15, 1, 0, 0, 0), false},
        {"day 0", pack(33, 5, 0, 0, 0, 0), false},
        {"30 February", pack(33, 2, 30, 0, 0, 0), false},
        {"hour 24", pack(33, 5, 1, 24, 0, 0), false},
        {"hour 31", pack(33, 5, 1, 31, 0, 0), false},
        {"minute 60", pack(33, 5, 1, 0, 60, 0), false},
        {"second 60", pack(33, 5, 1, 0, 0, 30), false},
        {"29 February 2012", pack(32, 2, 29, 12, 30, 29), true},
        {"last moment", 0xFF9FBF7Du, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DosDateTimeToTime(c.value).isValid(), c.valid) << c.what;
}

TEST(DosDateTime, YearsOutsideTheFieldAreClamped)
{
    EXPECT_EQ(TimeToDosDateTime(QDateTime(QDate(1970, 6, 1), QTime(12, 0), Qt::LocalTime)), 0x00210000u);
    EXPECT_EQ(TimeToDosDateTime(QDateTime(QDate(2108, 1, 1), QTime(0, 0), Qt::LocalTime)), 0xFF9FBF7Du);
    EXPECT_EQ(TimeToDosDateTime(QDateTime(QDate(2107, 12, 31), QTime(23, 59, 59), Qt::LocalTime)),
              0xFF9FBF7Du);
    EXPECT_EQ(TimeToDosDateTime(QDateTime()), 0u);
}

} // namespace
