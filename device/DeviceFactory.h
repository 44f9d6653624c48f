#pragma once
#include "device/VmDevice.h"

#include <cstdint>
#include <memory>

namespace Device
{

// A new, unattached device object of the type's class; null for a value outside 0-14.
std::unique_ptr<CVmDevice> CreateDevice(uint32_t type);
// The display name of a type ("Veskora 3", ...); null outside 0-14.
const char* GetDeviceTypeName(uint32_t type);

} // namespace Device
