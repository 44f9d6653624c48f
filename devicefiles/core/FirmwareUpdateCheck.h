#pragma once
#include "streamio/Version.h"

#include <QPointer>
#include <QString>

#include <cstdint>
#include <memory>

class QObject;

namespace Device
{
class CVmDevice;
}

// Messages that tell the main window the newest versions an update check found:
// wParam = first | second << 16, lParam = third | fourth << 16; 0 and 0 clear a notice.
inline constexpr uint32_t WM_NEW_PROGRAM_VERSION = 0x0400 + 21;
inline constexpr uint32_t WM_NEW_DEVICE_OS_VERSION = 0x0400 + 22;
inline constexpr uint32_t WM_NEW_DEVICE_APP_VERSION = 0x0400 + 23;

// Queues one of the messages above to the main window (a VersionNoticeTarget; anything
// else is ignored). Callable from any thread; dropped when the window is gone.
void PostVersionMessage(const QPointer<QObject>& window, uint32_t message, CVersion version);

// Looks on the update server, in the background, for a firmware or operating system
// newer than what a portable tester has installed, and posts the newest ones to the
// main window. When the server could not be reached more often than the stored limit,
// the user is reminded to go online now and then. The counters live in the settings
// store, so the reminder comes only after a series of failed checks.
class CFirmwareUpdateCheck
{
public:
    static constexpr char kFailCountValue[] = "FwUpdateFailCount";
    static constexpr char kFailCountMaxValue[] = "FwUpdateFailCountMax";
    static constexpr int32_t kDefaultFailLimit = 100;
    static constexpr uint32_t kStopWaitMs = 3000;

    // An empty key means the program's own settings key.
    CFirmwareUpdateCheck(QObject* notifyWindow, const QString& registryKey);
    ~CFirmwareUpdateCheck();
    CFirmwareUpdateCheck(const CFirmwareUpdateCheck&) = delete;
    CFirmwareUpdateCheck& operator=(const CFirmwareUpdateCheck&) = delete;

    // Reads identity and contents from the device on this thread, then starts the
    // search; true when the worker runs. The device is not used by the worker.
    bool Start(Device::CVmDevice* device, uint32_t appMessage, uint32_t osMessage);
    // Waits up to kStopWaitMs for the worker; one that is still busy then finishes on
    // its own and whatever it reports afterwards is dropped.
    void Stop();
    // Waits for the worker to end; true when it did within the time.
    bool WaitFinished(uint32_t timeoutMs) const;

    void LoadFailCounters();
    void SaveFailCounters() const;
    int32_t FailCount() const;
    int32_t FailLimit() const;
    const QString& DeviceId() const { return m_deviceId; }
    const QString& RegistryKey() const { return m_registryKey; }

    // The version in a package name after "-V" ("1.2.3_FW.lod"), for kind 1
    // (application: tags "FW", "APP") or 2 (operating system: tag "OS"); an untagged
    // name counts for both. 0 when the name does not fit the kind.
    static CVersion ParseLodVersion(const QString& name, uint32_t kind);

    struct SShared; // state shared with the worker, kept alive by whoever ends last

private:
    QPointer<QObject> m_notifyWindow;
    QString m_registryKey;
    QString m_deviceId;
    std::shared_ptr<SShared> m_shared;
};
