#include "export/encoder/xImageBMP.h"

#include "export/encoder/xFile.h"

CxImageBMP::CxImageBMP(const CxImage& source) : CxImage(FormatBmp)
{
    Ghost(&source);
}

bool CxImageBMP::Encode(CxFile* hFile)
{
    if (!CheckEncodeInput(hFile))
        return false;

    const std::uint32_t fileSize = GetSize() + 14;
    const std::uint32_t pixelOffset = 14 + HeaderSize + 4 * GetNumColors();
    const std::uint8_t fileHeader[14] = {
        'B',
        'M',
        static_cast<std::uint8_t>(fileSize),
        static_cast<std::uint8_t>(fileSize >> 8),
        static_cast<std::uint8_t>(fileSize >> 16),
        static_cast<std::uint8_t>(fileSize >> 24),
        0,
        0,
        0,
        0,
        static_cast<std::uint8_t>(pixelOffset),
        static_cast<std::uint8_t>(pixelOffset >> 8),
        static_cast<std::uint8_t>(pixelOffset >> 16),
        static_cast<std::uint8_t>(pixelOffset >> 24),
    };
    StoreHeader();
    // A stream that takes less than everything leaves a truncated file: that is a failure.
    if (hFile->Write(fileHeader, sizeof fileHeader, 1) != 1 || hFile->Write(m_pDib, GetSize(), 1) != 1)
    {
        SetLastError("Write Error");
        return false;
    }
    return true;
}
