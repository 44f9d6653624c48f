#pragma once
#include "grid/GridDefs.h"
#include "platform/gui/Canvas.h"

#include <QString>

#include <cstdint>

class CGridCtrl;
class CGridDefaultCell;
class QWidget;

// The abstract cell. The grid draws, prints, measures, edits, hit-tests and copies through
// these virtual operations, so that cell kinds are pluggable; every drawing step is an
// operation of its own for the cells that replace some of them.
class CGridCellBase
{
public:
    CGridCellBase();
    virtual ~CGridCellBase();
    CGridCellBase(const CGridCellBase&) = delete;
    // Takes the source's attributes through its getters (used when the grid changes a
    // cell's class); the copy text, print colours, tip zones and the two flags stay.
    CGridCellBase& operator=(const CGridCellBase& source);

    // Attributes.
    virtual void SetText(const QString& text) = 0;
    virtual void SetCopyText(const QString& text) = 0;
    virtual void SetImage(int image) = 0;
    virtual void SetData(intptr_t data) = 0;
    virtual void SetState(uint32_t state) { m_state = state; }
    virtual void SetFormat(unsigned format) = 0;
    virtual void SetTextClr(Platform::ColorRef color) = 0;
    virtual void SetBackClr(Platform::ColorRef color) = 0;
    virtual void SetPrintTextClr(Platform::ColorRef color) = 0;
    virtual void SetPrintBackClr(Platform::ColorRef color) = 0;
    virtual void SetFont(const Platform::LogFont* font) = 0;
    virtual void SetMargin(int pixels) = 0;
    virtual void SetGrid(CGridCtrl* grid) = 0;
    virtual void SetCoords(int row, int col) = 0;
    virtual void SetHighlightSelected(bool on) = 0;
    virtual void SetShowFocusFrame(bool on) = 0;

    virtual QString GetText() const = 0;
    virtual QString GetCopyText() const = 0;
    virtual QString GetShownText() const { return GetText(); }
    virtual int GetImage() const = 0;
    virtual intptr_t GetData() const = 0;
    virtual uint32_t GetState() const { return m_state; }
    virtual unsigned GetFormat() const = 0;
    virtual Platform::ColorRef GetTextClr() const = 0;
    virtual Platform::ColorRef GetBackClr() const = 0;
    virtual Platform::ColorRef GetPrintTextClr() const = 0;
    virtual Platform::ColorRef GetPrintBackClr() const = 0;
    virtual const Platform::LogFont* GetFont() const = 0;
    virtual const Platform::Font* GetFontObject() const = 0;
    virtual CGridCtrl* GetGrid() const = 0;
    virtual QWidget* GetEditWnd() const = 0;
    virtual int GetMargin() const = 0;
    virtual bool GetHighlightSelected() const = 0;
    virtual bool GetShowFocusFrame() const = 0;
    virtual CGridDefaultCell* GetDefaultCell() const;
    virtual bool IsDefaultFont() const = 0;
    virtual bool IsEditing() const = 0;

    bool IsFocused() const { return GetState() & CELLSTATE_FOCUSED; }
    virtual bool IsFocusedInSpan(int row) const;
    bool IsMerged() const { return m_mergeFirst != -1 && m_mergeLast != -1; }
    bool IsFixed() const { return GetState() & CELLSTATE_FIXED; }
    bool IsFixedCol() const { return GetState() & CELLSTATE_FIXEDCOL; }
    bool IsFixedRow() const { return GetState() & CELLSTATE_FIXEDROW; }
    bool IsSelected() const { return GetState() & CELLSTATE_SELECTED; }
    bool IsReadOnly() const { return GetState() & CELLSTATE_READONLY; }
    bool IsModified() const { return GetState() & CELLSTATE_MODIFIED; }
    bool IsDropHighlighted() const { return GetState() & CELLSTATE_DROPHILITED; }

    // The merged span this cell belongs to (both -1 when none); set by the grid.
    int GetMergeFirst() const { return m_mergeFirst; }
    int GetMergeLast() const { return m_mergeLast; }
    void SetMergeRange(int first, int last)
    {
        m_mergeFirst = first;
        m_mergeLast = last;
    }

