// FTP through libcurl. Each connection owns one multi handle and one easy handle: the
// multi handle's connection cache keeps the logged-in control connection between
// operations, and driving the transfer ourselves (instead of curl_easy_perform) lets a
// file be read in steps and lets Cancel cut any wait short.
#include "platform/core/ErrorCodes.h"
#include "platform/io/FtpBackend.h"

#include <QElapsedTimer>
#include <QStringList>
#include <QUrl>

#include <curl/curl.h>

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <set>

namespace Platform
{
namespace
{

// How long one wait for the sockets may last before the cancel flag is looked at again
// (a cancel also wakes the wait at once).
constexpr int kPollSliceMs = 250;
// A folder listing larger than this is not a listing we want to hold in memory.
constexpr qsizetype kMaxListingBytes = 8 * 1024 * 1024;

long WholeSeconds(uint32_t ms)
{
    return std::max<long>(1, long((uint64_t(ms) + 999) / 1000));
}

uint32_t ErrorFromCurl(CURLcode code)
{
    switch (code)
    {
    case CURLE_OK:
        return Err::Success;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return Err::InternetNameNotResolved;
    case CURLE_COULDNT_CONNECT:
        return Err::InternetCannotConnect;
    case CURLE_OPERATION_TIMEDOUT:
        return Err::InternetTimeout;
    case CURLE_LOGIN_DENIED:
        return Err::InternetIncorrectPassword;
    case CURLE_ABORTED_BY_CALLBACK:
        return Err::InternetOperationCancelled;
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING:
        return Err::InternetConnectionAborted;
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL:
        return Err::InternetInvalidUrl;
    case CURLE_OUT_OF_MEMORY:
        return Err::NotEnoughMemory;
    case CURLE_REMOTE_ACCESS_DENIED:
    case CURLE_REMOTE_FILE_NOT_FOUND:
    case CURLE_FTP_COULDNT_RETR_FILE:
    case CURLE_QUOTE_ERROR:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_FTP_WEIRD_PASV_REPLY:
    case CURLE_FTP_WEIRD_227_FORMAT:
    case CURLE_FTP_CANT_GET_HOST:
    case CURLE_FTP_COULDNT_SET_TYPE:
    case CURLE_FTP_PORT_FAILED:
    case CURLE_FTP_ACCEPT_FAILED:
    case CURLE_FTP_BAD_FILE_LIST:
        return Err::InternetExtendedError;
    default:
        return Err::InternetInternalError;
    }
}

// The state of one connection, shared by the connection and a file open on it, so that
// either may go first.
class CurlCore
{
public:
    CurlCore(const FtpTimeouts& timeouts, QByteArray baseUrl, QByteArray user, QByteArray password,
             std::shared_ptr<FtpAbort> abort)
        : m_timeouts(timeouts), m_baseUrl(std::move(baseUrl)), m_user(std::move(user)),
          m_password(std::move(password)), m_abort(std::move(abort))
    {
        m_multi = curl_multi_init();
        m_easy = curl_easy_init();
        if (m_abort && m_multi)
            m_abortId = m_abort->Subscribe([this] { Cancel(); });
    }

    ~CurlCore()
    {
        Detach();
        if (m_easy)
            curl_easy_cleanup(m_easy);
        // Closes the cached control connection; the goodbye waits at most the reply time,
        // unless an abort comes meanwhile: the subscription stays until the multi handle
        // is gone, and a cancel from now on only shuts the sockets down.
        {
            std::lock_guard guard(m_socketLock);
            m_closing = true;
        }
        if (m_multi)
            curl_multi_cleanup(m_multi);
        if (m_abort && m_abortId)
            m_abort->Unsubscribe(m_abortId); // no cancel runs once this returns
        if (m_quote)
            curl_slist_free_all(m_quote);
    }

    CurlCore(const CurlCore&) = delete;
    CurlCore& operator=(const CurlCore&) = delete;

    bool Valid() const { return m_multi && m_easy; }

    // Any thread. Shutting the sockets down ends every wait on them at once, including
    // the goodbye that closing a cached connection would wait for.
    void Cancel()
    {
        std::lock_guard guard(m_socketLock);
        m_cancelled = true;
        for (const curl_socket_t fd : m_sockets)
            ::shutdown(fd, SHUT_RDWR);
        // While the handle closes, nobody polls it; it must not be touched then.
        if (!m_closing)
            curl_multi_wakeup(m_multi);
    }

