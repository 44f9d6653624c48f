#include "grid/GridCtrl.h"

#include "grid/PageText.h"
#include "platform/core/StringTable.h"
#include "platform/gui/DateTimePicture.h"
#include "platform/gui/PrintJob.h"
#include "resources/StringIds.h"

#include <QDateTime>
#include <QPrinter>

using namespace Platform;

namespace
{
// The application's title among the string resources.

int MulDiv(int a, int b, int c)
{
    if (c == 0)
        return -1;
    const long long product = static_cast<long long>(a) * b;
    const long long half = (c > 0 ? c : -c) / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}
} // namespace

void CGridCtrl::Print(const GRIDPRINTTEXTS* texts,
                      const std::function<void(int page, int pageCount)>& beforePage)
{
    QPrinter printer(QPrinter::HighResolution);
    bool selectionOnly = false;
    if (!GetPrintDialogService().Run(this, printer, true, &selectionOnly))
        return;

    QString documentName = LoadString(StringId::AFX_IDS_APP_TITLE);
    for (QWidget* w = parentWidget(); documentName.isEmpty() && w; w = w->parentWidget())
        documentName = w->windowTitle();

    PrintJob job(printer);
    if (!job.StartDoc(documentName))
        return;
    Canvas* dc = job.GetCanvas();
    GridPrintInfo info;
    info.drawRect = {0, 0, dc->GetDeviceCaps(HORZRES), dc->GetDeviceCaps(VERTRES)};
    OnBeginPrinting(dc, &info, selectionOnly);
    bool ok = true;
    for (int page = 1; page <= m_print.pageCount && ok; ++page)
    {
        if (beforePage)
            beforePage(page, m_print.pageCount);
        info.currentPage = page;
        ok = job.StartPage();
        if (!ok)
            break;
        OnPrint(dc, &info, texts, selectionOnly);
        ok = job.EndPage() > 0;
    }
    OnEndPrinting(dc, &info);
    if (ok)
        job.EndDoc();
    else
        job.AbortDoc();
}

bool CGridCtrl::RowPrints(int row, bool selectionOnly) const
{
    if (!selectionOnly)
        return true;
    const CGridCellBase* cell = GetCell(row, 1);
    return cell && cell->IsSelected();
}

std::vector<int> CGridCtrl::LayoutPrintPages(bool selectionOnly, int availableHeight) const
{
    // A page starts with the row that would pass the available height, unless the page
    // has no rows yet: a row taller than a page gets a page of its own (and is clipped),
    // and without any room every row still prints, one per page.
    std::vector<int> firstRows;
    int sum = 0;
    for (int row = m_fixedRows; row < m_rowCount; ++row)
    {
        if (!RowPrints(row, selectionOnly))
            continue;
        const int h = m_rowHeights[static_cast<size_t>(row)];
        if (firstRows.empty())
        {
            firstRows.push_back(row);
            sum = h;
        }
        else if (h > 0 && sum + h > availableHeight)
        {
            firstRows.push_back(row);
            sum = h;
        }
        else
        {
            sum += h;
        }
    }
    if (firstRows.empty())
        firstRows.push_back(m_rowCount);
    return firstRows;
}

