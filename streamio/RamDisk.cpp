#include "streamio/RamDisk.h"

#include "platform/core/ErrorCodes.h"
#include "platform/core/FileException.h"
#include "streamio/IoStream.h"

#include <algorithm>

namespace StreamIO
{
namespace
{

struct DiskSlot
{
    std::mutex lock;
    std::shared_ptr<CRamDisk> disk;
};

DiskSlot& Slot()
{
    static DiskSlot* slot = new DiskSlot; // streams in static objects may outlive main
    return *slot;
}

} // namespace

CRamDisk::CRamDisk(QString root) : m_root(std::move(root))
{
    const qsizetype colon = m_root.indexOf(QLatin1Char(':'));
    if (colon < 0)
        m_root += QLatin1Char(':');
    else if (colon != m_root.size() - 1)
        throw CFileException(Err::InvalidName, m_root);
}

CRamDisk::~CRamDisk() = default;

std::shared_ptr<CRamDisk> CRamDisk::Instance()
{
    DiskSlot& slot = Slot();
    std::lock_guard guard(slot.lock);
    return slot.disk;
}

void CRamDisk::SetInstance(std::shared_ptr<CRamDisk> disk)
{
    DiskSlot& slot = Slot();
    std::shared_ptr<CRamDisk> old;
    {
        std::lock_guard guard(slot.lock);
        old = std::exchange(slot.disk, std::move(disk));
    }
    // The old disk (with its files) goes here, outside the slot's lock.
}

CRamFile* CRamDisk::OpenFile(const QString& name, uint32_t openFlags)
{
    QString fileName = name;
    if (fileName.startsWith(m_root, Qt::CaseInsensitive))
        fileName.remove(0, m_root.size());
    if (fileName.contains(QLatin1Char(':')))
        throw CFileException(Err::InvalidName, fileName);

    const bool reads = (openFlags & STREAM_READ) != 0;
    const bool writes = (openFlags & STREAM_WRITE) != 0;
    const uint32_t creation = openFlags & STREAM_CREATION_MASK;

    std::lock_guard guard(m_lock);
    CRamFile* file;
    auto it = m_files.find(fileName);
    if (it != m_files.end())
    {
        file = it->second.get();
        // The share bits that count are those of the open that created the file.
        const uint32_t shares = file->GetFlags();
        if (creation == STREAM_CREATE_NEW)
            throw CFileException(Err::FileExists, name);
        if (creation == STREAM_CREATE_ALWAYS)
        {
            if (!(shares & STREAM_SHARE_WRITE))
                throw CFileException(Err::SharingViolation, name);
            if (file->IsRing())
                throw CFileException(Err::OpenFailed, name);
        }
        if (!file->IsExclusiveRing())
        {
            if ((reads && !(shares & STREAM_SHARE_READ)) || (writes && !(shares & STREAM_SHARE_WRITE)))
                throw CFileException(Err::SharingViolation, name);
            if (creation == STREAM_CREATE_ALWAYS)
                file->SetLength(0);
        }
        else if ((reads && (file->m_marks & RAMFILE_FIFO_READER)) ||
                 (writes && (file->m_marks & RAMFILE_FIFO_WRITER)))
        {
            throw CFileException(Err::SharingViolation, name);
        }
    }
    else
    {
        if (creation == 0)
            throw CFileException(Err::FileNotFound, name);
        auto created = std::make_unique<CRamFile>(openFlags);
        file = created.get();
        m_files.emplace(fileName, std::move(created));
    }

    ++file->m_references;
    if (file->IsExclusiveRing())
    {
        if (reads)
            file->m_marks |= RAMFILE_FIFO_READER;
        if (writes)
            file->m_marks |= RAMFILE_FIFO_WRITER;
    }
    return file;
}

void CRamDisk::ReleaseFile(CRamFile* file, uint32_t openFlags)
{
    if (file == nullptr)
        return;
    std::lock_guard guard(m_lock);
    if (--file->m_references == 0)
    {
        auto it = std::find_if(m_files.begin(), m_files.end(),
                               [file](const auto& entry) { return entry.second.get() == file; });
        if (it != m_files.end())
            m_files.erase(it);
        return;
    }
    if (file->IsExclusiveRing())
    {
        if (openFlags & STREAM_READ)
            file->m_marks &= ~RAMFILE_FIFO_READER;
        if (openFlags & STREAM_WRITE)
            file->m_marks &= ~RAMFILE_FIFO_WRITER;
    }
}

} // namespace StreamIO
