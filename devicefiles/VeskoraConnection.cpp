#include "devicefiles/VeskoraConnection.h"

#include "device/DeviceTypes.h"
#include "device/VmDevice.h"
#include "devicefiles/DevSelectSheet.h"
#include "devicefiles/DeviceRelease.h"
#include "devicefiles/KeepAliveWorker.h"
#include "devicefiles/TesterTransfer.h"
#include "devicefiles/TransferCancel.h"
#include "devicefiles/core/FirmwareUpdateCheck.h"
#include "platform/core/FileException.h"
#include "platform/core/StringTable.h"
#include "platform/gui/MessageBox.h"
#include "resources/StringIds.h"

#include <QWidget>

namespace
{
constexpr uint32_t kWizardStartMode = 2; // interface and result pages only
constexpr uint32_t kKeepAliveMs = 30000;
// Longer than the keep-alive's own answer time-out (4000 ms), so a request under way ends
// by itself rather than being let go.
constexpr uint32_t kKeepAliveStopWaitMs = 5000;
} // namespace

namespace
{
// Lends the transfer whose worker runs the calling request (if any) to the device for as
// long as the request holds it: the device carries the transfer's token, and the
// transfer's Cancel may cut the wait on the device's link.
class CLentDevice
{
public:
    explicit CLentDevice(Device::CVmDevice& device) : m_device(device), m_transfer(CTransferCancel::Current())
    {
        if (!m_transfer)
            return;
        m_device.SetCancelToken(m_transfer->Token());
        m_transfer->SetLink(m_device.GetStream());
    }
    ~CLentDevice()
    {
        if (!m_transfer)
            return;
        m_transfer->SetLink(nullptr);
        m_device.SetCancelToken(Platform::CancelToken());
    }
    CLentDevice(const CLentDevice&) = delete;
    CLentDevice& operator=(const CLentDevice&) = delete;

private:
    Device::CVmDevice& m_device;
    CTransferCancel* m_transfer;
};
} // namespace

namespace TesterConnection
{
bool IsDeviceAlive(std::unique_ptr<Device::CVmDevice>& device)
{
    if (!device)
        return false;
    try
    {
        Device::SIdentity identity;
        if (device->Identify(identity))
            return true;
        DropDevice(device);
        return false;
    }
    catch (const CFileException&)
    {
        // The link failed: the caller drops the device.
        return false;
    }
}

void DropDevice(std::unique_ptr<Device::CVmDevice>& device)
{
    if (!device)
        return;
    try
    {
        device->KeepAlive(false, 0);
    }
    catch (const CFileException&)
    {
        // A tester that is gone cannot be told; it drops the connection itself.
    }
    device.reset();
}

std::unique_ptr<Device::CVmDevice> RunWizard(const QString& subKey, const QString& fallbackKey,
                                             uint32_t deviceType)
{
    CDevSelectSheet sheet(StringId::IDS_CONNECT_CAPTION, nullptr, kWizardStartMode, Device::loginAccepted);
    const QString productKey = Platform::LoadString(StringId::IDS_PRODUCT_KEY);
    const QString key = productKey.isEmpty() ? QString() : productKey + subKey;
    if (!sheet.LoadSettings(key) && !fallbackKey.isEmpty())
        sheet.LoadSettings(fallbackKey);
    // Whatever was stored, each connection searches for its own kind of tester.
    sheet.Settings().deviceType = deviceType;
    sheet.Settings().express = 0;
    const bool finished = sheet.DoModal() == Platform::ID_WIZFINISH;
    sheet.SaveSettings(key);
    return finished ? sheet.TakeDevice() : nullptr;
}
} // namespace TesterConnection

CVeskoraConnection& CVeskoraConnection::Instance()
{
    static CVeskoraConnection instance;
    return instance;
}

CVeskoraConnection::CVeskoraConnection() = default;

CVeskoraConnection::~CVeskoraConnection()
{
    // At process exit only the workers are stopped; the device was disconnected by the
    // main window, and a stream layer that is already closed must not be touched.
    m_keepAlive.reset();
    m_firmwareCheck.reset();
    (void)m_device.release();
}

std::unique_ptr<Device::CVmDevice> CVeskoraConnection::Exchange(std::unique_ptr<Device::CVmDevice> device)
{
    std::lock_guard guard(m_deviceLock);
    std::swap(device, m_device);
    ++m_generation;
    return device;
}

