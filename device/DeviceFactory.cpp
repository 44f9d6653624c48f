#include "device/DeviceFactory.h"

#include "device/AmbrelonDevice.h"
#include "device/CorvellLabDevice.h"
#include "device/Delva6Device.h"
#include "device/FennorayDevice.h"
#include "device/HarrowindDevice.h"
#include "device/MarbeliDevice.h"
#include "device/PelorixDevice.h"
#include "device/PlaceholderDevice.h"
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
struct TypeRow
{
    const char* displayName;
    const char* typeName; // what the class reports in search texts
    uint32_t portMask;
    uint8_t signatureClass;
    uint32_t baud;
};

constexpr TypeRow kTypes[typeCount] = {
    {"Veskora 3", "Veskora 3", 7, 3, 9600},
    {"Veskora Marbeli / Veskora Tevasol", "Veskora Marbeli / Veskora Tevasol", 1, 4, 38400},
    {"Orlanthe", "Orlanthe", 1, 5, 38400},
    {"Delvaquint", "Delvaquint", 1, 6, 19200},
    {"Fennoray", "Fennoray", 1, 7, 38400},
    {"Veskamon 3", "Veskamon 3", 2, 8, 9600},
    {"Corvell Lab", "Corvell Lab", 1, 9, 115200},
    {"Tolvane", "Tolvane", 1, 10, 19200},
    {"Ambrelon", "Ambrelon", 1, 11, 19200},
    {"PX-2", "PX-2", 1, 12, 19200},
    {"Platform", "Platform", 6, 13, 19200},
    {"Harrowind", "Harrowind", 1, 0, 9600},
    {"US VivodOzez 50kHz", "US VivodOzez 50kHz", 1, 14, 19200},
    {"Delvarohne6", "Delvarohne6", 1, 15, 19200},
    {"Varidov", "VariDov", 1, 16, 115200},
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
    default:
        if (type >= typeCount)
            return nullptr;
        const TypeRow& row = kTypes[type];
        return std::make_unique<CPlaceholderDevice>(NTypes(type), QString::fromLatin1(row.typeName),
                                                    row.portMask, row.signatureClass, row.baud);
    }
}

const char* GetDeviceTypeName(uint32_t type)
{
    return type < typeCount ? kTypes[type].displayName : nullptr;
}

} // namespace Device
