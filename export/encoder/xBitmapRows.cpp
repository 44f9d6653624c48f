#include "export/encoder/xBitmapRows.h"

namespace BitmapRows
{
namespace
{
bool IsXrgb32(QImage::Format format)
{
    return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32 ||
           format == QImage::Format_ARGB32_Premultiplied;
}
} // namespace

std::uint32_t DibBits(const QImage& bitmap)
{
    switch (bitmap.format())
    {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
        return 1;
    case QImage::Format_Indexed8:
    case QImage::Format_Grayscale8:
        return 8;
    default:
        return 24;
    }
}

QImage AsXrgb32(const QImage& bitmap)
{
    if (bitmap.isNull() || DibBits(bitmap) != 24)
        return QImage();
    return IsXrgb32(bitmap.format()) ? bitmap : bitmap.convertToFormat(QImage::Format_RGB32);
}

void ToBgr(std::uint8_t* dst, const uchar* line, std::uint32_t width)
{
    const QRgb* pixels = reinterpret_cast<const QRgb*>(line);
    for (std::uint32_t x = 0; x < width; ++x)
    {
        dst[3 * x] = static_cast<std::uint8_t>(qBlue(pixels[x]));
        dst[3 * x + 1] = static_cast<std::uint8_t>(qGreen(pixels[x]));
        dst[3 * x + 2] = static_cast<std::uint8_t>(qRed(pixels[x]));
    }
}

void ToRgb(std::uint8_t* dst, const uchar* line, std::uint32_t width)
{
    const QRgb* pixels = reinterpret_cast<const QRgb*>(line);
    for (std::uint32_t x = 0; x < width; ++x)
    {
        dst[3 * x] = static_cast<std::uint8_t>(qRed(pixels[x]));
        dst[3 * x + 1] = static_cast<std::uint8_t>(qGreen(pixels[x]));
        dst[3 * x + 2] = static_cast<std::uint8_t>(qBlue(pixels[x]));
    }
}
} // namespace BitmapRows
