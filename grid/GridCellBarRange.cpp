#include "grid/GridCellBarRange.h"

#include "grid/GridDefaultCell.h"
#include "platform/gui/SystemLook.h"

#include <climits>
#include <cmath>

using namespace Platform;

CGridCellBarRange::CGridCellBarRange() = default;

CGridCellBarRange::~CGridCellBarRange() = default;

int CGridCellBarRange::ValueToX(double value, const Rect& rect, bool clamp) const
{
    if (clamp)
    {
        value = std::min(value, m_max);
        value = std::max(value, m_min);
    }
    const double span = m_max - m_min;
    // An empty range has no scale to place a value on.
    if (!(span != 0.0) || !std::isfinite(span))
        return rect.left;
    const double x = rect.left + rect.Width() * (value - m_min) / span;
    if (!std::isfinite(x))
        return rect.left;
    return static_cast<int>(
        std::clamp(std::trunc(x), static_cast<double>(INT_MIN / 2), static_cast<double>(INT_MAX / 2)));
}

bool CGridCellBarRange::Draw(Canvas* dc, int row, int col, Rect rect, bool, bool plain)
{
    if (!dc)
        return true;
    if (rect.IsEmpty())
        return false;
    const CGridDefaultCell* def = GetDefaultCell();
    if (!def)
        return false;
    dc->SaveDC();
    dc->SetBkMode(TRANSPARENT);

    const bool selected = IsSelected() && !plain;
    ColorRef marker = IsFixed() ? def->GetTextClr() : GetTextClr();
    if (selected)
        marker = 0xFFFFFF - marker;

    DrawBackground(dc, row, col, rect, plain);
    DrawFocusFrame(dc, row, col, rect, plain);
    if (!dc->IsPrinting())
    {
        if (const Font* font = GetFontObject())
            dc->SelectFont(*font);
    }

    const bool focused = IsFocused() && !plain;
    // A focused cell keeps its frame free: bands shrink by a pixel on every side, but stay
    // at the right edge unless that is where the frame runs.
    auto adjust = [&](Rect band)
    {
        if (focused)
        {
            band.Inflate(-1, -1);
            if (band.right != rect.right - 1)
                band.right += 1;
        }
        return band;
    };
    auto fillBand = [&](double low, double high, ColorRef color, ColorRef selectedColor)
    {
        const Rect band = adjust({ValueToX(low, rect), rect.top, ValueToX(high, rect), rect.bottom});
        dc->FillSolidRect(band, selected ? selectedColor : color);
    };
    if (!m_band2Hidden)
        fillBand(m_band2Low, m_band2High, m_band2, m_band2Selected);
    if (!m_band1Hidden)
        fillBand(m_band1Low, m_band1High, m_band1, m_band1Selected);

    if (!m_band2Hidden)
    {
        int low = ValueToX(m_band2Low, rect);
        int high = ValueToX(m_band2High, rect);
        if (!m_band1Hidden)
        {
            low = std::max(low, ValueToX(m_band1Low, rect, false));
            high = std::min(high, ValueToX(m_band1High, rect, false));
        }
        const Rect overlap = adjust({low, rect.top, high, rect.bottom});
        if (overlap.right > overlap.left)
            dc->FillSolidRect(overlap, selected ? m_overlapSelected : m_overlap);
    }

    const int p = ValueToX(m_value, rect);
    Rect textRect = rect;
    if (!m_markerHidden)
    {
        const Pen old = dc->SelectPen(Pen::Solid(1, marker));
        for (int k = 0; k <= 4; ++k)
        {
            const int from = std::max(p - 4 + k, rect.left);
            const int to = std::min(p + 5 - k, rect.right);
            dc->MoveTo(from, rect.top + k);
            dc->LineTo(to, rect.top + k);
            dc->MoveTo(from, rect.bottom - 1 - k);
            dc->LineTo(to, rect.bottom - 1 - k);
        }
        dc->SelectPen(old);
        const int half = std::min(rect.right - p, p - rect.left);
        textRect = {p - half, rect.top, p + half, rect.bottom};
    }
    DrawText(dc, row, col, textRect, plain);
    dc->RestoreDC(-1);
    return true;
}

Size CGridCellBarRange::GetCellExtent(Canvas* dc)
{
    Size size = CGridCell::GetCellExtent(dc);
    size.cx += GetSystemMetrics(SM_CXVSCROLL);
    size.cy = std::max(size.cy, GetSystemMetrics(SM_CYHSCROLL));
    return size;
}

bool CGridCellBarRange::PrintCell(Canvas* dc, int row, int col, Rect rect)
{
    Draw(dc, row, col, rect, true, true);
    return true;
}
