#include "GridTestSupport.h"

#include "platform/gui/RecordingCanvas.h"
#include "platform/gui/SystemLook.h"

using namespace Platform;
using Kind = CanvasOp::Kind;

namespace
{
class GridCellTest : public GridFixture
{
protected:
    void SetUp() override
    {
        GridFixture::SetUp();
        Build(3, 4, 1, 0);
    }
    CGridCellBase* Cell(int row, int col) { return grid->GetCell(row, col); }
};
} // namespace

TEST_F(GridCellTest, SortArrowPointsUpOrDownInTheSortColumnHeading)
{
    struct Case
    {
        bool ascending;
        std::vector<Point> points;
    } cases[] = {{true, {{31, 5}, {39, 5}, {35, 1}}}, {false, {{31, 1}, {39, 1}, {35, 5}}}};
    for (const Case& c : cases)
    {
        grid->SetSortColumn(2);
        grid->SetSortAscending(c.ascending);
        RecordingCanvas dc;
        Cell(0, 2)->Draw(&dc, 0, 2, {10, 0, 60, 20}, false);
        const auto polygons = dc.OpsOf(Kind::Polygon);
        ASSERT_EQ(polygons.size(), 1u);
        EXPECT_EQ(polygons[0].points, c.points);
        EXPECT_EQ(polygons[0].pen, Pen::Solid(1, 0));
        EXPECT_EQ(polygons[0].brush, Brush::Solid(0xFF0000));

        // Only in the heading of the sort column.
        RecordingCanvas other;
        Cell(1, 2)->Draw(&other, 1, 2, {10, 20, 60, 40}, false);
        Cell(0, 1)->Draw(&other, 0, 1, {10, 0, 60, 20}, false);
        EXPECT_TRUE(other.OpsOf(Kind::Polygon).empty());
    }
}

TEST_F(GridCellTest, TextIsFittedWithAShortenedEnding)
{
    // Characters 6 wide: "." 6, ".." 12, "..." 18, "abcdef" 36.
    struct Case
    {
        int width;
        QString drawn;
    } cases[] = {
        {5, ""},        // narrower than "."
        {6, "."},       // narrower than ".."
        {12, ".."},     // narrower than "..."
        {18, "..."},    // nothing of the text fits beside "..."
        {36, "abc..."}, // exactly as wide as the text counts as not fitting
        {37, "abcdef"},
    };
    CGridCellBase* cell = Cell(1, 1);
    cell->SetText(QStringLiteral("abcdef"));
    cell->SetMargin(0);
    for (const Case& c : cases)
    {
        RecordingCanvas dc;
        // The cell's rectangle leaves its last pixel to the grid line: width - 1.
        cell->Draw(&dc, 1, 1, {0, 0, c.width - 1, 19}, false);
        const auto texts = dc.OpsOf(Kind::TextOut);
        ASSERT_EQ(texts.size(), 1u) << c.width;
        EXPECT_EQ(texts[0].text, c.drawn) << c.width;
    }
    // A new text is fitted again at the same width.
    cell->SetText(QStringLiteral("ab"));
    RecordingCanvas dc;
    cell->Draw(&dc, 1, 1, {0, 0, 35, 19}, false);
    EXPECT_EQ(dc.OpsOf(Kind::TextOut)[0].text, QStringLiteral("ab"));
}

TEST_F(GridCellTest, TextIsPlacedByTheFormat)
{
    CGridCellBase* cell = Cell(1, 1);
    cell->SetText(QStringLiteral("ab"));
    cell->SetMargin(2);
    struct Case
    {
        unsigned format;
        unsigned align;
        int x;
    } cases[] = {{DT_LEFT, TA_LEFT, 12}, {DT_CENTER, TA_CENTER, 35}, {DT_RIGHT, TA_RIGHT, 58}};
    for (const Case& c : cases)
    {
        cell->SetFormat(c.format | DT_SINGLELINE);
        RecordingCanvas dc;
        cell->Draw(&dc, 1, 1, {10, 20, 59, 39}, false);
        const auto texts = dc.OpsOf(Kind::TextOut);
        ASSERT_EQ(texts.size(), 1u);
        // Vertically: middle of (20, 40) minus half the height of "a" (12), one pixel up.
        EXPECT_EQ(texts[0].points[0], (Point{c.x, 30 - 6 - 1}));
        EXPECT_EQ(texts[0].textAlign, c.align);
    }
}

