#include "export/core/ExportFileStream.h"

#include "export/core/ExportFile.h"

namespace
{
// Few system calls for the small pieces an encoder writes (chunk headers, checksums).
constexpr std::size_t kBlockSize = 64 * 1024;
} // namespace

CExportFileStream::CExportFileStream(CExportFile& file) : m_file(file)
{
    m_block.reserve(kBlockSize);
}

std::size_t CExportFileStream::Write(const void* buffer, std::size_t size, std::size_t count)
{
    const std::size_t bytes = size * count;
    if (m_failed || !buffer || bytes == 0 || bytes / count != size)
        return 0;
    if (m_block.size() + bytes > kBlockSize && !Flush())
        return 0;
    if (bytes >= kBlockSize)
    {
        if (!m_file.Write(buffer, bytes))
        {
            m_failed = true;
            return 0;
        }
        m_written += static_cast<std::int64_t>(bytes);
        return count;
    }
    const char* data = static_cast<const char*>(buffer);
    m_block.insert(m_block.end(), data, data + bytes);
    return count;
}

bool CExportFileStream::Flush()
{
    if (m_failed)
        return false;
    if (m_block.empty())
        return true;
    if (!m_file.Write(m_block.data(), m_block.size()))
    {
        m_failed = true;
        return false;
    }
    m_written += static_cast<std::int64_t>(m_block.size());
    m_block.clear();
    return true;
}
