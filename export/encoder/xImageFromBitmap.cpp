// Where a CxImage is made from a rendered picture: the rendered grid arrives as a QImage,
// the counterpart of a bitmap handle.
#include "export/encoder/xImage.h"

#include "export/encoder/xBitmapRows.h"

#include <QImage>

#include <algorithm>
#include <cstring>

bool CxImage::CreateFromHBITMAP(const QImage& bitmap)
{
    if (m_info.pGhost || bitmap.isNull())
        return false;
    const std::uint32_t bpp = BitmapRows::DibBits(bitmap);
    if (!Create(static_cast<std::uint32_t>(bitmap.width()), static_cast<std::uint32_t>(bitmap.height()), bpp,
                FormatUnknown))
        return false;

    // Pixels in the DIB's own layout: palette indices packed from the most significant
    // bit, or 32-bit pixels whose colour channels are copied and whose alpha is dropped.
    QImage source;
    if (bpp == 1)
        source =
            bitmap.format() == QImage::Format_Mono ? bitmap : bitmap.convertToFormat(QImage::Format_Mono);
    else if (bpp == 8)
        source = bitmap;
    else
        source = BitmapRows::AsXrgb32(bitmap);
    if (source.isNull())
    {
        SetLastError("GetDIBits failed");
        return false;
    }

    const std::uint32_t width = GetWidth();
    const std::uint32_t height = GetHeight();
    if (bpp != 24)
    {
        std::uint8_t* palette = m_pDib + HeaderSize;
        if (source.format() == QImage::Format_Grayscale8)
        {
            for (std::uint32_t i = 0; i < 256; ++i)
                std::memset(palette + 4 * i, static_cast<int>(i), 3);
        }
        else
        {
            const QList<QRgb> table = source.colorTable();
            const qsizetype count = std::min<qsizetype>(table.size(), GetNumColors());
            for (qsizetype i = 0; i < count; ++i)
            {
                palette[4 * i] = static_cast<std::uint8_t>(qBlue(table[i]));
                palette[4 * i + 1] = static_cast<std::uint8_t>(qGreen(table[i]));
                palette[4 * i + 2] = static_cast<std::uint8_t>(qRed(table[i]));
            }
        }
    }

    const std::size_t packedBytes = (std::size_t{width} * bpp + 7) / 8;
    for (std::uint32_t y = 0; y < height; ++y)
    {
        // DIB row 0 is the bottom image row.
        std::uint8_t* dst = GetBits(height - 1 - y);
        const uchar* line = source.constScanLine(static_cast<int>(y));
        if (bpp != 24)
        {
            std::memcpy(dst, line, packedBytes);
            continue;
        }
        BitmapRows::ToBgr(dst, line, width);
    }
    return true;
}

bool CxImage::PasteRows(const QImage& bitmap, std::uint32_t topRow)
{
    const std::uint32_t height = GetHeight();
    if (!GetBits() || bitmap.isNull() || GetBpp() != 24 || BitmapRows::DibBits(bitmap) != 24 ||
        static_cast<std::uint32_t>(bitmap.width()) != GetWidth() || topRow > height ||
        static_cast<std::uint32_t>(bitmap.height()) > height - topRow)
        return false;
    const QImage source = BitmapRows::AsXrgb32(bitmap);
    if (source.isNull())
        return false;
    const std::uint32_t width = GetWidth();
    // The bytes that pad a row to whole words are written too: an unfilled picture has
    // whatever the allocator left there, and a BMP file carries them.
    const std::size_t padding = GetEffWidth() - 3 * std::size_t{width};
    for (std::uint32_t y = 0; y < static_cast<std::uint32_t>(source.height()); ++y)
    {
        std::uint8_t* row = GetBits(height - 1 - topRow - y);
        BitmapRows::ToBgr(row, source.constScanLine(static_cast<int>(y)), width);
        std::memset(row + 3 * std::size_t{width}, 0, padding);
    }
    return true;
}
