#include "grid/GridCellMultiBmp.h"

#include "grid/GridCtrl.h"
#include "platform/gui/ImageList.h"
#include "platform/gui/SystemLook.h"

#include <climits>
#include <cmath>

using namespace Platform;

namespace
{
// The integer part of an offset, kept inside the int range (a wild offset draws nowhere
// rather than overflowing).
int Truncated(double v)
{
    if (!std::isfinite(v))
        return 0;
    return static_cast<int>(
        std::clamp(std::trunc(v), static_cast<double>(INT_MIN / 2), static_cast<double>(INT_MAX / 2)));
}
} // namespace

bool AlphaBlendBitmap(Canvas* dc, int x, int y, int width, int height, const QImage* bitmap,
                      int constantAlpha)
{
    if (!dc || !bitmap || bitmap->isNull())
        return false;
    dc->AlphaBlend(x, y, width, height, *bitmap, constantAlpha);
    return true;
}

CGridCellMultiBmp::CGridCellMultiBmp() = default;

CGridCellMultiBmp::~CGridCellMultiBmp() = default;

void CGridCellMultiBmp::InsertImage(const MULTIBMPINFO& info)
{
    // After the last placement whose key is not greater; at the front when all are.
    auto at = m_placements.end();
    while (at != m_placements.begin() && std::prev(at)->order > info.order)
        --at;
    m_placements.insert(at, info);
}

void CGridCellMultiBmp::SetImageHidden(int id, bool hidden)
{
    for (MULTIBMPINFO& info : m_placements)
    {
        if (info.id == id)
        {
            info.hidden = hidden;
            return;
        }
    }
}

Point CGridCellMultiBmp::PlaceImage(const MULTIBMPINFO& info, Size image, const Rect& rect)
{
    Point p;
    if (info.centreX)
        p.x = rect.left - image.cx / 2;
    else if (info.fromLeft)
        p.x = rect.left;
    else
        p.x = rect.left - image.cx;
    p.x += info.xPercent ? Truncated((rect.right - rect.left) / 100.0 * info.x) : Truncated(info.x);
    if (info.centreY)
        p.y = rect.top - image.cy / 2;
    else if (info.fromTop)
        p.y = rect.top;
    else
        p.y = rect.top - image.cy;
    p.y += info.yPercent ? Truncated((rect.bottom - rect.top) / 100.0 * info.y) : Truncated(info.y);
    return p;
}

bool CGridCellMultiBmp::Draw(Canvas* dc, int row, int col, Rect rect, bool eraseBackground, bool plain)
{
    if (!dc)
        return true;
    const bool printing = dc->IsPrinting();
    bool result = true;
    if (!printing)
        result = CGridCellGradient::Draw(dc, row, col, rect, eraseBackground, false);

    if (m_images)
    {
        const Size size = m_images->GetImageSize();
        const bool selected = IsSelected();
        for (const MULTIBMPINFO& info : m_placements)
        {
            if (info.hidden || !m_images->GetImage(info.id) || (printing && !info.print))
                continue;
            const Point at = PlaceImage(info, size, rect);
            if (info.alphaBlend)
                AlphaBlendBitmap(dc, at.x, at.y, size.cx, size.cy, info.bitmap, selected ? 60 : 255);
            else
                m_images->Draw(*dc, info.id, at,
                               selected && GetHighlightSelected() ? ILD_SELECTED : ILD_NORMAL);
        }
    }
    // The focus frame lies over the images.
    if (!printing)
        DrawFocusFrame(dc, row, col, rect, plain);
    return result;
}

Size CGridCellMultiBmp::GetCellExtent(Canvas* dc)
{
    Size size = CGridCellGradient::GetCellExtent(dc);
    size.cx += GetSystemMetrics(SM_CXVSCROLL);
    size.cy = std::max(size.cy, GetSystemMetrics(SM_CYHSCROLL));
    return size;
}

bool CGridCellMultiBmp::PrintCell(Canvas* dc, int row, int col, Rect rect)
{
    CGridCellBase::PrintCell(dc, row, col, rect);
    return Draw(dc, row, col, rect, true, false);
}

void CGridCellMultiBmp::OnClick(Point point)
{
    m_clickedId = -1;
    const CGridCtrl* grid = GetGrid();
    if (!grid || !m_images)
        return;
    const Rect cell{0, 0, grid->GetColumnWidth(GetColumn(), GetRow()), grid->GetRowHeight(GetRow())};
    const Size size = m_images->GetImageSize();
    for (const MULTIBMPINFO& info : m_placements)
    {
        if (info.hidden || !m_images->GetImage(info.id))
            continue;
        const Point at = PlaceImage(info, size, cell);
        if (Rect{at.x, at.y, at.x + size.cx, at.y + size.cy}.Contains(point))
        {
            m_clickedId = info.id;
            return;
        }
    }
}
