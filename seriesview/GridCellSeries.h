#pragma once
#include "grid/GridCell.h"
#include "platform/gui/GdiObjects.h"
#include "platform/gui/GdiTypes.h"
#include "seriesview/SensitiveArea.h"

#include <QPoint>
#include <QString>

#include <cstdint>
#include <memory>

class CVeskDoc;
class CMeasSeries1;
class CMeasSeriesWrapper;

// Kinds of the clickable areas a series cell registers.
enum
{
    SERIESHIT_LINK = 0,
    SERIESHIT_BAR = 1,
    SERIESHIT_VALUE = 2,
    SERIESHIT_LISTTITLE = 3,
};

// Link numbers (items of SERIESHIT_LINK areas).
enum
{
    LINK_ORDER = 1,
    LINK_COMMENT = 2,
    LINK_UPPER_LIMIT = 3,
    LINK_LOWER_LIMIT = 4,
    LINK_MATERIAL = 5,
    LINK_SCALE = 6,
    LINK_DIRECTION = 7,
    LINK_STANDARD = 8,
    LINK_B724 = 9,
    LINK_UNIT = 10,
    LINK_RESTORE = 11,
    LINK_UNDELETE = 12,
};

// The wide cell of a series' detail row: bar graph, value list, statistics, settings and
// comment of one series of the document's current folder, arranged by the cell's width and
// the number of readings. The cell reads the series through the document by index and
// never owns it. Everything clickable is registered in the cell's hit areas while it
// paints; the row height follows the content through a short open/close animation driven
// by repaints.
class CGridCellSeries : public CGridCell
{
public:
    // One reading for the value order, built anew for every draw of a panel.
    struct VALUEANDINDEX
    {
        double value = 0;
        double nativeValue = 0;
        int32_t number = 0;
        uint8_t ascending = 1;
    };

    CGridCellSeries();
    ~CGridCellSeries() override;

    static std::unique_ptr<CGridCellBase> CreateObject();

    // The series the cell shows; index -1 shows nothing. When the cell carries an entry
    // as its data, it shows nothing while the document's series at the index is another
    // one (the rows wait for a rebuild).
    void SetSeries(CVeskDoc* document, int index);
    // Forgets what the cell showed of an earlier series: closed, nothing hovered, the
    // height measured anew.
    void ResetView();
    int GetSeriesIndex() const { return m_seriesIndex; }

    void Expand(bool atOnce);
    // Opens the row at once at a height taken from a series of the same shape, without
    // measuring this one: the next paint sets the height it measures, and Expand(true)
    // measures it when asked. For opening thousands of rows, most of them out of sight.
    void ExpandAtHeight(int height);
    void Collapse(bool atOnce);
    bool IsExpanded() const { return m_expanded; }
    int GetAnimatedHeight() const { return m_animatedHeight; }
    int GetFullHeight() const { return m_fullHeight; }

    // The state the interaction sets; the next paint shows it.
    void SetHoveredLink(int link) { m_hoveredLink = link; }
    void SetHoveredReading(int reading) { m_hoveredReading = reading; }
    int GetHoveredLink() const { return m_hoveredLink; }
    int GetHoveredReading() const { return m_hoveredReading; }
    const CSensitiveArea& GetHitAreas() const { return m_hitAreas; }

    // The keyboard's way to the links: moves the underline to the next (previous) link in
    // the order they are drawn, false past the last (before the first) one, where no link
    // stays underlined; runs the underlined link as its click would, false when none is.
    bool StepKeyLink(bool forward);
    bool RunKeyLink();

    // Cell interface.
    QString GetCopyText() const override { return {}; }
    bool Draw(Platform::Canvas* dc, int row, int col, Platform::Rect rect, bool eraseBackground,
              bool plain = false) override;
    Platform::Size GetCellExtent(Platform::Canvas* dc) override;
    bool PrintCell(Platform::Canvas* dc, int row, int col, Platform::Rect rect) override;
    bool OnPostDraw() override;
    void OnMouseLeave() override;

