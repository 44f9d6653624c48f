#include "export/core/GraphicExport.h"

#include "export/core/ExportFeedback.h"
#include "export/core/ExportFiles.h"
#include "export/core/ExportImage.h"
#include "export/core/ExportTexts.h"
#include "export/encoder/xImage.h"
#include "platform/core/StringTable.h"
#include "resources/StringIds.h"

#include <QImage>

#include <climits>

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
    page.ShowAllParts();
    QImage picture;
    if (!page.Render(&picture) || picture.isNull())
    {
        feedback.ShowError(TooLarge());
        return NResult::Failed;
    }
    if (!feedback.SetClipboardImage(picture))
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
    CxImage combined;
    if (width <= 0 || height <= 0 || width > INT_MAX || height > INT_MAX ||
        !combined.CreateUnfilled(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height),
                                 kCombinedBpp))
    {
        feedback.ShowError(TooLarge());
        return NResult::Failed;
    }
    // Only the first part carries the column headings; the parts stack up to the whole. Each
    // part goes straight into its rows of the picture; the rows are not filled before, and
    // a picture that does not end up whole is never written.
    const int count = page.GetPartCount();
    std::uint32_t filled = 0;
    QImage picture;
    for (int k = 0; k < count; ++k)
    {
        page.ShowPart(k, k == 0);
        feedback.SetProgress(PartStep(k, count));
        if (!page.Render(&picture) || picture.isNull())
        {
            feedback.ShowError(TooLarge());
            return NResult::Failed;
        }
        if (!combined.PasteRows(picture, filled))
        {
            feedback.ShowError(Platform::LoadString(StringId::IDS_PARTS_DO_NOT_FIT));
            return NResult::Failed;
        }
        filled += static_cast<std::uint32_t>(picture.height());
    }
    if (filled != combined.GetHeight())
    {
        feedback.ShowError(Platform::LoadString(StringId::IDS_PARTS_DO_NOT_FIT));
        return NResult::Failed;
    }
    QString message;
    if (!ExportImage::WriteFile(combined, ExportImage::FormatCode(formatIndex), name, &message))
    {
        feedback.ShowError(message);
        return NResult::Failed;
    }
    return NResult::Done;
}