TEST_F(GridCellTest, ColoursOfFixedSelectedAndFocusedCells)
{
    CGridDefaultCell* fixedDef = grid->GetDefaultCell(true, false);
    fixedDef->SetBackClr(0x101010);
    fixedDef->SetTextClr(0x202020);
    CGridCellBase* fixed = Cell(0, 1);
    fixed->SetBackClr(0x0000FF);
    fixed->SetTextClr(0x00FF00);
    fixed->SetText(QStringLiteral("h"));

    RecordingCanvas dc;
    fixed->Draw(&dc, 0, 1, {0, 0, 49, 19}, false);
    const auto fills = dc.OpsOf(Kind::FillRect);
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_EQ(fills[0].color, 0x101010u); // the default cell's, not its own
    EXPECT_EQ(dc.OpsOf(Kind::TextOut)[0].textColor, 0x202020u);
    // The raised edge of a fixed cell.
    const auto lines = dc.OpsOf(Kind::Line);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].points, (std::vector<Point>{{49, 0}, {0, 0}}));
    EXPECT_EQ(lines[0].pen.color, GetSysColor(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(lines[3].points, (std::vector<Point>{{49, 19}, {0, 19}}));
    EXPECT_EQ(lines[3].pen.color, GetSysColor(COLOR_3DDKSHADOW));

    CGridCellBase* cell = Cell(1, 1);
    cell->SetBackClr(0x336699);
    cell->SetTextClr(0x112233);
    cell->SetText(QStringLiteral("x"));
    cell->SetState(CELLSTATE_SELECTED | CELLSTATE_FOCUSED);
    RecordingCanvas selected;
    cell->Draw(&selected, 1, 1, {0, 20, 49, 39}, false);
    EXPECT_EQ(selected.OpsOf(Kind::FillRect)[0].color, 0xFFFFFFu - 0x336699u);
    EXPECT_EQ(selected.OpsOf(Kind::TextOut)[0].textColor, 0xFFFFFFu - 0x112233u);
    const auto frames = selected.OpsOf(Kind::FrameRect);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].color, 0xFFFFFFu - 0x112233u);

    // Without highlighting the colours stay, but the focus frame is still inverted.
    cell->SetHighlightSelected(false);
    RecordingCanvas plainColours;
    cell->Draw(&plainColours, 1, 1, {0, 20, 49, 39}, false);
    EXPECT_EQ(plainColours.OpsOf(Kind::FillRect)[0].color, 0x336699u);
    EXPECT_EQ(plainColours.OpsOf(Kind::TextOut)[0].textColor, 0x112233u);
    EXPECT_EQ(plainColours.OpsOf(Kind::FrameRect)[0].color, 0xFFFFFFu - 0x112233u);

    // The plain flag suppresses selection colours and the frame.
    RecordingCanvas plain;
    cell->Draw(&plain, 1, 1, {0, 20, 49, 39}, false, true);
    EXPECT_TRUE(plain.OpsOf(Kind::FrameRect).empty());
}

TEST_F(GridCellTest, DrawRefusesWithoutGridCanvasOrArea)
{
    CGridCell loose;
    RecordingCanvas dc;
    EXPECT_FALSE(loose.Draw(&dc, 1, 1, {0, 0, 10, 10}, false));
    EXPECT_FALSE(Cell(1, 1)->Draw(nullptr, 1, 1, {0, 0, 10, 10}, false));
    EXPECT_FALSE(Cell(1, 1)->Draw(&dc, 1, 1, {0, 0, 0, 10}, false));
    EXPECT_TRUE(dc.Ops().empty());
    EXPECT_EQ(loose.GetTextClrForPrint(), 0xFFFFFFu);
    EXPECT_EQ(loose.GetBackClrForPrint(), 0xFFFFFFu);
}

TEST_F(GridCellTest, DefaultCellAndFallbacks)
{
    CGridDefaultCell* def = grid->GetDefaultCell(false, false);
    EXPECT_TRUE(def->GetState() & CELLSTATE_READONLY);
    def->SetState(CELLSTATE_SELECTED);
    def->SetData(7);
    EXPECT_EQ(def->GetState(), static_cast<uint32_t>(CELLSTATE_READONLY));
    EXPECT_EQ(def->GetData(), 0);
    EXPECT_EQ(def->GetFormat(),
              static_cast<unsigned>(DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS));
    ASSERT_NE(def->GetFont(), nullptr);
    EXPECT_GT(def->GetMargin(), 0);

    CGridCellBase* cell = Cell(1, 0);
    cell->SetFormat(static_cast<unsigned>(-1));
    cell->SetMargin(-1);
    EXPECT_EQ(cell->GetFormat(), def->GetFormat());
    EXPECT_EQ(cell->GetMargin(), def->GetMargin());
    EXPECT_TRUE(cell->IsDefaultFont());
    EXPECT_EQ(cell->GetFontObject(), def->GetFontObject());

    cell->SetText(QStringLiteral("shown"));
    EXPECT_EQ(cell->GetCopyText(), QStringLiteral("shown"));
    cell->SetCopyText(QStringLiteral("copied"));
    EXPECT_EQ(cell->GetCopyText(), QStringLiteral("copied"));
}

