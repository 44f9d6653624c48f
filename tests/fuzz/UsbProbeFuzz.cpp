// The indentation tester's USB probe: the feature reports of its control channel, the
// input reports of its data channel (toggle and length header), and the tester's
// identification and sample read on top of them. The first input byte picks the
// operation, the next two the feature and input report lengths the probe declares; the
// rest is everything the probe gives, in order: each feature report takes its length in
// bytes, each input report a length byte (0: none came) and that many bytes, and the
// sizes the operations ask for come from the same bytes. When they are used up, the
// probe is gone.
#include "device/DeviceTypes.h"
#include "device/Veskamon2Device.h"
#include "platform/core/ErrorCodes.h"
#include "platform/io/HidBackend.h"
#include "streamio/IoStream.h"
#include "streamio/UsbHostProbeControl.h"
#include "streamio/UsbHostProbeData.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>

namespace
{
const QString kPath = QStringLiteral("/dev/hidraw-fuzz");

// What the probe says, shared by every handle the channels open on it.
struct ProbeBytes
{
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t pos = 0;

    bool Empty() const { return pos >= size; }
    uint8_t Byte() { return Empty() ? 0 : data[pos++]; }
    // Up to n bytes into out, the rest of n zero.
    void Copy(uint8_t* out, size_t n)
    {
        const size_t count = std::min(n, size - pos);
        std::memcpy(out, data + pos, count);
        std::memset(out + count, 0, n - count);
        pos += count;
    }
};

class FuzzProbe final : public Platform::HidDevice
{
public:
    FuzzProbe(ProbeBytes& bytes, uint16_t featureLength, uint16_t inputLength)
        : m_bytes(bytes), m_featureLength(featureLength), m_inputLength(inputLength)
    {
    }
    FuzzProbe(const FuzzProbe&) = delete;
    FuzzProbe& operator=(const FuzzProbe&) = delete;
    uint16_t FeatureReportLength() const override { return m_featureLength; }
    uint16_t InputReportLength() const override { return m_inputLength; }
    uint32_t GetFeature(uint8_t* buffer, size_t len) override
    {
        if (m_bytes.Empty())
            return Err::DeviceNotConnected;
        m_bytes.Copy(buffer, len);
        return Err::Success;
    }
    uint32_t SetFeature(const uint8_t*, size_t) override
    {
        return m_bytes.Empty() ? Err::DeviceNotConnected : Err::Success;
    }
    uint32_t ReadInput(uint8_t* buffer, size_t len, uint32_t, size_t& got) override
    {
        got = 0;
        if (m_bytes.Empty())
            return Err::DeviceNotConnected;
        const size_t n = std::min<size_t>(m_bytes.Byte(), len);
        if (n == 0)
            return Err::Timeout;
        m_bytes.Copy(buffer, n);
        got = n;
        return Err::Success;
    }

private:
    ProbeBytes& m_bytes;
    uint16_t m_featureLength;
    uint16_t m_inputLength;
};

// One probe on the bus; each input plugs in a new one.
class FuzzBackend final : public Platform::HidBackend
{
public:
    void Plug(uint16_t featureLength, uint16_t inputLength)
    {
        m_featureLength = featureLength;
        m_inputLength = inputLength;
    }
    uint32_t Enumerate(std::vector<Platform::HidDeviceInfo>& devices) override
    {
        devices = {Platform::HidDeviceInfo{kPath, 0x3A7C, 0x0001, 0}};
        return Err::Success;
    }
    uint32_t Open(const QString& path, std::unique_ptr<Platform::HidDevice>& device) override
    {
        if (path != kPath)
            return Err::FileNotFound;
        device = std::make_unique<FuzzProbe>(m_bytes, m_featureLength, m_inputLength);
        return Err::Success;
    }

    ProbeBytes m_bytes;

private:
    uint16_t m_featureLength = 0;
    uint16_t m_inputLength = 0;
};

// Report lengths around the ones a probe has, and some without room for a payload.
uint16_t ReportLength(uint8_t b)
{
    return uint16_t(b % 72);
}

// A time-out the operation runs with: none, short, or a long one (the clock is virtual).
uint32_t Timeout(uint8_t b)
{
    static constexpr uint32_t kTimeouts[4] = {0, 20, 500, StreamIO::STREAM_WAIT_FOREVER};
    return kTimeouts[b & 3];
}

void DriveControl(ProbeBytes& bytes, uint8_t how)
{
    StreamIO::CUsbHostProbeControl control;
    if (!control.Open(kPath, StreamIO::STREAM_READ | StreamIO::STREAM_WRITE))
        return;
    control.SetPollInterval(how & 4 ? 1 : 0);
    control.SetTimeouts(Timeout(how), Timeout(how >> 1));
    uint8_t buffer[80] = {};
    while (!bytes.Empty())
    {
        const uint8_t op = bytes.Byte();
        const uint32_t n = op % 70;
        if (op & 0x80)
        {
            std::memset(buffer, op, sizeof buffer);
            control.Write(buffer, n);
        }
        else if (op & 0x40)
            control.Flush();
        else
            control.Read(buffer, n);
    }
}

void DriveData(ProbeBytes& bytes, uint8_t how)
{
    StreamIO::CUsbHostProbeData data;
    if (!data.Open(kPath, StreamIO::STREAM_READ))
        return;
    data.SetPollInterval(how & 4 ? 1 : 0);
    data.SetTimeouts(Timeout(how), 0);
    uint8_t buffer[300] = {};
    while (!bytes.Empty())
    {
        data.Read(buffer, 1 + bytes.Byte());
        data.GetToggleBits();
    }
}

// The tester as the device search finds it, then sampling.
void DriveTester(uint8_t how)
{
    std::unique_ptr<StreamIO::CIoStream> control = std::make_unique<StreamIO::CUsbHostProbeControl>();
    if (!control->Open(kPath, StreamIO::STREAM_READ | StreamIO::STREAM_WRITE))
        return;
    Device::CVeskamon2Device tester;
    if (!tester.Attach(control, Device::portUsb))
        return;
    Device::SIdentity id;
    if (how & 8)
    {
        tester.Identify(id);
        tester.GetInfoText();
        uint8_t probeId[8];
        tester.GetProbeId(probeId);
    }
    uint8_t packet[8];
    uint8_t toggle = 0;
    for (int i = 0; i < 64 && tester.ReadSample(packet, toggle, Timeout(how)); ++i)
    {
    }
    tester.Detach();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    static const std::shared_ptr<FuzzBackend> backend = []
    {
        auto made = std::make_shared<FuzzBackend>();
        Platform::SetHidBackend(made);
        return made;
    }();
    backend->Plug(ReportLength(data[1]), ReportLength(data[2]));
    ProbeBytes& bytes = backend->m_bytes;
    bytes = ProbeBytes{data + 3, size - 3, 0};
    try
    {
        switch (data[0] % 3)
        {
        case 0:
            DriveControl(bytes, uint8_t(data[0] / 3));
            break;
        case 1:
            DriveData(bytes, uint8_t(data[0] / 3));
            break;
        default:
            DriveTester(uint8_t(data[0] / 3));
            break;
        }
    }
    catch (const std::exception&)
    {
        // A probe that is gone or sent nonsense ends the operation with an error.
    }
    return 0;
}
