// The run of a text export: one file, one file per series, or the clipboard.
#include "export/core/TextExport.h"

#include "export/core/ExportFeedback.h"
#include "export/core/ExportFile.h"
#include "export/core/ExportFiles.h"
#include "export/core/ExportTexts.h"
#include "platform/core/StringTable.h"
#include "resources/StringIds.h"

#include <limits>

using ExportTexts::Format;

namespace
{
// Characters gathered before they go to the file: large writes, little memory.
constexpr qsizetype kFileChunk = 1 << 18;
// The progress a one-file export reaches with its last series, and the other targets.
constexpr int kOneFileSpan = 950;
constexpr int kPerSeriesSpan = 990;
constexpr int kClipboardSpan = 1000;
constexpr int kProgressEnd = 1000;

int Step(std::size_t done, std::size_t count, int span)
{
    return count ? static_cast<int>(static_cast<long long>(done) * span / static_cast<long long>(count)) : 0;
}
} // namespace

CTextExport::CTextExport(const CVeskDoc& doc, int layout)
    : m_doc(doc), m_layout(layout == LayoutReport ? LayoutReport : LayoutTable)
{
}

template <class Flush>
bool CTextExport::Produce(const std::vector<int>& series, QString& buffer, qsizetype flushAt,
                          int progressSpan, ExportFeedback* feedback, Flush&& flush) const
{
    buffer += Header();
    for (std::size_t k = 0; k < series.size(); ++k)
    {
        if (feedback)
            feedback->SetProgress(Step(k, series.size(), progressSpan));
        if (m_layout == LayoutReport && k > 0)
            buffer += ReportSeparator();
        WriteRecord(series[k], buffer);
        if (buffer.size() >= flushAt && !flush(buffer))
            return false;
    }
    return flush(buffer);
}

QString CTextExport::BuildText(const std::vector<int>& series) const
{
    QString text;
    Produce(series, text, std::numeric_limits<qsizetype>::max(), 0, nullptr, [](QString&) { return true; });
    return text;
}

CTextExport::NResult CTextExport::Run(const std::vector<int>& series, int target, const QString& path,
                                      ExportFeedback& feedback)
{
    feedback.SetProgress(0);
    feedback.SetProgressText(Platform::LoadString(StringId::IDS_EXPORT_PREPARING));
    // Nothing chosen: say so rather than write a file without records.
    if (series.empty())
    {
        feedback.ShowNotice(Platform::LoadString(StringId::IDS_NOTHING_TO_EXPORT));
        return NResult::NothingToExport;
    }
    NResult result;
    switch (target)
    {
    case TargetOneFile:
        result = RunOneFile(series, path, feedback);
        break;
    case TargetFilePerSeries:
        result = RunFilePerSeries(series, path, feedback);
        break;
    default:
        result = RunClipboard(series, path, feedback);
        break;
    }
    feedback.SetProgress(kProgressEnd);
    return result;
}

CTextExport::NResult CTextExport::RunOneFile(const std::vector<int>& series, const QString& path,
                                             ExportFeedback& feedback) const
{
    // The Save As dialog asked about the chosen path; a suffix added here names another file.
    const QString name = WithDefaultSuffix(path, QString::fromLatin1(kDefaultSuffix));
    if (name != path)
    {
        const QStringList existing = ExistingFiles({name});
        if (!existing.isEmpty() && !feedback.ConfirmReplace(existing))
            return NResult::Declined;
    }
    feedback.SetProgressText(Format(StringId::IDS_CREATING, name));
    CExportFile file;
    bool ok = file.Open(name);
    if (ok)
    {
        QString buffer;
        buffer.reserve(kFileChunk + kFileChunk / 4);
        buffer += kByteOrderMark;
        ok = Produce(series, buffer, kFileChunk, kOneFileSpan, &feedback,
                     [&file](QString& chunk)
                     {
                         const bool written = file.WriteText(chunk);
                         chunk.resize(0);
                         return written;
                     });
        // The file goes to the disk in one go.
        ok = ok && feedback.RunAside([&file] { return file.Commit(); });
    }
    if (!ok)
    {
        feedback.ShowError(file.ErrorMessage());
        return NResult::Failed;
    }
    return NResult::Done;
}

CTextExport::NResult CTextExport::RunFilePerSeries(const std::vector<int>& series, const QString& path,
                                                   ExportFeedback& feedback) const
{
    // Numbered in export order; ask about exactly the files that will be replaced.
    QStringList names;
    for (std::size_t j = 1; j <= series.size(); ++j)
        names << NumberedFileName(path, static_cast<int>(j), QString::fromLatin1(kDefaultSuffix));
    const QStringList existing = ExistingFiles(names);
    if (!existing.isEmpty() && !feedback.ConfirmReplace(existing))
        return NResult::Declined;

    QString text;
    for (std::size_t k = 0; k < series.size(); ++k)
    {
        feedback.SetProgress(Step(k, series.size(), kPerSeriesSpan));
        feedback.SetProgressText(Format(StringId::IDS_CREATING, names[qsizetype(k)]));
        text.resize(0);
        text += kByteOrderMark;
        text += Header();
        WriteRecord(series[k], text);
        CExportFile file;
        if (!file.Open(names[qsizetype(k)]) || !file.WriteText(text) || !file.Commit())
        {
            // The files written so far stay.
            feedback.ShowError(file.ErrorMessage());
            return NResult::Failed;
        }
    }
    return NResult::Done;
}

CTextExport::NResult CTextExport::RunClipboard(const std::vector<int>& series, const QString& path,
                                               ExportFeedback& feedback) const
{
    feedback.SetProgressText(Format(StringId::IDS_CREATING, path));
    QString text;
    Produce(series, text, std::numeric_limits<qsizetype>::max(), kClipboardSpan, &feedback,
            [](QString&) { return true; });
    if (!feedback.SetClipboardText(text))
    {
        feedback.ShowError(Platform::LoadString(StringId::IDS_CLIPBOARD_FAILED));
        return NResult::Failed;
    }
    return NResult::Done;
}
