#pragma once
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace Platform
{

// What enumeration tells about one USB device: enough to decide whether it is a tester
// that talks over one bulk IN and one bulk OUT pipe.
struct UsbEndpointInfo
{
    uint8_t address = 0;    // bit 7 set: IN (device to host)
    uint8_t attributes = 0; // bits 0-1: transfer type, 2 = bulk
    uint16_t maxPacketSize = 0;
};

struct UsbInterfaceInfo
{
    uint8_t number = 0;
    std::vector<UsbEndpointInfo> endpoints;
};

struct UsbDeviceInfo
{
    QString path; // "usb:<bus>-<port>.<port>..."
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    // Non-zero: the device's descriptors could not be read (the fields above may be empty).
    uint32_t error = 0;
    std::vector<UsbInterfaceInfo> interfaces;
};

// The pair of bulk pipes of a claimed interface. Transfers wait at most timeoutMs
// (kInfinite: no limit; 0: the shortest wait the bus allows). Every result is a Windows
// error number, and `done` tells how many bytes moved in every case:
//   0 all requested bytes moved (IN: or a short packet ended the transfer),
//   Timeout the time ran out, OperationAborted CancelTransfers() cut it short (in both
//   cases the transfer has completed and its buffer is free again),
//   DeviceNotConnected the device is gone, GenFailure a stalled pipe or another bus error.
class UsbBulkDevice
{
public:
    virtual ~UsbBulkDevice() = default;
    virtual uint16_t InPacketSize() const = 0;
    // len is a whole number of IN packets, so the device can never overrun the buffer.
    virtual uint32_t BulkIn(uint8_t* buffer, size_t len, uint32_t timeoutMs, size_t& done) = 0;
    virtual uint32_t BulkOut(const uint8_t* data, size_t len, uint32_t timeoutMs, size_t& done) = 0;
    // May be called from any thread: ends the transfers in progress.
    virtual void CancelTransfers() = 0;
};

class UsbBackend
{
public:
    virtual ~UsbBackend() = default;
    // Every present device. A device whose descriptors cannot be read is listed with its
    // error; a non-zero result means the enumeration itself could not run.
    virtual uint32_t Enumerate(std::vector<UsbDeviceInfo>& devices) = 0;
    // Opens the device and claims the interface (exclusive access): FileNotFound when
    // the device is not there, AccessDenied when it is in use or not ours to open.
    virtual uint32_t Open(const QString& devicePath, uint8_t interfaceNumber, uint8_t inEndpoint,
                          uint8_t outEndpoint, std::unique_ptr<UsbBulkDevice>& device) = 0;

    // libusb.
    static std::shared_ptr<UsbBackend> Libusb();
};

std::shared_ptr<UsbBackend> CurrentUsbBackend();
// Installs a backend for everything opened from now on; null brings libusb back.
void SetUsbBackend(std::shared_ptr<UsbBackend> backend);

// The vendor ids that mark a tester: the settings store's list (key
// "Software\Velmor\Veskador 3\Ports", value "UsbVendorIds", hexadecimal ids separated
// by commas or blanks), else 0x3A7C.
std::vector<uint16_t> UsbTesterVendorIds();

// The interface of a device that qualifies: vendor in the list and one bulk IN plus one
// bulk OUT endpoint. False for anything else.
struct UsbBulkInterface
{
    uint8_t number = 0;
    uint8_t inEndpoint = 0;
    uint8_t outEndpoint = 0;
};
bool FindBulkInterface(const UsbDeviceInfo& device, const std::vector<uint16_t>& vendors,
                       UsbBulkInterface& found);

// The paths ("usb:1-4.2:0", device path and interface number) of the qualifying devices
// in enumeration order. A device that cannot be read is passed over, so it does not
// hide the others; the result is non-zero only when the enumeration could not run.
uint32_t ListUsbBulkPaths(const std::vector<uint16_t>& vendors, QStringList& paths);
// Opens a path that ListUsbBulkPaths gave.
uint32_t OpenUsbBulkPath(const QString& path, std::unique_ptr<UsbBulkDevice>& device);

} // namespace Platform
