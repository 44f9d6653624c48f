#pragma once
#include <cstdint>
#include <mutex>

namespace StreamIO
{

// Marks of a ring file without share bits: a reader or a writer has it open.
inline constexpr uint32_t RAMFILE_FIFO_READER = 0x10000000;
inline constexpr uint32_t RAMFILE_FIFO_WRITER = 0x20000000;

// One file of the RAM disk: a growable buffer, either a plain file (data from the buffer
// start) or, when created with STREAM_FIFO, a ring that one thread may write while
// another reads. Each transfer is atomic under the file's own lock.
//
// Sizes are 32-bit: a transfer that would end beyond 0xFFFFFFFF is refused with 112.
// Bytes between the old end and a later write position or a larger length read as 0.
class CRamFile
{
public:
    static constexpr uint32_t kGrowthStep = 512;

    // flags: the creator's open flags; only the share and ring bits are kept.
    explicit CRamFile(uint32_t flags);
    ~CRamFile();
    CRamFile(const CRamFile&) = delete;
    CRamFile& operator=(const CRamFile&) = delete;

    // A plain file's size, or the bytes queued in a ring.
    uint32_t GetLength() const;
    // Plain: from and advancing the position. Ring: consumes the oldest bytes (the
    // position is set to 0). Returns the count, 0 at or past the end.
    uint32_t Read(uint32_t& position, void* buffer, uint32_t n);
    // Plain: at the position, advancing it. Ring: appends. Returns n.
    uint32_t Write(uint32_t& position, const void* data, uint32_t n);
    // False when refused (a ring, a bad origin, beyond the end); a target before the start
    // raises 131.
    bool Seek(uint32_t& position, int32_t offset, uint32_t origin);
    // A ring takes only 0 (empty it).
    void SetLength(uint32_t n);
    // Makes room for n bytes; false when memory ran out.
    bool Reserve(uint32_t n);

    // The creator's share and ring bits (fixed for the file's life).
    uint32_t GetFlags() const { return m_flags; }
    bool IsRing() const;
    // A ring without share bits admits one reader and one writer at a time.
    bool IsExclusiveRing() const;
    uint32_t GetCapacity() const;

private:
    friend class CRamDisk; // reference count and ring marks live under the disk's lock

    uint32_t LengthLocked() const;
    // Makes the capacity at least n (caller holds the lock); the data moves to the
    // buffer start. Raises 112 beyond 32 bits, CMemoryException when memory runs out.
    void Grow(uint64_t n);
    void FreeBuffer();

    const uint32_t m_flags;
    uint32_t m_marks = 0; // RAMFILE_FIFO_READER, RAMFILE_FIFO_WRITER
    uint32_t m_capacity = 0;
    uint8_t* m_buffer = nullptr;
    uint32_t m_read = 0;       // offset of the first byte of data
    uint32_t m_end = 0;        // offset one past the last byte of data
    uint32_t m_references = 0; // and m_marks: under the disk's lock
    mutable std::mutex m_lock;
};

} // namespace StreamIO
