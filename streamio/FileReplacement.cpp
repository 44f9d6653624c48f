#include "streamio/FileReplacement.h"

#include "platform/core/ErrorCodes.h"
#include "platform/core/FileException.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace StreamIO
{
namespace
{

// As the kernel's own limit on links followed while resolving a path.
constexpr int kMaxLinks = 40;
constexpr uint32_t kTemporaryFlags = STREAM_READ | STREAM_WRITE | STREAM_CREATE_NEW | STREAM_SHARE_READ;

// The file a path finally names: the path itself unless it is a symbolic link. A dangling
// link names the file it would create.
QString FollowLinks(const QString& path, const QString& name)
{
    QString at = path;
    for (int hops = 0; QFileInfo(at).isSymLink(); ++hops)
    {
        if (hops == kMaxLinks)
            throw CFileException(ErrorFromErrno(ELOOP), name);
        at = QFileInfo(at).symLinkTarget();
    }
    return at;
}

} // namespace

CFileReplacement::CFileReplacement(const QString& path) : m_name(path)
{
    m_target = FollowLinks(path, m_name);
    const QByteArray target = QFile::encodeName(m_target);
    struct stat previous;
    const bool exists = ::stat(target.constData(), &previous) == 0;
    // A file we may not write, or a folder, is refused as its open would be.
    if (exists && (S_ISDIR(previous.st_mode) || ::access(target.constData(), W_OK) != 0))
        throw CFileException(Err::AccessDenied, m_name);

    for (int attempt = 0; !m_stream; ++attempt)
    {
        m_temporary = m_target + QStringLiteral(".~") +
                      QString::number(QRandomGenerator::global()->generate() & 0xFFFFFF, 16);
        try
        {
            m_stream = std::make_unique<CFileStream>(m_temporary, kTemporaryFlags);
        }
        catch (const CFileException& e)
        {
            m_temporary.clear();
            if (e.Error() != Err::FileExists || attempt >= 100)
                throw CFileException(e.Error(), m_name);
        }
    }
    if (exists && S_ISREG(previous.st_mode))
    {
        // Group first: changing it may clear the set-group-id bit, which the mode restores.
        // Neither may fail the save: the content matters more than the file's attributes.
        const QByteArray temporary = QFile::encodeName(m_temporary);
        [[maybe_unused]] const int grouped = ::chown(temporary.constData(), uid_t(-1), previous.st_gid);
        [[maybe_unused]] const int moded = ::chmod(temporary.constData(), previous.st_mode & 07777);
    }
}

CFileReplacement::~CFileReplacement()
{
    Discard();
}

void CFileReplacement::Commit()
{
    if (!m_stream)
        throw CFileException(Err::InvalidHandle, m_name);
    try
    {
        m_stream->Close();
    }
    catch (const CFileException& e)
    {
        Discard();
        throw CFileException(e.Error(), m_name);
    }
    m_stream.reset();
    if (std::rename(QFile::encodeName(m_temporary).constData(), QFile::encodeName(m_target).constData()) != 0)
    {
        const uint32_t error = ErrorFromErrno(errno);
        Discard();
        throw CFileException(error, m_name);
    }
    m_temporary.clear();
}

void CFileReplacement::Discard()
{
    m_stream.reset(); // its destructor closes it and swallows failures
    if (!m_temporary.isEmpty())
        QFile::remove(m_temporary);
    m_temporary.clear();
}

} // namespace StreamIO
