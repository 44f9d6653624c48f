#include "export/core/GraphicExport.h"

#include "export/core/ExportFeedback.h"
#include "export/core/ExportFile.h"
#include "export/core/ExportFileStream.h"
#include "export/core/ExportFiles.h"
#include "export/core/ExportImage.h"
#include "export/core/ExportTexts.h"
#include "export/core/PictureStack.h"
#include "export/encoder/xImage.h"
#include "export/encoder/xImageStack.h"
#include "export/encoder/xPngRowWriter.h"
#include "platform/core/StringTable.h"
#include "resources/StringIds.h"

#include <QImage>

#include <climits>
#include <functional>

using ExportTexts::Format;

namespace
{
// Progress: parts from 100 to 900, 1000 at the end.
constexpr int kPartsStart = 100;
constexpr int kPartsSpan = 800;
constexpr int kProgressEnd = 1000;
constexpr std::uint32_t kCombinedBpp = 24;

int PartStep(int part, int count)
{
    return kPartsStart + static_cast<int>(static_cast<long long>(part) * kPartsSpan / count);
}

QString TooLarge()
{
    return Platform::LoadString(StringId::IDS_BITMAP_TOO_LARGE);
}

// The one-file picture, for every format, and the clipboard's: the parts one below the
// other, the column headings only on the first, each handed to `rows` as soon as it is rendered, until they
// make up the height the page showed with all parts. False after the message to the user; `writeFailure` says
// why rows could not be written.
bool StackParts(GraphicExportPage& page, CxRowSink& rows, std::uint32_t height, ExportFeedback& feedback,
                const std::function<QString()>& writeFailure)
{
    const int count = page.GetPartCount();
    QImage picture;
    for (int k = 0; k < count; ++k)
    {
        page.ShowPart(k, k == 0);
        feedback.SetProgress(PartStep(k, count));
        if (!page.Render(&picture) || picture.isNull())
        {
            feedback.ShowError(TooLarge());
            return false;
        }
        switch (rows.AppendRows(picture))
        {
        case CxRowSink::NAppend::Done:
            break;
        case CxRowSink::NAppend::DoesNotFit:
            feedback.ShowError(Platform::LoadString(StringId::IDS_PARTS_DO_NOT_FIT));
            return false;
        case CxRowSink::NAppend::Failed:
            feedback.ShowError(writeFailure());
            return false;
        }
    }
    if (rows.GetRowCount() != height)
    {
        feedback.ShowError(Platform::LoadString(StringId::IDS_PARTS_DO_NOT_FIT));
        return false;
    }
    return true;
}
} // namespace

CGraphicExport::NResult CGraphicExport::Run(GraphicExportPage& page, int target, int formatIndex,
                                            const QString& path, ExportFeedback& feedback)
{
    feedback.SetProgress(0);
    feedback.SetProgressText(Platform::LoadString(StringId::IDS_EXPORT_PREPARING));
    // Nothing chosen: say so instead of encoding a picture that was never made.
    if (page.GetPartCount() <= 0)
    {
        feedback.ShowNotice(Platform::LoadString(StringId::IDS_NOTHING_TO_EXPORT));
        return NResult::NothingToExport;
    }
    NResult result;
    switch (target)
    {
    case TargetClipboard:
        result = RunClipboard(page, feedback);
        break;
    case TargetFilePerSeries:
        result = RunFilePerSeries(page, formatIndex, path, feedback);
        break;
    default:
        result = RunOneFile(page, formatIndex, path, feedback);
        break;
    }
    feedback.SetProgress(kProgressEnd);
    return result;
}

CGraphicExport::NResult CGraphicExport::RunClipboard(GraphicExportPage& page, ExportFeedback& feedback)
{
    // The picture of every series the export takes, made a series at a time like the one
    // file, so that no single step renders the whole folder.
    page.ShowAllParts();
    const long long width = page.GetShownWidth();
    const long long height = page.GetShownHeight();
    CPictureStack picture;
    if (width <= 0 || height <= 0 || width > INT_MAX || height > INT_MAX ||
        !picture.Create(static_cast<int>(width), static_cast<int>(height)))
    {
        feedback.ShowError(TooLarge());
        return NResult::Failed;
    }
    if (!StackParts(page, picture, static_cast<std::uint32_t>(height), feedback, TooLarge))
        return NResult::Failed;
    if (!feedback.SetClipboardImage(picture.Picture()))
    {
        feedback.ShowError(Platform::LoadString(StringId::IDS_CLIPBOARD_FAILED));
        return NResult::Failed;
    }
    return NResult::Done;
}

