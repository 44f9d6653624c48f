#include "export/encoder/xMemFile.h"

#include <cstdio>
#include <cstring>
#include <limits>

namespace
{
constexpr std::size_t GrowStep = 0x10000;
}

CxMemFile::CxMemFile(std::uint8_t* buffer, std::size_t size)
    : m_buffer(buffer), m_size(buffer ? size : 0), m_capacity(buffer ? size : 0), m_owner(buffer == nullptr)
{
}

CxMemFile::~CxMemFile()
{
    Close();
}

bool CxMemFile::Open()
{
    if (m_buffer)
        return false;
    m_buffer = static_cast<std::uint8_t*>(std::malloc(1));
    if (!m_buffer)
        return false;
    m_position = 0;
    m_size = 0;
    m_capacity = 1;
    m_owner = true;
    return true;
}

bool CxMemFile::Close()
{
    if (m_buffer && m_owner)
        std::free(m_buffer);
    m_buffer = nullptr;
    m_position = 0;
    m_size = 0;
    m_capacity = 0;
    m_owner = true;
    return true;
}

std::uint8_t* CxMemFile::GetBuffer(bool detach)
{
    if (detach)
        m_owner = false;
    return m_buffer;
}

bool CxMemFile::Alloc(std::size_t need)
{
    if (need <= m_capacity)
        return true;
    // The next multiple of 64 KiB strictly above the need, so that a stream written in
    // small pieces reallocates rarely.
    const std::size_t base = need & ~(GrowStep - 1);
    if (base > std::numeric_limits<std::size_t>::max() - GrowStep)
        return false;
    const std::size_t capacity = base + GrowStep;
    std::uint8_t* grown;
    if (m_owner)
    {
        grown = static_cast<std::uint8_t*>(std::realloc(m_buffer, capacity));
        if (!grown)
            return false;
    }
    else
    {
        // A caller's or detached buffer is not ours to reallocate: continue in a copy.
        grown = static_cast<std::uint8_t*>(std::malloc(capacity));
        if (!grown)
            return false;
        if (m_buffer && m_size)
            std::memcpy(grown, m_buffer, m_size);
    }
    m_buffer = grown;
    m_capacity = capacity;
    m_owner = true;
    return true;
}

std::size_t CxMemFile::Write(const void* buffer, std::size_t size, std::size_t count)
{
    if (!buffer || !m_buffer || size == 0 || count == 0)
        return 0;
    if (count > std::numeric_limits<std::size_t>::max() / size)
        return 0;
    const std::size_t bytes = size * count;
    if (m_position > std::numeric_limits<std::size_t>::max() - bytes)
        return 0;
    const std::size_t end = m_position + bytes;
    if (!Alloc(end))
        return 0;
    // After a seek past the end the skipped bytes were never written: they must not carry
    // whatever the allocator left there into the stream.
    if (m_position > m_size)
        std::memset(m_buffer + m_size, 0, m_position - m_size);
    std::memcpy(m_buffer + m_position, buffer, bytes);
    m_position = end;
    if (m_position > m_size)
        m_size = m_position;
    return count;
}

std::size_t CxMemFile::Read(void* buffer, std::size_t size, std::size_t count)
{
    if (!buffer || !m_buffer || size == 0 || m_position >= m_size)
        return 0;
    const std::size_t available = m_size - m_position;
    const std::size_t wanted = count > available / size ? available : size * count;
    std::memcpy(buffer, m_buffer + m_position, wanted);
    m_position += wanted;
    return wanted / size;
}

bool CxMemFile::Seek(std::int64_t offset, int origin)
{
    if (!m_buffer)
        return false;
    std::int64_t base;
    switch (origin)
    {
    case SEEK_SET:
        base = 0;
        break;
    case SEEK_CUR:
        base = static_cast<std::int64_t>(m_position);
        break;
    case SEEK_END:
        base = static_cast<std::int64_t>(m_size);
        break;
    default:
        return false;
    }
    std::int64_t position;
    if (__builtin_add_overflow(base, offset, &position))
        position = offset < 0 ? 0 : std::numeric_limits<std::int64_t>::max();
    m_position = position < 0 ? 0 : static_cast<std::size_t>(position);
    return true;
}

std::int64_t CxMemFile::Tell()
{
    return m_buffer ? static_cast<std::int64_t>(m_position) : -1;
}

std::int64_t CxMemFile::Size()
{
    return m_buffer ? static_cast<std::int64_t>(m_size) : -1;
}

bool CxMemFile::Flush()
{
    return m_buffer != nullptr;
}

bool CxMemFile::Eof()
{
    return !m_buffer || m_position >= m_size;
}

int CxMemFile::Error()
{
    if (!m_buffer)
        return -1;
    return m_position > m_size ? 1 : 0;
}

int CxMemFile::GetC()
{
    if (Eof())
        return -1;
    return m_buffer[m_position++];
}

char* CxMemFile::GetS(char* string, int n)
{
    if (!string || n <= 0)
        return nullptr;
    int i = 0;
    while (i < n - 1)
    {
        const int c = GetC();
        if (c < 0)
        {
            string[i] = 0;
            return nullptr;
        }
        string[i++] = static_cast<char>(c);
        if (c == '\n')
            break;
    }
    string[i] = 0;
    return string;
}

int CxMemFile::Scanf(const char*, void*)
{
    return 0;
}
