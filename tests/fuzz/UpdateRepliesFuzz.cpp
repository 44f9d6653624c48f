// The update of every device type, as the devices themselves run it: their checks, mode
// changes, header block, transfer, programming and recovery against whatever the device
// answers. The first five input bytes pick the device type, the modes and kind of the
// package's one block and the link, the next four are the package's device code; the
// rest is everything the device answers.
#include "device/Callback.h"
#include "device/DeviceFactory.h"
#include "device/DeviceTypes.h"
#include "device/UpdateJob.h"
#include "device/VmCommands.h"
#include "device/VmDevice.h"
#include "tests/fuzz/FuzzStreams.h"
#include "tests/support/PackageBuilder.h"

#include <cstdint>
#include <memory>

namespace
{
class QuietCallback : public Device::CCallback
{
public:
    void OnDeviceFound(Device::CVmDevice* device) override { delete device; }
    void OnStatusText(const QString&) override {}
    void OnJobFinished(const QString&, int32_t) override {}
    void OnProgress(int32_t, int32_t, uint32_t) override {}
};

constexpr size_t kHead = 9;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < kHead)
        return 0;
    std::unique_ptr<Device::CVmDevice> device = Device::CreateDevice(data[0] % Device::typeCount);
    if (!device)
        return 0;
    const uint32_t ports[3] = {Device::portSerial, Device::portUsb, Device::portEthernet};
    const uint32_t port = ports[data[4] % 3];

    PackageBuilder package;
    package.deviceCode =
        uint32_t(data[5]) | uint32_t(data[6]) << 8 | uint32_t(data[7]) << 16 | uint32_t(data[8]) << 24;
    package.entries.push_back(PackageBuilder::Entry{});
    PackageBuilder::Block block;
    block.enterMode = data[1];
    block.leaveMode = data[2];
    block.kind = data[3];
    block.byte13 = uint8_t(data[4] / 3);
    // S-record instruments take their block as text with an inner header.
    block.data = (block.kind >> 4) == 4 ? PackageBuilder::SRecordBlock("S1050000AA55FB\r\nS9030000FC\r\n")
                                        : QByteArray(64, '\x42');
    package.blocks.push_back(block);
    const QByteArray bytes = package.Build();

    auto replies = std::make_unique<Fuzz::ReplyStream>(data + kHead, size - kHead);
    Fuzz::ReplyStream* const stream = replies.get();
    std::unique_ptr<StreamIO::CIoStream> link = std::move(replies);
    if (!device->Attach(link, port) || !device->GetCommands())
        return 0;
    const Platform::CancelToken cancel = Platform::CancelToken::Create();
    stream->CancelWhenExhausted(cancel);

    QuietCallback callback;
    Device::SUpdateJob job;
    job.callback = &callback;
    job.device = device.get();
    job.package = std::make_shared<Fuzz::ReplyStream>(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                                      size_t(bytes.size()), true);
    Device::RunUpdateJob(job, nullptr, {}, cancel);
    return 0;
}
