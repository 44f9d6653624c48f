#include "devicefiles/DeviceRelease.h"

#include "device/VmDevice.h"
#include "devicefiles/VeskoraConnection.h"

namespace
{
// How long a new connection or the window's close lets a tester answer its
// end-of-connection request before the request is cut short; a tester that answers does
// so in a few milliseconds.
constexpr uint32_t kGraceMs = 1000;
// A cut request ends within the device's cancel reaction; this bounds the join.
constexpr uint32_t kCutWaitMs = 1000;
} // namespace

CDeviceRelease::~CDeviceRelease()
{
    if (m_thread)
    {
        m_cancel.Cancel();
        m_thread->Stop(kCutWaitMs); // a request that did not end is let go
    }
}

void CDeviceRelease::Start(std::unique_ptr<Device::CVmDevice> device)
{
    Finish();
    if (!device)
        return;
    // Its owner gave up waiting on this tester already (live sampling that stopped
    // answering): it is not asked again, the link just closes.
    if (device->GetCancelToken().IsCancelled())
    {
        device.reset();
        return;
    }
    m_cancel = Platform::CancelToken::Create();
    // The request's waits end when the token fires; the device is the thread's alone.
    device->SetCancelToken(m_cancel);
    auto owned = std::make_shared<std::unique_ptr<Device::CVmDevice>>(std::move(device));
    m_thread = std::make_unique<Platform::WorkerThread>();
    if (!m_thread->Start([owned](Platform::WorkerState&) { TesterConnection::DropDevice(*owned); }))
    {
        m_thread.reset();
        owned->reset(); // no thread: the tester is not told, the link closes all the same
    }
}

void CDeviceRelease::Finish()
{
    if (!m_thread)
        return;
    if (!m_thread->State()->finished.Wait(kGraceMs))
        m_cancel.Cancel();
    // A request that does not end even then is let go; it owns the device.
    m_thread->Stop(kCutWaitMs);
    m_thread.reset();
}
