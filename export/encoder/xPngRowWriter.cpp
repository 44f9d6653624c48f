#include "export/encoder/xPngRowWriter.h"

#include "export/encoder/xBitmapRows.h"
#include "export/encoder/xFile.h"
#include "export/encoder/xImage.h"

#include <QImage>

// libpng reports errors by longjmp back into the *Guarded functions. Everything between the
// setjmp and the library (the steps they call, the callbacks) keeps only trivially
// destructible locals; whatever must be released belongs to the writer or to the caller.

namespace
{
constexpr const char* kCreateFailed = "Failed to create PNG structure";
constexpr const char* kInfoFailed = "Failed to initialize PNG info structure";
constexpr const char* kWriteFailed = "Error saving PNG file";

// Qt's raster drawing, which renders the pieces, can leave the upper halves of the AVX
// registers in use. Until they are cleared, the SSE code of zlib and libpng pays a state
// transition on many x86 processors: encoding 200 rendered parts of a page took a third
// longer than encoding the same rows without drawing in between. Clearing is one
// instruction, so it is done before every piece.
void ClearUpperVectorState()
{
#if defined(__x86_64__) || defined(__i386__)
    static const bool hasAvx = __builtin_cpu_supports("avx");
    if (hasAvx)
        asm volatile("vzeroupper");
#endif
}

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

void WriteHeader(png_structp png, png_infop info, const CxPngRowWriter::SFormat& format)
{
    png_set_IHDR(png, info, format.width, format.height, format.bitDepth, format.colorType,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (format.colorType == PNG_COLOR_TYPE_PALETTE)
        png_set_PLTE(png, info, format.palette.data(), static_cast<int>(format.palette.size()));
    if (format.hasBackground)
    {
        png_color_16 background = format.background;
        png_set_bKGD(png, info, &background);
    }
    png_set_pHYs(png, info, static_cast<png_uint_32>(format.xPelsPerMeter),
                 static_cast<png_uint_32>(format.yPelsPerMeter), PNG_RESOLUTION_METER);
    png_write_info(png, info);
}

// Rows of 32-bit pixels become red, green, blue in the row buffer; rows in PNG's own layout
// go in as they lie.
void WriteRows(png_structp png, std::uint8_t* buffer, const std::uint8_t* bits, std::size_t bytesPerLine,
               std::uint32_t rows, std::uint32_t width, bool fromXrgb)
{
    for (std::uint32_t y = 0; y < rows; ++y)
    {
        const std::uint8_t* line = bits + y * bytesPerLine;
        if (fromXrgb)
        {
            BitmapRows::ToRgb(buffer, line, width);
            line = buffer;
        }
        png_write_row(png, line);
    }
}
} // namespace

CxPngRowWriter::SFormat CxPngRowWriter::Rgb(std::uint32_t width, std::uint32_t height)
{
    SFormat format;
    format.width = width;
    format.height = height;
    format.colorType = PNG_COLOR_TYPE_RGB;
    format.bitDepth = 8;
    format.hasBackground = true;
    format.background.red = 255;
    format.background.green = 255;
    format.background.blue = 255;
    format.background.gray = 255;
    format.xPelsPerMeter = CxImage::PixelsPerMetre(CxImage::DefaultDpi);
    format.yPelsPerMeter = format.xPelsPerMeter;
    return format;
}

CxPngRowWriter::~CxPngRowWriter()
{
    if (m_png)
        png_destroy_write_struct(&m_png, m_info ? &m_info : nullptr);
}

bool CxPngRowWriter::Fail(const char* text)
{
    m_failed = true;
    m_lastError = text;
    return false;
}

bool CxPngRowWriter::Start(CxFile* file, const SFormat& format)
{
    if (m_png || m_failed || !file)
        return Fail(kWriteFailed);
    m_png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!m_png)
        return Fail(kCreateFailed);
    m_info = png_create_info_struct(m_png);
    if (!m_info)
        return Fail(kInfoFailed);
    m_width = format.width;
    m_height = format.height;
    m_rgb = format.colorType == PNG_COLOR_TYPE_RGB && format.bitDepth == 8;
    // Only rendered pieces go through the buffer, to become red, green, blue.
    m_row.resize(m_rgb ? 3 * std::size_t{m_width} : 0);
    png_set_write_fn(m_png, file, PngWriteData, PngFlushData);
    ClearUpperVectorState();
    return StartGuarded(format) || Fail(kWriteFailed);
}

bool CxPngRowWriter::StartGuarded(const SFormat& format)
{
    if (setjmp(png_jmpbuf(m_png)))
        return false;
    WriteHeader(m_png, m_info, format);
    return true;
}

bool CxPngRowWriter::WriteRow(const std::uint8_t* row)
{
    if (!m_png || m_failed || m_rows >= m_height)
        return Fail(kWriteFailed);
    if (!WriteRowsGuarded(row, 0, 1, false))
        return Fail(kWriteFailed);
    ++m_rows;
    return true;
}

CxRowSink::NAppend CxPngRowWriter::AppendRows(const QImage& piece)
{
    if (!m_png || m_failed)
        return NAppend::Failed;
    const QImage source = m_rgb ? BitmapRows::AsXrgb32(piece) : QImage();
    if (source.isNull() || static_cast<std::uint32_t>(source.width()) != m_width ||
        static_cast<std::uint32_t>(source.height()) > m_height - m_rows)
        return NAppend::DoesNotFit;
    const std::uint32_t rows = static_cast<std::uint32_t>(source.height());
    ClearUpperVectorState();
    if (!WriteRowsGuarded(source.constBits(), static_cast<std::size_t>(source.bytesPerLine()), rows, true))
    {
        Fail(kWriteFailed);
        return NAppend::Failed;
    }
    m_rows += rows;
    return NAppend::Done;
}

bool CxPngRowWriter::WriteRowsGuarded(const std::uint8_t* bits, std::size_t bytesPerLine, std::uint32_t rows,
                                      bool fromXrgb)
{
    if (setjmp(png_jmpbuf(m_png)))
        return false;
    WriteRows(m_png, m_row.data(), bits, bytesPerLine, rows, m_width, fromXrgb);
    return true;
}

bool CxPngRowWriter::Finish()
{
    if (!m_png || m_failed || m_rows != m_height)
        return Fail(kWriteFailed);
    return FinishGuarded() || Fail(kWriteFailed);
}

bool CxPngRowWriter::FinishGuarded()
{
    if (setjmp(png_jmpbuf(m_png)))
        return false;
    png_write_end(m_png, m_info);
    return true;
}
