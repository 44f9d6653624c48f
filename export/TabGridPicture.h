#pragma once
#include "export/core/GraphicExport.h"
#include "seriesview/TabGrid.h"

#include <QPointer>

#include <vector>

class CVeskDoc;
class ExportFeedback;
class QLabel;

// The series page as the graphic export renders it. Made for one export: it records the
// page (row heights, open detail rows, the document's expanded flags, scroll position),
// disables it, stops its redrawing and holds its rebuilds, so that the rows stay as they
// are through the export's message boxes and progress; then it shows the series the export
// takes, all together or one at a time, with their detail rows open by the chosen content.
// The series are pairs of rows, found in the document by the entry each pair shows whenever
// a flag of the document is read or set: a series that a live reading or a download took
// away meanwhile keeps its rows, and the document is not touched for it. Whatever
// happened, the destructor puts the page back as it was; then the held rebuild runs.
// Steps that go through every series let the feedback keep the program answering; the
// page meanwhile shows what it showed before, greyed, as its grid does not redraw.
class CTabGridPicture final : public GraphicExportPage
{
public:
    enum NContent
    {
        ContentHeadersOnly = 0,
        ContentAsIs = 1,
        ContentHeadersAndDetails = 2,
    };

    // The series the export takes: all of them, or the marked ones (as the page marks them
    // for every command).
    CTabGridPicture(CTabGrid& page, CVeskDoc& doc, int content, bool allData, ExportFeedback& feedback);
    ~CTabGridPicture() override;
    CTabGridPicture(const CTabGridPicture&) = delete;
    CTabGridPicture& operator=(const CTabGridPicture&) = delete;

    int GetPartCount() const override { return static_cast<int>(m_parts.size()); }
    void ShowAllParts() override;
    void ShowPart(int part, bool withHeadings) override;
    long long GetShownWidth() const override;
    long long GetShownHeight() const override;
    bool Render(QImage* picture) override;

private:
    // Shows or hides one series; a shown series' detail row is open as the content says.
    void Show(int index, bool shown);
    bool OpenByContent(int index) const;

    CTabGrid& m_page;
    CVeskDoc& m_doc;
    ExportFeedback& m_feedback;
    CTabGrid::SRebuildHold m_hold;
    int m_content;
    // Pairs of rows.
    std::vector<int> m_parts;
    // The pairs shown now (summary row visible).
    std::vector<int> m_shown;
    // The page as it was.
    std::vector<CTabGrid::SRowState> m_rows;
    std::vector<bool> m_expandedFlags;
    int m_headerHeight;
    int m_scrollX;
    int m_scrollY;
    bool m_wasEnabled;
    // A picture of the grid as it was, over the grid.
    QPointer<QLabel> m_cover;
};
