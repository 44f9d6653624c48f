#include "streamio/RamFile.h"

#include "platform/core/ErrorCodes.h"
#include "platform/core/FileException.h"
#include "streamio/IoStream.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace StreamIO
{
namespace
{
constexpr uint64_t kMaxSize = 0xFFFFFFFFu;
constexpr uint32_t kKeptFlags = STREAM_SHARE_READ | STREAM_SHARE_WRITE | STREAM_FIFO;
} // namespace

CRamFile::CRamFile(uint32_t flags) : m_flags(flags & kKeptFlags)
{
}

CRamFile::~CRamFile()
{
    FreeBuffer();
}

bool CRamFile::IsRing() const
{
    return (m_flags & STREAM_FIFO) != 0;
}

bool CRamFile::IsExclusiveRing() const
{
    return IsRing() && !(m_flags & (STREAM_SHARE_READ | STREAM_SHARE_WRITE));
}

uint32_t CRamFile::GetCapacity() const
{
    std::lock_guard guard(m_lock);
    return m_capacity;
}

void CRamFile::FreeBuffer()
{
    std::free(m_buffer);
    m_buffer = nullptr;
    m_capacity = 0;
    m_read = 0;
    m_end = 0;
}

uint32_t CRamFile::LengthLocked() const
{
    if (m_end >= m_read)
        return m_end - m_read;
    return m_capacity - m_read + m_end; // a ring whose end has wrapped
}

uint32_t CRamFile::GetLength() const
{
    std::lock_guard guard(m_lock);
    return LengthLocked();
}

void CRamFile::Grow(uint64_t n)
{
    if (n > kMaxSize)
        throw CFileException(Err::DiskFull, {});
    if (m_capacity >= n)
        return;
    // Whole growth steps, and at least half the present capacity more, so that a file
    // written in small pieces is not copied over and over.
    uint64_t wanted = std::max<uint64_t>(n, uint64_t{m_capacity} + m_capacity / 2);
    wanted = std::min((wanted + kGrowthStep - 1) / kGrowthStep * kGrowthStep, kMaxSize);
    const auto capacity = static_cast<uint32_t>(wanted);
    const uint32_t length = LengthLocked();

    uint8_t* buffer;
    if (m_read == 0)
    {
        buffer = static_cast<uint8_t*>(std::realloc(m_buffer, capacity));
        if (buffer == nullptr)
            throw CMemoryException();
    }
    else
    {
        buffer = static_cast<uint8_t*>(std::malloc(capacity));
        if (buffer == nullptr)
            throw CMemoryException();
        if (m_end >= m_read)
        {
            std::memcpy(buffer, m_buffer + m_read, length);
        }
        else
        {
            const uint32_t head = m_capacity - m_read;
            std::memcpy(buffer, m_buffer + m_read, head);
            std::memcpy(buffer + head, m_buffer, m_end);
        }
        std::free(m_buffer);
    }
    m_buffer = buffer;
    m_capacity = capacity;
    m_read = 0;
    m_end = length;
}

uint32_t CRamFile::Write(uint32_t& position, const void* data, uint32_t n)
{
    if (n == 0 || data == nullptr)
        return 0;
    const auto* bytes = static_cast<const uint8_t*>(data);
    std::lock_guard guard(m_lock);
    if (IsRing())
    {
        position = 0;
        // One byte always stays free, so that equal pointers mean empty.
        Grow(uint64_t{LengthLocked()} + n + 1);
        const uint32_t first = std::min(n, m_capacity - m_end);
        std::memcpy(m_buffer + m_end, bytes, first);
        std::memcpy(m_buffer, bytes + first, n - first);
        m_end = static_cast<uint32_t>((uint64_t{m_end} + n) % m_capacity);
        return n;
    }
    const uint64_t end = uint64_t{position} + n;
    Grow(end);
    if (position > m_end)
        std::memset(m_buffer + m_end, 0, position - m_end);
    std::memcpy(m_buffer + position, bytes, n);
    position = static_cast<uint32_t>(end);
    m_end = std::max(m_end, position);
    return n;
}

uint32_t CRamFile::Read(uint32_t& position, void* buffer, uint32_t n)
{
    if (n == 0 || buffer == nullptr)
        return 0;
    auto* out = static_cast<uint8_t*>(buffer);
    std::lock_guard guard(m_lock);
    if (IsRing())
        position = 0;
    const uint32_t length = LengthLocked();
    if (position >= length)
        return 0;
    const uint32_t count = std::min(n, length - position);
    if (IsRing())
    {
        const uint32_t first = std::min(count, m_capacity - m_read);
        std::memcpy(out, m_buffer + m_read, first);
        std::memcpy(out + first, m_buffer, count - first);
        m_read = static_cast<uint32_t>((uint64_t{m_read} + count) % m_capacity);
        return count;
    }
    std::memcpy(out, m_buffer + position, count);
    position += count;
    return count;
}

bool CRamFile::Seek(uint32_t& position, int32_t offset, uint32_t origin)
{
    std::lock_guard guard(m_lock);
    if (IsRing())
    {
        position = 0;
        return false;
    }
    int64_t base;
    switch (origin)
    {
    case STREAM_SEEK_CURRENT:
        base = position;
        break;
    case STREAM_SEEK_BEGIN:
        base = 0;
        break;
    case STREAM_SEEK_END:
        base = LengthLocked();
        break;
    default:
        return false;
    }
    const int64_t target = base + offset;
    if (target < 0)
        throw CFileException(Err::NegativeSeek, {});
    if (target > LengthLocked())
        return false;
    position = static_cast<uint32_t>(target);
    return true;
}

void CRamFile::SetLength(uint32_t n)
{
    std::lock_guard guard(m_lock);
    if (n == 0)
    {
        FreeBuffer();
        return;
    }
    if (IsRing())
        return;
    Grow(n);
    if (n > m_end)
        std::memset(m_buffer + m_end, 0, n - m_end);
    m_end = n;
}

bool CRamFile::Reserve(uint32_t n)
{
    std::lock_guard guard(m_lock);
    try
    {
        Grow(n);
    }
    catch (const CMemoryException&)
    {
        return false;
    }
    return true;
}

} // namespace StreamIO
