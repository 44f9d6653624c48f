// Replies of the maker's other instruments: the first byte picks an instrument and an
// operation, the rest is everything the instrument answers (identification fields, the
// bootloader's answer, power state, value lines, device checks, the cover meter's
// status, memory block and memory word reads), and the S-record blocks of their
// firmware.
#include "device/AmbrelonDevice.h"
#include "device/BlockHeader.h"
#include "device/Contents.h"
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
#include "tests/fuzz/FuzzStreams.h"

#include <memory>

namespace
{
template <typename T> void IdentifyWith(const uint8_t* data, size_t size)
{
    T device;
    std::unique_ptr<StreamIO::CIoStream> link = std::make_unique<Fuzz::ReplyStream>(data, size);
    if (!device.Attach(link, Device::portSerial))
        return;
    Device::SIdentity id;
    device.Identify(id);
    device.GetInfoText();
    Device::CContents contents;
    device.GetVersions(contents);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t* rest = data + 1;
    const size_t n = size - 1;
    switch (data[0] % 19)
    {
    case 0:
        IdentifyWith<Device::CPelorixDevice>(rest, n);
        break;
    case 1:
        IdentifyWith<Device::CAmbrelonDevice>(rest, n);
        break;
    case 2:
        IdentifyWith<Device::CCorvellLabDevice>(rest, n);
        break;
    case 3:
        IdentifyWith<Device::CTestBoxDevice>(rest, n);
        break;
    case 4:
        IdentifyWith<Device::CRavnellDevice>(rest, n);
        break;
    case 5:
        IdentifyWith<Device::CMarbeliDevice>(rest, n);
        break;
    case 6:
        IdentifyWith<Device::CUsPe50kHzDevice>(rest, n);
        break;
    case 7:
    {
        Device::CPlatformDevice device;
        std::unique_ptr<StreamIO::CIoStream> link = std::make_unique<Fuzz::ReplyStream>(rest, n);
        if (device.Attach(link, Device::portEthernet))
        {
            Device::SIdentity id;
            device.Identify(id);
            device.GetInfoText();
            Device::SPowerInfo power;
            device.QueryPowerState(power);
        }
        break;
    }
    case 8:
        IdentifyWith<Device::CHarrowindDevice>(rest, n);
        break;
    case 9:
    {
        Device::CCorvellLabDevice device;
        std::unique_ptr<StreamIO::CIoStream> link = std::make_unique<Fuzz::ReplyStream>(rest, n);
        if (device.Attach(link, Device::portSerial))
        {
            Device::SCorvellLabCheck check;
            device.RunDeviceCheck(check);
            device.WriteTexts(QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"));
        }
        break;
    }
    case 10:
    {
        Device::CMarbeliDevice device;
        std::unique_ptr<StreamIO::CIoStream> link = std::make_unique<Fuzz::ReplyStream>(rest, n);
        if (device.Attach(link, Device::portSerial))
        {
            uint8_t buffer[129] = {0x30};
            device.SendBinaryCommand(0xD0, 1, buffer, sizeof buffer, 100);
            uint8_t params[64] = {};
            device.SendBinaryCommand(0x44, 40, params, sizeof params, 100);
        }
        break;
    }
    case 12:
        IdentifyWith<Device::CTolvaneDevice>(rest, n);
        break;
    case 13:
        IdentifyWith<Device::CDelva6Device>(rest, n);
        break;
    case 14:
        IdentifyWith<Device::CFennorayDevice>(rest, n);
        break;
    case 15:
        IdentifyWith<Device::CDelvaSmartDevice>(rest, n);
        break;
    case 16:
    case 17:
    case 18:
    {
        // The cover meter's own commands and memory reads.
        Device::CDelvaSmartDevice meter;
        std::unique_ptr<StreamIO::CIoStream> link = std::make_unique<Fuzz::ReplyStream>(rest, n);
        if (!meter.Attach(link, Device::portSerial))
            break;
        if (data[0] % 19 == 16)
        {
            uint8_t block[44];
            meter.ReadBlockAt1000(block);
        }
        else if (data[0] % 19 == 17)
        {
            meter.WriteWordAt1128();
        }
        else
        {
            meter.QueryStatusByte();
            meter.RequestText();
            meter.SendCommand6();
            meter.RunCommand2();
        }
        break;
    }
    default:
    {
        // An S-record block: its inner header and text, against an instrument that
        // accepts every record.
        Device::CPelorixDevice device;
        std::unique_ptr<StreamIO::CIoStream> link = std::make_unique<Fuzz::AcceptingStream>();
        if (!device.Attach(link, Device::portSerial))
            break;
        Fuzz::ReplyStream source(rest, n, true);
        device.SetDataSource(&source);
        Device::SBlockHeader block;
        const uint32_t length = uint32_t(n);
        std::memcpy(block.bytes + 4, &length, 4);
        block.bytes[12] = 0x40;
        device.TransferBlock(block);
        device.TakeDataSource();
        break;
    }
    }
    return 0;
}
