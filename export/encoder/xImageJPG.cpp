#include "export/encoder/xImageJPG.h"

#include "export/encoder/xFile.h"

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <vector>

#include <jerror.h>

#ifndef JCS_EXTENSIONS
#error "The JPEG writer hands libjpeg blue-green-red rows: it needs libjpeg-turbo's colour spaces."
#endif

// libjpeg reports errors through error_exit, which longjmps back into CompressGuarded.
// Everything between that setjmp and the library keeps only trivially destructible
// locals; what must be released belongs to Encode, above it.

namespace
{
constexpr std::size_t OutputBufferSize = 4096;

struct JpegErrorManager
{
    jpeg_error_mgr pub;
    std::jmp_buf setjmpBuffer;
    char* lastError;
    std::size_t lastErrorSize;
};

struct JpegDestination
{
    jpeg_destination_mgr pub;
    CxFile* file;
    JOCTET buffer[OutputBufferSize];
};

void JpegErrorExit(j_common_ptr cinfo)
{
    JpegErrorManager* err = reinterpret_cast<JpegErrorManager*>(cinfo->err);
    char message[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, message);
    std::strncpy(err->lastError, message, err->lastErrorSize - 1);
    err->lastError[err->lastErrorSize - 1] = 0;
    std::longjmp(err->setjmpBuffer, 1);
}

void JpegInitDestination(j_compress_ptr cinfo)
{
    JpegDestination* dest = reinterpret_cast<JpegDestination*>(cinfo->dest);
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = OutputBufferSize;
}

boolean JpegEmptyOutputBuffer(j_compress_ptr cinfo)
{
    JpegDestination* dest = reinterpret_cast<JpegDestination*>(cinfo->dest);
    if (dest->file->Write(dest->buffer, 1, OutputBufferSize) != OutputBufferSize)
        ERREXIT(cinfo, JERR_FILE_WRITE);
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = OutputBufferSize;
    return TRUE;
}

void JpegTermDestination(j_compress_ptr cinfo)
{
    JpegDestination* dest = reinterpret_cast<JpegDestination*>(cinfo->dest);
    const std::size_t count = OutputBufferSize - dest->pub.free_in_buffer;
    // A file that ends on a buffer boundary has nothing left to write here; that is no
    // error, while a short write of the rest is.
    if (count > 0 && dest->file->Write(dest->buffer, 1, count) != count)
        ERREXIT(cinfo, JERR_FILE_WRITE);
    dest->file->Flush();
    if (dest->file->Error())
        ERREXIT(cinfo, JERR_FILE_WRITE);
}

// Packed palette indices of 1 or 4 bits, widened to one byte per pixel.
void UnpackRow(const std::uint8_t* src, std::uint8_t* dst, std::uint32_t width, std::uint32_t bpp)
{
    const std::uint32_t perByte = 8 / bpp;
    const std::uint32_t mask = (1u << bpp) - 1;
    for (std::uint32_t x = 0; x < width; ++x)
    {
        const std::uint32_t shift = 8 - bpp * (x % perByte + 1);
        dst[x] = static_cast<std::uint8_t>((src[x / perByte] >> shift) & mask);
    }
}
} // namespace

CxImageJPG::CxImageJPG(const CxImage& source) : CxImage(FormatJpg)
{
    Ghost(&source);
}

CxImageJPG::~CxImageJPG() = default;

bool CxImageJPG::Encode(CxFile* hFile)
{
    if (!CheckEncodeInput(hFile))
        return false;
    if (GetBpp() != 24 && !IsGrayScale())
    {
        SetLastError("JPEG can save only RGB or GreyScale images");
        return false;
    }

    JpegErrorManager err;
    JpegDestination dest;
    jpeg_compress_struct cinfo;
    std::memset(&err, 0, sizeof err);
    std::memset(&dest, 0, sizeof dest);
    std::memset(&cinfo, 0, sizeof cinfo);

    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = JpegErrorExit;
    err.lastError = m_info.szLastError;
    err.lastErrorSize = LastErrorSize;

    dest.pub.init_destination = JpegInitDestination;
    dest.pub.empty_output_buffer = JpegEmptyOutputBuffer;
    dest.pub.term_destination = JpegTermDestination;
    dest.file = hFile;

    // Only packed palette indices need a row of their own; other rows go in as they lie.
    std::vector<std::uint8_t> row(GetBpp() < 8 ? GetWidth() : 0);
    const bool ok = CompressGuarded(&cinfo, &dest.pub, row.data());
    jpeg_destroy_compress(&cinfo);
    return ok;
}

bool CxImageJPG::CompressGuarded(jpeg_compress_struct* cinfo, jpeg_destination_mgr* dest, std::uint8_t* row)
{
    JpegErrorManager* err = reinterpret_cast<JpegErrorManager*>(cinfo->err);
    if (setjmp(err->setjmpBuffer))
        return false;
    Compress(cinfo, dest, row);
    return true;
}

void CxImageJPG::Compress(jpeg_compress_struct* cinfo, jpeg_destination_mgr* dest, std::uint8_t* row)
{
    jpeg_create_compress(cinfo);
    cinfo->dest = dest;

    const std::uint32_t width = GetWidth();
    const std::uint32_t height = GetHeight();
    const std::uint32_t bpp = GetBpp();
    const bool rgb = bpp == 24;
    cinfo->image_width = width;
    cinfo->image_height = height;
    cinfo->input_components = rgb ? 3 : 1;
    // The DIB keeps blue, green, red: libjpeg-turbo reads that order itself.
    cinfo->in_color_space = rgb ? JCS_EXT_BGR : JCS_GRAYSCALE;
    jpeg_set_defaults(cinfo);
    jpeg_set_quality(cinfo, GetJpegQuality(), FALSE);
    if (rgb)
    {
        cinfo->comp_info[0].h_samp_factor = 2;
        cinfo->comp_info[0].v_samp_factor = 2;
        for (int c = 1; c < 3; ++c)
        {
            cinfo->comp_info[c].h_samp_factor = 1;
            cinfo->comp_info[c].v_samp_factor = 1;
        }
    }
    // JFIF keeps the density in 16 bits.
    cinfo->write_JFIF_header = TRUE;
    cinfo->density_unit = 1;
    cinfo->X_density = static_cast<UINT16>(std::min(GetXDPI(), 65535));
    cinfo->Y_density = static_cast<UINT16>(std::min(GetYDPI(), 65535));

    jpeg_start_compress(cinfo, TRUE);
    const std::uint32_t effWidth = GetEffWidth();
    // The DIB holds the bottom row first; JPEG starts at the top.
    for (std::uint32_t y = height; y-- > 0;)
    {
        std::uint8_t* src = m_info.pImage + std::size_t{y} * effWidth;
        if (bpp < 8)
        {
            // A grey ramp maps index i to grey i, so the indices are the samples.
            UnpackRow(src, row, width, bpp);
            src = row;
        }
        // libjpeg only reads the rows it is given.
        JSAMPROW rows[1] = {src};
        jpeg_write_scanlines(cinfo, rows, 1);
    }
    jpeg_finish_compress(cinfo);
}
