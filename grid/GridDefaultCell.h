#pragma once
#include "grid/GridCell.h"

// The fallback attributes of a group of cells (normal, fixed column, fixed row, both): the
// grid embeds four. Always read-only; its state, data and coordinates cannot be set.
class CGridDefaultCell : public CGridCell
{
public:
    CGridDefaultCell();
    ~CGridDefaultCell() override;

    void SetState(uint32_t) override {}
    void SetData(intptr_t) override {}
    void SetCoords(int, int) override {}
    uint32_t GetState() const override { return CGridCellBase::GetState() | CELLSTATE_READONLY; }
    // Also measures the margin (one blank) and the default size from the font.
    void SetFont(const Platform::LogFont* font) override;
    const Platform::LogFont* GetFont() const override;
    const Platform::Font* GetFontObject() const override;

    virtual int GetWidth() const { return m_width; }
    virtual int GetHeight() const { return m_height; }
    virtual void SetWidth(int width) { m_width = width; }
    virtual void SetHeight(int height) { m_height = height; }

private:
    int m_width = 30;
    int m_height = 10;
};
