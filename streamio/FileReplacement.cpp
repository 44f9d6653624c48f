#include "streamio/FileReplacement.h"

#include "platform/core/ErrorCodes.h"
#include "platform/core/FileException.h"
#include "platform/core/SafeFileWriter.h"

#include <QFile>

namespace StreamIO
{
namespace
{
constexpr uint32_t kTemporaryFlags = STREAM_READ | STREAM_WRITE | STREAM_CREATE_NEW | STREAM_SHARE_READ;
} // namespace

CFileReplacement::CFileReplacement(const QString& path) : m_name(path)
{
    // The plan refuses what cannot be replaced and clears a temporary file an earlier,
    // interrupted save left behind.
    if (const uint32_t error = Platform::SafeFileWriter::Prepare(path, m_plan))
        throw CFileException(error, m_name);
    try
    {
        m_stream = std::make_unique<CFileStream>(m_plan.temporary, kTemporaryFlags);
    }
    catch (const CFileException& e)
    {
        m_plan.temporary.clear(); // not ours to remove
        throw CFileException(e.Error(), m_name);
    }
    Platform::SafeFileWriter::KeepAttributes(m_plan);
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
    if (const uint32_t error = Platform::SafeFileWriter::Replace(m_plan))
    {
        Discard();
        throw CFileException(error, m_name);
    }
    m_plan.temporary.clear();
}

void CFileReplacement::Discard()
{
    m_stream.reset(); // its destructor closes it and swallows failures
    if (!m_plan.temporary.isEmpty())
        QFile::remove(m_plan.temporary);
    m_plan.temporary.clear();
}

} // namespace StreamIO