template <typename Call> bool CVeskoraConnection::WithDevice(Call call)
{
    std::lock_guard guard(m_deviceLock);
    if (!m_device)
        return false;
    CLentDevice lent(*m_device);
    try
    {
        return call(*m_device);
    }
    catch (const std::exception&)
    {
        // A link that fails is a failed request; the caller decides what it means.
        return false;
    }
}

bool CVeskoraConnection::Connect(QWidget* parent)
{
    // The port of a tester let go a moment ago is free before the wizard looks at it.
    FinishDisconnect();
    if (m_device)
    {
        CTesterTransfer check(parent, nullptr);
        if (check.Run([this] { return IsDeviceAlive(); }))
            return true;
        if (check.Cancelled())
            return false;
        // Gone, or still held with a link that failed, which cannot be told that the
        // connection ends: either way the connection's workers stop with it.
        DropLostDevice();
    }
    std::unique_ptr<Device::CVmDevice> found = TesterConnection::RunWizard(
        QStringLiteral("\\ConnWizard\\Veskora\\"),
        QStringLiteral("Software\\Velmor\\DiZivavir\\Settings\\ConnWizard\\"), Device::typeVeskora3);
    if (!found)
        return false;
    Exchange(std::move(found));
    if (!m_firmwareCheck)
    {
        m_firmwareCheck = std::make_unique<CFirmwareUpdateCheck>(m_notifyWindow.data(), QString());
        // The check asks the device for its code here, before its thread starts.
        std::lock_guard guard(m_deviceLock);
        m_firmwareCheck->Start(m_device.get(), m_appVersionMessage, m_osVersionMessage);
    }
    return true;
}

bool CVeskoraConnection::IsDeviceAlive()
{
    std::unique_ptr<Device::CVmDevice> refused;
    {
        std::lock_guard guard(m_deviceLock);
        if (!m_device)
            return false;
        CLentDevice lent(*m_device);
        try
        {
            Device::SIdentity identity;
            if (m_device->Identify(identity))
                return true;
        }
        catch (const CFileException&)
        {
            // The link failed: the caller drops the device.
            return false;
        }
        refused = std::move(m_device);
        ++m_generation;
    }
    // A device that refuses is told to end its remote connection, then goes.
    TesterConnection::DropDevice(refused);
    return false;
}

bool CVeskoraConnection::KeepAlive()
{
    return WithDevice([](Device::CVmDevice& device) { return device.KeepAlive(true, kKeepAliveMs); });
}

void CVeskoraConnection::OnKeepAliveTimer()
{
    // A transfer keeps the tester busy, and awake, by itself: the keep-alive leaves it
    // alone, between the transfer's requests too.
    if (!m_device || CTesterTransfer::IsUnderWay())
        return;
    if (!m_keepAlive)
        m_keepAlive = std::make_unique<CKeepAliveWorker>();
    if (m_keepAlive->Busy())
        return;
    if (!m_context)
        m_context = std::make_unique<QObject>();
    uint64_t generation = 0;
    {
        std::lock_guard guard(m_deviceLock);
        generation = m_generation;
    }
    const uint64_t transfers = CTesterTransfer::BegunCount();
    // On the worker: the request waits for the device lock while a command of the UI
    // thread uses the tester, and checks that the device is still the one it was posted
    // for.
    m_keepAlive->Post(
        [this, generation](const Platform::CancelToken& cancel)
        {
            std::lock_guard guard(m_deviceLock);
            if (!m_device || m_generation != generation)
                return true;
            // Stopping the worker cuts the wait on a silent tester short.
            const Platform::CancelToken previous = m_device->GetCancelToken();
            m_device->SetCancelToken(cancel);
            bool ok = false;
            try
            {
                ok = m_device->KeepAlive(true, kKeepAliveMs);
            }
            catch (const std::exception&)
            {
                ok = false;
            }
            m_device->SetCancelToken(previous);
            return ok;
        },
        m_context.get(),
        [this, generation, transfers](bool ok) { OnKeepAliveDone(generation, transfers, ok); });
}

bool CVeskoraConnection::IsKeepAliveRunning() const
{
    return m_keepAlive && m_keepAlive->Busy();
}

