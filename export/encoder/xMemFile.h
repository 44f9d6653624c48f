#pragma once
#include "export/encoder/xFile.h"

#include <cstdlib>
#include <memory>

// A growable byte stream in memory. Its buffer comes from malloc/realloc, so a buffer that
// a caller detaches is released with std::free (CxMemFile::Buffer does that).
class CxMemFile : public CxFile
{
public:
    struct Freer
    {
        void operator()(std::uint8_t* p) const noexcept { std::free(p); }
    };
    using Buffer = std::unique_ptr<std::uint8_t[], Freer>;

    // Without a buffer the stream owns what it allocates later (Open, Write). A caller's
    // buffer is read and written in place but never freed or reallocated: when a write
    // needs more room, the stream moves to a buffer of its own.
    explicit CxMemFile(std::uint8_t* buffer = nullptr, std::size_t size = 0);
    ~CxMemFile() override;

    // Fails while a buffer is attached; otherwise starts an empty buffer of its own.
    bool Open();
    bool Close() override;
    // With detach the caller takes the buffer over and frees it; the stream still reads
    // its size and position but never frees or reallocates it.
    std::uint8_t* GetBuffer(bool detach = true);

    std::size_t Read(void* buffer, std::size_t size, std::size_t count) override;
    std::size_t Write(const void* buffer, std::size_t size, std::size_t count) override;
    bool Seek(std::int64_t offset, int origin) override;
    std::int64_t Tell() override;
    std::int64_t Size() override;
    bool Flush() override;
    bool Eof() override;
    int Error() override;
    int GetC() override;
    char* GetS(char* string, int n) override;
    int Scanf(const char* format, void* output) override;

    // Bytes allocated; the buffer grows in steps of 64 KiB.
    std::size_t GetCapacity() const { return m_capacity; }

private:
    bool Alloc(std::size_t need);

    std::uint8_t* m_buffer = nullptr;
    std::size_t m_position = 0;
    std::size_t m_size = 0; // highest position written
    std::size_t m_capacity = 0;
    bool m_owner = false;
};
