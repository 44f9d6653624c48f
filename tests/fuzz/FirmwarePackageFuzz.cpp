// Firmware packages: the head, content entries and trailer, the block headers and a
// content selection, through the update job with a device whose steps only move over
// the blocks' data.
#include "device/BlockHeader.h"
#include "device/Callback.h"
#include "device/Contents.h"
#include "device/PackageHeader.h"
#include "device/UpdateJob.h"
#include "device/VmDevice.h"
#include "tests/fuzz/FuzzStreams.h"

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

class SkippingDevice : public Device::CVmDevice
{
public:
    SkippingDevice() : CVmDevice(Device::typeVeskora3) {}
    std::unique_ptr<CVmDevice> CreateInstance() const override { return nullptr; }
    bool Identify(Device::SIdentity&) override { return false; }
    QString GetInfoText() override { return {}; }
    QString GetSerialNumber() const override { return {}; }
    bool GetVersions(Device::CContents&) override { return false; }
    bool Recover() override { return true; }
    Device::NError_code CheckUpdate(const Device::CPackageHeader&) override { return Device::errNone; }
    Device::NError_code InitUpdate(const Device::CPackageHeader&) override { return Device::errNone; }
    Device::NError_code EnterUpdateMode(const Device::CPackageHeader&, const Device::SBlockHeader&) override
    {
        return Device::errNone;
    }
    Device::NError_code TransferBlock(const Device::SBlockHeader& block) override { return SkipBlock(block); }
    Device::NError_code ProgramBlock(const Device::SBlockHeader&) override { return Device::errNone; }
    Device::NError_code LeaveUpdateMode(const Device::CPackageHeader&, const Device::SBlockHeader&) override
    {
        return Device::errNone;
    }
    Device::NError_code FinishUpdate() override { return Device::errNone; }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    {
        Fuzz::ReplyStream stream(data + 1, size - 1, true);
        Device::CPackageHeader header;
        header.Read(stream);
    }
    SkippingDevice device;
    std::unique_ptr<StreamIO::CIoStream> link = std::make_unique<Fuzz::AcceptingStream>();
    if (!device.Attach(link, Device::portSerial))
        return 0;
    QuietCallback callback;
    Device::SUpdateJob job;
    job.callback = &callback;
    job.device = &device;
    job.package = std::make_shared<Fuzz::ReplyStream>(data + 1, size - 1, true);
    if (data[0] & 1)
    {
        // The package's own contents as the selection.
        Fuzz::ReplyStream stream(data + 1, size - 1, true);
        Device::CPackageHeader header;
        if (header.Read(stream))
            job.selection = header.Contents().m_entries;
    }
    Device::RunUpdateJob(job);
    return 0;
}
