#include "streamio/FileStream.h"

#include "platform/core/Clock.h"
#include "platform/core/ErrorCodes.h"
#include "platform/core/Event.h"
#include "platform/core/FileException.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace StreamIO
{
namespace
{

// One read or write call moves at most this much (the kernel's own limit).
constexpr uint32_t kMaxTransfer = 0x7FFFF000u;

// Which streams of this process have which file open with which flags, so that the
// share bits of the open flags keep their meaning between our own streams.
class ShareList
{
public:
    static ShareList& Instance()
    {
        static ShareList* list = new ShareList; // outlives static streams
        return *list;
    }

    // False when an open with these flags collides with a stream already open.
    bool Add(const CFileStream* stream, uint64_t device, uint64_t inode, uint32_t flags)
    {
        std::lock_guard guard(m_lock);
        std::vector<Entry>& openers = m_files[{device, inode}];
        for (const Entry& e : openers)
        {
            if (!Allows(e.flags, flags) || !Allows(flags, e.flags))
                return false; // openers is not empty here: no stale entry is left
        }
        openers.push_back({stream, flags});
        return true;
    }

    void Remove(const CFileStream* stream, uint64_t device, uint64_t inode)
    {
        std::lock_guard guard(m_lock);
        auto it = m_files.find({device, inode});
        if (it == m_files.end())
            return;
        std::erase_if(it->second, [stream](const Entry& e) { return e.stream == stream; });
        if (it->second.empty())
            m_files.erase(it);
    }

private:
    struct Entry
    {
        const CFileStream* stream;
        uint32_t flags;
    };

    // Whether an opener with `holder` flags lets another open with `other` access.
    static bool Allows(uint32_t holder, uint32_t other)
    {
        if ((other & STREAM_READ) && !(holder & STREAM_SHARE_READ))
            return false;
        if ((other & STREAM_WRITE) && !(holder & STREAM_SHARE_WRITE))
            return false;
        return true;
    }

    std::mutex m_lock;
    std::map<std::pair<uint64_t, uint64_t>, std::vector<Entry>> m_files;
};

uint32_t LastError()
{
    return ErrorFromErrno(errno);
}

} // namespace

CFileStream::CFileStream() = default;

CFileStream::CFileStream(const QString& name, uint32_t openFlags)
{
    if (!Open(name, openFlags))
        throw CFileException(GetError(), name);
}

CFileStream::~CFileStream()
{
    if (IsOpen())
    {
        try
        {
            Close();
        }
        catch (const std::exception&)
        {
            // A destructor has nobody to report to.
        }
    }
}

bool CFileStream::Open(const QString& name, uint32_t openFlags)
{
    if (IsOpen())
    {
        SetError(Err::NotSupported);
        return false;
    }
    SetName(name);
    SetOpenFlags(openFlags);
    ClearError();

    // Non-blocking open: a terminal without carrier must not hang the open. Disk files
    // are switched back to blocking below; terminals wait with poll().
    int oflags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    if ((openFlags & STREAM_READ) && (openFlags & STREAM_WRITE))
        oflags |= O_RDWR;
    else if (openFlags & STREAM_WRITE)
        oflags |= O_WRONLY;
    else
        oflags |= O_RDONLY;
    const uint32_t creation = openFlags & STREAM_CREATION_MASK;
    if (creation == STREAM_CREATE_NEW)
        oflags |= O_CREAT | O_EXCL;
    else if (creation != 0)
        oflags |= O_CREAT; // create-always truncates only after the share check

    const QByteArray path = QFile::encodeName(name);
    int fd;
    do
        fd = ::open(path.constData(), oflags, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
    {
        // As on the platform the callers know: a missing folder is not a missing file.
        if (errno == ENOENT && !QFileInfo(name).absoluteDir().exists())
            Raise(Err::PathNotFound);
        Raise(LastError());
    }

    struct stat st;
    if (::fstat(fd, &st) != 0)
    {
        const uint32_t error = LastError();
        ::close(fd);
        Raise(error);
    }
    if (S_ISDIR(st.st_mode))
    {
        ::close(fd);
        Raise(Err::AccessDenied);
    }
    if (!ShareList::Instance().Add(this, st.st_dev, st.st_ino, openFlags))
    {
        ::close(fd);
        Raise(Err::SharingViolation);
    }
    m_fd = fd;
    m_device = st.st_dev;
    m_inode = st.st_ino;
    m_timeouts = {};

    if (creation == STREAM_CREATE_ALWAYS && S_ISREG(st.st_mode) && st.st_size != 0 && ::ftruncate(fd, 0) != 0)
    {
        const uint32_t error = LastError();
        ReleaseDescriptor();
        Raise(error);
    }
    if (::isatty(fd))
    {
        m_cancel = std::make_unique<Platform::Event>(false, false);
    }
    else
    {
        const int fl = ::fcntl(fd, F_GETFL);
        if (fl >= 0)
            ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
    }
    return true;
}

int CFileStream::ReleaseDescriptor()
{
    ShareList::Instance().Remove(this, m_device, m_inode);
    // Linux frees the descriptor even when close() reports EINTR: never close twice.
    const int result = ::close(m_fd) == 0 || errno == EINTR ? 0 : errno;
    m_fd = -1;
    m_cancel.reset();
    return result;
}

void CFileStream::Close()
{
    ClearError();
    if (!IsOpen())
        return;
    // A flush that fails means data is lost: report it, but close all the same.
    uint32_t error = 0;
    if (GetOpenFlags() & STREAM_WRITE)
        error = SyncDescriptor();
    const int closeErrno = ReleaseDescriptor();
    if (error == 0 && closeErrno != 0)
        error = ErrorFromErrno(closeErrno);
    if (error != 0)
        Raise(error);
}

uint32_t CFileStream::SyncDescriptor()
{
    struct stat st;
    if (::fstat(m_fd, &st) != 0)
        return LastError();
    int result = 0;
    if (S_ISREG(st.st_mode))
        result = ::fdatasync(m_fd);
    else if (IsTerminal())
        result = ::tcdrain(m_fd);
    return result == 0 ? 0 : LastError();
}

void CFileStream::Flush()
{
    ClearError();
    if (!(GetOpenFlags() & STREAM_WRITE))
        return;
    RequireOpen();
    if (const uint32_t error = SyncDescriptor())
        Raise(error);
}

void CFileStream::RequireOpen()
{
    if (!IsOpen())
        Raise(Err::InvalidHandle);
}

bool CFileStream::GetTimeouts(uint32_t& readMs, uint32_t& writeMs)
{
    ClearError();
    RequireOpen();
    if (!IsTerminal())
    {
        SetError(Err::NotSupported);
        return false;
    }
    readMs = m_timeouts.readConstant != 0 ? m_timeouts.readConstant : STREAM_WAIT_FOREVER;
    writeMs = m_timeouts.writeMultiplier == 0 && m_timeouts.writeConstant == 0 ? STREAM_WAIT_FOREVER
                                                                               : m_timeouts.writeConstant;
    return true;
}

bool CFileStream::SetTimeouts(uint32_t readMs, uint32_t writeMs)
{
    ClearError();
    RequireOpen();
    if (!IsTerminal())
    {
        SetError(Err::NotSupported);
        return false;
    }
    m_timeouts.readConstant = readMs == STREAM_WAIT_FOREVER ? 0 : readMs;
    m_timeouts.writeMultiplier = writeMs == STREAM_WAIT_FOREVER ? 0 : 50;
    m_timeouts.writeConstant = writeMs == STREAM_WAIT_FOREVER ? 0 : writeMs;
    return true;
}

bool CFileStream::CancelPending()
{
    // The one call made from another thread, while the owner waits in a transfer: it
    // touches nothing but the wake-up event.
    if (m_cancel)
    {
        m_cancel->Set();
        return true;
    }
    ClearError();
    RequireOpen();
    SetError(Err::NotSupported);
    return false;
}

CFileStream::NWait CFileStream::WaitReady(short events, uint64_t deadlineMs)
{
    for (;;)
    {
        int timeout = -1;
        if (deadlineMs != 0)
        {
            const uint64_t now = Platform::MonotonicMs();
            if (now >= deadlineMs)
                return NWait::timedOut;
            timeout = static_cast<int>(std::min<uint64_t>(deadlineMs - now, 0x7FFFFFFF));
        }
        // With a cancel hook the wait goes in slices, so a cancel ends it soon.
        const bool sliced = GetCancelHook() && (timeout < 0 || timeout > int(kCancelPollMs));
        if (sliced)
            timeout = int(kCancelPollMs);
        pollfd fds[2] = {{m_fd, events, 0}, {m_cancel->Fd(), POLLIN, 0}};
        const int n = ::poll(fds, 2, timeout);
        if (n < 0)
        {
            if (errno == EINTR)
                continue;
            Raise(LastError());
        }
        if (n == 0)
        {
            if (CancelRequested())
            {
                m_hookCancelled = true;
                return NWait::cancelled;
            }
            if (sliced)
                continue;
            return NWait::timedOut;
        }
        if ((fds[1].revents & POLLIN) && m_cancel->TryConsume())
            return NWait::cancelled;
        if (fds[0].revents != 0)
            return NWait::ready; // ready, a hang-up or an error that the next call reports
    }
}

uint32_t CFileStream::ReadTerminal(uint8_t* buffer, uint32_t n, bool& timedOut)
{
    // A cancel that came before this transfer began has nothing to cancel.
    m_cancel->Reset();
    const uint64_t deadline =
        m_timeouts.readConstant != 0 ? Platform::MonotonicMs() + m_timeouts.readConstant : 0;
    uint32_t got = 0;
    while (got < n)
    {
        const ssize_t r = ::read(m_fd, buffer + got, std::min(n - got, kMaxTransfer));
        if (r > 0)
        {
            got += static_cast<uint32_t>(r);
            continue;
        }
        if (r == 0)
            break; // hang-up: the other end is gone
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN)
            Raise(LastError());
        const NWait wait = WaitReady(POLLIN, deadline);
        if (wait == NWait::ready)
            continue;
        timedOut = wait == NWait::timedOut;
        break;
    }
    return got;
}

uint32_t CFileStream::WriteTerminal(const uint8_t* data, uint32_t n)
{
    m_cancel->Reset();
    const uint64_t total = uint64_t{m_timeouts.writeMultiplier} * n + m_timeouts.writeConstant;
    const uint64_t deadline = total != 0 ? Platform::MonotonicMs() + total : 0;
    uint32_t done = 0;
    while (done < n)
    {
        const ssize_t r = ::write(m_fd, data + done, std::min(n - done, kMaxTransfer));
        if (r > 0)
        {
            done += static_cast<uint32_t>(r);
            continue;
        }
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0 && errno != EAGAIN)
            Raise(LastError());
        if (WaitReady(POLLOUT, deadline) != NWait::ready)
            break;
    }
    return done;
}

