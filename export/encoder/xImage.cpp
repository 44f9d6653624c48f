#include "export/encoder/xImage.h"

#include "export/encoder/xImageBMP.h"
#include "export/encoder/xImageJPG.h"
#include "export/encoder/xImagePNG.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace
{
void PutLe16(std::uint8_t* p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void PutLe32(std::uint8_t* p, std::uint32_t v)
{
    PutLe16(p, v);
    PutLe16(p + 2, v >> 16);
}

// The BMP file header stores the file size in 32 bits, 14 bytes more than the DIB.
constexpr std::uint64_t MaxDibSize = std::numeric_limits<std::uint32_t>::max() - 14;
} // namespace

std::int32_t CxImage::PixelsPerMetre(std::int32_t dpi)
{
    const double ppm = std::floor(dpi * 10000.0 / 254.0 + 0.5);
    return ppm > std::numeric_limits<std::int32_t>::max() ? std::numeric_limits<std::int32_t>::max()
                                                          : static_cast<std::int32_t>(ppm);
}

CxImage::CxImage(std::uint32_t imagetype)
{
    Startup(imagetype);
}

CxImage::~CxImage()
{
    FreeDib();
}

void CxImage::Startup(std::uint32_t imagetype)
{
    m_pDib = nullptr;
    m_head = SBitmapInfoHeader{};
    m_info = SInfo{};
    m_info.dwType = imagetype;
    m_head.biXPelsPerMeter = PixelsPerMetre(m_info.xDPI);
    m_head.biYPelsPerMeter = PixelsPerMetre(m_info.yDPI);
}

void CxImage::FreeDib()
{
    if (!m_info.pGhost)
        std::free(m_pDib);
    m_pDib = nullptr;
    m_info.pImage = nullptr;
}

void CxImage::Ghost(const CxImage* src)
{
    FreeDib();
    m_pDib = src->m_pDib;
    m_head = src->m_head;
    m_info = src->m_info;
    m_info.pGhost = src;
}

std::uint8_t* CxImage::Create(std::uint32_t width, std::uint32_t height, std::uint32_t bpp,
                              std::uint32_t imagetype)
{
    return CreateDib(width, height, bpp, imagetype, true);
}

std::uint8_t* CxImage::CreateUnfilled(std::uint32_t width, std::uint32_t height, std::uint32_t bpp,
                                      std::uint32_t imagetype)
{
    return CreateDib(width, height, bpp, imagetype, false);
}

std::uint8_t* CxImage::CreateDib(std::uint32_t width, std::uint32_t height, std::uint32_t bpp,
                                 std::uint32_t imagetype, bool zeroed)
{
    if (m_info.pGhost)
        return nullptr;
    FreeDib();
    if (width == 0 || height == 0)
    {
        SetLastError("CxImage::Create : width and height must be greater than zero");
        return nullptr;
    }
    if (bpp <= 1)
        bpp = 1;
    else if (bpp <= 4)
        bpp = 4;
    else if (bpp <= 8)
        bpp = 8;
    else
        bpp = 24;
    const std::uint32_t colors = bpp == 24 ? 0 : 1u << bpp;

    // The header keeps sizes in 32-bit fields; a picture they cannot describe is refused
    // like one that does not fit into memory.
    const std::uint64_t effWidth = ((std::uint64_t{width} * bpp + 31) / 32) * 4;
    const std::uint64_t imageSize = effWidth * height;
    const std::uint64_t dibSize = HeaderSize + std::uint64_t{colors} * 4 + imageSize;
    if (width > std::numeric_limits<std::int32_t>::max() ||
        height > std::numeric_limits<std::int32_t>::max() || dibSize > MaxDibSize)
    {
        SetLastError("CxImage::Create can't allocate memory");
        return nullptr;
    }

    m_head.biSize = HeaderSize;
    m_head.biWidth = static_cast<std::int32_t>(width);
    m_head.biHeight = static_cast<std::int32_t>(height);
    m_head.biPlanes = 1;
    m_head.biBitCount = static_cast<std::uint16_t>(bpp);
    m_head.biCompression = 0;
    m_head.biSizeImage = static_cast<std::uint32_t>(imageSize);
    m_head.biClrUsed = colors;
    m_head.biClrImportant = 0;
    m_info.dwEffWidth = static_cast<std::uint32_t>(effWidth);
    m_info.dwType = imagetype;

    // Zeroed, so that rows a caller never fills come out black instead of carrying
    // leftover heap bytes into the file; unfilled, only header and palette are.
    const std::size_t fixedBytes = HeaderSize + std::size_t{colors} * 4;
    m_pDib = static_cast<std::uint8_t*>(zeroed ? std::calloc(1, static_cast<std::size_t>(dibSize))
                                               : std::malloc(static_cast<std::size_t>(dibSize)));
    if (m_pDib && !zeroed)
        std::memset(m_pDib, 0, fixedBytes);
    if (!m_pDib)
    {
        SetLastError("CxImage::Create can't allocate memory");
        return nullptr;
    }
    StoreHeader();
    m_info.pImage = m_pDib + fixedBytes;
    return m_pDib;
}

std::uint8_t* CxImage::GetBits(std::uint32_t row)
{
    if (!m_pDib || !m_info.pImage || row >= GetHeight())
        return nullptr;
    return m_info.pImage + std::size_t{row} * m_info.dwEffWidth;
}

std::uint32_t CxImage::GetSize() const
{
    return HeaderSize + m_head.biClrUsed * 4 + m_head.biSizeImage;
}

const std::uint8_t* CxImage::GetPalette() const
{
    return m_pDib && m_head.biClrUsed ? m_pDib + HeaderSize : nullptr;
}

bool CxImage::IsGrayScale() const
{
    const std::uint8_t* palette = GetPalette();
    if (!palette)
        return false;
    for (std::uint32_t i = 0; i < m_head.biClrUsed; ++i)
    {
        const std::uint8_t* entry = palette + 4 * i;
        if (entry[0] != i || entry[1] != i || entry[2] != i)
            return false;
    }
    return true;
}

void CxImage::SetJpegQuality(std::uint8_t quality)
{
    m_info.fQuality = quality;
}

std::uint8_t CxImage::GetJpegQuality() const
{
    return static_cast<std::uint8_t>(m_info.fQuality + 0.5f);
}

void CxImage::SetXDPI(std::int32_t dpi)
{
    if (dpi < 1)
        dpi = DefaultDpi;
    m_info.xDPI = dpi;
    m_head.biXPelsPerMeter = PixelsPerMetre(dpi);
    if (m_pDib)
        StoreHeader();
}

void CxImage::SetYDPI(std::int32_t dpi)
{
    if (dpi < 1)
        dpi = DefaultDpi;
    m_info.yDPI = dpi;
    m_head.biYPelsPerMeter = PixelsPerMetre(dpi);
    if (m_pDib)
        StoreHeader();
}

void CxImage::StoreHeader()
{
    std::uint8_t* p = m_pDib;
    PutLe32(p + 0, m_head.biSize);
    PutLe32(p + 4, static_cast<std::uint32_t>(m_head.biWidth));
    PutLe32(p + 8, static_cast<std::uint32_t>(m_head.biHeight));
    PutLe16(p + 12, m_head.biPlanes);
    PutLe16(p + 14, m_head.biBitCount);
    PutLe32(p + 16, m_head.biCompression);
    PutLe32(p + 20, m_head.biSizeImage);
    PutLe32(p + 24, static_cast<std::uint32_t>(m_head.biXPelsPerMeter));
    PutLe32(p + 28, static_cast<std::uint32_t>(m_head.biYPelsPerMeter));
    PutLe32(p + 32, m_head.biClrUsed);
    PutLe32(p + 36, m_head.biClrImportant);
}

void CxImage::SetLastError(const char* text)
{
    std::strncpy(m_info.szLastError, text, LastErrorSize - 1);
    m_info.szLastError[LastErrorSize - 1] = 0;
}

bool CxImage::CheckEncodeInput(const CxFile* hFile)
{
    if (!hFile)
    {
        SetLastError("null file handler");
        return false;
    }
    if (!m_pDib)
    {
        SetLastError("null image!!!");
        return false;
    }
    return true;
}

namespace
{
template <class Encoder> bool EncodeAs(const CxImage* image, CxFile* hFile, char* lastError)
{
    Encoder encoder(*image);
    if (encoder.Encode(hFile))
        return true;
    std::strncpy(lastError, encoder.GetLastError(), CxImage::LastErrorSize - 1);
    lastError[CxImage::LastErrorSize - 1] = 0;
    return false;
}
} // namespace

bool CxImage::Encode(CxFile* hFile, std::uint32_t imagetype)
{
    switch (imagetype)
    {
    case FormatBmp:
        return EncodeAs<CxImageBMP>(this, hFile, m_info.szLastError);
    case FormatJpg:
        return EncodeAs<CxImageJPG>(this, hFile, m_info.szLastError);
    case FormatPng:
        return EncodeAs<CxImagePNG>(this, hFile, m_info.szLastError);
    default:
        SetLastError("Encode: Unknown format");
        return false;
    }
}

bool CxImage::EncodeToMemory(CxMemFile::Buffer* buffer, std::int64_t* size, std::uint32_t imagetype)
{
    if (!buffer || !size)
        return false;
    if (*buffer)
    {
        SetLastError("the buffer must be empty");
        return false;
    }
    CxMemFile file;
    if (!file.Open())
    {
        SetLastError("CxImage::Create can't allocate memory");
        return false;
    }
    if (!Encode(&file, imagetype))
        return false; // the stream frees its buffer
    *size = file.Size();
    buffer->reset(file.GetBuffer(true));
    return true;
}
