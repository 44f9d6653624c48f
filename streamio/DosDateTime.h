#pragma once
#include <QDateTime>

#include <cstdint>

// The packed 32-bit DOS date and time that measurement series carry: the date in the
// high word (year - 1980 in bits 25-31, month 21-24, day 16-20), the time in the low
// word (hour 11-15, minute 5-10, seconds / 2 in 0-4), in local time.

// Packs the local time of a moment; seconds are halved (an odd second is dropped).
// Moments before 1980 or after 2107 pack as the first or last representable moment; an
// invalid moment packs as 0.
uint32_t TimeToDosDateTime(const QDateTime& time);

// The local date and time fields of a packed value; false (fields untouched) when a field
// is out of range, as below.
bool DosDateTimeFields(uint32_t value, QDate* date, QTime* time);

// The local moment of a packed value; an invalid QDateTime (no time) when a field is out
// of range (month 0 or 13-15, day 0 or past the month's end, hour 24-31, minute 60-63,
// second field 30-31), as stored data may hold anything.
QDateTime DosDateTimeToTime(uint32_t value);