TEST_F(GridCellTest, TipZones)
{
    CGridCellBase* cell = Cell(1, 2);
    Rect rect;
    QString title;
    QString text;
    EXPECT_FALSE(cell->GetTipZoneAt({5, 5}, &rect, &title, &text));
    cell->AddTipZone(nullptr, QStringLiteral("T"), QStringLiteral("whole"));
    ASSERT_TRUE(cell->GetTipZoneAt({400, 400}, &rect, &title, &text));
    EXPECT_EQ(rect, (Rect{0, 0, 50, 20}));
    EXPECT_EQ(text, QStringLiteral("whole"));

    const Rect zone{10, 0, 20, 10};
    cell->AddTipZone(&zone, QStringLiteral("U"), QStringLiteral("part"));
    // With two zones an empty rectangle matches nothing.
    EXPECT_FALSE(cell->GetTipZoneAt({1, 1}, &rect, &title, &text));
    ASSERT_TRUE(cell->GetTipZoneAt({10, 9}, &rect, &title, &text));
    EXPECT_EQ(title, QStringLiteral("U"));
    EXPECT_FALSE(cell->GetTipZoneAt({20, 5}, &rect, &title, &text));
    cell->ClearTipZones();
    EXPECT_FALSE(cell->GetTipZoneAt({10, 9}, &rect, &title, &text));
}

TEST_F(GridCellTest, ExtentsAddMarginsAndTurnForRotatedFonts)
{
    CGridCellBase* cell = Cell(1, 1);
    cell->SetMargin(3);
    cell->SetFormat(DT_SINGLELINE);
    RecordingCanvas dc;
    EXPECT_EQ(cell->GetTextExtent(QStringLiteral("abcd"), &dc), (Size{24 + 6, 12 + 6}));
    EXPECT_EQ(cell->GetCellExtent(&dc), (Size{grid->GetDefaultCell(false, false)->GetWidth() + 1,
                                              grid->GetDefaultCell(false, false)->GetHeight() + 1}));
    LogFont rotated;
    rotated.height = -12;
    rotated.escapement = 900;
    cell->SetFont(&rotated);
    EXPECT_EQ(cell->GetTextExtent(QStringLiteral("abcd"), &dc), (Size{12 + 6, 24 + 6 + 12}));

    // Word-broken text is measured as laid out.
    cell->SetFont(nullptr);
    cell->SetFormat(DT_WORDBREAK);
    EXPECT_EQ(cell->GetTextExtent(QStringLiteral("ab cd\nefg"), &dc), (Size{30 + 6, 24 + 6}));
}

TEST_F(GridCellTest, ChangingTheCellClassKeepsItsAttributes)
{
    grid->SetItemText(1, 1, QStringLiteral("kept"));
    grid->SetItemData(1, 1, 42);
    grid->SetItemFormat(1, 1, DT_RIGHT);
    grid->SetItemBkColour(1, 1, 0x123456);
    Cell(1, 1)->SetCopyText(QStringLiteral("not kept"));
    grid->MergeColumns(1, 1, 2);
    ASSERT_TRUE(grid->SetCellType(1, 1, &MakeGridCell<CountingCell>));
    auto* cell = dynamic_cast<CountingCell*>(Cell(1, 1));
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->GetText(), QStringLiteral("kept"));
    EXPECT_EQ(cell->GetData(), 42);
    EXPECT_EQ(cell->GetFormat(), static_cast<unsigned>(DT_RIGHT));
    EXPECT_EQ(cell->GetBackClr(), 0x123456u);
    EXPECT_TRUE(cell->IsModified());
    EXPECT_EQ(cell->GetCopyText(), QStringLiteral("kept"));
    EXPECT_EQ(cell->GetMergeFirst(), 1);
    EXPECT_EQ(cell->GetMergeLast(), 2);
    EXPECT_EQ(cell->GetRow(), 1);
    EXPECT_EQ(cell->GetColumn(), 1);
    EXPECT_FALSE(grid->SetCellType(1, 9, &MakeGridCell<CountingCell>));
    EXPECT_FALSE(grid->SetCellType(1, 1, nullptr));
}
