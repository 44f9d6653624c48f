#pragma once
#include <QImage>

#include <cstdint>

// How the encoder reads the rows of a rendered picture. Kept in one place, so that a picture
// made whole and one made of stacked pieces get the same pixels.
namespace BitmapRows
{
// The bits per pixel the picture becomes in a DIB: 1 for monochrome, 8 for indexed and grey
// pictures, 24 for every other format.
std::uint32_t DibBits(const QImage& bitmap);
// A picture that becomes 24 bits as 32-bit pixels (itself when it already has them); null
// when it cannot be converted.
QImage AsXrgb32(const QImage& bitmap);
// One row of 32-bit pixels as 24-bit pixels, alpha dropped: blue, green, red as a DIB keeps
// them, or red, green, blue as PNG keeps them.
void ToBgr(std::uint8_t* dst, const uchar* line, std::uint32_t width);
void ToRgb(std::uint8_t* dst, const uchar* line, std::uint32_t width);
} // namespace BitmapRows
