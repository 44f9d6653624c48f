#pragma once
#include "devicefiles/core/UpdateFtpClient.h"
#include "devicefiles/core/UpdateJob.h"
#include "platform/io/FtpListing.h"
#include "streamio/Version.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

// Installers are Debian packages named product name + "_V_" + four numbers joined by
// "_" + ".deb"; a package may have its SHA-256 checksum beside it, in a file of the same
// name + ".sha256".
inline constexpr char kInstallerSuffix[] = ".deb";
inline constexpr char kChecksumSuffix[] = ".sha256";

// The version an installer's name carries (the suffix in lower case only). The version
// text runs from "_V_" to the first point of the whole name, so a point before "_V_"
// gives 0, as does any other name.
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

// What a search of the program's folder on the update server found.
struct SUpdateSearch
{
    bool ok = false; // connected and listed; otherwise error says why
    QString error;
    SUpdateChoice choice;
    bool checksumListed = false; // the chosen installer's checksum file is beside it
};

// Connects to the program's folder unless the client is connected, lists it and picks
// the installer to offer. connected runs once the connection stands (before the listing).
// Blocks for as long as the server takes: call it off the UI thread.
SUpdateSearch SearchUpdate(CUpdateFtpClient& client, const QString& productName, CVersion running,
                           const std::function<void()>& connected = {});

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
// thread: the newest version above the running one, or 0 when there is none. A server
// that cannot be reached reports nothing and shows nothing. Stop aborts the search and
// joins the thread, so nothing of the check runs, or reports, after it.
class CProgramVersionCheck
{
public:
    using Report = std::function<void(uint32_t wParam, uint32_t lParam)>;

    // The product name names the server folder; running is the version to beat.
    CProgramVersionCheck(const QString& productName, CVersion running);
    // The running program's own product name and version.
    CProgramVersionCheck();
    // Stop.
    ~CProgramVersionCheck();
    CProgramVersionCheck(const CProgramVersionCheck&) = delete;
    CProgramVersionCheck& operator=(const CProgramVersionCheck&) = delete;

    // Starts the search unless one was started before; false when none runs.
    bool Start(QObject* receiver, Report report);
    void Stop();
    // Waits up to timeoutMs for the search to end; its report may still be queued.
    bool WaitFinished(int timeoutMs) const;

    // What the search found, once it has ended: the installer to offer, empty when none
    // or when the search failed.
    SUpdateChoice Result() const;

private:
    QString m_productName;
    CVersion m_running;
    bool m_started = false;
    mutable std::mutex m_lock;
    SUpdateChoice m_result;
    // The job goes first: it aborts the client and joins its thread.
    CUpdateFtpClient m_client;
    CUpdateJob m_job;
};
