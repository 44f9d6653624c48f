#pragma once
#include <QObject>
#include <QPointer>
#include <QString>

#include "devicefiles/DeviceRelease.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

class CFirmwareUpdateCheck;
class CKeepAliveWorker;
class QWidget;

namespace Device
{
class CVmDevice;
}
namespace StreamIO
{
class CIoStream;
}

// The program's one link to a portable tester (Veskora 3), held between commands. A
// command that needs the tester calls Connect first: a held tester that still answers is
// used again, otherwise the connection wizard finds one. The first connection after a
// disconnect starts the firmware update check.
//
// Threads: the device is used only under the device lock, which the operations below take
// for each request. The file commands and the alive check are called on the worker of a
// transfer (TesterTransfer.h), which the device serves with the transfer's cancel for as
// long as it holds the lock (TransferCancel.h); the periodic keep-alive (OnKeepAliveTimer)
// talks to the tester from a worker thread of its own; so a tester that has gone silent
// never freezes the window; nor does the end-of-connection request of Disconnect, which
// runs on a thread of its own. Connect, Disconnect and the rest are called on the UI thread.
// The device is taken and dropped under the lock, on the UI thread, except that the alive
// check drops a device that refuses it. A keep-alive that fails drops the tester and tells
// the user, unless a transfer began meanwhile (its own outcome is what the user learns).
class CVeskoraConnection
{
public:
    static CVeskoraConnection& Instance();

    CVeskoraConnection(const CVeskoraConnection&) = delete;
    CVeskoraConnection& operator=(const CVeskoraConnection&) = delete;

    // True when a device is held on return. A held device is asked whether it still
    // answers off the UI thread (a window over parent shows when that takes long, and a
    // cancel there ends the command: false, the device stays held); one that does not is
    // dropped without being told, and the wizard finds a tester.
    bool Connect(QWidget* parent = nullptr);
    // True when a device is held and answers its identify request; a device that
    // refuses is dropped here, one whose link fails stays held for Connect to drop.
    bool IsDeviceAlive();
    // Asks the held device to keep its remote connection open for 30 s; the caller waits.
    bool KeepAlive();
    // The main window's timer tick: the same request on the worker thread, unless one is
    // still under way, a transfer is, or no device is held. A failure tells the user and
    // drops the tester, unless a transfer began meanwhile: that transfer's outcome counts.
    void OnKeepAliveTimer();
    // A keep-alive request of the timer is under way.
    bool IsKeepAliveRunning() const;
    // Stops the firmware check and the keep-alive worker and lets the device go: its
    // end-of-connection request runs on a thread of its own, which then deletes the
    // device, so a silent tester never holds up the window. Nothing is held afterwards.
    void Disconnect();
    // Waits a short while for the end-of-connection request of a device that Disconnect
    // let go, then cuts it short: the tester's link is closed on return. For whatever
    // needs the port next (a new connection, the upgrade tool) and for the window's close.
    void FinishDisconnect();
    // The same for a tester that is known to be gone: it is not told, as it cannot answer.
    void DropLostDevice();
    // Where the firmware check posts the newest versions, and with which messages; the
    // window also owns the message that tells of a lost tester.
    void SetNotifyTarget(QObject* window, uint32_t appVersionMessage, uint32_t osVersionMessage);
    // The held device, or null. Use it through the operations below; the raw device is
    // for reading its description only.
    Device::CVmDevice* GetDevice() const { return m_device.get(); }
    // The held device's login has super-user rights (false without a device).
    bool HasSuperUserRights() const;
    // The running firmware check of this connection, or null.
    CFirmwareUpdateCheck* FirmwareCheck() const { return m_firmwareCheck.get(); }

    // The file commands of the held tester, each under the device lock. False without a
    // device or when the request fails (a link failure included).
    bool ListDirectory(uint32_t kindMask, QString& listing);
    bool DownloadFile(StreamIO::CIoStream* destination, const QString& devicePath);
    bool UploadFile(const QString& devicePath, StreamIO::CIoStream* source);
    bool MoveItem(const QString& oldPath, const QString& newPath);
    bool DeleteItem(const QString& devicePath);
    bool CreateFolder(const QString& devicePath);

    // What a request of a batch of files (RunInBatch) leaves for the batch to do.
    enum class NOutcome
    {
        done,   // the request succeeded
        failed, // this request failed; the tester answers, the batch goes on
        lost    // the tester no longer answers and cannot be reached again (or the
                // transfer was cancelled): the batch ends
    };
    // A request of a batch of files, on a transfer's worker: call on the device under the
    // device lock. When it fails, a refusal or a reply later than its time-out fails this
    // request alone as long as the tester answers again; a link that was lost is opened
    // again and, once the tester answers, the request is sent once more (reset first
    // empties what the first try wrote).
    NOutcome RunInBatch(const std::function<bool(Device::CVmDevice&)>& call, const std::function<void()>& reset);

private:
    CVeskoraConnection();
    ~CVeskoraConnection();

    // Takes a device, or none, in place of the held one; the old one is given back.
    std::unique_ptr<Device::CVmDevice> Exchange(std::unique_ptr<Device::CVmDevice> device);
    void StopKeepAlive();
    // transfers: CTesterTransfer::BegunCount when the request went out.
    void OnKeepAliveDone(uint64_t generation, uint64_t transfers, bool ok);
    template <typename Call> bool WithDevice(Call call);

    // Held around every use of m_device and every change of m_device and m_generation.
    std::mutex m_deviceLock;
    std::unique_ptr<Device::CVmDevice> m_device;
    // Counts the devices taken and dropped, so that a late keep-alive answer about an
    // earlier device is not taken for one about the device held now.
    uint64_t m_generation = 0;
    std::unique_ptr<CFirmwareUpdateCheck> m_firmwareCheck;
    std::unique_ptr<CKeepAliveWorker> m_keepAlive;
    // The end-of-connection request of the device Disconnect let go.
    CDeviceRelease m_release;
    // Receives the keep-alive answers on the UI thread; lives as long as the connection.
    std::unique_ptr<QObject> m_context;
    QPointer<QObject> m_notifyWindow;
    uint32_t m_appVersionMessage = 0;
    uint32_t m_osVersionMessage = 0;
};

// Shared by both testers' connections.
namespace TesterConnection
{
// The identify request of a held device: false without a device or when it refuses
// (the device is then told to end its remote connection and deleted); a link failure
// gives false and leaves the device held.
bool IsDeviceAlive(std::unique_ptr<Device::CVmDevice>& device);
// The end-of-connection request (its result does not matter), then the device goes.
void DropDevice(std::unique_ptr<Device::CVmDevice>& device);
// Runs the connection wizard (interface and result pages, login accepted required) for
// the device type, with its settings from the product key + subKey, else from the
// read-only fallback key; the settings are saved under the product key's subkey however
// the wizard ends. The found device after Finish, else null.
std::unique_ptr<Device::CVmDevice> RunWizard(const QString& subKey, const QString& fallbackKey,
                                             uint32_t deviceType);
} // namespace TesterConnection
