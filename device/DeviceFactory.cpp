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
template <class T> std::unique_ptr<CVmDevice> Make()
{
    return std::make_unique<T>();
}

constexpr SDeviceDescriptor kTypes[] = {
    {typeVeskora3, "Veskora 3", "Veskora 3", portSerial | portUsb | portEthernet, 3, quirkNone,
     Make<CVeskora3SeDevice>},
    {typeMarbeli, "Veskora Marbeli / Veskora Tevasol", "Veskora Marbeli / Veskora Tevasol", portSerial, 4,
     quirkNone, Make<CMarbeliDevice>},
    {typeOrlanthe, "Orlanthe", "Orlanthe", portSerial, 5, quirkNone, Make<CRavnellDevice>},
    {typeDelvaquint, "Delvaquint", "Delvaquint", portSerial, 6, quirkNone, Make<CDelvaSmartDevice>},
    {typeFennoray, "Fennoray", "Fennoray", portSerial, 7, quirkNone, Make<CFennorayDevice>},
    {typeVeskamon3, "Veskamon 3", "Veskamon 3", portUsb, 8, quirkHidProbe, Make<CVeskamon2Device>},
    {typeCorvellLab, "Corvell Lab", "Corvell Lab", portSerial, 9, quirkNone, Make<CCorvellLabDevice>},
    {typeTolvane, "Tolvane", "Tolvane", portSerial, 10, quirkNone, Make<CTolvaneDevice>},
    {typeAmbrelon, "Ambrelon", "Ambrelon", portSerial, 11, quirkNone, Make<CAmbrelonDevice>},
    {typePx2, "PX-2", "PX-2", portSerial, 12, quirkNone, Make<CPelorixDevice>},
    {typePlatform, "Platform", "Platform", portUsb | portEthernet, 13, quirkNone, Make<CPlatformDevice>},
    {typeHarrowind, "Harrowind", "Harrowind", portSerial, 0, quirkNone, Make<CHarrowindDevice>},
    {typeUsPulseEcho50kHz, "US VivodOzez 50kHz", "US VivodOzez 50kHz", portSerial, 14, quirkNone,
     Make<CUsPe50kHzDevice>},
    {typeDelvarohne6, "Delvarohne6", "Delvarohne6", portSerial, 15, quirkNone, Make<CDelva6Device>},
    // The object calls itself "VariDov" while the type list shows "Varidov".
    {typeTestBox, "Varidov", "VariDov", portSerial, 16, quirkNone, Make<CTestBoxDevice>},
};

constexpr bool RowsFollowTheTypes()
{
    uint32_t i = 0;
    for (const SDeviceDescriptor& row : kTypes)
        if (row.type != i++)
            return false;
    return i == typeCount;
}
static_assert(RowsFollowTheTypes(), "one row per type, in the order of NTypes");
} // namespace

std::span<const SDeviceDescriptor> DeviceTypeTable()
{
    return kTypes;
}

const SDeviceDescriptor* FindDeviceType(uint32_t type)
{
    return type < typeCount ? &kTypes[type] : nullptr;
}

std::unique_ptr<CVmDevice> CreateDevice(uint32_t type)
{
    const SDeviceDescriptor* row = FindDeviceType(type);
    return row ? row->create() : nullptr;
}

const char* GetDeviceTypeName(uint32_t type)
{
    const SDeviceDescriptor* row = FindDeviceType(type);
    return row ? row->displayName : nullptr;
}

} // namespace Device
