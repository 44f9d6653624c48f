#include "grid/GridCellBase.h"

#include "grid/GridCtrl.h"
#include "grid/GridDefaultCell.h"
#include "platform/gui/SystemLook.h"

using namespace Platform;

CGridCellBase::CGridCellBase() = default;

CGridCellBase::~CGridCellBase() = default;

CGridCellBase& CGridCellBase::operator=(const CGridCellBase& source)
{
    if (this == &source)
        return *this;
    SetGrid(source.GetGrid());
    SetText(source.GetText());
    SetImage(source.GetImage());
    SetData(source.GetData());
    SetState(source.GetState());
    SetFormat(source.GetFormat());
    SetTextClr(source.GetTextClr());
    SetBackClr(source.GetBackClr());
    SetFont(source.IsDefaultFont() ? nullptr : source.GetFont());
    SetMargin(source.GetMargin());
    SetMergeRange(source.GetMergeFirst(), source.GetMergeLast());
    m_fitKeep = -1;
    m_fitWidth = -1;
    m_textHeight = -1;
    return *this;
}

void CGridCellBase::Reset()
{
    m_state = 0;
    m_mergeFirst = -1;
    m_mergeLast = -1;
    m_fitKeep = -1;
    m_fitEnding = 3;
    m_fitWidth = -1;
    m_textHeight = -1;
}

CGridDefaultCell* CGridCellBase::GetDefaultCell() const
{
    CGridCtrl* grid = GetGrid();
    return grid ? grid->GetDefaultCell(IsFixedRow(), IsFixedCol()) : nullptr;
}

bool CGridCellBase::IsFocusedInSpan(int row) const
{
    CGridCtrl* grid = GetGrid();
    if (IsMerged() && grid)
    {
        for (int col = m_mergeFirst; col <= m_mergeLast; ++col)
        {
            const CGridCellBase* cell = grid->GetCell(row, col);
            if (cell && cell->IsFocused())
                return true;
        }
    }
    return IsFocused();
}

const CGridCellBase* CGridCellBase::ColourCell() const
{
    if (!IsFixed())
        return this;
    return GetDefaultCell();
}

void CGridCellBase::DrawRaisedEdge(Canvas* dc, const Rect& rect) const
{
    const Pen old = dc->SelectPen(Pen::Solid(1, GetSysColor(COLOR_BTNHIGHLIGHT)));
    dc->MoveTo(rect.right, rect.top);
    dc->LineTo(rect.left, rect.top);
    dc->LineTo(rect.left, rect.bottom);
    dc->SelectPen(Pen::Solid(1, GetSysColor(COLOR_3DDKSHADOW)));
    dc->MoveTo(rect.right, rect.top);
    dc->LineTo(rect.right, rect.bottom);
    dc->LineTo(rect.left, rect.bottom);
    dc->SelectPen(old);
}

bool CGridCellBase::DrawBackground(Canvas* dc, int, int, Rect rect, bool plain)
{
    const CGridDefaultCell* def = GetDefaultCell();
    if (IsFixed() && !def)
        return false;
    ColorRef color;
    if (IsFixed())
        color = def->GetBackClr();
    else if (dc->IsPrinting())
        color = GetBackClrForPrint();
    else
        color = GetBackClr();
    if (IsSelected() && !plain && GetHighlightSelected())
        color = 0xFFFFFF - color;
    dc->FillRect(rect, Brush::Solid(color));
    if (IsFixed() && GetGrid()->GetGridLines() != GVL_NONE)
        DrawRaisedEdge(dc, rect);
    return true;
}

bool CGridCellBase::DrawFocusFrame(Canvas* dc, int row, int, Rect rect, bool plain)
{
    if (!GetShowFocusFrame())
        return true;
    const CGridCellBase* colourCell = ColourCell();
    if (!colourCell)
        return false;
    ColorRef color = colourCell->GetTextClr();
    if (IsSelected() && !plain)
        color = 0xFFFFFF - color;
    if (GetGrid()->GetGridLines() == GVL_NONE)
    {
        rect.right++;
        rect.bottom++;
    }
    if ((IsFocusedInSpan(row) || IsDropHighlighted()) && !plain)
        dc->FrameRect(rect, Brush::Solid(color));
    return true;
}

bool CGridCellBase::DrawImage(Canvas*, int, int, Rect, bool)
{
    // Cells of this program carry no images of the grid's own; image cells draw theirs.
    return true;
}

