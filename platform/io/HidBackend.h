#pragma once
#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace Platform
{

struct HidDeviceInfo
{
    QString path; // the node to open, e.g. "/dev/hidraw3"
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    // Non-zero: the interface could not be read; the other fields may be empty.
    uint32_t error = 0;
};

// One opened HID interface. Reports are in the layout the probe protocol is written
// for: byte 0 is the report id (0 for a device without numbered reports) and the lengths
// count that byte. Results are Windows error numbers.
class HidDevice
{
public:
    virtual ~HidDevice() = default;
    // The longest feature and input report, report id byte included (0 when none).
    virtual uint16_t FeatureReportLength() const = 0;
    virtual uint16_t InputReportLength() const = 0;
    // buffer[0] names the report id; fills len bytes.
    virtual uint32_t GetFeature(uint8_t* buffer, size_t len) = 0;
    virtual uint32_t SetFeature(const uint8_t* data, size_t len) = 0;
    // Takes the next input report from this handle's own queue, waiting at most timeoutMs
    // (kInfinite: no limit): 0 with got > 0 when one came, Timeout when none came.
    virtual uint32_t ReadInput(uint8_t* buffer, size_t len, uint32_t timeoutMs, size_t& got) = 0;
};

class HidBackend
{
public:
    virtual ~HidBackend() = default;
    // Every HID interface present; a non-zero result means the enumeration could not run.
    virtual uint32_t Enumerate(std::vector<HidDeviceInfo>& devices) = 0;
    // Each Open gives a handle of its own with its own input-report queue.
    virtual uint32_t Open(const QString& path, std::unique_ptr<HidDevice>& device) = 0;

    // hidapi on hidraw.
    static std::shared_ptr<HidBackend> Hidapi();
};

std::shared_ptr<HidBackend> CurrentHidBackend();
// Installs a backend for everything opened from now on; null brings hidapi back.
void SetHidBackend(std::shared_ptr<HidBackend> backend);

} // namespace Platform