void CGridCtrl::OnBeginPrinting(Canvas* dc, GridPrintInfo* info, bool selectionOnly)
{
    if (!dc)
        return;
    LogFont lf;
    lf.height = -11;
    lf.weight = 400;
    lf.faceName = QStringLiteral("Arial");
    m_print.font = Font(lf);
    const Font oldFont = dc->SelectFont(m_print.font);

    // 52 characters measured: the literal's last letter is not.
    static const QString measure = QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSATUVWXYZ");
    const Size extent = dc->GetTextExtent(QStringView(measure).left(52));
    m_print.charWidth = extent.cx / 52;
    m_print.lineHeight = extent.cy;

    const int horzRes = dc->GetDeviceCaps(HORZRES);
    const int vertRes = dc->GetDeviceCaps(VERTRES);
    m_print.printerPage = {horzRes, vertRes};
    const long long width =
        (m_print.leftMargin + m_print.rightMargin) * m_print.charWidth + GetVirtualWidth();
    m_print.logicalPage.cx = static_cast<int>(std::clamp<long long>(width, 1, INT_MAX / 4));
    m_print.logicalPage.cy = std::max(1, MulDiv(m_print.logicalPage.cx, vertRes, std::max(1, horzRes)));
    m_print.availableHeight =
        m_print.logicalPage.cy -
        (m_print.headerLines + 2 * m_print.gapLines + m_print.footerLines) * m_print.lineHeight -
        GetFixedRowHeight();
    m_print.availableWidth = m_print.logicalPage.cx - GetFixedColumnWidth() -
                             (m_print.leftMargin + m_print.rightMargin) * m_print.charWidth;
    m_print.firstColumn = m_fixedCols;
    m_print.pageFirstRows = LayoutPrintPages(selectionOnly, m_print.availableHeight);
    m_print.pageCount = static_cast<int>(m_print.pageFirstRows.size());
    if (info)
    {
        info->maxPage = m_print.pageCount;
        info->currentPage = 1;
    }
    dc->SelectFont(oldFont);
}

void CGridCtrl::OnPrint(Canvas* dc, GridPrintInfo* info, const GRIDPRINTTEXTS* texts, bool selectionOnly)
{
    if (!dc || !info || m_print.pageFirstRows.empty())
        return;
    const Font oldFont = dc->SelectFont(m_print.font);
    dc->SetMapMode(MM_ANISOTROPIC);
    dc->SetWindowExt(m_print.logicalPage);
    dc->SetViewportExt(m_print.printerPage);

    const int lh = m_print.lineHeight;
    const int marginLeft = m_print.leftMargin * m_print.charWidth;
    const int fixedH = GetFixedRowHeight();
    dc->SetWindowOrg({-marginLeft, 0});
    info->drawRect = {0, 0,
                      m_print.logicalPage.cx - (m_print.leftMargin + m_print.rightMargin) * m_print.charWidth,
                      m_print.headerLines * lh};
    PrintHeader(dc, info, texts);

    dc->SetWindowOrg({-marginLeft, -(m_print.headerLines + m_print.gapLines) * lh - fixedH});

    const int pageIndex = std::clamp(info->currentPage, 1, m_print.pageCount) - 1;
    const int firstRow = m_print.pageFirstRows[static_cast<size_t>(pageIndex)];
    const int endRow = pageIndex + 1 < m_print.pageCount
                           ? m_print.pageFirstRows[static_cast<size_t>(pageIndex) + 1]
                           : m_rowCount;

    // The headings on every page.
    bool firstColumnFlag = true;
    if (m_rowCount > 0)
        PrintRowCells(0, m_colCount, 0, {0, -fixedH, 0, 0}, dc, firstColumnFlag);

    struct PrintedCell
    {
        Rect rect;
        int col;
    };
    std::vector<PrintedCell> printed;
    int y = 0;
    dc->SaveDC();
    // A row taller than the page is cut at the page's end.
    dc->IntersectClipRect({-marginLeft, 0, m_print.logicalPage.cx, m_print.availableHeight + 1});
    for (int row = firstRow; row < endRow; ++row)
    {
        if (!RowPrints(row, selectionOnly))
            continue;
        const int h = m_rowHeights[static_cast<size_t>(row)];
        const int top = y;
        const int bottom = y + h - 1;
        if (bottom > m_print.availableHeight && row != firstRow)
            break;
        int x = 0;
        for (int col = m_print.firstColumn; col < m_colCount; ++col)
        {
            const int w = GetColumnWidth(col, row);
            if (w <= 0)
                continue;
            const Rect rect{x, top, x + w - 1, bottom};
            if (rect.right > m_print.availableWidth)
                break;
            if (CGridCellBase* cell = GetCell(row, col))
                cell->PrintCell(dc, row, col, rect);
            if (h > 0)
                printed.push_back({rect, col});
            x = rect.right + 1;
        }
        y = bottom + 1;
    }
    dc->RestoreDC(-1);

    dc->SelectPen(Pen::Solid(1, m_gridLineColor));
    for (const PrintedCell& cell : printed)
    {
        const Rect& r = cell.rect;
        dc->MoveTo(r.left, r.bottom);
        dc->LineTo(r.right + 1, r.bottom);
        dc->MoveTo(r.right, r.top);
        dc->LineTo(r.right, r.bottom + 1);
        if (cell.col == 0)
        {
            dc->MoveTo(r.left, r.top);
            dc->LineTo(r.left, r.bottom + 1);
        }
    }
    dc->SelectPen(Pen::Null());

    info->drawRect.bottom = m_print.footerLines * lh;
    dc->SetWindowOrg({-marginLeft, m_print.footerLines * lh - m_print.logicalPage.cy});
    PrintFooter(dc, info, texts);

    dc->SetWindowOrg({0, 0});
    dc->SetMapMode(MM_TEXT);
    dc->SelectFont(oldFont);
}

