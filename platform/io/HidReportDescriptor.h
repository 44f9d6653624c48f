#pragma once
#include <cstddef>
#include <cstdint>

namespace Platform
{

// What the transfers need to know of a HID report descriptor: the longest input and
// feature report in bytes, the report id byte included (as Windows counts them, 1 + the
// data of the largest report), and whether the device numbers its reports.
struct HidReportLengths
{
    uint16_t input = 0;
    uint16_t output = 0;
    uint16_t feature = 0;
    bool numbered = false;
};

// Walks the descriptor's items. A truncated item, a long item running past the end, or
// a report whose size overflows ends the walk with false; lengths then hold what was
// read up to there.
bool ParseHidReportDescriptor(const uint8_t* data, size_t size, HidReportLengths& lengths);

} // namespace Platform
