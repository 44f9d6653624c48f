#include "tests/controls/ScopedTimeZone.h"

#include <cstdlib>
#include <ctime>

ScopedTimeZone::ScopedTimeZone(const char* tz)
{
    const char* old = std::getenv("TZ");
    m_had = old != nullptr;
    if (old)
        m_previous = old;
    setenv("TZ", tz, 1);
    tzset();
}

ScopedTimeZone::~ScopedTimeZone()
{
    if (m_had)
        setenv("TZ", m_previous.constData(), 1);
    else
        unsetenv("TZ");
    tzset();
}
