#pragma once
#include <QString>

#include <cstdint>
#include <functional>

namespace StreamIO
{

// A stream's number in the stream table: bits 0-9 the slot, bits 10-31 a generation.
// 0 means no stream.
using StreamHandle = uint32_t;

// Open flags: access, creation (bits 4-5), sharing and the transport variants.
inline constexpr uint32_t STREAM_READ = 0x0001;
inline constexpr uint32_t STREAM_WRITE = 0x0002;
inline constexpr uint32_t STREAM_CREATION_MASK = 0x0030; // 0 = open an existing object only
inline constexpr uint32_t STREAM_OPEN_ALWAYS = 0x0010;
inline constexpr uint32_t STREAM_CREATE_NEW = 0x0020;
inline constexpr uint32_t STREAM_CREATE_ALWAYS = 0x0030;
inline constexpr uint32_t STREAM_SHARE_READ = 0x0100;
inline constexpr uint32_t STREAM_SHARE_WRITE = 0x0200;
inline constexpr uint32_t STREAM_FIFO = 0x1000;
inline constexpr uint32_t STREAM_UDP = 0x8000;

// Seek origins (deliberately not 0/1/2: stored callers pass these numbers).
inline constexpr uint32_t STREAM_SEEK_CURRENT = 1;
inline constexpr uint32_t STREAM_SEEK_BEGIN = 2;
inline constexpr uint32_t STREAM_SEEK_END = 3;

// A time-out of -1: wait without limit.
inline constexpr uint32_t STREAM_WAIT_FOREVER = 0xFFFFFFFFu;

// Asked while a link waits (to connect, for data, for room to write): true gives the
// wait up. Links ask it at least every kCancelPollMs.
using CancelHook = std::function<bool()>;
inline constexpr uint32_t kCancelPollMs = 20;

// The byte stream every file, RAM file, port and socket goes through.
//
// Error model: every operation first clears the last error. A failure records the
// Windows error number and raises a CFileException with that number and the stream's
// name. End of data (38) and time-out (1460) from Read and Write are only recorded;
// callers look at IsEndOrTimeout or GetError after a short transfer.
//
// Every stream registers itself in the stream table on construction and leaves it on
// destruction. A stream is used by one thread at a time (its owner).
class CIoStream
{
public:
    virtual ~CIoStream();
    CIoStream(const CIoStream&) = delete;
    CIoStream& operator=(const CIoStream&) = delete;

    // Opens the stream again with the name and flags of its last Open; false when it
    // was never opened.
    virtual bool Reopen();
    // Close with every failure swallowed.
    virtual void Abort();
    virtual void Close() = 0;
    virtual void DiscardInput() {}
    virtual uint32_t GetBytesAvailable() { return 0; }
    virtual void Flush() {}
    virtual uint32_t GetBytesPerSecond() { return 0; }
    virtual bool GetTimeouts(uint32_t& readMs, uint32_t& writeMs);
    virtual bool SetTimeouts(uint32_t readMs, uint32_t writeMs);
    virtual bool CancelPending() { return false; }
    virtual bool IsOpen() const = 0;
    virtual bool HasError() const { return GetError() != 0; }
    virtual bool IsEndOrTimeout() const;
    virtual uint32_t GetError() const { return m_lastError; }
    // The byte is meaningful only when GetError reports nothing afterwards.
    virtual uint8_t ReadByte();
    virtual uint32_t WriteByte(uint8_t value);
    // Up to n bytes; returns the count.
    virtual uint32_t Read(void* buffer, uint32_t n) = 0;
    virtual uint32_t Write(const void* data, uint32_t n) = 0;
    virtual bool IsSeekable() const { return false; }
    virtual uint32_t GetLength() { return 0; }
    virtual uint32_t GetPosition() { return 0; }
    // Returns the new position.
    virtual uint32_t Seek(int32_t offset, uint32_t origin);
    virtual uint32_t SetPosition(uint32_t offset);
    virtual void Truncate() {}

    // Waits on a link end early when the hook says so: the transfer returns what it got
    // with 995 (operation aborted) recorded, nothing raised. Streams that never wait
    // ignore it. Set by the stream's owner while no transfer runs.
    virtual void SetCancelHook(CancelHook hook) { m_cancelHook = std::move(hook); }
    // Before a new exchange: a link the peer closed in order (end of data pending, the
    // peer gone) is opened again, so that the exchange does not go out on a dead
    // connection. True when it was opened again; streams without a peer do nothing.
    // Failures to open are raised.
    virtual bool ReconnectIfClosed() { return false; }
    // Names the connection the link is on now; it changes whenever a network link
    // connects anew, also inside a Read or Write that found the old connection gone. A
    // caller compares it before and after an exchange to learn that its frame went into
    // a connection that has since been replaced. Streams without connections keep 0.
    virtual uint64_t GetConnectionId() const { return 0; }

    // Every concrete stream opens by name and flags; an open stream answers error 50
    // and false.
    virtual bool Open(const QString& name, uint32_t openFlags) = 0;

    const QString& GetName() const { return m_name; }
    uint32_t GetOpenFlags() const { return m_openFlags; }
    // 0 when the table was full at construction; the stream works all the same.
    StreamHandle GetHandle() const { return m_handle; }

protected:
    explicit CIoStream(QString name = {});

    void ClearError() { m_lastError = 0; }
    void SetError(uint32_t code) { m_lastError = code; }
    // Records the code and raises it with the stream's name.
    [[noreturn]] void Raise(uint32_t code);
    void SetName(QString name) { m_name = std::move(name); }
    void SetOpenFlags(uint32_t flags) { m_openFlags = flags; }
    bool CancelRequested() const { return m_cancelHook && m_cancelHook(); }
    const CancelHook& GetCancelHook() const { return m_cancelHook; }

private:
    QString m_name;
    uint32_t m_openFlags = 0;
    uint32_t m_lastError = 0;
    StreamHandle m_handle = 0;
    CancelHook m_cancelHook;
};

// Reads until n bytes came, a read brings nothing, or the stream reports end of data or
// a time-out (another read would only wait as long again); the count read. Stream
// failures arrive as the stream's exceptions.
uint32_t ReadFully(CIoStream& stream, void* buffer, uint32_t n);
// ReadFully, true when all n bytes came.
bool ReadExactly(CIoStream& stream, void* buffer, uint32_t n);

} // namespace StreamIO
