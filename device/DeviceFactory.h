#pragma once
#include "device/VmDevice.h"

#include <cstdint>
#include <memory>
#include <span>

namespace Device
{

// What a type needs beyond its class, as flags of its row.
enum NDeviceQuirks : uint32_t
{
    quirkNone = 0,
    // Found over USB as the control channel of a USB-HID probe, not as a bulk device.
    quirkHidProbe = 0x01
};

// One row of the device type table: everything the library knows about a type outside
// its class. The class's constructor takes its type, its type name, port mask and
// signature class from the row; the factory and the search create objects through it.
// Adding a type is one enumerator in NTypes, one row here and its class.
struct SDeviceDescriptor
{
    NTypes type;
    const char* displayName; // GetDeviceTypeName: the name a type list shows
    const char* typeName;    // the device object's GetTypeName, which the search texts show
    uint32_t portMask;       // NPorts bits the type is reached over
    uint8_t signatureClass;  // the top byte a signature must have for an identification
    uint32_t quirks;         // NDeviceQuirks bits
    std::unique_ptr<CVmDevice> (*create)();
};

// Every row, in the order of NTypes (row i describes type i).
std::span<const SDeviceDescriptor> DeviceTypeTable();
// The row of a type; null for a value outside 0-14.
const SDeviceDescriptor* FindDeviceType(uint32_t type);

// A new, unattached device object of the type's class; null for a value outside 0-14.
std::unique_ptr<CVmDevice> CreateDevice(uint32_t type);
// The display name of a type ("Veskora 3", ...); null outside 0-14.
const char* GetDeviceTypeName(uint32_t type);

} // namespace Device
