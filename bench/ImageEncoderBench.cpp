#include "export/encoder/xImage.h"

#include "BaselineRatio.h"

#include <QImage>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

namespace
{
// A picture shaped like a rendered series grid: white cells, grey grid lines, a coloured
// bar graph in every detail row and dark strokes standing in for text.
QImage GridPicture(int width, int height)
{
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(qRgb(255, 255, 255));
    const int rowHeight = 22;
    const int detailHeight = 180;
    for (int top = 0; top + rowHeight + detailHeight <= height; top += rowHeight + detailHeight)
    {
        for (int x = 0; x < width; ++x)
        {
            picture.setPixel(x, top, qRgb(192, 192, 192));
            picture.setPixel(x, top + rowHeight, qRgb(192, 192, 192));
        }
        for (int column = 0; column < width; column += 110)
            for (int y = top; y < top + rowHeight; ++y)
                picture.setPixel(column, y, qRgb(192, 192, 192));
        for (int x = 8; x < width - 8; x += 7)
            for (int y = top + 6; y < top + 16; ++y)
                if ((x * 31 + y * 17) % 5 < 2)
                    picture.setPixel(x, y, qRgb(20, 20, 20));
        for (int bar = 0; bar < 30; ++bar)
        {
            const int barHeight = 20 + (bar * 37) % 140;
            const QRgb colour = bar % 3 ? qRgb(70, 130, 180) : qRgb(220, 60, 60);
            for (int y = top + rowHeight + detailHeight - 10 - barHeight;
                 y < top + rowHeight + detailHeight - 10; ++y)
                for (int x = 120 + bar * 20; x < 134 + bar * 20 && x < width; ++x)
                    picture.setPixel(x, y, colour);
        }
    }
    return picture;
}

const QImage& Picture()
{
    // About 40 series with open detail rows, as wide as a maximised series page.
    static const QImage picture = GridPicture(1200, 8000);
    return picture;
}

void BM_CreateFromBitmap(benchmark::State& state)
{
    const QImage& picture = Picture();
    for (auto _ : state)
    {
        CxImage image;
        benchmark::DoNotOptimize(image.CreateFromHBITMAP(picture));
    }
    state.SetBytesProcessed(state.iterations() * picture.width() * picture.height() * 3);
}
BENCHMARK(BM_CreateFromBitmap)->Unit(benchmark::kMillisecond);

void BM_EncodeToMemory(benchmark::State& state)
{
    CxImage image;
    image.CreateFromHBITMAP(Picture());
    image.SetJpegQuality(90);
    const auto format = static_cast<std::uint32_t>(state.range(0));
    std::int64_t size = 0;
    for (auto _ : state)
    {
        CxMemFile::Buffer buffer;
        if (!image.EncodeToMemory(&buffer, &size, format))
            state.SkipWithError(image.GetLastError());
        benchmark::DoNotOptimize(buffer.get());
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t{image.GetSize()});
    state.counters["file_bytes"] = static_cast<double>(size);
}
BENCHMARK(BM_EncodeToMemory)
    ->ArgName("format")
    ->Arg(CxImage::FormatBmp)
    ->Arg(CxImage::FormatPng)
    ->Arg(CxImage::FormatJpg)
    ->Unit(benchmark::kMillisecond);
// Plain libjpeg-turbo on the same pixels and settings: the rows of the bitmap, top row
// first, straight into an encoder writing to memory.
std::vector<std::uint8_t> PlainLibjpeg(CxImage& image, int quality)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = image.GetWidth();
    cinfo.image_height = image.GetHeight();
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, FALSE);
    cinfo.density_unit = 1;
    cinfo.X_density = 96;
    cinfo.Y_density = 96;
    jpeg_start_compress(&cinfo, TRUE);
    for (std::uint32_t y = image.GetHeight(); y-- > 0;)
    {
        JSAMPROW row = image.GetBits(y);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<std::uint8_t> bytes(out, out + size);
    std::free(out);
    return bytes;
}

// The JPEG writer within 1.05 times plain libjpeg-turbo on the same pixels (x_libjpeg), both
// encoding to memory in the same run.
void BM_JpegAgainstLibjpeg(benchmark::State& state)
{
    constexpr int kQuality = 90;
    CxImage image;
    image.CreateFromHBITMAP(Picture());
    image.SetJpegQuality(kQuality);
    std::vector<std::uint8_t> written;
    std::vector<std::uint8_t> plain;
    auto writer = [&]
    {
        CxMemFile::Buffer buffer;
        std::int64_t size = 0;
        if (image.EncodeToMemory(&buffer, &size, CxImage::FormatJpg))
            written.assign(buffer.get(), buffer.get() + size);
    };
    auto libjpeg = [&] { plain = PlainLibjpeg(image, kQuality); };
    const BaselineTimes times = TimeAgainstBaseline(state, writer, libjpeg);
    if (written.empty() || written != plain)
        state.SkipWithError("the writer and libjpeg-turbo gave different files");
    state.SetBytesProcessed(state.iterations() * std::int64_t{image.GetWidth()} * image.GetHeight() * 3);
    state.counters["x_libjpeg"] = times.Ratio();
    state.counters["file_bytes"] = static_cast<double>(written.size());
}
BENCHMARK(BM_JpegAgainstLibjpeg)->UseManualTime()->Unit(benchmark::kMillisecond);
} // namespace
