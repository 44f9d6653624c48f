#include "streamio/IoStream.h"

#include "platform/core/ErrorCodes.h"
#include "platform/core/FileException.h"
#include "streamio/StreamTable.h"

namespace StreamIO
{

CIoStream::CIoStream(QString name) : m_name(std::move(name))
{
    m_handle = StreamTable::Register(this);
}

CIoStream::~CIoStream()
{
    StreamTable::Unregister(this, m_handle);
}

bool CIoStream::Reopen()
{
    if (m_name.isEmpty())
        return false;
    // A copy: Open stores the name again.
    const QString name = m_name;
    return Open(name, m_openFlags);
}

void CIoStream::Abort()
{
    try
    {
        Close();
    }
    catch (const std::exception&)
    {
        // Abort is the way out after a failure; a second failure has nothing to add.
    }
}

bool CIoStream::GetTimeouts(uint32_t&, uint32_t&)
{
    ClearError();
    return false;
}

bool CIoStream::SetTimeouts(uint32_t, uint32_t)
{
    ClearError();
    return false;
}

bool CIoStream::IsEndOrTimeout() const
{
    const uint32_t e = GetError();
    return e == Err::HandleEof || e == Err::Timeout;
}

uint8_t CIoStream::ReadByte()
{
    uint8_t value = 0;
    Read(&value, 1);
    return value;
}

uint32_t CIoStream::WriteByte(uint8_t value)
{
    return Write(&value, 1);
}

uint32_t CIoStream::Seek(int32_t, uint32_t)
{
    ClearError();
    return 0;
}

uint32_t CIoStream::SetPosition(uint32_t)
{
    ClearError();
    return 0;
}

void CIoStream::Raise(uint32_t code)
{
    m_lastError = code;
    throw CFileException(code, m_name);
}

uint32_t ReadFully(CIoStream& stream, void* buffer, uint32_t n)
{
    auto* p = static_cast<uint8_t*>(buffer);
    uint32_t got = 0;
    while (got < n)
    {
        const uint32_t m = stream.Read(p + got, n - got);
        got += m;
        if (m == 0 || stream.IsEndOrTimeout())
            break;
    }
    return got;
}

bool ReadExactly(CIoStream& stream, void* buffer, uint32_t n)
{
    return ReadFully(stream, buffer, n) == n;
}

} // namespace StreamIO
