#include "platform/io/UsbBackend.h"

#include "platform/core/ErrorCodes.h"
#include "platform/core/SettingsStore.h"
#include "platform/io/SerialPort.h"

#include <QRegularExpression>

#include <mutex>

namespace Platform
{

namespace
{
std::mutex g_backendLock;
std::shared_ptr<UsbBackend> g_backend;

constexpr uint8_t kTransferTypeMask = 0x03;
constexpr uint8_t kBulk = 0x02;
constexpr uint8_t kDirectionIn = 0x80;
} // namespace

std::shared_ptr<UsbBackend> CurrentUsbBackend()
{
    std::lock_guard guard(g_backendLock);
    return g_backend ? g_backend : UsbBackend::Libusb();
}

void SetUsbBackend(std::shared_ptr<UsbBackend> backend)
{
    std::lock_guard guard(g_backendLock);
    g_backend = std::move(backend);
}

std::vector<uint16_t> UsbTesterVendorIds()
{
    std::vector<uint16_t> ids;
    const auto text = SettingsStore::Instance().ReadString(QString::fromLatin1(kPortsSettingsKey),
                                                           QStringLiteral("UsbVendorIds"));
    if (text)
    {
        static const QRegularExpression separators(QStringLiteral("[,\\s]+"));
        for (const QString& part : text->split(separators, Qt::SkipEmptyParts))
        {
            bool ok = false;
            const uint value = part.toUInt(&ok, 16);
            if (ok && value <= 0xFFFF)
                ids.push_back(static_cast<uint16_t>(value));
        }
    }
    if (ids.empty())
        ids.push_back(0x3A7C);
    return ids;
}

bool FindBulkInterface(const UsbDeviceInfo& device, const std::vector<uint16_t>& vendors,
                       UsbBulkInterface& found)
{
    if (device.error != 0 || device.path.isEmpty())
        return false;
    bool vendorMatches = false;
    for (uint16_t v : vendors)
        vendorMatches = vendorMatches || v == device.vendorId;
    if (!vendorMatches)
        return false;
    for (const UsbInterfaceInfo& itf : device.interfaces)
    {
        int ins = 0;
        int outs = 0;
        UsbBulkInterface candidate{itf.number, 0, 0};
        for (const UsbEndpointInfo& ep : itf.endpoints)
        {
            if ((ep.attributes & kTransferTypeMask) != kBulk)
                continue;
            if (ep.address & kDirectionIn)
            {
                ++ins;
                candidate.inEndpoint = ep.address;
            }
            else
            {
                ++outs;
                candidate.outEndpoint = ep.address;
            }
        }
        if (ins == 1 && outs == 1)
        {
            found = candidate;
            return true;
        }
    }
    return false;
}

uint32_t ListUsbBulkPaths(const std::vector<uint16_t>& vendors, QStringList& paths)
{
    paths.clear();
    std::vector<UsbDeviceInfo> devices;
    if (const uint32_t code = CurrentUsbBackend()->Enumerate(devices))
        return code;
    for (const UsbDeviceInfo& device : devices)
    {
        UsbBulkInterface itf;
        if (FindBulkInterface(device, vendors, itf))
            paths.append(device.path + QLatin1Char(':') + QString::number(itf.number));
    }
    return Err::Success;
}

uint32_t OpenUsbBulkPath(const QString& path, std::unique_ptr<UsbBulkDevice>& device)
{
    device.reset();
    const qsizetype colon = path.lastIndexOf(QLatin1Char(':'));
    bool ok = false;
    const uint number = colon > 0 ? path.mid(colon + 1).toUInt(&ok) : 0;
    if (!ok || number > 0xFF)
        return Err::FileNotFound;
    const QString devicePath = path.left(colon);

    auto backend = CurrentUsbBackend();
    std::vector<UsbDeviceInfo> devices;
    if (const uint32_t code = backend->Enumerate(devices))
        return code;
    for (const UsbDeviceInfo& info : devices)
    {
        if (info.error != 0 || info.path != devicePath)
            continue;
        // The interface must still be a bulk pair; which vendor does not matter here, the
        // caller chose the path.
        UsbDeviceInfo one = info;
        std::vector<UsbInterfaceInfo> only;
        for (const auto& itf : info.interfaces)
            if (itf.number == number)
                only.push_back(itf);
        one.interfaces = std::move(only);
        UsbBulkInterface itf;
        if (!FindBulkInterface(one, {info.vendorId}, itf))
            return Err::FileNotFound;
        return backend->Open(devicePath, itf.number, itf.inEndpoint, itf.outEndpoint, device);
    }
    return Err::FileNotFound;
}

} // namespace Platform
