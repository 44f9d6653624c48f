#pragma once
#include "export/encoder/xMemFile.h"

#include <cstddef>
#include <cstdint>

class CxFile;
class QImage;

// A device-independent bitmap in one allocation (40-byte header, palette of blue, green,
// red, reserved, then the pixel rows from the bottom image row up, each padded to a
// multiple of 4 bytes) and the encoders that turn it into BMP, PNG or JPEG bytes.
class CxImage
{
public:
    enum NFormat : std::uint32_t
    {
        FormatUnknown = 0,
        FormatBmp = 1,
        FormatJpg = 3,
        FormatPng = 4,
    };

    // BITMAPINFOHEADER: the DIB starts with these 40 bytes, little-endian.
    struct SBitmapInfoHeader
    {
        std::uint32_t biSize = 40;
        std::int32_t biWidth = 0;
        std::int32_t biHeight = 0;
        std::uint16_t biPlanes = 1;
        std::uint16_t biBitCount = 0;
        std::uint32_t biCompression = 0;
        std::uint32_t biSizeImage = 0;
        std::int32_t biXPelsPerMeter = 0;
        std::int32_t biYPelsPerMeter = 0;
        std::uint32_t biClrUsed = 0;
        std::uint32_t biClrImportant = 0;
    };
    static constexpr std::uint32_t HeaderSize = 40;
    // The resolution a new image has.
    static constexpr std::int32_t DefaultDpi = 96;
    static constexpr std::size_t LastErrorSize = 256;

    explicit CxImage(std::uint32_t imagetype = FormatUnknown);
    virtual ~CxImage();
    CxImage(const CxImage&) = delete;
    CxImage& operator=(const CxImage&) = delete;

    // Bits per pixel become 1, 4, 8 or 24; the pixel bytes start out zero. Returns the DIB
    // or none (see GetLastError).
    std::uint8_t* Create(std::uint32_t width, std::uint32_t height, std::uint32_t bpp,
                         std::uint32_t imagetype = FormatUnknown);
    // As Create, but the pixel bytes are left as the allocator gives them: for a picture
    // whose every row the caller writes (PasteRows) before it is encoded.
    std::uint8_t* CreateUnfilled(std::uint32_t width, std::uint32_t height, std::uint32_t bpp,
                                 std::uint32_t imagetype = FormatUnknown);
    // The rendered picture as a DIB: monochrome and 8-bit indexed or grey pictures keep
    // their palette, every other format becomes 24 bits per pixel (alpha dropped).
    bool CreateFromHBITMAP(const QImage& bitmap);
    // Writes a rendered picture of the image's width into the rows from image row topRow
    // (counted from the top) down, converted as CreateFromHBITMAP converts it. Only for a
    // 24-bit image and a picture that becomes 24 bits; false when it does not fit.
    bool PasteRows(const QImage& bitmap, std::uint32_t topRow);

    // Row 0 is the bottom image row; none without DIB or past the last row.
    std::uint8_t* GetBits(std::uint32_t row = 0);
    std::uint32_t GetWidth() const { return static_cast<std::uint32_t>(m_head.biWidth); }
    std::uint32_t GetHeight() const { return static_cast<std::uint32_t>(m_head.biHeight); }
    std::uint32_t GetEffWidth() const { return m_info.dwEffWidth; }
    std::uint32_t GetBpp() const { return m_head.biBitCount; }
    std::uint32_t GetNumColors() const { return m_head.biClrUsed; }
    // DIB bytes: header, palette and pixel rows.
    std::uint32_t GetSize() const;
    // Every palette entry i is the grey (i, i, i).
    bool IsGrayScale() const;

    void SetJpegQuality(std::uint8_t quality);
    std::uint8_t GetJpegQuality() const;
    // Dots per inch; below 1 means 96.
    void SetXDPI(std::int32_t dpi);
    void SetYDPI(std::int32_t dpi);

    bool Encode(CxFile* hFile, std::uint32_t imagetype);
    // *buffer must be empty; on success it owns the encoded file and *size holds its length.
    bool EncodeToMemory(CxMemFile::Buffer* buffer, std::int64_t* size, std::uint32_t imagetype);

    const char* GetLastError() const { return m_info.szLastError; }

    // The header's pixels per metre for dots per inch.
    static std::int32_t PixelsPerMetre(std::int32_t dpi);

protected:
    struct SInfo
    {
        std::uint32_t dwEffWidth = 0;
        std::uint8_t* pImage = nullptr; // first pixel row inside the DIB
        const CxImage* pGhost = nullptr;
        std::uint32_t dwType = FormatUnknown;
        char szLastError[LastErrorSize] = {};
        float fQuality = 90.0f;
        std::int32_t xDPI = DefaultDpi;
        std::int32_t yDPI = DefaultDpi;
    };

    // Shares the source's header, information and DIB without owning them.
    void Ghost(const CxImage* src);
    // Checks the stream and the DIB, as every encoder does first.
    bool CheckEncodeInput(const CxFile* hFile);
    void SetLastError(const char* text);
    // The header copy into the first 40 bytes of the DIB.
    void StoreHeader();
    const std::uint8_t* GetPalette() const;
    std::int32_t GetXDPI() const { return m_info.xDPI; }
    std::int32_t GetYDPI() const { return m_info.yDPI; }

    std::uint8_t* m_pDib = nullptr;
    SBitmapInfoHeader m_head;
    SInfo m_info;

private:
    std::uint8_t* CreateDib(std::uint32_t width, std::uint32_t height, std::uint32_t bpp,
                            std::uint32_t imagetype, bool zeroed);
    void Startup(std::uint32_t imagetype);
    void FreeDib();
};
