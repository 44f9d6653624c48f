#include "streamio/VMArchive.h"

#include "platform/core/Codepage.h"
#include "platform/core/ErrorCodes.h"
#include "platform/core/FileException.h"
#include "streamio/FileStream.h"
#include "streamio/StreamFactory.h"
#include "streamio/StreamTable.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

namespace StreamIO
{
namespace
{

constexpr uint32_t kMinBufferSize = 16;
constexpr uint32_t kLoadFlags = STREAM_READ | STREAM_SHARE_READ;
constexpr uint32_t kStoreFlags = STREAM_READ | STREAM_WRITE | STREAM_CREATE_ALWAYS | STREAM_SHARE_READ;

// A new file beside the target, created only when no file of that name exists.
std::unique_ptr<CIoStream> CreateTemporaryBeside(const QString& target, QString& temporary)
{
    const uint32_t flags = (kStoreFlags & ~STREAM_CREATION_MASK) | STREAM_CREATE_NEW;
    for (int attempt = 0;; ++attempt)
    {
        temporary = target + QStringLiteral(".~") +
                    QString::number(QRandomGenerator::global()->generate() & 0xFFFFFF, 16);
        try
        {
            return std::make_unique<CFileStream>(temporary, flags);
        }
        catch (const CFileException& e)
        {
            if (e.Error() != Err::FileExists || attempt >= 100)
            {
                temporary.clear();
                throw CFileException(e.Error(), target);
            }
        }
    }
}

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
            // A file we may not write, or a folder, is refused as its open would be.
            const QFileInfo info(streamName);
            if (info.exists() && (info.isDir() || !info.isWritable()))
                throw CFileException(Err::AccessDenied, streamName);
            m_target = streamName;
            m_ownedStream = CreateTemporaryBeside(streamName, m_temporary);
        }
        else
        {
            m_ownedStream = OpenStreamByName(streamName, kStoreFlags);
        }
        if (!m_ownedStream)
            throw CFileException(Err::FileNotFound, streamName);
        m_stream = m_ownedStream.get();
        if (IsLoading())
            FillBuffer(0);
        else
            m_limit = m_buffer.get() + m_bufferSize;
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
            m_limit = m_buffer.get() + m_bufferSize;
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
    if (m_stream == nullptr)
    {
        DropTemporary();
        return;
    }
    if (m_mode & ARCHIVE_NO_CLOSE)
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
        // Zeroed: a load on a storing archive (a caller's mistake) never sees stray memory.
        m_buffer.reset(new uint8_t[m_bufferSize]());
    }
    catch (const std::bad_alloc&)
    {
        throw CMemoryException();
    }
    m_cursor = m_limit = m_buffer.get();
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

void CVMArchive::DropTemporary()
{
    if (!m_temporary.isEmpty())
        QFile::remove(m_temporary);
    m_temporary.clear();
    m_target.clear();
}

void CVMArchive::Close()
{
    if (m_stream == nullptr)
        throw CFileException(Err::HandleEof, {});
    if (!IsLoading())
        Flush();
    m_cursor = m_limit = m_buffer.get();
    m_stream = nullptr;
    if (m_handle != 0)
    {
        const uint32_t result = CloseStreamHandle(std::exchange(m_handle, 0));
        if (result != 0)
            throw CFileException(result, {});
        return;
    }
    std::unique_ptr<CIoStream> stream = std::move(m_ownedStream);
    try
    {
        stream->Close();
    }
    catch (const CFileException& e)
    {
        stream.reset();
        const QString name = m_target.isEmpty() ? e.FileName() : m_target;
        DropTemporary();
        throw CFileException(e.Error(), name);
    }
    catch (...)
    {
        stream.reset();
        DropTemporary();
        throw;
    }
    stream.reset();
    if (!m_temporary.isEmpty())
    {
        // The new content is complete and on disk: only now does it replace the old file.
        if (std::rename(QFile::encodeName(m_temporary).constData(),
                        QFile::encodeName(m_target).constData()) != 0)
        {
            const uint32_t error = ErrorFromErrno(errno);
            const QString target = m_target;
            DropTemporary();
            throw CFileException(error, target);
        }
        m_temporary.clear();
        m_target.clear();
    }
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
    DropTemporary();
    m_cursor = m_limit = m_buffer.get();
}

void CVMArchive::Flush()
{
    if (m_stream == nullptr)
        throw CFileException(Err::HandleEof, {});
    if (IsLoading())
        RaiseForStream(Err::WriteFault);
    const auto n = static_cast<uint32_t>(m_cursor - m_buffer.get());
    uint32_t written;
    try
    {
        written = m_stream->Write(m_buffer.get(), n);
    }
    catch (const CFileException& e)
    {
        m_cursor = m_buffer.get();
        RaiseForStream(e.Error());
    }
    m_cursor = m_buffer.get();
    if (written < n)
        RaiseForStream(Err::WriteFault);
    if (const uint32_t error = m_stream->GetError())
        RaiseForStream(error);
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
    if (static_cast<uint64_t>(m_limit - m_cursor) < n)
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
    if (static_cast<uint64_t>(m_limit - m_cursor) < n)
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
        RaiseForStream(Err::InsufficientBuffer);
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
