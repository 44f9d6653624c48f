#pragma once
#include "streamio/RamFile.h"

#include <QHash>
#include <QString>

#include <memory>
#include <mutex>
#include <unordered_map>

namespace StreamIO
{

// The in-memory file system behind the names "RAM:...". A file lives while a stream has
// it open: the last close deletes it. File names are compared exactly (case matters);
// the root prefix is not.
//
// Lock order: the stream table's lock, then the disk's, then a file's.
class CRamDisk
{
public:
    struct NameHash
    {
        size_t operator()(const QString& name) const noexcept { return qHash(name); }
    };
    using CFileMap = std::unordered_map<QString, std::unique_ptr<CRamFile>, NameHash>;

    // A root without a colon gets one; a colon that is not last raises 123.
    explicit CRamDisk(QString root);
    ~CRamDisk();
    CRamDisk(const CRamDisk&) = delete;
    CRamDisk& operator=(const CRamDisk&) = delete;

    // The process's disk "RAM:" between StartStreamIO and ShutdownStreamIO, else null.
    // A stream keeps the disk it opened on alive until it lets go of its file.
    static std::shared_ptr<CRamDisk> Instance();
    static void SetInstance(std::shared_ptr<CRamDisk> disk);

    // Opens or creates a file for a stream with these open flags; raises 2, 32, 80, 110
    // or 123 as the flags and the file's state require.
    CRamFile* OpenFile(const QString& name, uint32_t openFlags);
    // The closing stream's half of OpenFile; the last one deletes the file.
    void ReleaseFile(CRamFile* file, uint32_t openFlags);

    const QString& GetRoot() const { return m_root; }

private:
    QString m_root;
    CFileMap m_files;
    std::mutex m_lock;
};

} // namespace StreamIO
