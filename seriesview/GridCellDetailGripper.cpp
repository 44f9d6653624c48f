#include "seriesview/GridCellDetailGripper.h"

#include "platform/gui/SystemLook.h"

#include <algorithm>

namespace
{
constexpr int kCollapsedImage = 0;
constexpr int kExpandedImage = 1;

MULTIBMPINFO Placement(int id, bool hidden)
{
    MULTIBMPINFO info;
    info.id = id;
    info.hidden = hidden;
    info.x = 5;
    info.y = 1;
    return info;
}
} // namespace

CGridCellDetailGripper::CGridCellDetailGripper()
{
    InsertImage(Placement(kCollapsedImage, false));
    InsertImage(Placement(kExpandedImage, true));
}

CGridCellDetailGripper::~CGridCellDetailGripper() = default;

std::unique_ptr<CGridCellBase> CGridCellDetailGripper::CreateObject()
{
    return std::make_unique<CGridCellDetailGripper>();
}

void CGridCellDetailGripper::SetCollapsed(uint8_t collapsed)
{
    m_collapsed = collapsed;
    SetImageHidden(kCollapsedImage, collapsed == 0);
    SetImageHidden(kExpandedImage, collapsed != 0);
}

void CGridCellDetailGripper::OnClick(Platform::Point point)
{
    CGridCellMultiBmp::OnClick(point);
    const int clicked = GetClickedImageId();
    if (clicked != kCollapsedImage && clicked != kExpandedImage)
        return;
    m_collapsed = clicked == kExpandedImage ? 1 : 0;
    SetImageHidden(kCollapsedImage, clicked != kExpandedImage);
    SetImageHidden(kExpandedImage, m_collapsed != 0);
}

Platform::Size CGridCellDetailGripper::GetCellExtent(Platform::Canvas* dc)
{
    // Sized like the series cell beside it.
    Platform::Size size = CGridCell::GetCellExtent(dc);
    size.cx += Platform::GetSystemMetrics(Platform::SM_CXVSCROLL);
    size.cy = std::max(size.cy, Platform::GetSystemMetrics(Platform::SM_CYHSCROLL));
    return size;
}
