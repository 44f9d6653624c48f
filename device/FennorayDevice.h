#pragma once
#include "device/RavnellDevice.h"

namespace Device
{

// The "Fennoray" instrument (type 4): an Orlanthe with its own type and signature class.
class CFennorayDevice : public CRavnellDevice
{
public:
    CFennorayDevice();
};

} // namespace Device
