#include "export/encoder/xImagePNG.h"

#include "export/encoder/xFile.h"

#include <algorithm>
#include <cstring>
#include <vector>

// libpng reports errors by longjmp back into WriteGuarded. Everything between the setjmp
// and the library (WriteImage, the callbacks) keeps only trivially destructible locals, and
// whatever must be released (row buffer, libpng structures) belongs to Encode, above it.

namespace
{
void PngWriteData(png_structp png, png_bytep data, png_size_t length)
{
    CxFile* file = static_cast<CxFile*>(png_get_io_ptr(png));
    if (file->Write(data, 1, length) != length)
        png_error(png, "Write Error");
}

void PngFlushData(png_structp png)
{
    CxFile* file = static_cast<CxFile*>(png_get_io_ptr(png));
    if (!file->Flush())
        png_error(png, "Flush Error");
}
} // namespace

CxImagePNG::CxImagePNG(const CxImage& source) : CxImage(FormatPng)
{
    Ghost(&source);
}

std::size_t CxImagePNG::RowBufferSize() const
{
    const std::size_t channels = GetBpp() == 24 ? 3 : 1;
    const std::size_t depth = GetBpp() == 24 ? 8 : GetBpp();
    return std::max<std::size_t>(GetEffWidth(), std::size_t{GetWidth()} * channels * depth / 8);
}

bool CxImagePNG::Encode(CxFile* hFile)
{
    if (!CheckEncodeInput(hFile))
        return false;

    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png)
    {
        SetLastError("Failed to create PNG structure");
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info)
    {
        png_destroy_write_struct(&png, nullptr);
        SetLastError("Failed to initialize PNG info structure");
        return false;
    }
    std::vector<std::uint8_t> row(RowBufferSize());
    const bool ok = WriteGuarded(png, info, hFile, row.data());
    png_destroy_write_struct(&png, &info);
    if (!ok)
        SetLastError("Error saving PNG file");
    return ok;
}

bool CxImagePNG::WriteGuarded(png_structp png, png_infop info, CxFile* hFile, std::uint8_t* row)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    WriteImage(png, info, hFile, row);
    return true;
}

void CxImagePNG::WriteImage(png_structp png, png_infop info, CxFile* hFile, std::uint8_t* row)
{
    png_set_write_fn(png, hFile, PngWriteData, PngFlushData);

    const std::uint32_t width = GetWidth();
    const std::uint32_t height = GetHeight();
    const bool rgb = GetBpp() == 24;
    // Grey samples of bit depth d run from black to white over 0..2^d - 1, while the
    // palette's grey ramp holds i at index i: only at 8 bits do the two agree. Lower depths
    // keep their exact colours as a palette image.
    const bool grey = !rgb && GetBpp() == 8 && IsGrayScale();
    int colorType = PNG_COLOR_TYPE_PALETTE;
    if (rgb)
        colorType = PNG_COLOR_TYPE_RGB;
    else if (grey)
        colorType = PNG_COLOR_TYPE_GRAY;
    const int bitDepth = rgb ? 8 : static_cast<int>(GetBpp());
    png_set_IHDR(png, info, width, height, bitDepth, colorType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);

    // White background. A palette image names it by index, so it gets one only when its
    // palette holds white; a grey image by its sample value.
    png_color_16 background;
    std::memset(&background, 0, sizeof background);
    background.red = 255;
    background.green = 255;
    background.blue = 255;
    background.gray = 255;
    bool hasBackground = rgb || grey;

    png_color palette[256];
    if (colorType == PNG_COLOR_TYPE_PALETTE)
    {
        const std::uint8_t* dibPalette = GetPalette();
        const std::uint32_t used = GetNumColors();
        const std::uint32_t count =
            m_head.biClrImportant && m_head.biClrImportant < used ? m_head.biClrImportant : used;
        for (std::uint32_t i = 0; i < count; ++i)
        {
            palette[i].red = dibPalette[4 * i + 2];
            palette[i].green = dibPalette[4 * i + 1];
            palette[i].blue = dibPalette[4 * i];
            if (!hasBackground && palette[i].red == 255 && palette[i].green == 255 && palette[i].blue == 255)
            {
                background.index = static_cast<png_byte>(i);
                hasBackground = true;
            }
        }
        png_set_PLTE(png, info, palette, static_cast<int>(count));
    }
    if (hasBackground)
        png_set_bKGD(png, info, &background);
    png_set_pHYs(png, info, static_cast<png_uint_32>(m_head.biXPelsPerMeter),
                 static_cast<png_uint_32>(m_head.biYPelsPerMeter), PNG_RESOLUTION_METER);
    png_write_info(png, info);

    const std::uint32_t effWidth = GetEffWidth();
    const int passes = png_set_interlace_handling(png);
    for (int pass = 0; pass < passes; ++pass)
    {
        // The DIB holds the bottom row first; PNG starts at the top.
        for (std::uint32_t y = height; y-- > 0;)
        {
            std::memcpy(row, m_info.pImage + std::size_t{y} * effWidth, effWidth);
            if (rgb)
            {
                for (std::uint32_t x = 0; x < width; ++x)
                    std::swap(row[3 * x], row[3 * x + 2]);
            }
            png_write_row(png, row);
        }
    }
    png_write_end(png, info);
}
