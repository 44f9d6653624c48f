#pragma once
#include "grid/GridCellBase.h"

#include <QPointer>
#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

// The standard cell: a text with its own colours, format, font and margin, falling back to
// the grid's default cell where it has none.
class CGridCell : public CGridCellBase
{
public:
    CGridCell();
    ~CGridCell() override;
    using CGridCellBase::operator=;

    void SetText(const QString& text) override;
    void SetCopyText(const QString& text) override;
    void SetImage(int image) override { m_image = image; }
    void SetData(intptr_t data) override { m_data = data; }
    void SetFormat(unsigned format) override { m_format = static_cast<int>(format); }
    void SetTextClr(Platform::ColorRef color) override { m_textColor = color; }
    void SetBackClr(Platform::ColorRef color) override { m_backColor = color; }
    void SetPrintTextClr(Platform::ColorRef color) override { m_printTextColor = color; }
    void SetPrintBackClr(Platform::ColorRef color) override { m_printBackColor = color; }
    void SetFont(const Platform::LogFont* font) override;
    void SetMargin(int pixels) override { m_margin = pixels; }
    void SetGrid(CGridCtrl* grid) override { m_grid = grid; }
    void SetCoords(int row, int col) override
    {
        m_row = row;
        m_col = col;
    }
    void SetHighlightSelected(bool on) override { m_highlightSelected = on; }
    void SetShowFocusFrame(bool on) override { m_showFocusFrame = on; }

    QString GetText() const override { return m_text; }
    QString GetCopyText() const override;
    int GetImage() const override { return m_image; }
    intptr_t GetData() const override { return m_data; }
    unsigned GetFormat() const override;
    Platform::ColorRef GetTextClr() const override { return m_textColor; }
    Platform::ColorRef GetBackClr() const override { return m_backColor; }
    Platform::ColorRef GetPrintTextClr() const override { return m_printTextColor; }
    Platform::ColorRef GetPrintBackClr() const override { return m_printBackColor; }
    const Platform::LogFont* GetFont() const override;
    const Platform::Font* GetFontObject() const override;
    CGridCtrl* GetGrid() const override { return m_grid; }
    QWidget* GetEditWnd() const override { return m_extras ? m_extras->editWnd.data() : nullptr; }
    int GetMargin() const override;
    bool GetHighlightSelected() const override { return m_highlightSelected; }
    bool GetShowFocusFrame() const override { return m_showFocusFrame; }
    bool IsDefaultFont() const override { return !m_extras || !m_extras->font.has_value(); }
    bool IsEditing() const override { return m_editing; }
    int GetRow() const { return m_row; }
    int GetColumn() const { return m_col; }

    void Reset() override;

    // Opens an in-place editor over the rectangle, aligned like the cell's text; an open
    // editor gets the key as a typed character. The cell knows its editor until OnEndEdit.
    bool Edit(int row, int col, Platform::Rect rect, Platform::Point point, int editorId, int key) override;
    void EndEdit() override;
    void OnEndEdit() override;
    // For cells with an editor of their own.
    void SetEditWnd(QWidget* editor);

    bool GetTipZoneAt(Platform::Point point, Platform::Rect* rect, QString* title,
                      QString* text) const override;
    bool AddTipZone(const Platform::Rect* rect, const QString& title, const QString& text) override;
    bool ClearTipZones() override;

protected:
    // Own font and its font object (null = the default cell's).
    const Platform::LogFont* OwnFont() const
    {
        return m_extras && m_extras->font ? &*m_extras->font : nullptr;
    }
    const Platform::Font* OwnFontObject() const
    {
        return m_extras && m_extras->fontObject ? &*m_extras->fontObject : nullptr;
    }

private:
    // What few cells have: a font of their own, a copy text, tip zones, an open editor.
    // Kept apart and made on first use: a large grid holds hundreds of thousands of cells,
    // and every byte of a plain cell is memory to fault in when they are made.
    struct SExtras
    {
        std::optional<Platform::LogFont> font;
        std::optional<Platform::Font> fontObject;
        QString copyText;
        std::vector<Platform::Rect> tipRects;
        std::vector<QString> tipTexts;
        std::vector<QString> tipTitles;
        // Guarded: the editor deletes itself.
        QPointer<QWidget> editWnd;
    };
    SExtras& Extras();

    QString m_text;
    std::unique_ptr<SExtras> m_extras;
    intptr_t m_data = 0;
    int m_image = -1;
    int m_format = -1;
    Platform::ColorRef m_textColor = 0;
    Platform::ColorRef m_backColor = 0xFFFFFF;
    Platform::ColorRef m_printTextColor = 0;
    Platform::ColorRef m_printBackColor = 0xFFFFFF;
    int m_margin = -1;
    CGridCtrl* m_grid = nullptr;
    int m_row = -1;
    int m_col = -1;
    bool m_highlightSelected = true;
    bool m_showFocusFrame = true;
    bool m_editing = false;
};
