#pragma once
#include "device/DeviceTypes.h"
#include "streamio/Version.h"

#include <QString>

#include <cstdint>

// The package checks that a device runs before an update starts.
namespace Device
{

// The hardware revision ("letter number", e.g. "C12") against a package's range of
// revision codes ((letter - 'A') * 256 + number; only the bits of mask count; a high
// bound of 0 means none). Nothing is tested when both bounds are 0. The revision is
// made upper case in place. errNone or errHardwareRevision.
NError_code CheckHardwareRevision(QString& revision, uint16_t low, uint16_t high, QChar lastLetter,
                                  uint16_t mask);

// The device's operating system against what a package needs (version 0: anything):
// at least the needed version, with the same first part. errNone or errOsVersion.
NError_code CheckOsVersion(const CVersion& device, const CVersion& required);

} // namespace Device