bool CGridCellBase::DrawSortArrow(Canvas* dc, int row, int col, Rect rect, bool)
{
    CGridCtrl* grid = GetGrid();
    if (row != 0 || !grid || col != grid->GetSortColumn())
        return true;
    const int cx = rect.left + (rect.right - rect.left) / 2;
    Point points[3];
    if (grid->GetSortAscending())
    {
        points[0] = {cx - 4, rect.top + 5};
        points[1] = {cx + 4, rect.top + 5};
        points[2] = {cx, rect.top + 1};
    }
    else
    {
        points[0] = {cx - 4, rect.top + 1};
        points[1] = {cx + 4, rect.top + 1};
        points[2] = {cx, rect.top + 5};
    }
    const Pen oldPen = dc->SelectPen(Pen::Solid(1, 0));
    const Brush oldBrush = dc->SelectBrush(Brush::Solid(0xFF0000));
    dc->Polygon(points, 3);
    dc->SelectBrush(oldBrush);
    dc->SelectPen(oldPen);
    return true;
}

QString CGridCellBase::FitText(Canvas* dc, const QString& text, int width)
{
    const int length = static_cast<int>(text.size());
    if (m_fitWidth != width || m_fitKeep == -1)
    {
        m_fitWidth = width;
        m_fitKeep = length;
        if (dc->GetTextExtent(text).cx >= width)
        {
            if (width < dc->GetTextExtent(u".").cx)
            {
                m_fitKeep = 0;
                m_fitEnding = 0;
            }
            else if (width < dc->GetTextExtent(u"..").cx)
            {
                m_fitKeep = 0;
                m_fitEnding = 1;
            }
            else if (width < dc->GetTextExtent(u"...").cx)
            {
                m_fitKeep = 0;
                m_fitEnding = 2;
            }
            else
            {
                m_fitEnding = 3;
                const int dots = dc->GetTextExtent(u"...").cx;
                // Starting two characters shorter: a text one character too long for the
                // rectangle would not fit with the ending either.
                for (int n = length - 2; n >= 0; --n)
                {
                    if (dc->GetTextExtent(QStringView(text).left(n)).cx + dots <= width)
                    {
                        m_fitKeep = n;
                        break;
                    }
                }
            }
        }
    }
    if (m_fitKeep >= length)
        return text;
    static const QString endings[] = {QString(), QStringLiteral("."), QStringLiteral(".."),
                                      QStringLiteral("...")};
    return text.left(m_fitKeep) + endings[std::clamp(m_fitEnding, 0, 3)];
}

bool CGridCellBase::DrawText(Canvas* dc, int, int, Rect rect, bool plain)
{
    const CGridCellBase* colourCell = ColourCell();
    if (!colourCell)
        return false;
    ColorRef color = colourCell->GetTextClr();
    if (IsSelected() && !plain && GetHighlightSelected())
        color = 0xFFFFFF - color;
    dc->SetTextColor(color);
    if (!dc->IsPrinting())
    {
        if (const Font* font = GetFontObject())
            dc->SelectFont(*font);
    }
    const int margin = GetMargin();
    rect.left += margin;
    rect.right -= margin;
    GetTextRect(&rect);
    rect.right++;
    rect.bottom++;

    const QString shown = FitText(dc, GetShownText(), rect.Width());
    if (m_textHeight < 0)
        m_textHeight = dc->GetTextExtent(u"a").cy;
    const int y = ((rect.top + rect.bottom) >> 1) - (m_textHeight >> 1);
    const unsigned format = GetFormat();
    int x;
    if (format & DT_RIGHT)
    {
        dc->SetTextAlign(TA_RIGHT);
        x = rect.right;
    }
    else if (format & DT_CENTER)
    {
        dc->SetTextAlign(TA_CENTER);
        x = (rect.left + rect.right) >> 1;
    }
    else
    {
        dc->SetTextAlign(TA_LEFT);
        x = rect.left;
    }
    dc->TextOut(x, y - 1, shown);
    return true;
}

bool CGridCellBase::Draw(Canvas* dc, int row, int col, Rect rect, bool, bool plain)
{
    if (!GetGrid() || !dc || rect.Width() <= 0 || rect.Height() <= 0)
        return false;
    dc->SaveDC();
    dc->SetBkMode(TRANSPARENT);
    DrawBackground(dc, row, col, rect, plain);
    DrawFocusFrame(dc, row, col, rect, plain);
    DrawImage(dc, row, col, rect, plain);
    DrawSortArrow(dc, row, col, rect, plain);
    DrawText(dc, row, col, rect, plain);
    dc->RestoreDC(-1);
    return true;
}

