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

uint32_t FtpConnection::Download(const QString& name, const std::function<bool(const char*, size_t)>& sink,
                                 const std::function<bool(uint64_t, int64_t)>& progress)
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
        if (!sink(buffer.data(), done) || (progress && !progress(total, file->Size())))
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
