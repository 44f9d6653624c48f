#pragma once
#include "platform/io/FtpListing.h"
#include "streamio/Version.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// The version an installer's name carries: product name + "_V_" + four numbers joined by
// "_" + ".exe" (lower case only). The version text runs from "_V_" to the first point of
// the whole name, so a point before "_V_" gives 0, as does any other name.
CVersion VersionFromUpdateFileName(const QString& name);

// The installer to offer from a listing: the first file whose version is above every
// earlier one and above the running version. Without one, file is empty and best is 0.
struct SUpdateChoice
{
    QString file;
    uint64_t size = 0;
    CVersion best;
};
SUpdateChoice ChooseUpdate(const std::vector<Platform::FtpEntry>& files, CVersion running);

// The low and high words of the version message's two numbers.
inline uint32_t UpdateVersionWParam(CVersion v)
{
    return uint32_t(v.GetPart(0)) | uint32_t(v.GetPart(1)) << 16;
}
inline uint32_t UpdateVersionLParam(CVersion v)
{
    return uint32_t(v.GetPart(2)) | uint32_t(v.GetPart(3)) << 16;
}

// The check at start-up for a newer program on the update server. It runs on its own
// thread with its own FTP client and reports once, as a queued call on the receiver's
// thread (dropped when the receiver is gone): the newest version above the running one,
// or 0 when there is none. A server that cannot be reached reports nothing and shows
// nothing. The thread is never killed: Stop waits a bounded time, then leaves the thread
// to end alone with its shared state, and whatever it finds afterwards is dropped.
class CProgramVersionCheck
{
public:
    using Report = std::function<void(uint32_t wParam, uint32_t lParam)>;

    // The product name names the server folder; running is the version to beat.
    CProgramVersionCheck(const QString& productName, CVersion running);
    // The running program's own product name and version.
    CProgramVersionCheck();
    // Stop with the 3000 ms wait.
    ~CProgramVersionCheck();
    CProgramVersionCheck(const CProgramVersionCheck&) = delete;
    CProgramVersionCheck& operator=(const CProgramVersionCheck&) = delete;

    static constexpr int kStopWaitMs = 3000;

    // Starts the thread unless one was started before; false when none runs.
    bool Start(QObject* receiver, Report report);
    // True when the thread had ended (or none was started) within waitMs.
    bool Stop(int waitMs = kStopWaitMs);

    // What the check found, once it has ended (Stop returned true): the installer
    // to offer, empty when none or when the check failed.
    SUpdateChoice Result() const;

private:
    struct SShared;
    std::shared_ptr<SShared> m_shared;
    bool m_started = false;
};
