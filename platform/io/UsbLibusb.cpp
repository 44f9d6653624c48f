// The USB backend on libusb: enumeration by descriptors, exclusive access by claiming the
// interface, and transfers that are bounded and cancellable (asynchronous transfers whose
// events the waiting thread handles itself).
#include "platform/io/UsbBackend.h"

#include "platform/core/ErrorCodes.h"
#include "platform/core/Event.h"

#include <libusb.h>

#include <atomic>
#include <climits>
#include <mutex>
#include <set>

namespace Platform
{

namespace
{

uint32_t CodeFromLibusb(int r)
{
    switch (r)
    {
    case LIBUSB_SUCCESS:
        return Err::Success;
    case LIBUSB_ERROR_NO_DEVICE:
        return Err::DeviceNotConnected;
    case LIBUSB_ERROR_NOT_FOUND:
        return Err::FileNotFound;
    case LIBUSB_ERROR_ACCESS:
    case LIBUSB_ERROR_BUSY:
        return Err::AccessDenied;
    case LIBUSB_ERROR_TIMEOUT:
        return Err::Timeout;
    case LIBUSB_ERROR_INTERRUPTED:
        return Err::OperationAborted;
    case LIBUSB_ERROR_NO_MEM:
        return Err::NotEnoughMemory;
    case LIBUSB_ERROR_NOT_SUPPORTED:
        return Err::NotSupported;
    case LIBUSB_ERROR_INVALID_PARAM:
        return Err::InvalidParameter;
    default:
        return Err::GenFailure;
    }
}

uint32_t CodeFromStatus(int status)
{
    switch (status)
    {
    case LIBUSB_TRANSFER_COMPLETED:
        return Err::Success;
    case LIBUSB_TRANSFER_TIMED_OUT:
        return Err::Timeout;
    case LIBUSB_TRANSFER_CANCELLED:
        return Err::OperationAborted;
    case LIBUSB_TRANSFER_NO_DEVICE:
        return Err::DeviceNotConnected;
    default: // stall, overflow, error
        return Err::GenFailure;
    }
}

QString PathOf(libusb_device* dev)
{
    uint8_t ports[8];
    const int n = libusb_get_port_numbers(dev, ports, sizeof ports);
    QString path = QStringLiteral("usb:%1").arg(libusb_get_bus_number(dev));
    for (int i = 0; i < n; ++i)
        path += (i == 0 ? QLatin1Char('-') : QLatin1Char('.')) + QString::number(ports[i]);
    if (n <= 0)
        path += QStringLiteral("-a%1").arg(libusb_get_device_address(dev));
    return path;
}

class LibusbContext
{
public:
    static LibusbContext& Instance()
    {
        static LibusbContext ctx;
        return ctx;
    }
    libusb_context* Get(int& error)
    {
        std::lock_guard guard(m_lock);
        if (!m_ctx)
            m_error = libusb_init(&m_ctx);
        error = m_error;
        return m_error == 0 ? m_ctx : nullptr;
    }
    ~LibusbContext()
    {
        if (m_ctx)
            libusb_exit(m_ctx);
    }

private:
    std::mutex m_lock;
    libusb_context* m_ctx = nullptr;
    int m_error = 0;
};

class LibusbDevice final : public UsbBulkDevice
{
public:
    LibusbDevice(libusb_context* ctx, libusb_device_handle* handle, uint8_t itf, uint8_t in, uint8_t out,
                 uint16_t inPacket)
        : m_ctx(ctx), m_handle(handle), m_interface(itf), m_in(in), m_out(out), m_inPacket(inPacket)
    {
    }
    ~LibusbDevice() override
    {
        CancelTransfers();
        libusb_release_interface(m_handle, m_interface);
        libusb_close(m_handle);
    }

    uint16_t InPacketSize() const override { return m_inPacket; }

    uint32_t BulkIn(uint8_t* buffer, size_t len, uint32_t timeoutMs, size_t& done) override
    {
        return Transfer(m_in, buffer, len, timeoutMs, done);
    }
    uint32_t BulkOut(const uint8_t* data, size_t len, uint32_t timeoutMs, size_t& done) override
    {
        // libusb takes a non-const buffer for both directions; an OUT transfer only reads it.
        return Transfer(m_out, const_cast<uint8_t*>(data), len, timeoutMs, done);
    }

    void CancelTransfers() override
    {
        std::lock_guard guard(m_lock);
        for (libusb_transfer* t : m_active)
            libusb_cancel_transfer(t);
    }

private:
    static void LIBUSB_CALL Completed(libusb_transfer* t) { *static_cast<int*>(t->user_data) = 1; }

