#pragma once
#include "export/encoder/xImage.h"

#include <png.h>

// Writes an image as a PNG file through libpng.
class CxImagePNG : public CxImage
{
public:
    // A ghost of the image to encode.
    explicit CxImagePNG(const CxImage& source);
    bool Encode(CxFile* hFile);

private:
    bool WriteGuarded(png_structp png, png_infop info, CxFile* hFile, std::uint8_t* row);
    void WriteImage(png_structp png, png_infop info, CxFile* hFile, std::uint8_t* row);
    std::size_t RowBufferSize() const;
};
