#include "seriesview/GridCellDetailLeft.h"

#include "platform/gui/SystemLook.h"

#include <algorithm>

CGridCellDetailLeft::CGridCellDetailLeft() = default;
CGridCellDetailLeft::~CGridCellDetailLeft() = default;

std::unique_ptr<CGridCellBase> CGridCellDetailLeft::CreateObject()
{
    return std::make_unique<CGridCellDetailLeft>();
}

bool CGridCellDetailLeft::Draw(Platform::Canvas* dc, int row, int col, Platform::Rect rect, bool, bool plain)
{
    if (dc && rect.Height() > 0)
        CGridCellGradient::DrawBackground(dc, row, col, rect, plain);
    return true;
}

Platform::Size CGridCellDetailLeft::GetCellExtent(Platform::Canvas* dc)
{
    // As wide and high as the multi-image cells of the summary row.
    Platform::Size size = CGridCellGradient::GetCellExtent(dc);
    size.cx += Platform::GetSystemMetrics(Platform::SM_CXVSCROLL);
    size.cy = std::max(size.cy, Platform::GetSystemMetrics(Platform::SM_CYHSCROLL));
    return size;
}