    uint32_t Transfer(uint8_t endpoint, uint8_t* buffer, size_t len, uint32_t timeoutMs, size_t& done)
    {
        done = 0;
        if (len > INT_MAX)
            return Err::InvalidParameter;
        libusb_transfer* t = libusb_alloc_transfer(0);
        if (!t)
            return Err::NotEnoughMemory;
        int completed = 0;
        // libusb reads 0 as "no limit": no limit is ours kInfinite, and our 0 is its shortest wait.
        const unsigned int limit = timeoutMs == kInfinite ? 0u : (timeoutMs == 0 ? 1u : timeoutMs);
        libusb_fill_bulk_transfer(t, m_handle, endpoint, buffer, static_cast<int>(len),
                                  &LibusbDevice::Completed, &completed, limit);
        {
            std::lock_guard guard(m_lock);
            const int r = libusb_submit_transfer(t);
            if (r != 0)
            {
                libusb_free_transfer(t);
                return CodeFromLibusb(r);
            }
            m_active.insert(t);
        }
        // Wait until the transfer has completed, also after a cancel, so that its buffer is
        // never freed or reused while the bus may still write into it.
        while (!completed)
        {
            timeval tv{0, 100000};
            const int r = libusb_handle_events_timeout_completed(m_ctx, &tv, &completed);
            if (r != 0 && r != LIBUSB_ERROR_INTERRUPTED && r != LIBUSB_ERROR_TIMEOUT)
            {
                std::lock_guard guard(m_lock);
                libusb_cancel_transfer(t);
            }
        }
        {
            std::lock_guard guard(m_lock);
            m_active.erase(t);
        }
        done = t->actual_length > 0 ? static_cast<size_t>(t->actual_length) : 0;
        const uint32_t code = CodeFromStatus(t->status);
        libusb_free_transfer(t);
        return code;
    }

    libusb_context* m_ctx;
    libusb_device_handle* m_handle;
    uint8_t m_interface;
    uint8_t m_in;
    uint8_t m_out;
    uint16_t m_inPacket;
    std::mutex m_lock;
    std::set<libusb_transfer*> m_active;
};

class LibusbBackend final : public UsbBackend
{
public:
    uint32_t Enumerate(std::vector<UsbDeviceInfo>& devices) override
    {
        devices.clear();
        int error = 0;
        libusb_context* ctx = LibusbContext::Instance().Get(error);
        if (!ctx)
            return CodeFromLibusb(error);
        libusb_device** list = nullptr;
        const ssize_t count = libusb_get_device_list(ctx, &list);
        if (count < 0)
            return CodeFromLibusb(static_cast<int>(count));
        for (ssize_t i = 0; i < count; ++i)
            devices.push_back(Describe(list[i]));
        libusb_free_device_list(list, 1);
        return Err::Success;
    }

    uint32_t Open(const QString& devicePath, uint8_t interfaceNumber, uint8_t inEndpoint, uint8_t outEndpoint,
                  std::unique_ptr<UsbBulkDevice>& device) override
    {
        device.reset();
        int error = 0;
        libusb_context* ctx = LibusbContext::Instance().Get(error);
        if (!ctx)
            return CodeFromLibusb(error);
        libusb_device** list = nullptr;
        const ssize_t count = libusb_get_device_list(ctx, &list);
        if (count < 0)
            return CodeFromLibusb(static_cast<int>(count));
        uint32_t code = Err::FileNotFound;
        for (ssize_t i = 0; i < count; ++i)
        {
            if (PathOf(list[i]) != devicePath)
                continue;
            const UsbDeviceInfo info = Describe(list[i]);
            uint16_t inPacket = 64;
            for (const auto& itf : info.interfaces)
                for (const auto& ep : itf.endpoints)
                    if (itf.number == interfaceNumber && ep.address == inEndpoint && ep.maxPacketSize > 0)
                        inPacket = ep.maxPacketSize;
            libusb_device_handle* handle = nullptr;
            int r = libusb_open(list[i], &handle);
            if (r == 0)
            {
                libusb_set_auto_detach_kernel_driver(handle, 1);
                r = libusb_claim_interface(handle, interfaceNumber);
                if (r != 0)
                    libusb_close(handle);
            }
            code = CodeFromLibusb(r);
            if (r == 0)
                device = std::make_unique<LibusbDevice>(ctx, handle, interfaceNumber, inEndpoint, outEndpoint,
                                                        inPacket);
            break;
        }
        libusb_free_device_list(list, 1);
        return code;
    }

private:
    static UsbDeviceInfo Describe(libusb_device* dev)
    {
        UsbDeviceInfo info;
        info.path = PathOf(dev);
        libusb_device_descriptor desc{};
        if (const int r = libusb_get_device_descriptor(dev, &desc))
        {
            info.error = CodeFromLibusb(r);
            return info;
        }
        info.vendorId = desc.idVendor;
        info.productId = desc.idProduct;
        libusb_config_descriptor* config = nullptr;
        if (const int r = libusb_get_active_config_descriptor(dev, &config))
        {
            info.error = CodeFromLibusb(r);
            return info;
        }
        for (int i = 0; i < config->bNumInterfaces; ++i)
        {
            const libusb_interface& itf = config->interface[i];
            if (itf.num_altsetting < 1)
                continue;
            const libusb_interface_descriptor& alt = itf.altsetting[0];
            UsbInterfaceInfo out;
            out.number = alt.bInterfaceNumber;
            for (int e = 0; e < alt.bNumEndpoints; ++e)
                out.endpoints.push_back(UsbEndpointInfo{alt.endpoint[e].bEndpointAddress,
                                                        alt.endpoint[e].bmAttributes,
                                                        alt.endpoint[e].wMaxPacketSize});
            info.interfaces.push_back(std::move(out));
        }
        libusb_free_config_descriptor(config);
        return info;
    }
};

} // namespace

std::shared_ptr<UsbBackend> UsbBackend::Libusb()
{
    static const auto backend = std::make_shared<LibusbBackend>();
    return backend;
}

} // namespace Platform
