#include "device/FennorayDevice.h"

namespace Device
{

CFennorayDevice::CFennorayDevice() : CRavnellDevice(typeFennoray, QStringLiteral("Fennoray"), 7)
{
}

std::unique_ptr<CVmDevice> CFennorayDevice::CreateInstance() const
{
    return std::make_unique<CFennorayDevice>();
}

} // namespace Device
