#pragma once
#include "grid/GridCellMultiBmp.h"

#include <cstdint>
#include <memory>

// The gripper at the left of a series' summary row: shows whether the series' detail row is
// open (image 1 of the grid's image list) or closed (image 0), and a click on the visible
// image toggles the state. The series page opens or closes the detail row after the click.
class CGridCellDetailGripper : public CGridCellMultiBmp
{
public:
    CGridCellDetailGripper();
    ~CGridCellDetailGripper() override;
    using CGridCellBase::operator=;

    static std::unique_ptr<CGridCellBase> CreateObject();

    bool IsExpanded() const { return m_collapsed == 0; }
    void SetCollapsed(uint8_t collapsed);

    void OnClick(Platform::Point point) override;
    Platform::Size GetCellExtent(Platform::Canvas* dc) override;
    bool OnPostDraw() override { return true; }

private:
    uint8_t m_collapsed = 1;
};
