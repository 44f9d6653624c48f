#pragma once
#include "streamio/IoStream.h"

#include <memory>

namespace StreamIO
{

class CRamDisk;
class CRamFile;

// A stream on a file of the RAM disk, with its own position. Opened with STREAM_FIFO it
// is one end of a ring (not seekable; every transfer ignores the position).
class CRamStream : public CIoStream
{
public:
    CRamStream();
    ~CRamStream() override;

    // "RAM:" is put in front of a name that lacks it (in any case).
    bool Open(const QString& name, uint32_t openFlags) override;
    // Makes room for n bytes in the file; false when memory ran out.
    virtual bool Reserve(uint32_t n);

    void Close() override;
    void DiscardInput() override;
    bool IsOpen() const override { return m_file != nullptr; }
    uint32_t Read(void* buffer, uint32_t n) override;
    uint32_t Write(const void* data, uint32_t n) override;
    bool IsSeekable() const override;
    uint32_t GetLength() override;
    uint32_t GetPosition() override;
    uint32_t Seek(int32_t offset, uint32_t origin) override;
    // Stores the offset as it is; a later write there extends the file with zeros.
    uint32_t SetPosition(uint32_t offset) override;
    void Truncate() override;

private:
    CRamFile& RequireFile();
    // Runs a call on the file; a CFileException it raises is recorded and raised again
    // with the stream's name.
    template <typename Call> auto OnFile(Call call);

    std::shared_ptr<CRamDisk> m_disk; // the disk the file belongs to, while attached
    CRamFile* m_file = nullptr;
    uint32_t m_position = 0;
};

} // namespace StreamIO