void CVeskoraConnection::OnKeepAliveDone(uint64_t generation, uint64_t transfers, bool ok)
{
    if (ok)
        return;
    // A transfer that began since the request went out asked the tester itself, after
    // it: its outcome is the one the user learns of, once its window is gone.
    if (CTesterTransfer::IsUnderWay() || CTesterTransfer::BegunCount() != transfers)
        return;
    {
        std::lock_guard guard(m_deviceLock);
        // Dropped or replaced meanwhile: the answer is about a tester no longer held.
        if (!m_device || m_generation != generation)
            return;
    }
    DropLostDevice();
    Platform::ShowMessageBox(qobject_cast<QWidget*>(m_notifyWindow.data()),
                             Platform::LoadString(StringId::IDS_CONNECTION_LOST), QString(),
                             Platform::MB_OK | Platform::MB_ICONEXCLAMATION);
}

void CVeskoraConnection::StopKeepAlive()
{
    // A request under way ends within the keep-alive's own time-out.
    if (m_keepAlive)
        m_keepAlive->Stop(kKeepAliveStopWaitMs);
}

void CVeskoraConnection::Disconnect()
{
    StopKeepAlive();
    std::unique_ptr<Device::CVmDevice> device = Exchange(nullptr);
    if (m_firmwareCheck)
    {
        m_firmwareCheck->Stop();
        m_firmwareCheck.reset();
    }
    m_release.Start(std::move(device));
}

void CVeskoraConnection::FinishDisconnect()
{
    m_release.Finish();
}

void CVeskoraConnection::DropLostDevice()
{
    StopKeepAlive();
    Exchange(nullptr).reset();
    if (m_firmwareCheck)
    {
        m_firmwareCheck->Stop();
        m_firmwareCheck.reset();
    }
}

void CVeskoraConnection::SetNotifyTarget(QObject* window, uint32_t appVersionMessage,
                                         uint32_t osVersionMessage)
{
    m_notifyWindow = window;
    m_appVersionMessage = appVersionMessage;
    m_osVersionMessage = osVersionMessage;
}

bool CVeskoraConnection::ListDirectory(uint32_t kindMask, QString& listing)
{
    return WithDevice([&](Device::CVmDevice& device) { return device.ListDirectory(kindMask, listing); });
}

bool CVeskoraConnection::DownloadFile(StreamIO::CIoStream* destination, const QString& devicePath)
{
    return WithDevice([&](Device::CVmDevice& device)
                      { return device.DownloadFile(destination, devicePath); });
}

bool CVeskoraConnection::UploadFile(const QString& devicePath, StreamIO::CIoStream* source)
{
    return WithDevice([&](Device::CVmDevice& device) { return device.UploadFile(devicePath, source); });
}

bool CVeskoraConnection::HasSuperUserRights() const
{
    return m_device && (m_device->GetLogin().rights & Device::loginSuperUser) != 0;
}

bool CVeskoraConnection::MoveItem(const QString& oldPath, const QString& newPath)
{
    return WithDevice([&](Device::CVmDevice& device) { return device.MoveItem(oldPath, newPath); });
}

bool CVeskoraConnection::DeleteItem(const QString& devicePath)
{
    return WithDevice([&](Device::CVmDevice& device) { return device.DeleteItem(devicePath); });
}

bool CVeskoraConnection::CreateFolder(const QString& devicePath)
{
    return WithDevice([&](Device::CVmDevice& device) { return device.CreateFolder(devicePath); });
}

CVeskoraConnection::NOutcome CVeskoraConnection::RunInBatch(const std::function<bool(Device::CVmDevice&)>& call,
                                                            const std::function<void()>& reset)
{
    std::lock_guard guard(m_deviceLock);
    if (!m_device)
        return NOutcome::lost;
    CLentDevice lent(*m_device);
    const auto attempt = [&]
    {
        try
        {
            return call(*m_device);
        }
        catch (const std::exception&)
        {
            return false;
        }
    };
    if (attempt())
        return NOutcome::done;
    Device::NLinkStatus status = m_device->GetLinkStatus();
    // A refusal is an answer: the tester is there.
    if (status == Device::NLinkStatus::ok)
        return NOutcome::failed;
    if (status == Device::NLinkStatus::aborted || !m_device->Revive())
        return NOutcome::lost;
    if (status == Device::NLinkStatus::noAnswer)
        return NOutcome::failed;
    // The link was lost and the tester is back: the request once more.
    if (reset)
        reset();
    if (attempt())
        return NOutcome::done;
    status = m_device->GetLinkStatus();
    if (status == Device::NLinkStatus::ok)
        return NOutcome::failed;
    return status != Device::NLinkStatus::aborted && m_device->Revive() ? NOutcome::failed : NOutcome::lost;
}