uint32_t CFileStream::Read(void* buffer, uint32_t n)
{
    ClearError();
    if (!(GetOpenFlags() & STREAM_READ))
        Raise(Err::ReadFault);
    RequireOpen();
    if (n == 0)
        return 0;
    uint32_t got;
    m_hookCancelled = false;
    bool timedOut = false;
    if (IsTerminal())
    {
        got = ReadTerminal(static_cast<uint8_t*>(buffer), n, timedOut);
    }
    else
    {
        ssize_t r;
        do
            r = ::read(m_fd, buffer, std::min(n, kMaxTransfer));
        while (r < 0 && errno == EINTR);
        if (r < 0)
            Raise(LastError());
        got = static_cast<uint32_t>(r);
    }
    // A line that stayed quiet until the read's time-out is still there; only a hang-up
    // (or CancelPending, which cuts the transfer as a closed link would) is end of data.
    if (m_hookCancelled)
        SetError(Err::OperationAborted);
    else if (got == 0)
        SetError(timedOut ? Err::Timeout : Err::HandleEof);
    return got;
}

uint32_t CFileStream::Write(const void* data, uint32_t n)
{
    ClearError();
    if (!(GetOpenFlags() & STREAM_WRITE))
        Raise(Err::WriteFault);
    RequireOpen();
    if (n == 0)
        return 0;
    const auto* bytes = static_cast<const uint8_t*>(data);
    uint32_t done = 0;
    m_hookCancelled = false;
    if (IsTerminal())
    {
        done = WriteTerminal(bytes, n);
    }
    else
    {
        // A disk write is all or a failure, as callers expect of a file.
        while (done < n)
        {
            const ssize_t r = ::write(m_fd, bytes + done, std::min(n - done, kMaxTransfer));
            if (r < 0 && errno == EINTR)
                continue;
            if (r < 0)
                Raise(LastError());
            if (r == 0)
                break;
            done += static_cast<uint32_t>(r);
        }
    }
    if (m_hookCancelled)
        SetError(Err::OperationAborted);
    else if (done == 0)
        SetError(Err::Timeout);
    return done;
}