bool CGridCellBase::GetTextRect(Rect*) const
{
    return true;
}

Size CGridCellBase::GetTextExtent(const QString& text, Canvas* dc)
{
    const CGridDefaultCell* def = GetDefaultCell();
    const Size fallback = def ? Size{def->GetWidth(), def->GetHeight()} : Size{};
    if (text.isEmpty())
        return fallback;
    if (!dc)
    {
        if (CGridCtrl* grid = GetGrid())
            dc = grid->GetMeasureCanvas();
        if (!dc)
            return fallback;
    }
    const Font oldFont = dc->GetFont();
    if (const Font* font = GetFontObject())
        dc->SelectFont(*font);

    const unsigned format = GetFormat();
    Size size;
    if ((format & DT_WORDBREAK) && !(format & DT_SINGLELINE))
    {
        int widest = 0;
        for (const QString& line : text.split(u'\n'))
            widest = std::max(widest, dc->GetTextExtent(line).cx);
        Rect rect{0, 0, widest + 1, 0};
        dc->DrawText(text, &rect, format | DT_CALCRECT);
        size = {rect.Width(), rect.Height()};
    }
    else
    {
        size = dc->GetTextExtent(text);
    }
    dc->SelectFont(oldFont);

    const int margin = GetMargin();
    size.cx += 2 * margin;
    size.cy += 2 * margin;
    const LogFont* font = GetFont();
    if (font && (font->escapement == 900 || font->escapement == -900))
        size = {size.cy, size.cx + 4 * margin};
    return size;
}

Size CGridCellBase::GetCellExtent(Canvas* dc)
{
    Size size = GetTextExtent(GetText(), dc);
    size.cx += 1;
    size.cy += 1;
    if (IsFixed())
    {
        size.cx += 1;
        size.cy += 1;
    }
    return size;
}

bool CGridCellBase::Edit(int, int, Rect, Point, int, int)
{
    return false;
}

bool CGridCellBase::PrintCell(Canvas* dc, int row, int col, Rect rect)
{
    CGridCtrl* grid = GetGrid();
    if (!grid || !dc || rect.IsEmpty())
        return false;
    dc->SaveDC();
    dc->SetBkMode(TRANSPARENT);
    const CGridDefaultCell* def = GetDefaultCell();
    ColorRef back = GetBackClrForPrint();
    ColorRef text = GetTextClrForPrint();
    if (IsFixed() && back == 0xFFFFFF && def)
    {
        back = def->GetBackClrForPrint();
        text = def->GetTextClr();
    }
    if (back != 0xFFFFFF)
        dc->FillRect({rect.left, rect.top, rect.right + 1, rect.bottom + 1}, Brush::Solid(back));
    if (IsFixed() && grid->GetGridLines() != GVL_NONE)
    {
        DrawRaisedEdge(dc, rect);
        rect.Inflate(-1, -1);
    }
    const int margin = GetMargin();
    rect.left += margin;
    rect.right -= margin;
    dc->SetTextColor(text);
    dc->DrawText(GetText(), &rect, GetFormat() | DT_NOPREFIX);
    DrawSortArrow(dc, row, col, rect, false);
    dc->RestoreDC(-1);
    return true;
}

bool CGridCellBase::OnSetCursor()
{
    if (CGridCtrl* grid = GetGrid())
        grid->SetCellCursor(Qt::ArrowCursor);
    return true;
}

ColorRef CGridCellBase::GetTextClrForPrint() const
{
    const CGridCtrl* grid = GetGrid();
    if (!grid)
        return 0xFFFFFF;
    return grid->GetUsePrintColors() ? GetPrintTextClr() : GetTextClr();
}

ColorRef CGridCellBase::GetBackClrForPrint() const
{
    const CGridCtrl* grid = GetGrid();
    if (!grid)
        return 0xFFFFFF;
    return grid->GetUsePrintColors() ? GetPrintBackClr() : GetBackClr();
}

void CGridCellBase::RequestPostDraw()
{
    if (CGridCtrl* grid = GetGrid())
        grid->AddToPostDrawList(this);
}