void CGridCtrl::OnEndPrinting(Canvas*, GridPrintInfo*)
{
    m_print.font = Font();
    m_print.pageFirstRows.clear();
}

void CGridCtrl::PrintRowCells(int firstCol, int endCol, int row, const Rect& rect, Canvas* dc,
                              bool& firstColumnFlag)
{
    if (!dc)
        return;
    const int top = rect.top;
    const int bottom = rect.bottom - 1;
    int previousRight = rect.right - 1;
    std::vector<Rect> printed;
    for (int col = firstCol; col < endCol; ++col)
    {
        const int w = GetColumnWidth(col, row);
        if (w <= 0)
            continue;
        const Rect cellRect{previousRight + 1, top, previousRight + w, bottom};
        if (cellRect.right > m_print.availableWidth)
            break;
        if (CGridCellBase* cell = GetCell(row, col))
            cell->PrintCell(dc, row, col, cellRect);
        printed.push_back(cellRect);
        previousRight = cellRect.right;
    }
    const Pen oldPen = dc->SelectPen(Pen::Solid(1, m_gridLineColor));
    for (const Rect& r : printed)
    {
        dc->MoveTo(r.left, r.bottom);
        dc->LineTo(r.right + 1, r.bottom);
        if (row == 0)
        {
            dc->MoveTo(r.left, r.top);
            dc->LineTo(r.right + 1, r.top);
        }
        dc->MoveTo(r.right, r.top);
        dc->LineTo(r.right, r.bottom + 1);
        if (firstColumnFlag)
        {
            dc->MoveTo(r.left, r.top);
            dc->LineTo(r.left, r.bottom + 1);
            firstColumnFlag = false;
        }
    }
    dc->SelectPen(oldPen);
}

void CGridCtrl::PrintColumnHeadings(Canvas* dc, GridPrintInfo*)
{
    int top = -GetFixedRowHeight();
    for (int row = 0; row < m_fixedRows; ++row)
    {
        const int h = m_rowHeights[static_cast<size_t>(row)];
        bool firstColumnFlag = true;
        int right = 0;
        if (m_print.firstColumn >= m_fixedCols)
        {
            PrintRowCells(0, m_fixedCols, row, {0, top, 0, top + h}, dc, firstColumnFlag);
            right = GetFixedColumnWidth();
        }
        PrintRowCells(m_print.firstColumn, m_colCount, row, {0, top, right, top + h}, dc, firstColumnFlag);
        top += h;
    }
}

