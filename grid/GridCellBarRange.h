#pragma once
#include "grid/GridCell.h"

// A value bar: a horizontal scale from the minimum to the maximum with two value bands
// (band 1 drawn over band 2), the part of band 2 inside band 1 in the overlap colour, and
// two small triangles pointing at the value from the top and the bottom edge. The text is
// centred on the value. Both bands are hidden when new.
class CGridCellBarRange : public CGridCell
{
public:
    CGridCellBarRange();
    ~CGridCellBarRange() override;
    using CGridCellBase::operator=;

    // Every bar of a page carries a copy text: kept here rather than among the rare
    // extras of a plain cell.
    void SetCopyText(const QString& text) override { m_copyText = text; }
    QString GetCopyText() const override { return m_copyText.isEmpty() ? GetText() : m_copyText; }

    // Each returns the previous value.
    double SetValue(double value) { return std::exchange(m_value, value); }
    double SetMinValue(double value) { return std::exchange(m_min, value); }
    double SetMaxValue(double value) { return std::exchange(m_max, value); }
    void SetMarkerHidden(bool hidden) { m_markerHidden = hidden; }
    void SetOverlapColors(Platform::ColorRef color, Platform::ColorRef selected)
    {
        m_overlap = color;
        m_overlapSelected = selected;
    }
    void SetBand1Colors(Platform::ColorRef color, Platform::ColorRef selected)
    {
        m_band1 = color;
        m_band1Selected = selected;
    }
    void SetBand2Colors(Platform::ColorRef color, Platform::ColorRef selected)
    {
        m_band2 = color;
        m_band2Selected = selected;
    }
    void SetBand1Low(double value) { m_band1Low = value; }
    void SetBand1High(double value) { m_band1High = value; }
    void SetBand1Hidden(bool hidden) { m_band1Hidden = hidden; }
    void SetBand2Low(double value) { m_band2Low = value; }
    void SetBand2High(double value) { m_band2High = value; }
    void SetBand2Hidden(bool hidden) { m_band2Hidden = hidden; }

    // The x of a value in a rectangle: clamped into the range first unless told otherwise.
    // A range without width puts every value at the left edge.
    int ValueToX(double value, const Platform::Rect& rect, bool clamp = true) const;

    bool Draw(Platform::Canvas* dc, int row, int col, Platform::Rect rect, bool eraseBackground,
              bool plain = false) override;
    // The standard extent, wider by a scroll bar's width and at least a scroll bar high.
    Platform::Size GetCellExtent(Platform::Canvas* dc) override;
    // Drawn plain: no selection colours, no focus frame.
    bool PrintCell(Platform::Canvas* dc, int row, int col, Platform::Rect rect) override;

private:
    QString m_copyText;
    Platform::ColorRef m_overlap = 0xFF4646;
    Platform::ColorRef m_overlapSelected = 0x641E1E;
    // The bands' colours are set by the caller before a band is shown; grey until then.
    Platform::ColorRef m_band2 = 0xC0C0C0;
    Platform::ColorRef m_band2Selected = 0x404040;
    double m_max = 100.0;
    double m_min = 0.0;
    double m_value = 50.0;
    bool m_markerHidden = false;
    Platform::ColorRef m_band1 = 0xC0C0C0;
    Platform::ColorRef m_band1Selected = 0x404040;
    double m_band1Low = 10.0;
    double m_band1High = 90.0;
    bool m_band1Hidden = true;
    double m_band2Low = 30.0;
    double m_band2High = 60.0;
    bool m_band2Hidden = true;
};
