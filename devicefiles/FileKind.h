#pragma once
#include <cstdint>

// Kinds of tester files a listing asks for, as a bit mask; the listing request sends the
// mask as four hexadecimal digits. The device library declares the same enum in
// device/DeviceTypes.h: until that header is on this branch, this copy stands in for it,
// with the same names and values, and gives way to it once both meet.
namespace Device
{
enum NFileKind : uint32_t
{
    fileMeasurement = 0x01,
    fileConversion = 0x02,
    fileLanguage = 0x04,
    fileHelp = 0x08,
    fileProfiles = 0x10,
    fileLog = 0x20
};
} // namespace Device
