#pragma once
#include <QByteArray>

// Sets the process time zone for its lifetime (a POSIX rule, so no zone files are
// needed) and restores the previous one.
class ScopedTimeZone
{
public:
    explicit ScopedTimeZone(const char* tz);
    ~ScopedTimeZone();

private:
    QByteArray m_previous;
    bool m_had;
};

// Central Europe: daylight-saving time from the last Sunday of March, 02:00, to the last
// Sunday of October, 03:00.
inline constexpr const char* kCentralEurope = "CET-1CEST,M3.5.0,M10.5.0/3";
