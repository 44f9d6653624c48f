#pragma once
#include "grid/GridCellGradient.h"

#include <memory>

// The cell at the left of a series' detail row: only its gradient background.
class CGridCellDetailLeft : public CGridCellGradient
{
public:
    CGridCellDetailLeft();
    ~CGridCellDetailLeft() override;
    using CGridCellBase::operator=;

    static std::unique_ptr<CGridCellBase> CreateObject();

    bool Draw(Platform::Canvas* dc, int row, int col, Platform::Rect rect, bool eraseBackground,
              bool plain = false) override;
    Platform::Size GetCellExtent(Platform::Canvas* dc) override;
};
