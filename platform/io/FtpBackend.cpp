#include "platform/io/FtpBackend.h"

#include "platform/core/ErrorCodes.h"

#include <mutex>

namespace Platform
{
namespace
{
std::mutex g_backendLock;
std::shared_ptr<FtpBackend> g_backend;
} // namespace

void FtpAbort::Abort()
{
    std::lock_guard guard(m_lock);
    m_aborted.store(true, std::memory_order_release);
    for (auto& [id, fn] : m_subscribers)
        fn();
}

uint64_t FtpAbort::Subscribe(std::function<void()> fn)
{
    std::lock_guard guard(m_lock);
    if (Aborted())
        fn();
    const uint64_t id = m_next++;
    m_subscribers.emplace(id, std::move(fn));
    return id;
}

void FtpAbort::Unsubscribe(uint64_t id)
{
    std::lock_guard guard(m_lock);
    m_subscribers.erase(id);
}

uint32_t FtpConnection::Download(const QString& name, const std::function<bool(const char*, size_t)>& sink,
                                 const std::function<bool(uint64_t)>& progress)
{
    std::unique_ptr<FtpFile> file;
    if (const uint32_t code = OpenFile(name, file))
        return code;
    std::vector<char> buffer(64 * 1024);
    uint64_t total = 0;
    for (;;)
    {
        size_t done = 0;
        if (const uint32_t code = file->Read(buffer.data(), buffer.size(), done))
            return code;
        if (done == 0)
            return Err::Success;
        total += done;
        // Dropping the file ends its transfer; the connection stays usable.
        if (!sink(buffer.data(), done) || (progress && !progress(total)))
            return Err::InternetOperationCancelled;
    }
}

std::shared_ptr<FtpBackend> CurrentFtpBackend()
{
    std::lock_guard guard(g_backendLock);
    if (!g_backend)
        g_backend = FtpBackend::Curl();
    return g_backend;
}

void SetFtpBackend(std::shared_ptr<FtpBackend> backend)
{
    std::lock_guard guard(g_backendLock);
    g_backend = std::move(backend);
}

} // namespace Platform