void CGridCtrl::PrintRowButtons(Canvas* dc, GridPrintInfo* info, bool selectionOnly)
{
    if (!dc || !info || m_print.pageFirstRows.empty())
        return;
    const int pageIndex = std::clamp(info->currentPage, 1, m_print.pageCount) - 1;
    const int endRow = pageIndex + 1 < m_print.pageCount
                           ? m_print.pageFirstRows[static_cast<size_t>(pageIndex) + 1]
                           : m_rowCount;
    std::vector<Rect> printed;
    int y = 0;
    for (int row = m_print.pageFirstRows[static_cast<size_t>(pageIndex)]; row < endRow; ++row)
    {
        if (!RowPrints(row, selectionOnly))
            continue;
        const int h = m_rowHeights[static_cast<size_t>(row)];
        if (y + h - 1 > m_print.availableHeight)
            break;
        int x = -GetFixedColumnWidth();
        for (int col = 0; col < m_fixedCols; ++col)
        {
            const int w = m_colWidths[static_cast<size_t>(col)];
            if (w <= 0)
                continue;
            const Rect rect{x, y, x + w - 1, y + h - 1};
            if (CGridCellBase* cell = GetCell(row, col))
                cell->PrintCell(dc, row, col, rect);
            printed.push_back(rect);
            x += w;
        }
        y += h;
    }
    const Pen oldPen = dc->SelectPen(Pen::Solid(1, m_gridLineColor));
    for (const Rect& r : printed)
    {
        dc->MoveTo(r.left, r.bottom);
        dc->LineTo(r.right + 1, r.bottom);
        dc->MoveTo(r.right, r.top);
        dc->LineTo(r.right, r.bottom + 1);
    }
    dc->SelectPen(oldPen);
}

void CGridCtrl::PrintHeader(Canvas* dc, GridPrintInfo* info, const GRIDPRINTTEXTS* texts)
{
    if (!dc || !info)
        return;
    const GRIDPRINTTEXTS none;
    const GRIDPRINTTEXTS& t = texts ? *texts : none;
    const QString right = t.headerRight.isEmpty() ? LoadString(StringId::AFX_IDS_APP_TITLE) : t.headerRight;

    LogFont bold = m_print.font.GetLogFont();
    bold.weight = 700;
    dc->SaveDC();
    dc->SelectFont(Font(bold));
    dc->SetBkMode(TRANSPARENT);
    const unsigned format = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;
    Rect rect = info->drawRect;
    dc->DrawText(t.headerCentre, &rect, format | DT_CENTER);
    rect = info->drawRect;
    dc->DrawText(right, &rect, format | DT_RIGHT);
    rect = info->drawRect;
    dc->DrawText(t.headerLeft, &rect, format | DT_LEFT);
    dc->RestoreDC(-1);

    const Pen oldPen = dc->SelectPen(Pen::Black());
    dc->MoveTo(info->drawRect.left, info->drawRect.bottom);
    dc->LineTo(info->drawRect.right, info->drawRect.bottom);
    dc->SelectPen(oldPen);
}

void CGridCtrl::PrintFooter(Canvas* dc, GridPrintInfo* info, const GRIDPRINTTEXTS* texts)
{
    if (!dc || !info)
        return;
    const GRIDPRINTTEXTS none;
    const GRIDPRINTTEXTS& t = texts ? *texts : none;
    const QString pageText = FormatPageText(LoadString(t.pageFormatId), info->currentPage, info->maxPage);
    const QDateTime now = QDateTime::currentDateTime();
    const QString dateTime = FormatDatePicture(now.date(), LoadString(t.dateFormatId)) + u' ' +
                             FormatTimePicture(now.time(), LoadString(t.timeFormatId));

    const Pen oldPen = dc->SelectPen(Pen::Black());
    dc->MoveTo(info->drawRect.left, info->drawRect.top);
    dc->LineTo(info->drawRect.right, info->drawRect.top);
    dc->SelectPen(oldPen);

    LogFont bold = m_print.font.GetLogFont();
    bold.weight = 700;
    dc->SaveDC();
    dc->SelectFont(Font(bold));
    dc->SetBkMode(TRANSPARENT);
    dc->SetTextColor(0);
    const unsigned format = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;
    Rect rect = info->drawRect;
    dc->DrawText(pageText, &rect, format | DT_LEFT);
    rect = info->drawRect;
    dc->DrawText(t.title, &rect, format | DT_CENTER);
    rect = info->drawRect;
    dc->DrawText(dateTime, &rect, format | DT_RIGHT);
    dc->RestoreDC(-1);
}