    virtual void Reset();

    // Drawing steps, each with its own copy of the rectangle; plain suppresses the
    // selection colours and the focus frame.
    virtual bool DrawBackground(Platform::Canvas* dc, int row, int col, Platform::Rect rect, bool plain);
    virtual bool DrawFocusFrame(Platform::Canvas* dc, int row, int col, Platform::Rect rect, bool plain);
    virtual bool DrawText(Platform::Canvas* dc, int row, int col, Platform::Rect rect, bool plain);
    virtual bool DrawImage(Platform::Canvas* dc, int row, int col, Platform::Rect rect, bool plain);
    virtual bool DrawSortArrow(Platform::Canvas* dc, int row, int col, Platform::Rect rect, bool plain);
    // A null canvas tells the cell that it left the view; standard cells return at once.
    virtual bool Draw(Platform::Canvas* dc, int row, int col, Platform::Rect rect, bool eraseBackground,
                      bool plain = false);
    virtual bool GetTextRect(Platform::Rect* rect) const;
    virtual bool GetShownTextRect(Platform::Rect* rect) const { return GetTextRect(rect); }
    // Without a canvas the grid's measuring canvas is used, or the default cell's size.
    virtual Platform::Size GetTextExtent(const QString& text, Platform::Canvas* dc);
    virtual Platform::Size GetCellExtent(Platform::Canvas* dc);

    // In-place editing (started and ended by the grid's mouse and keyboard handling).
    virtual bool Edit(int row, int col, Platform::Rect rect, Platform::Point point, int editorId, int key);
    virtual bool ValidateEdit(const QString&) { return true; }
    virtual void EndEdit() {}
    virtual void OnEndEdit() {}

    virtual bool PrintCell(Platform::Canvas* dc, int row, int col, Platform::Rect rect);
    // Called after a paint for cells that asked with RequestPostDraw.
    virtual bool OnPostDraw() { return true; }

    // Tooltip zones, relative to the cell's top-left corner.
    virtual bool GetTipZoneAt(Platform::Point point, Platform::Rect* rect, QString* title,
                              QString* text) const = 0;
    virtual bool AddTipZone(const Platform::Rect* rect, const QString& title, const QString& text) = 0;
    virtual bool ClearTipZones() = 0;

    // Mouse hooks; points are relative to the cell's (or its span's) top-left corner.
    virtual void OnClick(Platform::Point) {}
    virtual void OnMouseEnter() {}
    virtual void OnMouseOver() {}
    virtual void OnMouseLeave() {}
    virtual void OnClickDown(Platform::Point) {}
    virtual void OnRClick(Platform::Point) {}
    virtual void OnRClickDown(Platform::Point) {}
    virtual void OnDblClick(Platform::Point) {}
    virtual bool OnSetCursor();
    // FALSE keeps the grid from scrolling for this wheel turn.
    virtual bool OnMouseWheel(int, int, int) { return true; }

    virtual Platform::ColorRef GetTextClrForPrint() const;
    virtual Platform::ColorRef GetBackClrForPrint() const;

    // Puts the cell on its grid's post-draw list: after the next paint the grid calls
    // OnPostDraw once per listing.
    void RequestPostDraw();

protected:
    // Marks the fitted text to be measured again (text or width changed).
    void InvalidateTextFit() { m_fitKeep = -1; }
    void InvalidateTextHeight() { m_textHeight = -1; }

private:
    // The colour cell of the drawing steps: the default cell for a fixed cell.
    const CGridCellBase* ColourCell() const;
    void DrawRaisedEdge(Platform::Canvas* dc, const Platform::Rect& rect) const;
    QString FitText(Platform::Canvas* dc, const QString& text, int width);

    uint32_t m_state = 0;
    // Text-fit cache: characters kept before the ending (-1 = not valid), the ending
    // (0 none, 1 ".", 2 "..", 3 "..."), the width it was made for, the height of "a".
    int m_fitKeep = -1;
    int m_fitEnding = 3;
    int m_fitWidth = -1;
    int m_textHeight = -1;
    int m_mergeFirst = -1;
    int m_mergeLast = -1;
};
