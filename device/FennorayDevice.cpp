#include "device/FennorayDevice.h"

namespace Device
{

CFennorayDevice::CFennorayDevice() : CRavnellDevice(typeFennoray)
{
}

} // namespace Device
