#pragma once
#include <cstddef>
#include <cstdint>

// The byte stream the image encoders write into. Origins of Seek are SEEK_SET, SEEK_CUR
// and SEEK_END from <cstdio>.
class CxFile
{
public:
    CxFile() = default;
    CxFile(const CxFile&) = delete;
    CxFile& operator=(const CxFile&) = delete;
    virtual ~CxFile();

    virtual bool Close() = 0;
    // Item counts, as fread and fwrite count them.
    virtual std::size_t Read(void* buffer, std::size_t size, std::size_t count) = 0;
    virtual std::size_t Write(const void* buffer, std::size_t size, std::size_t count) = 0;
    virtual bool Seek(std::int64_t offset, int origin) = 0;
    virtual std::int64_t Tell() = 0;
    virtual std::int64_t Size() = 0;
    virtual bool Flush() = 0;
    virtual bool Eof() = 0;
    // Non-zero after an error (-1 when the stream cannot tell).
    virtual int Error() = 0;
    virtual bool PutC(std::uint8_t c);
    // The next byte, or -1 at the end.
    virtual int GetC() = 0;
    virtual char* GetS(char* string, int n) = 0;
    virtual int Scanf(const char* format, void* output) = 0;
};
