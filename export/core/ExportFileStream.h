#pragma once
#include "export/encoder/xFile.h"

#include <vector>

class CExportFile;

// The encoder's byte stream into an export file, so that an image is written to its file
// as it is encoded instead of into memory first. Write only: bytes are gathered into
// blocks, which go to the file on a full block and on Flush; after a failed write the file
// says why (CExportFile::ErrorMessage) and the stream takes nothing more.
class CExportFileStream final : public CxFile
{
public:
    explicit CExportFileStream(CExportFile& file);

    bool Close() override { return Flush(); }
    std::size_t Read(void*, std::size_t, std::size_t) override { return 0; }
    std::size_t Write(const void* buffer, std::size_t size, std::size_t count) override;
    bool Seek(std::int64_t, int) override { return false; }
    std::int64_t Tell() override { return m_written + static_cast<std::int64_t>(m_block.size()); }
    std::int64_t Size() override { return Tell(); }
    bool Flush() override;
    bool Eof() override { return true; }
    int Error() override { return m_failed ? 1 : 0; }
    int GetC() override { return -1; }
    char* GetS(char*, int) override { return nullptr; }
    int Scanf(const char*, void*) override { return 0; }

private:
    CExportFile& m_file;
    std::vector<char> m_block;
    std::int64_t m_written = 0;
    bool m_failed = false;
};