    // The URL of the current folder, or of a file in it; segments are percent-encoded, so
    // blanks and the like reach the server as they are and cannot end a command early.
    QByteArray Url(const QStringList& folder, const QString& file = QString()) const
    {
        QByteArray url = m_baseUrl;
        for (const QString& part : folder)
            url += QUrl::toPercentEncoding(part) + '/';
        if (!file.isEmpty())
            url += QUrl::toPercentEncoding(file);
        return url;
    }

    enum class Kind
    {
        Check,   // no data connection
        Listing, // a folder listing into memory
        File,    // a file, read in steps
    };

    void Prepare(const QByteArray& url, Kind kind)
    {
        curl_easy_reset(m_easy);
        m_errorBuffer[0] = '\0';
        m_received.clear();
        m_readPos = 0;
        m_overLimit = false;
        m_finished = false;
        m_finalCode = Err::Success;
        m_limit = kind == Kind::Listing ? kMaxListingBytes : -1;
        m_kind = kind;
        m_totalBytes = 0;

        curl_easy_setopt(m_easy, CURLOPT_URL, url.constData());
        curl_easy_setopt(m_easy, CURLOPT_USERNAME, m_user.constData());
        curl_easy_setopt(m_easy, CURLOPT_PASSWORD, m_password.constData());
        curl_easy_setopt(m_easy, CURLOPT_PROTOCOLS_STR, "ftp");
        curl_easy_setopt(m_easy, CURLOPT_REDIR_PROTOCOLS_STR, "ftp");
        curl_easy_setopt(m_easy, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(m_easy, CURLOPT_ERRORBUFFER, m_errorBuffer);
        curl_easy_setopt(m_easy, CURLOPT_CONNECTTIMEOUT_MS, long(m_timeouts.connectMs));
        curl_easy_setopt(m_easy, CURLOPT_SERVER_RESPONSE_TIMEOUT, WholeSeconds(m_timeouts.responseMs));
        curl_easy_setopt(m_easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(m_easy, CURLOPT_LOW_SPEED_TIME, WholeSeconds(m_timeouts.stallMs));
        if (kind != Kind::File)
            curl_easy_setopt(m_easy, CURLOPT_TIMEOUT_MS, long(m_timeouts.operationMs));
        // Passive mode; the data connection goes to the control connection's address,
        // whatever address the server's reply names.
        curl_easy_setopt(m_easy, CURLOPT_FTPPORT, nullptr);
        curl_easy_setopt(m_easy, CURLOPT_FTP_SKIP_PASV_IP, 1L);
        curl_easy_setopt(m_easy, CURLOPT_TCP_KEEPALIVE, 1L);
        curl_easy_setopt(m_easy, CURLOPT_WRITEFUNCTION, &CurlCore::OnData);
        curl_easy_setopt(m_easy, CURLOPT_WRITEDATA, this);
        // Our own sockets, so that a cancel from another thread can shut them down.
        curl_easy_setopt(m_easy, CURLOPT_OPENSOCKETFUNCTION, &CurlCore::OnOpenSocket);
        curl_easy_setopt(m_easy, CURLOPT_OPENSOCKETDATA, this);
        curl_easy_setopt(m_easy, CURLOPT_CLOSESOCKETFUNCTION, &CurlCore::OnCloseSocket);
        curl_easy_setopt(m_easy, CURLOPT_CLOSESOCKETDATA, this);
        // A name look-up still running when a transfer ends is not waited for.
        curl_easy_setopt(m_easy, CURLOPT_QUICK_EXIT, 1L);
        if (kind == Kind::Check)
            curl_easy_setopt(m_easy, CURLOPT_NOBODY, 1L);
        // A file is read to its end, which the server confirms: a size asked first (SIZE)
        // may be out of date like the listing, and would cut off what comes after it or
        // report a shorter file as a connection that broke off. The caller compares what
        // arrived with what it expected.
        if (kind == Kind::File)
            curl_easy_setopt(m_easy, CURLOPT_IGNORE_CONTENT_LENGTH, 1L);
    }

    // A round trip even when the connection is reused and the folder is unchanged.
    void SendNoop()
    {
        if (!m_quote)
            m_quote = curl_slist_append(nullptr, "NOOP");
        curl_easy_setopt(m_easy, CURLOPT_QUOTE, m_quote);
    }

    void SetOption(CURLoption option, const char* value) { curl_easy_setopt(m_easy, option, value); }

    uint32_t Start()
    {
        if (m_cancelled)
            return Cancelled();
        if (curl_multi_add_handle(m_multi, m_easy) != CURLM_OK)
            return Failed(Err::InternetInternalError, QStringLiteral("The transfer could not be started."));
        m_attached = true;
        return Err::Success;
    }

    // Drives the transfer until it ends, or with untilData until some data is waiting.
    // Non-zero only for a cancel or a failure of curl itself; how the transfer ended is
    // in Finished() and FinalCode().
    uint32_t Drive(bool untilData)
    {
        // curl's own stall check averages the speed over several seconds, so it fires
        // late; this one counts from the last byte, and only while someone waits.
        QElapsedTimer quiet;
        quiet.start();
        int64_t seen = m_totalBytes;
        while (m_attached)
        {
            if (m_cancelled)
            {
                Detach();
                return Cancelled();
            }
            int running = 0;
            const CURLMcode mc = curl_multi_perform(m_multi, &running);
            if (mc != CURLM_OK)
            {
                Detach();
                return Failed(Err::InternetInternalError, QString::fromUtf8(curl_multi_strerror(mc)));
            }
            int queued = 0;
            while (CURLMsg* message = curl_multi_info_read(m_multi, &queued))
            {
                if (message->msg == CURLMSG_DONE && message->easy_handle == m_easy)
                    Finish(message->data.result);
            }
            if (m_finished || (untilData && Pending() > 0))
                break;
            if (m_totalBytes != seen)
            {
                seen = m_totalBytes;
                quiet.restart();
            }
            else if (m_kind == Kind::File && seen > 0 && quiet.elapsed() >= qint64(m_timeouts.stallMs))
            {
                Detach();
                m_finished = true;
                m_finalCode = Failed(Err::InternetTimeout,
                                     QStringLiteral("No data arrived for %1 ms.").arg(m_timeouts.stallMs));
                break;
            }
            curl_multi_poll(m_multi, nullptr, 0, kPollSliceMs, nullptr);
        }
        return Err::Success;
    }

    uint32_t RunToEnd()
    {
        if (const uint32_t code = Start())
            return code;
        if (const uint32_t code = Drive(false))
            return code;
        return m_finalCode;
    }

    // Ends a transfer still in progress; curl drops its connection without waiting for
    // the server, and the next operation opens a new one.
    void Detach()
    {
        if (!m_attached)
            return;
        curl_multi_remove_handle(m_multi, m_easy);
        m_attached = false;
    }

    long ResponseCode() const
    {
        long code = 0;
        curl_easy_getinfo(m_easy, CURLINFO_RESPONSE_CODE, &code);
        return code;
    }

    QString EntryPath() const
    {
        const char* path = nullptr;
        curl_easy_getinfo(m_easy, CURLINFO_FTP_ENTRY_PATH, &path);
        return path ? QString::fromUtf8(path) : QString();
    }

    qsizetype Pending() const { return m_received.size() - m_readPos; }
    size_t Take(char* buffer, size_t max)
    {
        const size_t n = std::min<size_t>(max, size_t(Pending()));
        std::memcpy(buffer, m_received.constData() + m_readPos, n);
        m_readPos += qsizetype(n);
        if (m_readPos == m_received.size())
        {
            m_received.clear();
            m_readPos = 0;
        }
        return n;
    }
    const QByteArray& Received() const { return m_received; }

    bool Finished() const { return m_finished; }
    uint32_t FinalCode() const { return m_finalCode; }

    uint32_t Failed(uint32_t code, const QString& text)
    {
        m_lastError = text;
        return code;
    }
    uint32_t Cancelled()
    {
        return Failed(Err::InternetOperationCancelled, QStringLiteral("The operation was cancelled."));
    }

    const QString& LastError() const { return m_lastError; }

    bool fileOpen = false;
    bool mlsdRefused = false;

private:
    static size_t OnData(char* data, size_t size, size_t count, void* user)
    {
        auto* self = static_cast<CurlCore*>(user);
        const size_t n = size * count;
        if (self->m_limit >= 0 && self->m_received.size() + qsizetype(n) > self->m_limit)
        {
            self->m_overLimit = true;
            return 0; // ends the transfer with a write error
        }
        self->m_received.append(data, qsizetype(n));
        self->m_totalBytes += int64_t(n);
        return n;
    }

    static curl_socket_t OnOpenSocket(void* user, curlsocktype, curl_sockaddr* address)
    {
        auto* self = static_cast<CurlCore*>(user);
        std::lock_guard guard(self->m_socketLock);
        if (self->m_cancelled)
            return CURL_SOCKET_BAD;
        const curl_socket_t fd = ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
        if (fd != CURL_SOCKET_BAD)
            self->m_sockets.insert(fd);
        return fd;
    }

    static int OnCloseSocket(void* user, curl_socket_t fd)
    {
        auto* self = static_cast<CurlCore*>(user);
        std::lock_guard guard(self->m_socketLock);
        self->m_sockets.erase(fd);
        return ::close(fd);
    }

    void Finish(CURLcode result)
    {
        Detach();
        m_finished = true;
        if (result == CURLE_OK)
        {
            m_finalCode = Err::Success;
            return;
        }
        if (m_overLimit)
        {
            m_finalCode = Failed(Err::InvalidData, QStringLiteral("The folder listing is too long."));
            return;
        }
        const QString text = m_errorBuffer[0] ? QString::fromUtf8(m_errorBuffer)
                                              : QString::fromUtf8(curl_easy_strerror(result));
        m_finalCode = Failed(ErrorFromCurl(result), text);
    }

    FtpTimeouts m_timeouts;
    QByteArray m_baseUrl;
    QByteArray m_user;
    QByteArray m_password;
    CURLM* m_multi = nullptr;
    CURL* m_easy = nullptr;
    curl_slist* m_quote = nullptr;
    std::shared_ptr<FtpAbort> m_abort;
    uint64_t m_abortId = 0;
    std::atomic<bool> m_cancelled{false};
    std::mutex m_socketLock;
    std::set<curl_socket_t> m_sockets;
    bool m_closing = false; // under m_socketLock: the destructor closes the multi handle
    char m_errorBuffer[CURL_ERROR_SIZE] = {};
    QString m_lastError;
    QByteArray m_received;
    qsizetype m_readPos = 0;
    qsizetype m_limit = -1;
    Kind m_kind = Kind::Check;
    int64_t m_totalBytes = 0;
    bool m_overLimit = false;
    bool m_attached = false;
    bool m_finished = false;
    uint32_t m_finalCode = Err::Success;
};

class CurlFile final : public FtpFile
{
public:
    explicit CurlFile(std::shared_ptr<CurlCore> core) : m_core(std::move(core)) {}

    ~CurlFile() override
    {
        m_core->Detach();
        m_core->fileOpen = false;
    }

    uint32_t Read(char* buffer, size_t max, size_t& done) override
    {
        done = 0;
        if (max == 0)
            return Err::Success;
        if (m_core->Pending() == 0 && !m_core->Finished())
        {
            if (const uint32_t code = m_core->Drive(true))
                return code;
        }
        if (m_core->Pending() > 0)
        {
            done = m_core->Take(buffer, max);
            return Err::Success;
        }
        return m_core->FinalCode();
    }

private:
    std::shared_ptr<CurlCore> m_core;
};

// Names and folders go into commands; a line break there would start another command.
bool UsableName(const QString& name)
{
    if (name.isEmpty())
        return false;
    return std::none_of(name.begin(), name.end(),
                        [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F || c == u'/'; });
}

class CurlConnection final : public FtpConnection
{
public:
    explicit CurlConnection(std::shared_ptr<CurlCore> core) : m_core(std::move(core)) {}

    uint32_t CurrentFolder(QString& folder) override
    {
        if (const uint32_t code = Idle())
            return code;
        m_core->Prepare(m_core->Url(m_folder), CurlCore::Kind::Check);
        m_core->SendNoop();
        if (const uint32_t code = m_core->RunToEnd())
            return code;
        QString path = m_core->EntryPath();
        if (!path.endsWith(u'/'))
            path += u'/';
        path += m_folder.join(u'/');
        if (path.size() > 1 && path.endsWith(u'/'))
            path.chop(1);
        folder = path;
        return Err::Success;
    }

    uint32_t ChangeFolder(const QString& folder) override
    {
        if (const uint32_t code = Idle())
            return code;
        QStringList parts;
        for (const QString& part : folder.split(u'/'))
        {
            if (part.isEmpty() || part == QLatin1String("."))
                continue;
            if (!UsableName(part))
                return m_core->Failed(Err::InvalidName, QStringLiteral("The folder name is not valid."));
            parts.append(part);
        }
        m_core->Prepare(m_core->Url(parts), CurlCore::Kind::Check);
        if (const uint32_t code = m_core->RunToEnd())
            return code;
        m_folder = parts;
        return Err::Success;
    }

    uint32_t List(const QString& pattern, std::vector<FtpEntry>& files) override
    {
        files.clear();
        if (const uint32_t code = Idle())
            return code;
        uint32_t code = Err::Success;
        if (!m_core->mlsdRefused)
        {
            // The machine listing is meant to be read by programs; servers without it
            // refuse the command, and then the text listing has to do.
            code = RunListing("MLSD");
            if (code == Err::Success)
                return Collect(FtpListingFormat::Machine, pattern, files);
            const long reply = m_core->ResponseCode();
            if (code != Err::InternetExtendedError || reply < 500 || reply > 504)
                return code;
            m_core->mlsdRefused = true;
        }
        code = RunListing(nullptr);
        if (code != Err::Success)
            return code;
        return Collect(FtpListingFormat::Text, pattern, files);
    }

    uint32_t OpenFile(const QString& name, std::unique_ptr<FtpFile>& file) override
    {
        file.reset();
        if (const uint32_t code = Idle())
            return code;
        if (!UsableName(name))
            return m_core->Failed(Err::InvalidName, QStringLiteral("The file name is not valid."));
        m_core->Prepare(m_core->Url(m_folder, name), CurlCore::Kind::File);
        if (const uint32_t code = m_core->Start())
            return code;
        // Wait for the first data or the end, so a missing file fails here.
        if (const uint32_t code = m_core->Drive(true))
            return code;
        if (m_core->Finished() && m_core->FinalCode() != Err::Success && m_core->Pending() == 0)
            return m_core->FinalCode();
        m_core->fileOpen = true;
        file = std::make_unique<CurlFile>(m_core);
        return Err::Success;
    }

    void Cancel() override { m_core->Cancel(); }

    QString LastErrorText() const override { return m_core->LastError(); }

private:
    uint32_t Idle()
    {
        if (m_core->fileOpen)
            return m_core->Failed(Err::FtpTransferInProgress,
                                  QStringLiteral("A file is being transferred on this connection."));
        return Err::Success;
    }

    uint32_t RunListing(const char* command)
    {
        m_core->Prepare(m_core->Url(m_folder), CurlCore::Kind::Listing);
        if (command)
            m_core->SetOption(CURLOPT_CUSTOMREQUEST, command);
        return m_core->RunToEnd();
    }

    uint32_t Collect(FtpListingFormat format, const QString& pattern, std::vector<FtpEntry>& files)
    {
        for (FtpEntry& entry : ParseFtpListing(m_core->Received(), format, QDateTime::currentDateTimeUtc()))
        {
            if (!entry.isFolder && FtpNameMatches(pattern, entry.name))
                files.push_back(std::move(entry));
        }
        return Err::Success;
    }

    std::shared_ptr<CurlCore> m_core;
    QStringList m_folder;
};

// Host names and addresses only: anything else would change the meaning of the URL.
bool HostForUrl(const QString& host, QByteArray& out)
{
    QString inner = host;
    if (inner.startsWith(u'[') && inner.endsWith(u']'))
        inner = inner.mid(1, inner.size() - 2);
    if (inner.isEmpty() || inner.size() > 253)
        return false;
    const bool ipv6 = inner.contains(u':');
    for (QChar c : inner)
    {
        const bool ok = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
                        c == u'.' || c == u'-' || c == u'_' || (ipv6 && c == u':');
        if (!ok)
            return false;
    }
    out = ipv6 ? '[' + inner.toLatin1() + ']' : inner.toLatin1();
    return true;
}

class CurlBackend final : public FtpBackend
{
public:
    explicit CurlBackend(const FtpTimeouts& timeouts) : m_timeouts(timeouts) {}

    uint32_t Connect(const FtpServerAddress& server, const QString& user, const QString& password,
                     std::unique_ptr<FtpConnection>& connection, QString& errorText,
                     const std::shared_ptr<FtpAbort>& abort) override
    {
        connection.reset();
        QByteArray host;
        if (!HostForUrl(server.host, host) || server.port == 0)
        {
            errorText = QStringLiteral("The server name \"%1\" is not valid.").arg(server.host);
            return Err::InternetInvalidUrl;
        }
        const QByteArray base = "ftp://" + host + ':' + QByteArray::number(server.port) + '/';
        auto core = std::make_shared<CurlCore>(m_timeouts, base, user.toUtf8(), password.toUtf8(), abort);
        if (!core->Valid())
        {
            errorText = QStringLiteral("The FTP transport could not be set up.");
            return Err::NotEnoughMemory;
        }
        // Log in once, so that a wrong password or an unreachable server shows here.
        core->Prepare(base, CurlCore::Kind::Check);
        if (const uint32_t code = core->RunToEnd())
        {
            errorText = core->LastError();
            return code;
        }
        connection = std::make_unique<CurlConnection>(std::move(core));
        errorText.clear();
        return Err::Success;
    }

private:
    FtpTimeouts m_timeouts;
};

} // namespace

std::shared_ptr<FtpBackend> FtpBackend::Curl(const FtpTimeouts& timeouts)
{
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] { ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    if (!ready)
        return nullptr;
    return std::make_shared<CurlBackend>(timeouts);
}

} // namespace Platform
