#include "export/TabGridPicture.h"

#include "document/VeskDoc.h"
#include "export/core/ExportFeedback.h"
#include "grid/GridCtrl.h"

#include <QImage>
#include <QLabel>

CTabGridPicture::CTabGridPicture(CTabGrid& page, CVeskDoc& doc, int content, bool allData,
                                 ExportFeedback& feedback)
    : m_page(page), m_doc(doc), m_feedback(feedback), m_hold(page), m_content(content)
{
    CGridCtrl& grid = *m_page.Grid();
    m_rows = m_page.SaveRowStates();
    for (size_t i = 0; i < m_rows.size(); ++i)
    {
        m_expandedFlags.push_back(m_rows[i].expanded);
        if (m_rows[i].summaryHeight > 0)
            m_shown.push_back(int(i));
    }
    if (allData)
    {
        for (size_t i = 0; i < m_rows.size(); ++i)
            m_parts.push_back(int(i));
    }
    else
    {
        m_parts = m_page.MarkedPairs();
    }
    m_headerHeight = grid.GetRowHeight(0);
    m_scrollX = grid.GetScrollPosition(SB_HORZ);
    m_scrollY = grid.GetScrollPosition(SB_VERT);
    m_wasEnabled = m_page.isEnabled();
    if (m_page.isVisible())
    {
        m_cover = new QLabel(&m_page);
        m_cover->setPixmap(grid.grab());
        m_cover->setGeometry(QRect(grid.mapTo(&m_page, QPoint(0, 0)), grid.size()));
        m_cover->show();
        m_cover->raise();
    }
    m_page.setEnabled(false);
    grid.SetRedraw(false);
}

CTabGridPicture::~CTabGridPicture()
{
    CGridCtrl& grid = *m_page.Grid();
    m_page.RestoreRowStates(m_rows, [this] { m_feedback.KeepAnswering(); });
    grid.SetRowHeight(0, m_headerHeight);
    for (size_t i = 0; i < m_expandedFlags.size(); ++i)
    {
        if (const int index = m_page.DocIndexOfPair(int(i)); index >= 0)
            m_doc.SetSeriesExpanded(index, m_expandedFlags[i]);
        m_feedback.KeepAnswering();
    }
    grid.SetRedraw(true, true);
    grid.SetScrollPosition(SB_HORZ, m_scrollX);
    grid.SetScrollPosition(SB_VERT, m_scrollY);
    delete m_cover.data();
    m_page.setEnabled(m_wasEnabled);
}

bool CTabGridPicture::OpenByContent(int index) const
{
    switch (m_content)
    {
    case ContentHeadersAndDetails:
        return true;
    case ContentAsIs:
        return m_expandedFlags[size_t(index)];
    default:
        return false;
    }
}

void CTabGridPicture::Show(int index, bool shown)
{
    m_page.Grid()->SetRowHeight(2 * index + 1, shown ? CTabGrid::kSummaryHeight : 0);
    m_page.SetSeriesOpen(index, shown && OpenByContent(index));
}

void CTabGridPicture::ShowAllParts()
{
    std::vector<bool> take(m_rows.size(), false);
    for (int index : m_parts)
        take[size_t(index)] = true;
    for (size_t i = 0; i < m_rows.size(); ++i)
    {
        Show(int(i), take[i]);
        m_feedback.KeepAnswering();
    }
    m_shown = m_parts;
    m_page.Grid()->SetRowHeight(0, CTabGrid::kHeaderHeight);
}

void CTabGridPicture::ShowPart(int part, bool withHeadings)
{
    const int index = m_parts[size_t(part)];
    // Only the rows that change are touched, so that a long export stays linear.
    for (int shown : m_shown)
        if (shown != index)
            Show(shown, false);
    Show(index, true);
    m_shown = {index};
    m_page.Grid()->SetRowHeight(0, withHeadings ? CTabGrid::kHeaderHeight : 0);
}

long long CTabGridPicture::GetShownWidth() const
{
    return m_page.Grid()->GetVirtualWidth();
}

long long CTabGridPicture::GetShownHeight() const
{
    return m_page.Grid()->GetVirtualHeight();
}

bool CTabGridPicture::Render(QImage* picture)
{
    return m_page.Grid()->RenderToBitmap(picture);
}