CGraphicExport::NResult CGraphicExport::RunFilePerSeries(GraphicExportPage& page, int formatIndex,
                                                         const QString& path, ExportFeedback& feedback)
{
    const int count = page.GetPartCount();
    const QString suffix = ExportImage::DefaultSuffix(formatIndex);
    QStringList names;
    for (int k = 1; k <= count; ++k)
        names << NumberedFileName(path, k, suffix);
    const QStringList existing = ExistingFiles(names);
    if (!existing.isEmpty() && !feedback.ConfirmReplace(existing))
        return NResult::Declined;

    for (int k = 0; k < count; ++k)
    {
        page.ShowPart(k, true);
        feedback.SetProgress(PartStep(k, count));
        feedback.SetProgressText(Format(StringId::IDS_EXPORTING, names[k]));
        QImage picture;
        CxImage part;
        if (!page.Render(&picture) || !part.CreateFromHBITMAP(picture))
        {
            feedback.ShowError(TooLarge());
            return NResult::Failed;
        }
        QString message;
        if (!ExportImage::WriteFile(part, ExportImage::FormatCode(formatIndex), names[k], &message))
        {
            // The images written so far stay.
            feedback.ShowError(message);
            return NResult::Failed;
        }
    }
    return NResult::Done;
}

CGraphicExport::NResult CGraphicExport::RunOneFile(GraphicExportPage& page, int formatIndex,
                                                   const QString& path, ExportFeedback& feedback)
{
    const QString name = WithDefaultSuffix(path, ExportImage::DefaultSuffix(formatIndex));
    // The Save As dialog asked about the chosen path; a suffix added here names another file.
    if (name != path)
    {
        const QStringList existing = ExistingFiles({name});
        if (!existing.isEmpty() && !feedback.ConfirmReplace(existing))
            return NResult::Declined;
    }
    page.ShowAllParts();
    const long long width = page.GetShownWidth();
    const long long height = page.GetShownHeight();
    feedback.SetProgressText(Format(StringId::IDS_CREATING, name));
    if (width <= 0 || height <= 0 || width > INT_MAX || height > INT_MAX)
    {
        feedback.ShowError(TooLarge());
        return NResult::Failed;
    }
    const std::uint32_t formatCode = ExportImage::FormatCode(formatIndex);
    if (formatCode == CxImage::FormatPng)
        return RunOnePng(page, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), name,
                         feedback);

    // BMP stores the bottom row first, and the encoders take a whole picture: the parts
    // are stacked into one before it is encoded.
    CxImage combined;
    if (!combined.CreateUnfilled(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height),
                                 kCombinedBpp))
    {
        feedback.ShowError(TooLarge());
        return NResult::Failed;
    }
    CxImageStack rows(combined);
    if (!StackParts(page, rows, combined.GetHeight(), feedback,
                    [&] { return ExportImage::EncodingFailed(name); }))
        return NResult::Failed;
    // The whole picture is encoded in one go.
    QString message;
    if (!feedback.RunAside([&] { return ExportImage::WriteFile(combined, formatCode, name, &message); }))
    {
        feedback.ShowError(message);
        return NResult::Failed;
    }
    return NResult::Done;
}

CGraphicExport::NResult CGraphicExport::RunOnePng(GraphicExportPage& page, std::uint32_t width,
                                                  std::uint32_t height, const QString& name,
                                                  ExportFeedback& feedback)
{
    // PNG goes from the top down: each part's rows are encoded into the file as soon as it
    // is rendered, so the whole picture is never held. The file replaces an existing one
    // only when it was written completely.
    CExportFile file;
    if (!file.Open(name))
    {
        feedback.ShowError(file.ErrorMessage());
        return NResult::Failed;
    }
    CExportFileStream stream(file);
    CxPngRowWriter png;
    const auto failure = [&]
    { return file.Failed() ? file.ErrorMessage() : ExportImage::EncodingFailed(name); };
    if (!png.Start(&stream, CxPngRowWriter::Rgb(width, height)))
    {
        feedback.ShowError(failure());
        return NResult::Failed;
    }
    if (!StackParts(page, png, height, feedback, failure))
        return NResult::Failed;
    // The file goes to the disk in one go.
    if (!feedback.RunAside([&] { return png.Finish() && stream.Flush() && file.Commit(); }))
    {
        feedback.ShowError(failure());
        return NResult::Failed;
    }
    return NResult::Done;
}
