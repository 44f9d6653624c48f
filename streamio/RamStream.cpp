#include "streamio/RamStream.h"

#include "platform/core/ErrorCodes.h"
#include "platform/core/FileException.h"
#include "streamio/RamDisk.h"
#include "streamio/RamFile.h"

namespace StreamIO
{

CRamStream::CRamStream() = default;

CRamStream::~CRamStream()
{
    if (m_file != nullptr)
    {
        try
        {
            m_disk->ReleaseFile(m_file, GetOpenFlags());
        }
        catch (const std::exception&)
        {
            // A destructor has nobody to report to.
        }
    }
}

template <typename Call> auto CRamStream::OnFile(Call call)
{
    try
    {
        return call(RequireFile());
    }
    catch (const CFileException& e)
    {
        Raise(e.Error());
    }
}

CRamFile& CRamStream::RequireFile()
{
    if (m_file == nullptr)
        Raise(Err::InvalidHandle);
    return *m_file;
}

bool CRamStream::Open(const QString& name, uint32_t openFlags)
{
    if (IsOpen())
    {
        SetError(Err::NotSupported);
        return false;
    }
    static const QString kPrefix = QStringLiteral("RAM:");
    SetName(name.startsWith(kPrefix, Qt::CaseInsensitive) ? name : kPrefix + name);
    SetOpenFlags(openFlags);
    ClearError();

    std::shared_ptr<CRamDisk> disk = CRamDisk::Instance();
    if (!disk)
        Raise(Err::OutOfMemory); // no disk to hand out a file: the stream layer is not running
    CRamFile* file;
    try
    {
        file = disk->OpenFile(GetName(), openFlags);
    }
    catch (const CFileException& e)
    {
        SetError(e.Error());
        throw;
    }
    catch (...)
    {
        SetError(Err::GenFailure);
        throw;
    }
    if (file == nullptr)
        Raise(Err::OutOfMemory);
    m_disk = std::move(disk);
    m_file = file;
    m_position = 0;
    return true;
}

bool CRamStream::Reserve(uint32_t n)
{
    ClearError();
    return RequireFile().Reserve(n);
}

void CRamStream::Close()
{
    ClearError();
    m_position = 0;
    if (m_file == nullptr)
        return;
    CRamFile* file = std::exchange(m_file, nullptr);
    std::shared_ptr<CRamDisk> disk = std::move(m_disk);
    disk->ReleaseFile(file, GetOpenFlags());
}

void CRamStream::DiscardInput()
{
    ClearError();
    if (GetOpenFlags() & STREAM_FIFO)
        OnFile([](CRamFile& f) { f.SetLength(0); });
}

uint32_t CRamStream::Read(void* buffer, uint32_t n)
{
    ClearError();
    RequireFile();
    if (!(GetOpenFlags() & STREAM_READ))
        Raise(Err::ReadFault);
    const uint32_t count = OnFile([&](CRamFile& f) { return f.Read(m_position, buffer, n); });
    if (count == 0 && n > 0)
        SetError(Err::HandleEof);
    return count;
}

uint32_t CRamStream::Write(const void* data, uint32_t n)
{
    ClearError();
    RequireFile();
    if (!(GetOpenFlags() & STREAM_WRITE))
        Raise(Err::WriteFault);
    return OnFile([&](CRamFile& f) { return f.Write(m_position, data, n); });
}

bool CRamStream::IsSeekable() const
{
    return !(GetOpenFlags() & STREAM_FIFO);
}

uint32_t CRamStream::GetLength()
{
    ClearError();
    return RequireFile().GetLength();
}

uint32_t CRamStream::GetPosition()
{
    ClearError();
    return m_position;
}

uint32_t CRamStream::Seek(int32_t offset, uint32_t origin)
{
    ClearError();
    if (!OnFile([&](CRamFile& f) { return f.Seek(m_position, offset, origin); }))
        Raise(Err::SeekOnDevice);
    return m_position;
}

uint32_t CRamStream::SetPosition(uint32_t offset)
{
    ClearError();
    m_position = offset;
    return m_position;
}

void CRamStream::Truncate()
{
    ClearError();
    RequireFile();
    if (!(GetOpenFlags() & STREAM_WRITE))
        Raise(Err::WriteFault);
    OnFile([&](CRamFile& f) { f.SetLength(m_position); });
}

} // namespace StreamIO
