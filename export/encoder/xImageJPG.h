#pragma once
#include "export/encoder/xImage.h"

#include <cstdio>

#include <jpeglib.h>

// Writes a 24-bit or greyscale image as a JPEG (JFIF) file through libjpeg.
class CxImageJPG : public CxImage
{
public:
    // A ghost of the image to encode.
    explicit CxImageJPG(const CxImage& source);
    ~CxImageJPG() override;
    bool Encode(CxFile* hFile);

private:
    bool CompressGuarded(jpeg_compress_struct* cinfo, jpeg_destination_mgr* dest, std::uint8_t* row);
    void Compress(jpeg_compress_struct* cinfo, jpeg_destination_mgr* dest, std::uint8_t* row);
};
