#pragma once
#include "export/encoder/xImage.h"

// Writes an image as a PNG file through libpng (CxPngRowWriter).
class CxImagePNG : public CxImage
{
public:
    // A ghost of the image to encode.
    explicit CxImagePNG(const CxImage& source);
    bool Encode(CxFile* hFile);
};
