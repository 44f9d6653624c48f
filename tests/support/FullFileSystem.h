#pragma once
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

// A small file system of its own (tmpfs) mounted on an empty folder, which Fill() fills to
// the last byte: a write there fails with "no space left" as on a full disk, while the
// rest of the machine is untouched. Mounting needs the right to mount (root, or a user
// namespace); without it Mounted() is false and Why() says why, for a test to skip.
// MakeReadOnly() mounts it again read-only, as a write-protected medium.
class FullFileSystem
{
public:
    static inline const char* kFiller = ".filler";

    explicit FullFileSystem(const QString& folder, int kilobytes = 16) : m_folder(folder)
    {
        QDir().mkpath(folder);
        const QByteArray options = "size=" + QByteArray::number(kilobytes) + "k";
        if (::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                     options.constData()) == 0)
            m_mounted = true;
        else
            m_why = QString::fromLocal8Bit(std::strerror(errno));
    }
    ~FullFileSystem()
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_folder).constData(), MNT_DETACH);
    }
    FullFileSystem(const FullFileSystem&) = delete;
    FullFileSystem& operator=(const FullFileSystem&) = delete;

    bool Mounted() const { return m_mounted; }
    const QString& Why() const { return m_why; }
    const QString& Folder() const { return m_folder; }

    // From now on nothing can be written there; true when done.
    bool MakeReadOnly() const
    {
        return m_mounted && ::mount("tmpfs", QFile::encodeName(m_folder).constData(), "tmpfs",
                                    MS_REMOUNT | MS_RDONLY | MS_NOSUID | MS_NODEV, nullptr) == 0;
    }

    // Takes every byte left; true when the file system is full afterwards.
    bool Fill() const
    {
        const QByteArray path = QFile::encodeName(m_folder + QLatin1Char('/') + QLatin1String(kFiller));
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        if (fd < 0)
            return false;
        const QByteArray block(4096, 'f');
        for (qsizetype chunk = block.size(); chunk > 0; chunk /= 2)
            while (::write(fd, block.constData(), size_t(chunk)) == chunk)
            {
            }
        const bool full = ::write(fd, "f", 1) < 0 && errno == ENOSPC;
        ::close(fd);
        return full;
    }

private:
    QString m_folder;
    bool m_mounted = false;
    QString m_why;
};
