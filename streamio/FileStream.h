#pragma once
#include "streamio/IoStream.h"

#include <memory>

namespace Platform
{
class Event;
}

namespace StreamIO
{

// A stream on a path of the local file system: disk files, and device nodes such as
// terminals, for which the time-out and cancel operations act on the port. A terminal
// read that gets nothing records a time-out (1460) when the line stayed quiet until its
// deadline, and end of data (38) when the line hung up (the other end went away) or
// CancelPending cut the wait.
//
// Sharing follows the open flags among the streams of this process: an open that the
// flags of a stream already open on the same file do not allow fails with 32 before the
// file is touched (a create-always open does not truncate a file it may not share).
class CFileStream : public CIoStream
{
public:
    CFileStream();
    // Constructs and opens; raises the open's failure.
    CFileStream(const QString& name, uint32_t openFlags);
    ~CFileStream() override;

    bool Open(const QString& name, uint32_t openFlags) override;
    void Close() override;
    void Flush() override;
    bool GetTimeouts(uint32_t& readMs, uint32_t& writeMs) override;
    bool SetTimeouts(uint32_t readMs, uint32_t writeMs) override;
    bool CancelPending() override;
    bool IsOpen() const override { return m_fd >= 0; }
    uint32_t Read(void* buffer, uint32_t n) override;
    uint32_t Write(const void* data, uint32_t n) override;
    bool IsSeekable() const override { return true; }
    uint32_t GetLength() override;
    uint32_t GetPosition() override;
    uint32_t Seek(int32_t offset, uint32_t origin) override;
    uint32_t SetPosition(uint32_t offset) override;
    void Truncate() override;

protected:
    // The descriptor, -1 while closed; for subclasses that configure the device.
    int Descriptor() const { return m_fd; }
    bool IsTerminal() const { return m_cancel != nullptr; }

private:
    // The port time-outs as the platform keeps them: a read and a write total constant,
    // and the per-byte write multiplier (all 0 = wait without limit).
    struct Timeouts
    {
        uint32_t readConstant = 0;
        uint32_t writeMultiplier = 0;
        uint32_t writeConstant = 0;
    };

    // How a wait on a terminal ended.
    enum class NWait
    {
        ready,     // the descriptor is ready, hung up or failed: the next call tells
        timedOut,  // the deadline passed
        cancelled, // CancelPending woke it, or the cancel hook said so (m_hookCancelled)
    };

    void RequireOpen();
    // timedOut is set when the read ended at its deadline rather than on a hang-up or a
    // cancel.
    uint32_t ReadTerminal(uint8_t* buffer, uint32_t n, bool& timedOut);
    uint32_t WriteTerminal(const uint8_t* data, uint32_t n);
    // Waits until the descriptor is ready for events or the deadline (0 = none) passes.
    NWait WaitReady(short events, uint64_t deadlineMs);
    // Pushes written data to the device (disk or line); 0 or the error code.
    uint32_t SyncDescriptor();
    // Closes the descriptor and leaves the share list; the errno of close() or 0.
    int ReleaseDescriptor();

    int m_fd = -1;
    // The file's identity in the process-wide share list while open.
    uint64_t m_device = 0;
    uint64_t m_inode = 0;
    Timeouts m_timeouts;
    // Wakes a transfer that waits on a terminal; only terminals have one.
    std::unique_ptr<Platform::Event> m_cancel;
    bool m_hookCancelled = false;
};

} // namespace StreamIO
