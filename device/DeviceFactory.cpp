#include "device/DeviceFactory.h"

#include "device/AmbrelonDevice.h"
#include "device/CorvellLabDevice.h"
#include "device/Delva6Device.h"
#include "device/DelvaSmartDevice.h"
#include "device/FennorayDevice.h"
#include "device/HarrowindDevice.h"
#include "device/MarbeliDevice.h"
#include "device/PelorixDevice.h"
#include "device/PlatformDevice.h"
#include "device/RavnellDevice.h"
#include "device/TestBoxDevice.h"
#include "device/TolvaneDevice.h"
#include "device/UsPe50kHzDevice.h"
#include "device/Veskamon2Device.h"
#include "device/Veskora3SeDevice.h"

namespace Device
{

namespace
{
constexpr const char* kDisplayNames[typeCount] = {
    "Veskora 3",
    "Veskora Marbeli / Veskora Tevasol",
    "Orlanthe",
    "Delvaquint",
    "Fennoray",
    "Veskamon 3",
    "Corvell Lab",
    "Tolvane",
    "Ambrelon",
    "PX-2",
    "Platform",
    "Harrowind",
    "US VivodOzez 50kHz",
    "Delvarohne6",
    "Varidov",
};
} // namespace

std::unique_ptr<CVmDevice> CreateDevice(uint32_t type)
{
    switch (type)
    {
    case typeVeskora3:
        return std::make_unique<CVeskora3SeDevice>();
    case typeVeskamon3:
        return std::make_unique<CVeskamon2Device>();
    case typeMarbeli:
        return std::make_unique<CMarbeliDevice>();
    case typeOrlanthe:
        return std::make_unique<CRavnellDevice>();
    case typeFennoray:
        return std::make_unique<CFennorayDevice>();
    case typeCorvellLab:
        return std::make_unique<CCorvellLabDevice>();
    case typeTolvane:
        return std::make_unique<CTolvaneDevice>();
    case typeAmbrelon:
        return std::make_unique<CAmbrelonDevice>();
    case typePx2:
        return std::make_unique<CPelorixDevice>();
    case typePlatform:
        return std::make_unique<CPlatformDevice>();
    case typeHarrowind:
        return std::make_unique<CHarrowindDevice>();
    case typeUsPulseEcho50kHz:
        return std::make_unique<CUsPe50kHzDevice>();
    case typeDelvarohne6:
        return std::make_unique<CDelva6Device>();
    case typeTestBox:
        return std::make_unique<CTestBoxDevice>();
    case typeDelvaquint:
        return std::make_unique<CDelvaSmartDevice>();
    default:
        return nullptr;
    }
}

const char* GetDeviceTypeName(uint32_t type)
{
    return type < typeCount ? kDisplayNames[type] : nullptr;
}

} // namespace Device
