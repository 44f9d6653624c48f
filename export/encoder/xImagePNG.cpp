#include "export/encoder/xImagePNG.h"

#include "export/encoder/xPngRowWriter.h"

#include <vector>

CxImagePNG::CxImagePNG(const CxImage& source) : CxImage(FormatPng)
{
    Ghost(&source);
}

bool CxImagePNG::Encode(CxFile* hFile)
{
    if (!CheckEncodeInput(hFile))
        return false;

    CxPngRowWriter::SFormat format;
    format.width = GetWidth();
    format.height = GetHeight();
    const bool rgb = GetBpp() == 24;
    // Grey samples of bit depth d run from black to white over 0..2^d - 1, while the
    // palette's grey ramp holds i at index i: only at 8 bits do the two agree. Lower depths
    // keep their exact colours as a palette image.
    const bool grey = !rgb && GetBpp() == 8 && IsGrayScale();
    format.colorType = PNG_COLOR_TYPE_PALETTE;
    if (rgb)
        format.colorType = PNG_COLOR_TYPE_RGB;
    else if (grey)
        format.colorType = PNG_COLOR_TYPE_GRAY;
    format.bitDepth = rgb ? 8 : static_cast<int>(GetBpp());

    // White background. A palette image names it by index, so it gets one only when its
    // palette holds white; a grey image by its sample value.
    format.background.red = 255;
    format.background.green = 255;
    format.background.blue = 255;
    format.background.gray = 255;
    format.hasBackground = rgb || grey;
    if (format.colorType == PNG_COLOR_TYPE_PALETTE)
    {
        const std::uint8_t* dibPalette = GetPalette();
        const std::uint32_t used = GetNumColors();
        const std::uint32_t count =
            m_head.biClrImportant && m_head.biClrImportant < used ? m_head.biClrImportant : used;
        format.palette.resize(count);
        for (std::uint32_t i = 0; i < count; ++i)
        {
            png_color& entry = format.palette[i];
            entry.red = dibPalette[4 * i + 2];
            entry.green = dibPalette[4 * i + 1];
            entry.blue = dibPalette[4 * i];
            if (!format.hasBackground && entry.red == 255 && entry.green == 255 && entry.blue == 255)
            {
                format.background.index = static_cast<png_byte>(i);
                format.hasBackground = true;
            }
        }
    }
    format.xPelsPerMeter = m_head.biXPelsPerMeter;
    format.yPelsPerMeter = m_head.biYPelsPerMeter;

    CxPngRowWriter writer;
    bool ok = writer.Start(hFile, format);
    const std::uint32_t width = GetWidth();
    const std::uint32_t effWidth = GetEffWidth();
    std::vector<std::uint8_t> row(rgb ? effWidth : 0);
    // The DIB holds the bottom row first; PNG starts at the top.
    for (std::uint32_t y = GetHeight(); ok && y-- > 0;)
    {
        const std::uint8_t* bits = m_info.pImage + std::size_t{y} * effWidth;
        if (rgb)
        {
            // Blue, green, red in the DIB; red, green, blue in the file.
            for (std::uint32_t x = 0; x < width; ++x)
            {
                row[3 * x] = bits[3 * x + 2];
                row[3 * x + 1] = bits[3 * x + 1];
                row[3 * x + 2] = bits[3 * x];
            }
            bits = row.data();
        }
        ok = writer.WriteRow(bits);
    }
    ok = ok && writer.Finish();
    if (!ok)
        SetLastError(writer.GetLastError());
    return ok;
}
