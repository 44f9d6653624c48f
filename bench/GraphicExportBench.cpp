// The graphic export of a folder of 200 series with their details open, as one PNG file,
// against encoding the same picture with libpng directly (counter x_libpng): the parts
// stacked as the export stacks them, rendered beforehand, encoded with the export's
// settings (white background, resolution) and saved as safely (Platform::SafeFileWriter).
// The goal: within 1.3 times the plain encoding. Minor page faults of each run beside
// (minflt, libpng_minflt).
#include "bench/BaselineRatio.h"
#include "document/DocView.h"
#include "export/TabGridPicture.h"
#include "export/core/ExportFeedback.h"
#include "export/core/GraphicExport.h"
#include "grid/GridCtrl.h"
#include "platform/core/SafeFileWriter.h"
#include "resources/BuiltInBitmaps.h"
#include "resources/BuiltInStrings.h"
#include "seriesview/TabGrid.h"
#include "tests/support/SampleProject.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QImage>

#include "BenchApp.h"
#include "PageFaults.h"

#include <benchmark/benchmark.h>
#include <png.h>

#include <cstring>
#include <memory>
#include <vector>

namespace
{
constexpr int kSeries = 200;
const QString kFolder = QStringLiteral("\\Many\\");

class NoFeedback final : public ExportFeedback
{
public:
    void SetProgress(int) override {}
    void SetProgressText(const QString&) override {}
    bool ConfirmReplace(const QStringList&) override { return true; }
    void ShowError(const QString& text) override { qFatal("%s", qPrintable(text)); }
    void ShowNotice(const QString&) override {}
    bool SetClipboardText(const QString&) override { return true; }
    bool SetClipboardImage(const QImage&) override { return true; }
};

// A page over 200 series, every detail row open.
struct SPage
{
    SPage()
    {
        SampleProject::FillFolder(doc, kFolder, kSeries);
        doc.SetCurrentFolder(doc.LookupFolder(kFolder), kFolder, true);
        page = std::make_unique<CTabGrid>(&doc);
        page->resize(1200, 700);
        page->UpdateRows(DOC_HINT_ALL);
        for (int i = 0; i < kSeries; ++i)
            page->SetSeriesOpen(i, true);
    }
    CVeskDoc doc;
    std::unique_ptr<CTabGrid> page;
};

SPage& Page()
{
    BenchApp();
    static SPage page;
    return page;
}

QString OutPath(const char* name)
{
    return QDir::tempPath() + QLatin1Char('/') + QLatin1String(name);
}

// The picture of the one-file export: every series rendered alone, the column headings on
// the first only, stacked.
QImage StackedPicture(SPage& p)
{
    NoFeedback feedback;
    CTabGridPicture shown(*p.page, p.doc, CTabGridPicture::ContentAsIs, true, feedback);
    shown.ShowAllParts();
    QImage picture(int(shown.GetShownWidth()), int(shown.GetShownHeight()), QImage::Format_RGB32);
    int top = 0;
    QImage part;
    for (int k = 0; k < shown.GetPartCount(); ++k)
    {
        shown.ShowPart(k, k == 0);
        if (!shown.Render(&part) || part.width() != picture.width() || top + part.height() > picture.height())
            return QImage();
        for (int y = 0; y < part.height(); ++y, ++top)
            std::memcpy(picture.scanLine(top), part.constScanLine(y), size_t(part.bytesPerLine()));
    }
    return top == picture.height() ? picture : QImage();
}

// libpng straight from the rendered picture: RGB rows, the library's defaults but for the
// background and resolution chunks the export writes too.
std::vector<unsigned char> EncodePng(const QImage& image)
{
    std::vector<unsigned char> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &out,
        [](png_structp s, png_bytep data, png_size_t length)
        {
            auto* v = static_cast<std::vector<unsigned char>*>(png_get_io_ptr(s));
            v->insert(v->end(), data, data + length);
        },
        nullptr);
    png_set_IHDR(png, info, png_uint_32(image.width()), png_uint_32(image.height()), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_color_16 white{};
    white.red = white.green = white.blue = white.gray = 255;
    png_set_bKGD(png, info, &white);
    constexpr png_uint_32 kPixelsPerMetre = 3780; // 96 dpi
    png_set_pHYs(png, info, kPixelsPerMetre, kPixelsPerMetre, PNG_RESOLUTION_METER);
    png_write_info(png, info);
    std::vector<unsigned char> row(size_t(image.width()) * 3);
    for (int y = 0; y < image.height(); ++y)
    {
        const QRgb* pixels = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
        {
            row[3 * size_t(x)] = static_cast<unsigned char>(qRed(pixels[x]));
            row[3 * size_t(x) + 1] = static_cast<unsigned char>(qGreen(pixels[x]));
            row[3 * size_t(x) + 2] = static_cast<unsigned char>(qBlue(pixels[x]));
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

// The export against libpng on the picture of the whole grid, timed in turns.
void BM_GraphicExportToOnePng(benchmark::State& state)
{
    SPage& p = Page();
    NoFeedback feedback;
    p.page->Grid()->SetRowHeight(0, CTabGrid::kHeaderHeight);
    const QImage picture = StackedPicture(p);
    if (picture.isNull())
        state.SkipWithError("no picture");
    int64_t faults = 0;
    int64_t libpngFaults = 0;
    const auto exportRun = [&]
    {
        const int64_t faults0 = MinorFaults();
        CTabGridPicture shown(*p.page, p.doc, CTabGridPicture::ContentAsIs, true, feedback);
        CGraphicExport::Run(shown, CGraphicExport::TargetOneFile, 1, OutPath("veskador-bench-export.png"),
                            feedback);
        faults += MinorFaults() - faults0;
    };
    const auto libpng = [&]
    {
        const int64_t faults0 = MinorFaults();
        const std::vector<unsigned char> bytes = EncodePng(picture);
        Platform::SafeFileWriter file;
        if (!file.Open(OutPath("veskador-bench-libpng.png")) || !file.Write(bytes.data(), bytes.size()) ||
            !file.Commit())
            qFatal("%s", qPrintable(file.ErrorMessage()));
        libpngFaults += MinorFaults() - faults0;
    };
    const BaselineTimes times = TimeAgainstBaseline(state, exportRun, libpng);
    state.counters["x_libpng"] = times.Ratio();
    state.counters["height"] = picture.height();
    state.counters["minflt"] = double(faults) / double(state.iterations());
    state.counters["libpng_minflt"] = double(libpngFaults) / double(state.iterations());
}
BENCHMARK(BM_GraphicExportToOnePng)->UseManualTime()->Unit(benchmark::kMillisecond);
} // namespace
