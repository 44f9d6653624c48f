#pragma once
#include "grid/GridCellBase.h"

#include <memory>

// A cell for a column that a merged cell of its row covers: it carries state, data and
// its background colour for the grid and its owner, and shows nothing of its own (no
// text, image or font; the default cell's format, margin and text colour), since the cell
// that heads the span draws the span. A quarter of a plain cell's size: a page of
// thousands of rows with one wide cell each holds thousands of these.
class CGridCellCovered final : public CGridCellBase
{
public:
    CGridCellCovered();
    ~CGridCellCovered() override;
    using CGridCellBase::operator=;
    static std::unique_ptr<CGridCellBase> CreateObject();

    void SetText(const QString&) override {}
    void SetCopyText(const QString&) override {}
    void SetImage(int) override {}
    void SetData(intptr_t data) override { m_data = data; }
    void SetFormat(unsigned) override {}
    void SetTextClr(Platform::ColorRef) override {}
    void SetBackClr(Platform::ColorRef color) override { m_backColor = color; }
    void SetPrintTextClr(Platform::ColorRef) override {}
    void SetPrintBackClr(Platform::ColorRef) override {}
    void SetFont(const Platform::LogFont*) override {}
    void SetMargin(int) override {}
    void SetGrid(CGridCtrl* grid) override { m_grid = grid; }
    void SetCoords(int, int) override {}
    void SetHighlightSelected(bool) override {}
    void SetShowFocusFrame(bool) override {}

    QString GetText() const override { return {}; }
    QString GetCopyText() const override { return {}; }
    int GetImage() const override { return -1; }
    intptr_t GetData() const override { return m_data; }
    unsigned GetFormat() const override;
    Platform::ColorRef GetTextClr() const override;
    Platform::ColorRef GetBackClr() const override { return m_backColor; }
    Platform::ColorRef GetPrintTextClr() const override { return 0; }
    Platform::ColorRef GetPrintBackClr() const override { return 0xFFFFFF; }
    const Platform::LogFont* GetFont() const override;
    const Platform::Font* GetFontObject() const override;
    CGridCtrl* GetGrid() const override { return m_grid; }
    QWidget* GetEditWnd() const override { return nullptr; }
    int GetMargin() const override;
    bool GetHighlightSelected() const override { return true; }
    bool GetShowFocusFrame() const override { return true; }
    bool IsDefaultFont() const override { return true; }
    bool IsEditing() const override { return false; }

    bool GetTipZoneAt(Platform::Point, Platform::Rect*, QString*, QString*) const override { return false; }
    bool AddTipZone(const Platform::Rect*, const QString&, const QString&) override { return false; }
    bool ClearTipZones() override { return true; }

private:
    Platform::ColorRef m_backColor = 0xFFFFFF;
    CGridCtrl* m_grid = nullptr;
    intptr_t m_data = 0;
};
