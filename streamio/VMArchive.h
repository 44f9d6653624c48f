#pragma once
#include "streamio/IoStream.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace StreamIO
{
class CFileReplacement;

// Archive modes.
inline constexpr uint16_t ARCHIVE_LOAD = 0x01;       // load; without it the archive stores
inline constexpr uint16_t ARCHIVE_NO_CLOSE = 0x02;   // the destructor aborts instead of closing
inline constexpr uint16_t ARCHIVE_BIG_ENDIAN = 0x10; // the data is big-endian
inline constexpr uint16_t ARCHIVE_SWAP_BYTES = 0x80; // values are swapped between data and host

// A buffer for project files and folders, which run to tens of megabytes: it reads and
// writes them in few system calls and holds nearly every series block whole, so that
// blocks are parsed where they lie (ReadInPlace); small enough to stay in a core's cache.
inline constexpr uint32_t ARCHIVE_FILE_BUFFER = 256 * 1024;

// Buffered records over a stream: bytes, 16- and 32-bit values (little-endian unless
// big-endian is asked for), word and byte arrays, and strings stored as the marker 0xFE,
// a 16-bit count of UTF-16 code units and the code units. Loading also takes the marker
// 0xFF: a count of Windows-1252 bytes, up to the first zero byte.
//
// An archive either stores or loads. Every failure raises a CFileException: 2 no stream
// for the name, 6 bad handle, 29 flush on a loading archive or a short write, 30 fill on
// a storing archive, 38 closed or not enough data, 122 a string over 65535 units.
//
// Storing by name to a disk file writes a temporary file beside it and puts it in the
// file's place on Close (CFileReplacement), so a failed save never destroys the previous
// file. A storing archive that failed once stays failed: what it holds has a gap, so any
// further flush raises the failure again, and Close (or the destructor) discards the
// temporary file and raises it.
class CVMArchive
{
public:
    // Opens the stream by name: loading with 0x101 (read, share read), storing with 0x133
    // (read, write, create always, share read).
    CVMArchive(const QString& streamName, uint16_t mode, uint32_t bufferSize);
    // Works on a stream the caller owns and opened, from its start; storing empties it.
    CVMArchive(StreamHandle handle, uint16_t mode, uint32_t bufferSize);
    // Closes (storing: flushes) unless ARCHIVE_NO_CLOSE or failed; failures end in Abort.
    ~CVMArchive();
    CVMArchive(const CVMArchive&) = delete;
    CVMArchive& operator=(const CVMArchive&) = delete;

    void Close();
    // Closes without flushing; a temporary file is removed, the previous file stays.
    void Abort();
    void Flush();

    // The single values are inline: records are long runs of them.
    void WriteByte(uint8_t value) { Put(&value); }
    void WriteWord(uint16_t value)
    {
        value = Order(value);
        Put(&value);
    }
    void WriteDWord(uint32_t value)
    {
        value = Order(value);
        Put(&value);
    }
    void WriteWords(const uint16_t* values, uint16_t count);
    void WriteBytes(const void* data, uint32_t count);
    void WriteString(const QString& text);

    void ReadByte(uint8_t& value) { Get(&value); }
    void ReadWord(uint16_t& value)
    {
        Get(&value);
        value = Order(value);
    }
    void ReadDWord(uint32_t& value)
    {
        Get(&value);
        value = Order(value);
    }
    void ReadWords(uint16_t* values, uint16_t count);
    void ReadBytes(void* data, uint32_t count);
    // The next count bytes where they lie in the buffer, which moves past them; they stay
    // valid until the next read. Null, with nothing read, when they do not fit the buffer:
    // the caller then reads them with ReadBytes.
    const uint8_t* ReadInPlace(uint32_t count);
    void ReadChars(char* data, uint16_t count);
    void ReadString(QString& text);

    // Settles ARCHIVE_BIG_ENDIAN and ARCHIVE_SWAP_BYTES for this host.
    void UpdateByteOrder();

    uint16_t GetMode() const { return m_mode; }
    bool IsLoading() const { return (m_mode & ARCHIVE_LOAD) != 0; }
    bool IsOpen() const { return m_stream != nullptr; }
    // Loading: the offset in the stream of the next byte a read takes (where a failed read
    // began), for telling the user where a file is damaged.
    uint64_t GetLoadPosition() const
    {
        return m_stream ? uint64_t(m_stream->GetPosition()) - uint64_t(m_limit - m_cursor) : 0;
    }

private:
    void AllocateBuffer(uint32_t bufferSize);
    // Makes sure at least n bytes are buffered (loading).
    void FillBuffer(uint32_t n);
    template <typename T> T Order(T value) const
    {
        if constexpr (sizeof(T) == 1)
            return value;
        else if (m_mode & ARCHIVE_SWAP_BYTES)
            return sizeof(T) == 2 ? static_cast<T>(__builtin_bswap16(static_cast<uint16_t>(value)))
                                  : static_cast<T>(__builtin_bswap32(static_cast<uint32_t>(value)));
        else
            return value;
    }
    template <typename T> void Put(const T* value)
    {
        if (m_end - m_cursor < static_cast<ptrdiff_t>(sizeof(T)))
            Flush();
        std::memcpy(m_cursor, value, sizeof(T));
        m_cursor += sizeof(T);
    }
    template <typename T> void Get(T* value)
    {
        if (m_limit - m_cursor < static_cast<ptrdiff_t>(sizeof(T)))
            FillBuffer(sizeof(T));
        std::memcpy(value, m_cursor, sizeof(T));
        m_cursor += sizeof(T);
    }
    // Copies a block through the buffer in pieces of at most `piece` bytes.
    void PutBlock(const uint8_t* data, uint64_t n, uint32_t piece);
    void GetBlock(uint8_t* data, uint64_t n, uint32_t piece);
    // The name failures report: the file the caller named, not our temporary file.
    QString StreamName() const;
    [[noreturn]] void RaiseForStream(uint32_t code) const;
    // Raises a failure of storing, which leaves the archive failed.
    [[noreturn]] void FailStore(uint32_t code);

    StreamHandle m_handle = 0;                       // a caller's stream, or 0
    std::unique_ptr<CIoStream> m_ownedStream;        // the stream opened by name
    std::unique_ptr<CFileReplacement> m_replacement; // storing by name to a disk file
    CIoStream* m_stream = nullptr;                   // the stream in use; null when closed
    QString m_target;                                // the disk file's name as given
    uint32_t m_failure = 0;                          // the first failure of storing
    uint16_t m_mode = 0;
    uint32_t m_bufferSize = 0;
    std::unique_ptr<uint8_t[]> m_buffer;
    uint8_t* m_cursor = nullptr;
    uint8_t* m_limit = nullptr; // loading: the end of the buffered bytes
    uint8_t* m_end = nullptr;   // storing: the end of the room for bytes
};

} // namespace StreamIO
