#pragma once
#include <QByteArrayView>
#include <QString>

#include <cstddef>
#include <cstdint>

namespace Platform
{

// The one way the program writes a file the user keeps (projects, exports, downloads,
// backups, conversions): the bytes go to a temporary file beside the target, every write
// and the final flush to the disk are checked, and only then does the temporary file take
// the target's place. Until then, and for good after any failure or without Commit, the
// previous file stays byte for byte and the temporary file is removed.
//
// The temporary file has a fixed name (the target's name plus kTemporarySuffix), so one
// left behind by an interrupted write (a crash, a power cut) is removed by the next write
// of the same target. The target's identity is kept: a symbolic link is followed and the
// new file gets the previous file's permission bits and, where permitted, its group; the
// owner's read and write bits are always set, so the owner can read the file back.
//
// A target that is not a regular file (a folder, a device node, a socket, a pipe) or that
// we may not write is refused before anything is written.
class SafeFileWriter
{
public:
    static inline const QString kTemporarySuffix = QStringLiteral(".~vsk");

    SafeFileWriter() = default;
    ~SafeFileWriter();
    SafeFileWriter(const SafeFileWriter&) = delete;
    SafeFileWriter& operator=(const SafeFileWriter&) = delete;

    bool Open(const QString& path);
    bool Write(const void* data, std::size_t size);
    bool Write(QByteArrayView bytes) { return Write(bytes.data(), std::size_t(bytes.size())); }
    // Syncs the data, closes the temporary file and renames it over the target.
    bool Commit();
    // Drops the temporary file; the target stays as it was.
    void Discard();

    // The call that flushes the temporary file to its disk before the rename: fsync, or a
    // stand-in where a test needs the sync to fail. 0, or -1 with errno set.
    using SyncFunction = int (*)(int fd);
    static int SystemSync(int fd);
    void SetSync(SyncFunction sync) { m_sync = sync; }

    bool IsOpen() const { return m_fd >= 0; }
    // The path as the caller gave it.
    const QString& Path() const { return m_path; }

    // After a failure: the platform error number (Err::), whether the failure came before
    // anything was written, and the system's reason.
    uint32_t Error() const { return m_error; }
    bool FailedToOpen() const { return m_openFailed; }
    const QString& Reason() const { return m_reason; }
    // The message for the user: the file's path, what went wrong, and why.
    QString ErrorMessage() const;

    // The pieces of the procedure, for writers that write the temporary file through a
    // stream of their own. A plan names the file to replace and the temporary file.
    struct SPlan
    {
        QString target;    // symbolic links followed
        QString temporary; // beside the target
        bool exists = false;
        uint32_t mode = 0;
        uint32_t group = 0;
    };
    // Resolves the target, refuses what cannot be replaced and removes a temporary file
    // left by an earlier write. 0 or the error number; reason (if given) gets the text.
    static uint32_t Prepare(const QString& path, SPlan& plan, QString* reason = nullptr);
    // Gives the written temporary file the previous file's group and permission bits, with
    // the owner's read and write bits added.
    static void KeepAttributes(const SPlan& plan);
    // Renames the complete, synced temporary file over the target and syncs the folder.
    static uint32_t Replace(const SPlan& plan, QString* reason = nullptr);
    // The text of a POSIX error number for the user.
    static QString ReasonOf(int posixErrno);
    // The message about a file that could not be written: its path, whether it could not
    // be created or not be written completely, and the reason.
    static QString FailureMessage(const QString& path, bool openFailed, const QString& reason);

private:
    bool Fail(uint32_t error, const QString& reason);
    bool FailErrno(int posixErrno);

    QString m_path;
    SPlan m_plan;
    int m_fd = -1;
    SyncFunction m_sync = &SystemSync;
    uint32_t m_error = 0;
    bool m_openFailed = false;
    QString m_reason;
};

} // namespace Platform
