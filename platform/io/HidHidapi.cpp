// The HID backend on hidapi (hidraw). hidraw gives feature reports in the layout with the
// report id in byte 0 already; input reports of a device without numbered reports come
// without it, so a 0 is put in front. The report lengths come from the report
// descriptor, which sysfs offers for every hidraw node.
#include "platform/io/HidBackend.h"

#include "platform/core/ErrorCodes.h"
#include "platform/core/Event.h"
#include "platform/io/HidReportDescriptor.h"

#include <QFile>
#include <QFileInfo>

#include <hidapi/hidapi.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <mutex>
#include <vector>

namespace Platform
{

namespace
{

std::mutex g_backendLock;
std::shared_ptr<HidBackend> g_backend;

bool InitHidapi()
{
    static std::once_flag once;
    static bool ok = false;
    std::call_once(once, [] { ok = hid_init() == 0; });
    return ok;
}

uint32_t LastError()
{
    const uint32_t code = ErrorFromErrno(errno);
    return code == Err::Success ? Err::GenFailure : code;
}

class HidapiDevice final : public HidDevice
{
public:
    HidapiDevice(hid_device* dev, const HidReportLengths& lengths) : m_dev(dev), m_lengths(lengths) {}
    ~HidapiDevice() override { hid_close(m_dev); }

    uint16_t FeatureReportLength() const override { return m_lengths.feature; }
    uint16_t InputReportLength() const override { return m_lengths.input; }

    uint32_t GetFeature(uint8_t* buffer, size_t len) override
    {
        errno = 0;
        const int r = hid_get_feature_report(m_dev, buffer, len);
        if (r < 0)
            return LastError();
        if (static_cast<size_t>(r) < len)
            std::memset(buffer + r, 0, len - static_cast<size_t>(r));
        return Err::Success;
    }

    uint32_t SetFeature(const uint8_t* data, size_t len) override
    {
        errno = 0;
        return hid_send_feature_report(m_dev, data, len) < 0 ? LastError() : Err::Success;
    }

    uint32_t ReadInput(uint8_t* buffer, size_t len, uint32_t timeoutMs, size_t& got) override
    {
        got = 0;
        if (len == 0)
            return Err::InvalidParameter;
        const int wait =
            timeoutMs == kInfinite ? -1 : static_cast<int>(std::min<uint32_t>(timeoutMs, INT_MAX));
        const size_t skip = m_lengths.numbered ? 0 : 1;
        if (len <= skip)
            return Err::InvalidParameter;
        errno = 0;
        const int r = hid_read_timeout(m_dev, buffer + skip, len - skip, wait);
        if (r < 0)
            return LastError();
        if (r == 0)
            return Err::Timeout;
        if (skip)
            buffer[0] = 0;
        got = static_cast<size_t>(r) + skip;
        return Err::Success;
    }

private:
    hid_device* m_dev;
    HidReportLengths m_lengths;
};

class HidapiBackend final : public HidBackend
{
public:
    uint32_t Enumerate(std::vector<HidDeviceInfo>& devices) override
    {
        devices.clear();
        if (!InitHidapi())
            return Err::GenFailure;
        hid_device_info* list = hid_enumerate(0, 0);
        for (hid_device_info* d = list; d; d = d->next)
        {
            HidDeviceInfo info;
            info.path = QString::fromLocal8Bit(d->path ? d->path : "");
            info.vendorId = d->vendor_id;
            info.productId = d->product_id;
            if (info.path.isEmpty())
                info.error = Err::GenFailure;
            devices.push_back(info);
        }
        hid_free_enumeration(list);
        return Err::Success;
    }

    uint32_t Open(const QString& path, std::unique_ptr<HidDevice>& device) override
    {
        device.reset();
        if (!InitHidapi())
            return Err::GenFailure;
        const QByteArray local = path.toLocal8Bit();
        if (!QFileInfo::exists(path))
            return Err::FileNotFound;
        errno = 0;
        hid_device* dev = hid_open_path(local.constData());
        if (!dev)
            return errno == EACCES || errno == EPERM ? Err::AccessDenied : LastError();
        HidReportLengths lengths;
        const QByteArray descriptor = ReadDescriptor(path);
        ParseHidReportDescriptor(reinterpret_cast<const uint8_t*>(descriptor.constData()),
                                 static_cast<size_t>(descriptor.size()), lengths);
        device = std::make_unique<HidapiDevice>(dev, lengths);
        return Err::Success;
    }

private:
    static QByteArray ReadDescriptor(const QString& nodePath)
    {
        QFile file(QStringLiteral("/sys/class/hidraw/%1/device/report_descriptor")
                       .arg(QFileInfo(nodePath).fileName()));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        // A descriptor is at most 4096 bytes (HID_MAX_DESCRIPTOR_SIZE).
        return file.read(4096);
    }
};

} // namespace

std::shared_ptr<HidBackend> HidBackend::Hidapi()
{
    static const auto backend = std::make_shared<HidapiBackend>();
    return backend;
}

std::shared_ptr<HidBackend> CurrentHidBackend()
{
    std::lock_guard guard(g_backendLock);
    return g_backend ? g_backend : HidBackend::Hidapi();
}

void SetHidBackend(std::shared_ptr<HidBackend> backend)
{
    std::lock_guard guard(g_backendLock);
    g_backend = std::move(backend);
}

} // namespace Platform
