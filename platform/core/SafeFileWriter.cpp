#include "platform/core/SafeFileWriter.h"

#include "platform/core/ErrorCodes.h"
#include "platform/core/StringTable.h"
#include "resources/StringIds.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Platform
{
namespace
{

// As the kernel's own limit on links followed while resolving a path.
constexpr int kMaxLinks = 40;

QByteArray Native(const QString& path)
{
    return QFile::encodeName(path);
}

// Whatever the caller does next, errno's text is the reason of this failure.
int SyncFolderOf(const QString& path)
{
    const QByteArray folder = Native(QFileInfo(path).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return 0; // the rename is done; a folder we cannot open is synced by the system
    int result = ::fsync(fd);
    // Some file systems cannot sync a folder; the rename stands all the same.
    if (result != 0 && (errno == EINVAL || errno == EROFS))
        result = 0;
    const int error = result == 0 ? 0 : errno;
    ::close(fd);
    return error;
}

} // namespace

SafeFileWriter::~SafeFileWriter()
{
    Discard();
}

int SafeFileWriter::SystemSync(int fd)
{
    return ::fsync(fd);
}

QString SafeFileWriter::ReasonOf(int posixErrno)
{
    return qt_error_string(posixErrno);
}

uint32_t SafeFileWriter::Prepare(const QString& path, SPlan& plan, QString* reason)
{
    const auto refuse = [&](uint32_t error, const QString& text)
    {
        if (reason)
            *reason = text;
        return error;
    };
    plan = SPlan{};
    QString at = path;
    for (int hops = 0; QFileInfo(at).isSymLink(); ++hops)
    {
        if (hops == kMaxLinks)
            return refuse(ErrorFromErrno(ELOOP), ReasonOf(ELOOP));
        at = QFileInfo(at).symLinkTarget();
    }
    plan.target = at;
    plan.temporary = at + kTemporarySuffix;
    const QByteArray target = Native(plan.target);
    struct stat previous;
    if (::stat(target.constData(), &previous) == 0)
    {
        // Renaming over a device node or a folder would replace it by a plain file.
        if (!S_ISREG(previous.st_mode))
            return refuse(Err::AccessDenied, LoadString(StringId::IDS_NOT_A_REGULAR_FILE));
        if (::access(target.constData(), W_OK) != 0)
            return refuse(ErrorFromErrno(errno), ReasonOf(errno));
        plan.exists = true;
        plan.mode = previous.st_mode & 07777;
        plan.group = previous.st_gid;
    }
    // A temporary file left by an interrupted write of this target.
    const QByteArray temporary = Native(plan.temporary);
    if (::unlink(temporary.constData()) != 0 && errno != ENOENT)
        return refuse(ErrorFromErrno(errno), ReasonOf(errno));
    return 0;
}

void SafeFileWriter::KeepAttributes(const SPlan& plan)
{
    if (!plan.exists)
        return;
    // Group first: changing it may clear the set-group-id bit, which the mode restores.
    // Neither may fail the write: the content matters more than the file's attributes.
    // The owner may always read and write what the program wrote for them: a file that
    // only root could write over (mode 0444) or that its owner could not read back (0200)
    // would otherwise keep that mode for good.
    const QByteArray temporary = Native(plan.temporary);
    [[maybe_unused]] const int grouped = ::chown(temporary.constData(), uid_t(-1), gid_t(plan.group));
    [[maybe_unused]] const int moded = ::chmod(temporary.constData(), mode_t(plan.mode | S_IRUSR | S_IWUSR));
}

uint32_t SafeFileWriter::Replace(const SPlan& plan, QString* reason)
{
    if (std::rename(Native(plan.temporary).constData(), Native(plan.target).constData()) != 0)
    {
        const int error = errno;
        if (reason)
            *reason = ReasonOf(error);
        return ErrorFromErrno(error);
    }
    if (const int error = SyncFolderOf(plan.target))
    {
        // The new file is in place; only its name may not be on the disk yet.
        if (reason)
            *reason = ReasonOf(error);
        return ErrorFromErrno(error);
    }
    return 0;
}

bool SafeFileWriter::Open(const QString& path)
{
    Discard();
    m_path = path;
    m_error = 0;
    m_reason.clear();
    m_openFailed = true;
    if (const uint32_t error = Prepare(path, m_plan, &m_reason))
        return Fail(error, m_reason);
    const QByteArray temporary = Native(m_plan.temporary);
    int fd;
    do
        fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
    {
        m_plan.temporary.clear(); // not ours to remove
        return FailErrno(errno);
    }
    m_fd = fd;
    KeepAttributes(m_plan);
    m_openFailed = false;
    return true;
}

bool SafeFileWriter::Write(const void* data, std::size_t size)
{
    if (!IsOpen())
        return m_error == 0 ? Fail(Err::InvalidHandle, ReasonOf(EBADF)) : false;
    const char* bytes = static_cast<const char*>(data);
    while (size > 0)
    {
        const ssize_t written = ::write(m_fd, bytes, size);
        if (written < 0)
        {
            if (errno == EINTR)
                continue;
            return FailErrno(errno);
        }
        if (written == 0)
            return FailErrno(ENOSPC);
        bytes += written;
        size -= std::size_t(written);
    }
    return true;
}

bool SafeFileWriter::Commit()
{
    if (!IsOpen())
        return m_error == 0 ? Fail(Err::InvalidHandle, ReasonOf(EBADF)) : false;
    // Data a file system keeps back (delayed allocation, network file systems) fails here
    // or at close, not at write.
    if (m_sync(m_fd) != 0)
        return FailErrno(errno);
    const int closed = ::close(m_fd);
    const int closeErrno = errno;
    m_fd = -1; // Linux frees the descriptor even when close() fails: never close twice
    if (closed != 0 && closeErrno != EINTR)
        return FailErrno(closeErrno);
    QString reason;
    if (const uint32_t error = Replace(m_plan, &reason))
    {
        // A temporary file that could not be renamed goes; a rename done stays.
        if (QFileInfo::exists(m_plan.temporary))
            return Fail(error, reason);
        m_plan.temporary.clear();
        m_error = error;
        m_reason = reason;
        return false;
    }
    m_plan.temporary.clear();
    return true;
}

void SafeFileWriter::Discard()
{
    if (m_fd >= 0)
    {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_plan.temporary.isEmpty())
        ::unlink(Native(m_plan.temporary).constData());
    m_plan.temporary.clear();
}

bool SafeFileWriter::Fail(uint32_t error, const QString& reason)
{
    m_error = error == 0 ? Err::GenFailure : error;
    m_reason = reason;
    Discard();
    return false;
}

bool SafeFileWriter::FailErrno(int posixErrno)
{
    return Fail(ErrorFromErrno(posixErrno), ReasonOf(posixErrno));
}

QString SafeFileWriter::ErrorMessage() const
{
    return FailureMessage(m_path, m_openFailed, m_reason);
}

QString SafeFileWriter::FailureMessage(const QString& path, bool openFailed, const QString& reason)
{
    QString text = path + QStringLiteral("\n\n");
    text += LoadString(openFailed ? StringId::IDS_CANNOT_CREATE_FILE : StringId::IDS_WRITE_FAILED);
    if (!reason.isEmpty())
        text += QStringLiteral("\n(") + reason + QLatin1Char(')');
    return text;
}

} // namespace Platform
