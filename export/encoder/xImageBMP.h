#pragma once
#include "export/encoder/xImage.h"

// Writes an image as a BMP file: the 14-byte file header, then the DIB as it is.
class CxImageBMP : public CxImage
{
public:
    // A ghost of the image to encode.
    explicit CxImageBMP(const CxImage& source);
    bool Encode(CxFile* hFile);
};
