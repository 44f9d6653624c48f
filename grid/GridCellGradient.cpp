#include "grid/GridCellGradient.h"

#include "platform/gui/SystemLook.h"

using namespace Platform;

namespace
{
ColorRef Halved(ColorRef color)
{
    return (color >> 1) & 0x7F7F7F;
}
} // namespace

CGridCellGradient::CGridCellGradient() = default;

CGridCellGradient::~CGridCellGradient() = default;

ColorRef CGridCellGradient::SetTopLeftColor(ColorRef color)
{
    return std::exchange(m_topLeft, color);
}

ColorRef CGridCellGradient::SetTopRightColor(ColorRef color)
{
    return std::exchange(m_topRight, color);
}

ColorRef CGridCellGradient::SetBottomLeftColor(ColorRef color)
{
    return std::exchange(m_bottomLeft, color);
}

ColorRef CGridCellGradient::SetBottomRightColor(ColorRef color)
{
    return std::exchange(m_bottomRight, color);
}

bool CGridCellGradient::DrawBackground(Canvas* dc, int, int, Rect rect, bool)
{
    if (!dc)
        return true;
    const bool halve = IsSelected() && GetHighlightSelected();
    auto shown = [halve](ColorRef c) { return halve ? Halved(c) : c; };

    if (m_topLeft == m_topRight && m_topLeft == m_bottomLeft && m_topLeft == m_bottomRight)
    {
        dc->FillRect(rect, Brush::Solid(shown(m_topLeft)));
        return true;
    }
    const bool horizontal = m_topLeft == m_bottomLeft && m_topRight == m_bottomRight;
    const bool vertical = m_topLeft == m_topRight && m_bottomLeft == m_bottomRight;
    if (horizontal || vertical)
    {
        const ColorRef start = shown(m_topLeft);
        const TriVertex vertices[2] = {{rect.left, rect.top, start},
                                       {rect.right, rect.bottom, shown(m_bottomRight)}};
        const int mesh[2] = {0, 1};
        dc->GradientFill(vertices, 2, mesh, 1, horizontal ? GRADIENT_FILL_RECT_H : GRADIENT_FILL_RECT_V);
        SetBackClr(0xFFFFFF - start);
        return true;
    }
    const TriVertex vertices[4] = {{rect.left, rect.top, m_topLeft},
                                   {rect.right, rect.top, m_topRight},
                                   {rect.right, rect.bottom, m_bottomRight},
                                   {rect.left, rect.bottom, m_bottomLeft}};
    const int mesh[6] = {0, 1, 2, 0, 2, 3};
    dc->GradientFill(vertices, 4, mesh, 2, GRADIENT_FILL_TRIANGLE);
    return true;
}

Size CGridCellGradient::GetCellExtent(Canvas* dc)
{
    Size size = CGridCell::GetCellExtent(dc);
    size.cx += GetSystemMetrics(SM_CXVSCROLL);
    size.cy = std::max(size.cy, GetSystemMetrics(SM_CYHSCROLL));
    return size;
}
