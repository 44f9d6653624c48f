#pragma once
#include "export/encoder/xRowSink.h"

#include <png.h>

#include <cstddef>
#include <cstdint>
#include <vector>

class CxFile;

// Writes a PNG file through libpng a row at a time from the top, so that a picture made of
// pieces (the stacked parts of the graphic export) is encoded as the pieces come and never
// has to be held whole. CxImagePNG writes its whole picture through it too: the same rows
// give the same bytes either way. Never interlaced.
//
// Start, then exactly the format's height in rows (WriteRow, AppendRows), then Finish. After
// a failure the writer takes nothing more and GetLastError says why; the stream may hold a
// partial file, which the caller discards.
class CxPngRowWriter final : public CxRowSink
{
public:
    struct SFormat
    {
        std::uint32_t width = 0;
        std::uint32_t height = 0;
        int colorType = PNG_COLOR_TYPE_RGB;
        int bitDepth = 8;
        // Palette pictures only.
        std::vector<png_color> palette;
        bool hasBackground = false;
        png_color_16 background = {};
        std::int32_t xPelsPerMeter = 0;
        std::int32_t yPelsPerMeter = 0;
    };
    // 24-bit colour on a white background at the encoder's default resolution, as the
    // graphic export's pictures are.
    static SFormat Rgb(std::uint32_t width, std::uint32_t height);

    CxPngRowWriter() = default;
    ~CxPngRowWriter() override;
    CxPngRowWriter(const CxPngRowWriter&) = delete;
    CxPngRowWriter& operator=(const CxPngRowWriter&) = delete;

    // Writes everything before the pixel rows into the stream, which must outlive the writer.
    bool Start(CxFile* file, const SFormat& format);
    // One row as PNG lays it out: red, green, blue samples, or packed palette indices or grey.
    bool WriteRow(const std::uint8_t* row);
    // A rendered piece of the format's width whose pixels become 24 bits, into an RGB picture.
    NAppend AppendRows(const QImage& piece) override;
    std::uint32_t GetRowCount() const override { return m_rows; }
    // Ends the file; fails unless every row was written.
    bool Finish();

    const char* GetLastError() const { return m_lastError; }

private:
    bool StartGuarded(const SFormat& format);
    bool WriteRowsGuarded(const std::uint8_t* bits, std::size_t bytesPerLine, std::uint32_t rows,
                          bool fromXrgb);
    bool FinishGuarded();
    bool Fail(const char* text);

    png_structp m_png = nullptr;
    png_infop m_info = nullptr;
    std::uint32_t m_width = 0;
    std::uint32_t m_height = 0;
    bool m_rgb = false;
    std::uint32_t m_rows = 0;
    bool m_failed = false;
    std::vector<std::uint8_t> m_row;
    const char* m_lastError = "";
};