uint32_t CFileStream::GetLength()
{
    ClearError();
    RequireOpen();
    struct stat st;
    if (::fstat(m_fd, &st) != 0)
        Raise(LastError());
    return static_cast<uint32_t>(st.st_size);
}

uint32_t CFileStream::GetPosition()
{
    ClearError();
    RequireOpen();
    const off_t pos = ::lseek(m_fd, 0, SEEK_CUR);
    if (pos < 0)
        Raise(LastError());
    return static_cast<uint32_t>(pos);
}

uint32_t CFileStream::Seek(int32_t offset, uint32_t origin)
{
    ClearError();
    RequireOpen();
    int64_t base;
    switch (origin)
    {
    case STREAM_SEEK_CURRENT:
        base = ::lseek(m_fd, 0, SEEK_CUR);
        break;
    case STREAM_SEEK_BEGIN:
        base = 0;
        break;
    case STREAM_SEEK_END:
    {
        struct stat st;
        base = ::fstat(m_fd, &st) == 0 ? st.st_size : -1;
        break;
    }
    default:
        Raise(Err::Seek);
    }
    if (base < 0)
        Raise(LastError());
    const int64_t target = base + offset;
    if (target < 0)
        Raise(Err::NegativeSeek);
    const off_t pos = ::lseek(m_fd, target, SEEK_SET);
    if (pos < 0)
        Raise(LastError());
    return static_cast<uint32_t>(pos);
}

uint32_t CFileStream::SetPosition(uint32_t offset)
{
    ClearError();
    RequireOpen();
    const off_t pos = ::lseek(m_fd, offset, SEEK_SET);
    if (pos < 0)
        Raise(LastError());
    return static_cast<uint32_t>(pos);
}

void CFileStream::Truncate()
{
    ClearError();
    if (!(GetOpenFlags() & STREAM_WRITE))
        Raise(Err::WriteFault);
    RequireOpen();
    const off_t pos = ::lseek(m_fd, 0, SEEK_CUR);
    if (pos < 0 || ::ftruncate(m_fd, pos) != 0)
        Raise(LastError());
}

} // namespace StreamIO
