#pragma once
#include "platform/io/FtpListing.h"

#include <QString>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

// The internet family of error numbers, as the update server's callers show them
// ("(Error 12029)"). Only the FTP transport produces them.
namespace Err
{
inline constexpr uint32_t InternetTimeout = 12002;
inline constexpr uint32_t InternetExtendedError = 12003; // the server refused; its answer is in the text
inline constexpr uint32_t InternetInternalError = 12004;
inline constexpr uint32_t InternetInvalidUrl = 12005;
inline constexpr uint32_t InternetNameNotResolved = 12007;
inline constexpr uint32_t InternetIncorrectPassword = 12014;
inline constexpr uint32_t InternetOperationCancelled = 12017;
inline constexpr uint32_t InternetCannotConnect = 12029;
inline constexpr uint32_t InternetConnectionAborted = 12030;
inline constexpr uint32_t FtpTransferInProgress = 12110;
} // namespace Err

namespace Platform
{

struct FtpServerAddress
{
    QString host; // name, IPv4 address or IPv6 address (with or without brackets)
    uint16_t port = 21;
};

// Every wait of the transport ends within one of these. The server's replies and stalled
// transfers are timed in whole seconds (rounded up).
struct FtpTimeouts
{
    uint32_t connectMs = 15000;   // name look-up, TCP connect, greeting and login
    uint32_t responseMs = 15000;  // each reply on the control connection, also the goodbye
    uint32_t stallMs = 30000;     // a data transfer that moves nothing for this long
    uint32_t operationMs = 60000; // a whole check, folder change or listing
};

// Ends FTP work from another thread: a connect in progress and every operation of the
// connections made with it, now and later (they fail with InternetOperationCancelled).
// The connections' sockets are shut down, so no wait outlives an abort, not even the
// goodbye to a server that no longer answers. Thread-safe.
class FtpAbort
{
public:
    void Abort();
    bool Aborted() const { return m_aborted.load(std::memory_order_acquire); }

    // For transports: fn runs at Abort (at once when it has happened) until Unsubscribe,
    // which waits for a call in progress.
    uint64_t Subscribe(std::function<void()> fn);
    void Unsubscribe(uint64_t id);

private:
    std::mutex m_lock;
    std::atomic<bool> m_aborted{false};
    uint64_t m_next = 1;
    std::map<uint64_t, std::function<void()>> m_subscribers;
};

// A file on the server being read. The transfer runs only while Read is called, so a
// caller may read in small steps between other work.
class FtpFile
{
public:
    virtual ~FtpFile() = default;
    // Up to max bytes; done = 0 with success means the whole file has arrived, as the
    // server confirmed. The file is read to its end without asking its size first (a size
    // asked may be as out of date as a listing): the caller compares what arrived with
    // what it expected. A transfer that ends without the server's confirmation gives
    // InternetConnectionAborted.
    virtual uint32_t Read(char* buffer, size_t max, size_t& done) = 0;
};

// A logged-in connection, in passive mode, with a current folder (relative to the folder
// the login gave, "" at first). A control connection that the server dropped is
// opened again by the next operation, so an operation fails only when the server
// cannot be reached or refuses it. Not thread-safe, except Cancel.
class FtpConnection
{
public:
    virtual ~FtpConnection() = default;

    // A round trip to the server; the folder as the server names it ("/DiZivavir/x").
    virtual uint32_t CurrentFolder(QString& folder) = 0;
    // Folder: names separated by "/"; "." and empty names are skipped.
    virtual uint32_t ChangeFolder(const QString& folder) = 0;
    // The files (not folders) of the current folder whose names match the pattern
    // (FtpNameMatches), in the server's order.
    virtual uint32_t List(const QString& pattern, std::vector<FtpEntry>& files) = 0;
    // Opens a file of the current folder for reading (binary). Only one file can be open
    // at a time; meanwhile the other operations give FtpTransferInProgress.
    virtual uint32_t OpenFile(const QString& name, std::unique_ptr<FtpFile>& file) = 0;
    // Ends the operation or read in progress and fails every later one with
    // InternetOperationCancelled. Any thread may call it while the connection exists.
    virtual void Cancel() = 0;
    // The text of the last failure: the transport's own words or the server's answer.
    virtual QString LastErrorText() const = 0;

    // Reads a whole file into sink. progress gets the bytes so far after each piece; sink
    // or progress returning false ends the transfer with InternetOperationCancelled (the
    // connection stays usable).
    uint32_t Download(const QString& name, const std::function<bool(const char*, size_t)>& sink,
                      const std::function<bool(uint64_t)>& progress = {});
};

class FtpBackend
{
public:
    virtual ~FtpBackend() = default;
    // Connects and logs in. On failure: the error number and a text for the user. An
    // abort ends the connect and everything the connection does later.
    virtual uint32_t Connect(const FtpServerAddress& server, const QString& user, const QString& password,
                             std::unique_ptr<FtpConnection>& connection, QString& errorText,
                             const std::shared_ptr<FtpAbort>& abort = nullptr) = 0;

    // libcurl; null when the library cannot be initialised.
    static std::shared_ptr<FtpBackend> Curl(const FtpTimeouts& timeouts = {});
};

// The backend for everything connected from now on; null when none can be made.
std::shared_ptr<FtpBackend> CurrentFtpBackend();
// Installs a backend; null brings libcurl with the default time-outs back.
void SetFtpBackend(std::shared_ptr<FtpBackend> backend);

} // namespace Platform
