#pragma once
#include "grid/GridCell.h"

// A cell whose background is a gradient between its corner colours: one colour when all
// four agree, a horizontal or vertical two-colour gradient when the sides agree, otherwise
// a four-colour fill of two triangles. Red on the left and green on the right when new.
class CGridCellGradient : public CGridCell
{
public:
    CGridCellGradient();
    ~CGridCellGradient() override;
    using CGridCellBase::operator=;

    // Each returns the previous colour.
    Platform::ColorRef SetTopLeftColor(Platform::ColorRef color);
    Platform::ColorRef SetTopRightColor(Platform::ColorRef color);
    Platform::ColorRef SetBottomLeftColor(Platform::ColorRef color);
    Platform::ColorRef SetBottomRightColor(Platform::ColorRef color);
    Platform::ColorRef GetTopLeftColor() const { return m_topLeft; }
    Platform::ColorRef GetTopRightColor() const { return m_topRight; }
    Platform::ColorRef GetBottomLeftColor() const { return m_bottomLeft; }
    Platform::ColorRef GetBottomRightColor() const { return m_bottomRight; }

    // A selected, highlighted cell shows its one or two colours at half intensity. After a
    // two-colour fill the cell's background colour is white minus the start colour as
    // drawn, so that the usual inversion of a selected cell gives that colour back.
    bool DrawBackground(Platform::Canvas* dc, int row, int col, Platform::Rect rect, bool plain) override;
    // The standard extent, wider by a scroll bar's width and at least a scroll bar high.
    Platform::Size GetCellExtent(Platform::Canvas* dc) override;

private:
    Platform::ColorRef m_topLeft = 0x0000FF;
    Platform::ColorRef m_topRight = 0x00FF00;
    Platform::ColorRef m_bottomLeft = 0x0000FF;
    Platform::ColorRef m_bottomRight = 0x00FF00;
};