    // Interaction (GridCellSeriesInput.cpp); points are relative to the cell. A hovered
    // link shows the hand cursor; a click on a link changes that setting of the series, a
    // Ctrl + click on a listed value of an indentation-tester series shows its stored
    // curve; a right click on a bar, a listed value or the list title offers the popup of
    // readings.
    bool OnSetCursor() override;
    void OnClick(Platform::Point point) override;
    void OnRClick(Platform::Point point) override;
    // Puts one reading (index in the readings that are not excluded), or with -1 all of
    // them, on the clipboard as text; with curves the samples of their stored curves follow
    // in columns.
    void CopyValues(int reading, bool withCurves);
    // The clipboard text CopyValues places.
    QString ValuesText(int reading, bool withCurves);

protected:
    // Where the input comes from; tests replace them.
    virtual bool IsControlHeld() const;
    virtual QPoint CursorScreenPos() const;

public:
    // The panels. Each returns its size; with measureOnly nothing is drawn and no area is
    // registered, and the size is the same.
    Platform::Size DrawBarGraph(Platform::Canvas& dc, int x, int y, int width, int height, int offset,
                                int count, bool measureOnly);
    Platform::Size DrawValueList(Platform::Canvas& dc, int x, int y, int height, int offset, int count,
                                 bool measureOnly);
    Platform::Size DrawStatistics(Platform::Canvas& dc, int x, int y, bool measureOnly);
    Platform::Size DrawSettings(Platform::Canvas& dc, int x, int y, bool measureOnly);
    Platform::Size DrawComment(Platform::Canvas& dc, int x, int y, int width, bool measureOnly);

    // The readings the details list (value list, bar graph, print, picture): every reading
    // that is not excluded, those without a value too, as the text export lists them.
    static int ShownReadingCount(CMeasSeries1* series);
    // The value order: by native value, rising unless the series measures depths with the
    // indentation tester (first record's ascending flag). -1, 0 or 1.
    static int CompareValueAndIndex(const VALUEANDINDEX& a, const VALUEANDINDEX& b);
    // The next word of a comment from pos (moved on): carriage returns skipped, up to and
    // including a space, "." or line feed, which stands alone when it ends a longer word.
    // Empty at the end.
    static QString NextWord(const QString& text, int& pos);

    // One step of the row-height animation towards the content height; the grid's
    // post-draw call applies the height and the next paint takes the next step.
    void AnimationStep(int target);

    // Layout the last draw chose (1-6), for the page and for tests.
    int GetLayout() const { return m_layout; }

private:
    // One reading of a panel in the chosen order.
    struct ShownReading
    {
        float value = 0;
        int number = 0;
        int index = 0;
    };
    // The shared fonts, made from the canvas's font at the first draw.
    struct Fonts
    {
        Platform::Font normal;
        Platform::Font underline;
        Platform::Font bold;
        Platform::Font boldUnderline;
        Platform::Font huge;
    };

    static Fonts& SharedFonts(Platform::Canvas& dc);
    CMeasSeriesWrapper* Entry() const;
    CMeasSeries1* Series() const;
    bool OrderedByValue();
    std::vector<VALUEANDINDEX> SortedRecords(CMeasSeries1& series) const;
    ShownReading ReadingAt(CMeasSeries1& series, const std::vector<VALUEANDINDEX>& sorted, bool byValue,
                           int position) const;
    float ToShown(float value) const;
    void DrawLink(Platform::Canvas& dc, const Fonts& fonts, int x, int y, const QString& text, int link,
                  bool bold, bool registerArea);
    void InvalidateGrid();
    int ShownReadingCount();
    // Input helpers.
    Platform::Rect CellRect() const;
    QPoint ToScreen(Platform::Point cellPoint) const;
    void OnLinkClick(int link, const Platform::Rect& area);
    // The document's index of the entry the cell showed before a modal loop, -1 when the
    // document no longer holds it.
    int IndexAfterModal(const CMeasSeriesWrapper* entry) const;
    void ApplyLimit(int link, int x, int y);
    void ShowStoredCurve(int reading);

    CVeskDoc* m_document = nullptr;
    int m_seriesIndex = -1;
    int m_animatedHeight = 0;
    bool m_expanded = false;
    bool m_collapsing = false;
    bool m_expanding = false;
    int m_fullHeight = 0;
    Platform::ColorRef m_linkColor;
    int m_margin = 10;
    CSensitiveArea m_hitAreas;
    int m_hoveredLink = 0;
    int m_hoveredReading = -1;
    bool m_reallyPaint = true;
    int m_cachedFullHeight = -1;
    bool m_showMils = false;
    bool m_imperial = false;
    int m_layout = 0;
    // Open at a height not measured for this series.
    bool m_estimated = false;
};
