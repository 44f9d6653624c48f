#pragma once
#include "document/LocalTime.h"

#include <QString>

#include <unordered_map>
#include <vector>

class CVeskDoc;
class ExportFeedback;

// The text export: measurement series of the document's current folder as TAB-separated
// UTF-16 text in one of two layouts, "Table" (a header line, then one line per series) and
// "Report" (a block of keyed lines per series), to one file, to one file per series or to
// the clipboard. Files start with the byte-order mark and are UTF-16LE; clipboard text has
// no mark. Nothing reads these texts back.
//
// Every user text is escaped so that it cannot add a column or a line: TAB becomes "&#9",
// line breaks "&#13"; a comment is escaped in full (EscapeText). The separator is written
// as TAB directly, so a ';' in a name stays a ';'.
//
// Records: TextExportRecords.cpp; the run with its targets: TextExport.cpp.
class CTextExport
{
public:
    enum NLayout
    {
        LayoutTable = 0,
        LayoutReport = 1,
    };
    enum NTarget
    {
        TargetOneFile = 0,
        TargetFilePerSeries = 1,
        TargetClipboard = 2,
    };
    enum class NResult
    {
        Done,
        NothingToExport,
        Declined, // the user kept the existing files
        Failed,   // a message told why
    };

    static constexpr char16_t kByteOrderMark = 0xFEFF;
    static constexpr const char* kDefaultSuffix = "csv";

    // Reads the series through the document, which must outlive the export.
    CTextExport(const CVeskDoc& doc, int layout);

    // Exports the series (indices into the current folder, in the order given) to the
    // target. The path is the chosen file (unused for the clipboard); one file per series
    // numbers it ("Export.csv" -> "Export1.csv", "Export2.csv", ...). Files that the
    // export replaces, other than the chosen path of a one-file export (the Save As
    // dialog asked about it), are confirmed through the feedback first.
    NResult Run(const std::vector<int>& series, int target, const QString& path, ExportFeedback& feedback);

    // Header record: the Table layout's column titles; empty for the Report layout.
    const QString& Header() const;
    // Appends the record of one series in the layout.
    void WriteRecord(int index, QString& out) const;
    void WriteTableRecord(int index, QString& out) const;
    void WriteReportRecord(int index, QString& out) const;
    // The text of one file or of the clipboard without the mark: header, then the records
    // with the Report layout's separator between them.
    QString BuildText(const std::vector<int>& series) const;

    // Escaping of user texts. With escapeMarkup (a comment): "&" -> "&amp", CR LF, LF and
    // CR -> "&#13", '"' -> "&quot", TAB -> "&#9"; without: only TAB and the line breaks.
    static QString EscapeText(const QString& text, bool escapeMarkup = true);
    // Between two Report records of one text: 445 characters of line breaks and dashes.
    static const QString& ReportSeparator();

private:
    // Appends header and records to the buffer; whenever the buffer holds at least
    // flushAt characters, and at the end, `flush` takes it over (false stops the run).
    template <class Flush>
    bool Produce(const std::vector<int>& series, QString& buffer, qsizetype flushAt, int progressSpan,
                 ExportFeedback* feedback, Flush&& flush) const;
    NResult RunOneFile(const std::vector<int>& series, const QString& path, ExportFeedback& feedback) const;
    NResult RunFilePerSeries(const std::vector<int>& series, const QString& path,
                             ExportFeedback& feedback) const;
    NResult RunClipboard(const std::vector<int>& series, const QString& path, ExportFeedback& feedback) const;

    // The untranslated text of an impact direction, worked out once per export.
    const QString& DirectionText(int angle) const;

    const CVeskDoc& m_doc;
    int m_layout;
    // The shown times of the days met so far.
    mutable CShownTimes m_times;
    mutable std::unordered_map<int, QString> m_directionTexts;
};
