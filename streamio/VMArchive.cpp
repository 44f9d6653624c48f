#include "streamio/VMArchive.h"

#include "platform/core/Codepage.h"
#include "platform/core/ErrorCodes.h"
#include "platform/core/FileException.h"
#include "streamio/FileReplacement.h"
#include "streamio/FileStream.h"
#include "streamio/StreamFactory.h"
#include "streamio/StreamTable.h"

#include <bit>
#include <cstring>
#include <new>

namespace StreamIO
{
namespace
{

constexpr uint32_t kMinBufferSize = 16;
constexpr uint32_t kLoadFlags = STREAM_READ | STREAM_SHARE_READ;
constexpr uint32_t kStoreFlags = STREAM_READ | STREAM_WRITE | STREAM_CREATE_ALWAYS | STREAM_SHARE_READ;

} // namespace

CVMArchive::CVMArchive(const QString& streamName, uint16_t mode, uint32_t bufferSize) : m_mode(mode)
{
    AllocateBuffer(bufferSize);
    UpdateByteOrder();
    try
    {
        if (IsLoading())
        {
            m_ownedStream = OpenStreamByName(streamName, kLoadFlags);
        }
        else if (ClassifyStreamName(streamName).kind == streamNameFile)
        {
            m_target = streamName;
            m_replacement = std::make_unique<CFileReplacement>(streamName);
        }
        else
        {
            m_ownedStream = OpenStreamByName(streamName, kStoreFlags);
        }
        if (m_replacement)
            m_stream = &m_replacement->Stream();
        else if (m_ownedStream)
            m_stream = m_ownedStream.get();
        else
            throw CFileException(Err::FileNotFound, streamName);
        if (IsLoading())
            FillBuffer(0);
        else
            m_end = m_buffer.get() + m_bufferSize;
    }
    catch (...)
    {
        Abort();
        throw;
    }
}

CVMArchive::CVMArchive(StreamHandle handle, uint16_t mode, uint32_t bufferSize) : m_mode(mode)
{
    AllocateBuffer(bufferSize);
    CIoStream* stream = FindStreamByHandle(handle);
    if (stream == nullptr || !stream->IsOpen())
        throw CFileException(Err::InvalidHandle, {});
    m_handle = handle;
    m_stream = stream;
    UpdateByteOrder();
    try
    {
        m_stream->SetPosition(0);
        if (IsLoading())
        {
            FillBuffer(0);
        }
        else
        {
            m_stream->Truncate();
            m_end = m_buffer.get() + m_bufferSize;
        }
    }
    catch (...)
    {
        Abort();
        throw;
    }
}

CVMArchive::~CVMArchive()
{
    if (m_stream == nullptr || (m_mode & ARCHIVE_NO_CLOSE) || m_failure != 0)
    {
        Abort();
        return;
    }
    try
    {
        Close();
    }
    catch (const std::exception&)
    {
        Abort();
    }
}

void CVMArchive::AllocateBuffer(uint32_t bufferSize)
{
    m_bufferSize = std::max(bufferSize, kMinBufferSize);
    try
    {
        // Not zeroed: only what was read or written is ever touched (a load on a storing
        // archive finds no bytes, as the read limit stays at the buffer's start).
        m_buffer.reset(new uint8_t[m_bufferSize]);
    }
    catch (const std::bad_alloc&)
    {
        throw CMemoryException();
    }
    m_cursor = m_limit = m_end = m_buffer.get();
}

void CVMArchive::UpdateByteOrder()
{
    constexpr bool bigEndianHost = std::endian::native == std::endian::big;
    if (m_mode & ARCHIVE_SWAP_BYTES)
    {
        if (bigEndianHost)
            m_mode &= ~ARCHIVE_BIG_ENDIAN;
        else
            m_mode |= ARCHIVE_BIG_ENDIAN;
    }
    else if (m_mode & ARCHIVE_BIG_ENDIAN)
    {
        if (!bigEndianHost)
            m_mode |= ARCHIVE_SWAP_BYTES;
    }
    else if (bigEndianHost)
    {
        m_mode |= ARCHIVE_SWAP_BYTES;
    }
}

QString CVMArchive::StreamName() const
{
    if (!m_target.isEmpty())
        return m_target;
    return m_stream != nullptr ? m_stream->GetName() : QString();
}

void CVMArchive::RaiseForStream(uint32_t code) const
{
    throw CFileException(code, StreamName());
}

void CVMArchive::FailStore(uint32_t code)
{
    if (!IsLoading())
    {
        if (m_failure == 0)
            m_failure = code;
        // Nothing more goes out: what is buffered would follow the gap.
        m_cursor = m_buffer.get();
    }
    RaiseForStream(code);
}

void CVMArchive::Close()
{
    if (m_stream == nullptr)
        throw CFileException(Err::HandleEof, {});
    if (m_failure != 0)
    {
        // The content has a gap: the previous file stays, the failure is raised again.
        const QString name = StreamName();
        const uint32_t failure = m_failure;
        Abort();
        throw CFileException(failure, name);
    }
    if (!IsLoading())
    {
        try
        {
            Flush();
        }
        catch (...)
        {
            Abort();
            throw;
        }
    }
    m_cursor = m_limit = m_end = m_buffer.get();
    m_stream = nullptr;
    if (m_handle != 0)
    {
        const uint32_t result = CloseStreamHandle(std::exchange(m_handle, 0));
        if (result != 0)
            throw CFileException(result, {});
        return;
    }
    if (m_replacement)
    {
        // The new content is complete: only now does it replace the old file.
        std::unique_ptr<CFileReplacement> replacement = std::move(m_replacement);
        m_target.clear();
        replacement->Commit();
        return;
    }
    std::unique_ptr<CIoStream> stream = std::move(m_ownedStream);
    stream->Close();
}

void CVMArchive::Abort()
{
    if (m_stream != nullptr)
    {
        if (m_handle != 0)
            CloseStreamHandle(std::exchange(m_handle, 0));
        m_ownedStream.reset(); // its destructor closes it and swallows failures
        m_stream = nullptr;
    }
    m_replacement.reset(); // removes the temporary file; the previous file stays
    m_target.clear();
    m_cursor = m_limit = m_end = m_buffer.get();
}

void CVMArchive::Flush()
{
    if (m_stream == nullptr)
        throw CFileException(Err::HandleEof, {});
    if (IsLoading())
        RaiseForStream(Err::WriteFault);
    if (m_failure != 0)
        FailStore(m_failure);
    const auto n = static_cast<uint32_t>(m_cursor - m_buffer.get());
    uint32_t written;
    try
    {
        written = m_stream->Write(m_buffer.get(), n);
    }
    catch (const CFileException& e)
    {
        FailStore(e.Error());
    }
    m_cursor = m_buffer.get();
    if (written < n)
        FailStore(Err::WriteFault);
    if (const uint32_t error = m_stream->GetError())
        FailStore(error);
}

void CVMArchive::FillBuffer(uint32_t n)
{
    if (m_stream == nullptr)
        throw CFileException(Err::HandleEof, {});
    if (!IsLoading())
        RaiseForStream(Err::ReadFault);
    uint8_t* start = m_buffer.get();
    const auto unread = static_cast<uint32_t>(m_limit - m_cursor);
    if (unread != 0 && m_cursor != start)
        std::memmove(start, m_cursor, unread);
    m_cursor = start;
    m_limit = start + unread;
    try
    {
        m_limit += m_stream->Read(m_limit, m_bufferSize - unread);
    }
    catch (const CFileException& e)
    {
        RaiseForStream(e.Error());
    }
    if (n > m_bufferSize)
        RaiseForStream(Err::InsufficientBuffer);
    if (static_cast<uint32_t>(m_limit - m_cursor) < n)
        RaiseForStream(Err::HandleEof);
}

void CVMArchive::PutBlock(const uint8_t* data, uint64_t n, uint32_t piece)
{
    if (n == 0)
        return; // an empty array may come without memory behind it
    if (static_cast<uint64_t>(m_end - m_cursor) < n)
        Flush();
    while (n > piece)
    {
        std::memcpy(m_cursor, data, piece);
        m_cursor += piece;
        data += piece;
        n -= piece;
        Flush();
    }
    std::memcpy(m_cursor, data, n);
    m_cursor += n;
}

void CVMArchive::GetBlock(uint8_t* data, uint64_t n, uint32_t piece)
{
    if (n == 0)
        return;
    while (n > piece)
    {
        GetBlock(data, piece, piece);
        data += piece;
        n -= piece;
    }
    // Signed: on a storing archive the cursor runs ahead of the read limit.
    if (m_limit - m_cursor < static_cast<ptrdiff_t>(n))
        FillBuffer(static_cast<uint32_t>(n));
    std::memcpy(data, m_cursor, n);
    m_cursor += n;
}

void CVMArchive::WriteWords(const uint16_t* values, uint16_t count)
{
    if (m_mode & ARCHIVE_SWAP_BYTES)
    {
        for (uint16_t i = 0; i < count; ++i)
            WriteWord(values[i]);
        return;
    }
    PutBlock(reinterpret_cast<const uint8_t*>(values), uint64_t{count} * 2, m_bufferSize & ~1u);
}

void CVMArchive::WriteBytes(const void* data, uint32_t count)
{
    // Single bytes have no order to swap: the same copy serves both modes.
    PutBlock(static_cast<const uint8_t*>(data), count, m_bufferSize);
}

void CVMArchive::WriteString(const QString& text)
{
    if (text.size() > 0xFFFF)
        FailStore(Err::InsufficientBuffer);
    const auto length = static_cast<uint16_t>(text.size());
    WriteByte(0xFE);
    WriteWord(length);
    WriteWords(reinterpret_cast<const uint16_t*>(text.constData()), length);
}

void CVMArchive::ReadWords(uint16_t* values, uint16_t count)
{
    if (m_mode & ARCHIVE_SWAP_BYTES)
    {
        for (uint16_t i = 0; i < count; ++i)
            ReadWord(values[i]);
        return;
    }
    GetBlock(reinterpret_cast<uint8_t*>(values), uint64_t{count} * 2, m_bufferSize & ~1u);
}

void CVMArchive::ReadBytes(void* data, uint32_t count)
{
    GetBlock(static_cast<uint8_t*>(data), count, m_bufferSize);
}

const uint8_t* CVMArchive::ReadInPlace(uint32_t count)
{
    if (m_stream == nullptr)
        throw CFileException(Err::HandleEof, {});
    if (!IsLoading())
        RaiseForStream(Err::ReadFault);
    if (count > m_bufferSize)
        return nullptr;
    if (static_cast<uint32_t>(m_limit - m_cursor) < count)
        FillBuffer(count);
    const uint8_t* bytes = m_cursor;
    m_cursor += count;
    return bytes;
}

void CVMArchive::ReadChars(char* data, uint16_t count)
{
    GetBlock(reinterpret_cast<uint8_t*>(data), count, m_bufferSize);
}

void CVMArchive::ReadString(QString& text)
{
    uint8_t marker = 0;
    uint16_t count = 0;
    ReadByte(marker);
    ReadWord(count);
    if (marker == 0xFF)
    {
        QByteArray bytes(count, Qt::Uninitialized);
        ReadChars(bytes.data(), count);
        const qsizetype zero = bytes.indexOf('\0');
        if (zero >= 0)
            bytes.truncate(zero);
        text = DecodeCp1252(bytes);
        return;
    }
    // Any other marker is taken as 0xFE. Reading into the caller's string reuses its
    // memory when a loop reads many strings into one variable.
    try
    {
        text.resize(count);
        ReadWords(reinterpret_cast<uint16_t*>(text.data()), count);
    }
    catch (...)
    {
        text.clear();
        throw;
    }
}

} // namespace StreamIO
