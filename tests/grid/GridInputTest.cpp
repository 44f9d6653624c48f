#include "GridTestSupport.h"

#include "grid/InPlaceEdit.h"
#include "platform/gui/BalloonTip.h"
#include "platform/gui/VirtualKeys.h"

#include <QCursor>

#include <algorithm>
#include <functional>
#include <QWheelEvent>

using namespace Platform;
using Note = NotifyRecorder::Note;

namespace
{
class GridInputTest : public GridFixture
{
protected:
    void SetUp() override
    {
        GridFixture::SetUp();
        grid->SetNotifyTarget(&owner);
        input.grid = grid;
        Build(12, 6, 1, 1, 20, 50);
        for (int r = 0; r < 12; ++r)
            for (int c = 0; c < 6; ++c)
                grid->SetItemText(r, c, QStringLiteral("r%1c%2").arg(r).arg(c));
        owner.Clear();
    }
    void TearDown() override
    {
        grid->SetNotifyTarget(nullptr);
        QApplication::processEvents();
    }

    // The middle of a cell, in client coordinates.
    QPoint At(int row, int col) const
    {
        Rect rect;
        EXPECT_TRUE(grid->GetCellRect(row, col, &rect)) << row << " " << col;
        return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    }
    CInPlaceEdit* Editor(int row, int col) const
    {
        const CGridCellBase* cell = grid->GetCell(row, col);
        return cell ? qobject_cast<CInPlaceEdit*>(cell->GetEditWnd()) : nullptr;
    }
    std::vector<int> Codes() const
    {
        std::vector<int> codes;
        for (const Note& n : owner.Notes())
            codes.push_back(n.code);
        return codes;
    }
    std::vector<std::pair<int, int>> Selected() const
    {
        std::vector<std::pair<int, int>> cells;
        for (int r = 0; r < grid->GetRowCount(); ++r)
            for (int c = 0; c < grid->GetColumnCount(); ++c)
                if (grid->IsCellSelected(r, c))
                    cells.emplace_back(r, c);
        return cells;
    }

    NotifyRecorder owner;
    GridInput input{nullptr};
};

using Cells = std::vector<std::pair<int, int>>;
} // namespace

TEST_F(GridInputTest, APressChoosesTheMouseModeByWhereItLands)
{
    struct Case
    {
        const char* what;
        QPoint point;
        bool listMode;
        int mode;
        Cells selected;
    } cases[] = {
        {"corner", {25, 10}, false, CGridCtrl::MOUSE_SELECT_ALL, {}},
        {"fixed row", {125, 10}, false, CGridCtrl::MOUSE_SELECT_COL, {}},
        {"fixed column",
         {25, 70},
         false,
         CGridCtrl::MOUSE_SELECT_ROW,
         {{3, 1}, {3, 2}, {3, 3}, {3, 4}, {3, 5}}},
        {"fixed column in list mode", {25, 70}, true, CGridCtrl::MOUSE_NOTHING, {}},
        {"cell", {125, 70}, false, CGridCtrl::MOUSE_SELECT_CELLS, {{3, 2}}},
        {"cell in list mode",
         {125, 70},
         true,
         CGridCtrl::MOUSE_SELECT_ROW,
         {{3, 1}, {3, 2}, {3, 3}, {3, 4}, {3, 5}}},
        {"column divider", {99, 10}, false, CGridCtrl::MOUSE_SIZING_COL, {}},
        {"row divider", {25, 59}, false, CGridCtrl::MOUSE_SIZING_ROW, {}},
    };
    for (const Case& c : cases)
    {
        // List mode also ends row selection by fixed-column clicks, for good.
        if (c.listMode != grid->GetListMode())
            grid->SetListMode(c.listMode);
        grid->ClearSelection();
        input.Press(c.point);
        EXPECT_EQ(grid->GetMouseMode(), c.mode) << c.what;
        EXPECT_EQ(Selected(), c.selected) << c.what;
        EXPECT_EQ(grid->IsAutoScrolling(), c.mode == CGridCtrl::MOUSE_SELECT_CELLS ||
                                               (c.mode == CGridCtrl::MOUSE_SELECT_ROW && c.point.x() > 50))
            << c.what;
        input.Release(c.point);
        EXPECT_FALSE(grid->IsAutoScrolling()) << c.what;
        input.Move({300, 250});
        EXPECT_EQ(grid->GetMouseMode(), CGridCtrl::MOUSE_NOTHING) << c.what;
    }
}

TEST_F(GridInputTest, AClickNotifiesInOrderAndPostsACommand)
{
    input.Click(At(3, 2));
    EXPECT_EQ(owner.Notes(), (std::vector<Note>{{Notify::GRIDN_FOCUSCHANGED, 3, 2},
                                                {Notify::GRIDN_SELCHANGING, 3, 2},
                                                {Notify::GRIDN_SELCHANGING, 3, 2},
                                                {Notify::GRIDN_SELCHANGED, 3, 2},
                                                {Notify::NM_CLICK, 3, 2}}));
    // The command to the owner is posted, not sent.
    EXPECT_TRUE(owner.commands.empty());
    QApplication::processEvents();
    ASSERT_EQ(owner.commands.size(), 1u);
    EXPECT_EQ(owner.commands[0], std::make_pair(static_cast<CGridCtrl*>(grid), 101));

    // A press over no cell posts nothing.
    owner.Clear();
    input.Click({390, 280});
    QApplication::processEvents();
    EXPECT_TRUE(owner.commands.empty());
}

TEST_F(GridInputTest, ShiftExtendsAndCtrlAddsOrRemoves)
{
    input.Click(At(2, 1));
    input.Click(At(4, 3), Qt::ShiftModifier);
    EXPECT_EQ(Selected().size(), 9u);
    input.Click(At(6, 5), Qt::ControlModifier);
    EXPECT_EQ(Selected().size(), 10u);
    input.Click(At(3, 2), Qt::ControlModifier); // a selected cell: taken out
    EXPECT_EQ(Selected().size(), 9u);
    EXPECT_FALSE(grid->IsCellSelected(3, 2));

    grid->SetListMode(true);
    input.Click(At(3, 2));
    input.Click(At(6, 2), Qt::ShiftModifier);
    EXPECT_EQ(Selected().size(), 4u * 5);
    input.Click(At(8, 2), Qt::ControlModifier);
    EXPECT_EQ(Selected().size(), 5u * 5);
    input.Click(At(4, 2), Qt::ControlModifier);
    EXPECT_EQ(Selected().size(), 4u * 5);
    EXPECT_FALSE(grid->IsCellSelected(4, 3));
    EXPECT_TRUE(grid->IsCellSelected(5, 3));
}

TEST_F(GridInputTest, APressOnTheFocusCellEditsUnlessTheMouseMoves)
{
    input.Click(At(3, 2));
    QApplication::processEvents();
    owner.Clear();
    input.Press(At(3, 2));
    EXPECT_EQ(grid->GetMouseMode(), CGridCtrl::MOUSE_PREPARE_EDIT);
    input.Release(At(3, 2));
    CInPlaceEdit* editor = Editor(3, 2);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), QStringLiteral("r3c2"));
    EXPECT_EQ(editor->cursorPosition(), 4);
    EXPECT_FALSE(editor->hasSelectedText());
    EXPECT_FALSE(editor->GetExitOnArrows());
    EXPECT_EQ(Codes(), (std::vector<int>{Notify::GRIDN_BEGINLABELEDIT}));
    QApplication::processEvents();
    ASSERT_EQ(owner.commands.size(), 1u); // also after a pending edit

    // The next press ends the edit (unchanged); then the smallest move turns the pending
    // edit into a drag, whose release clears selection and focus.
    owner.Clear();
    input.Press(At(3, 2));
    EXPECT_FALSE(grid->GetCell(3, 2)->IsEditing());
    EXPECT_EQ(Codes(), (std::vector<int>{Notify::GRIDN_EDITUNCHANGED}));
    owner.Clear();
    input.Move(At(3, 2) + QPoint(1, 0), Qt::LeftButton);
    EXPECT_EQ(grid->GetMouseMode(), CGridCtrl::MOUSE_PREPARE_DRAG);
    input.Release(At(3, 2) + QPoint(1, 0));
    EXPECT_EQ(owner.Notes(), (std::vector<Note>{{Notify::NM_CLICK, 3, 2},
                                                {Notify::GRIDN_SELCHANGING, 3, 2},
                                                {Notify::GRIDN_FOCUSCHANGED, -1, -1},
                                                {Notify::GRIDN_SELCHANGED, -1, -1}}));
    EXPECT_TRUE(Selected().empty());
    QApplication::processEvents();
    EXPECT_EQ(owner.commands.size(), 1u);
}

TEST_F(GridInputTest, DraggingADividerSizesTheColumnOrRowWithABand)
{
    // Just left of column 1's right edge: column 1 grows to where the mouse is let go.
    input.Move({98, 10});
    EXPECT_EQ(grid->GetMouseMode(), CGridCtrl::MOUSE_OVER_COL_DIVIDE);
    input.Press({98, 10});
    input.Move({130, 10}, Qt::LeftButton);
    // The band inverts what lies under it.
    const QImage shot = grid->viewport()->grab().toImage();
    EXPECT_EQ(shot.pixelColor(131, 150).rgb() & 0xFFFFFF,
              0xFFFFFFu - (grid->GetDefaultCell(false, false)->GetBackClr() & 0xFFFFFF))
        << "band";
    input.Release({130, 10});
    EXPECT_EQ(grid->GetColumnWidth(1), 80);

    // Just right of column 3's left edge sizes column 2; dragged past its left edge it
    // hides; its divider can be grabbed again.
    const int col3Left = 50 + 80 + 50;
    input.Move({col3Left + 1, 10});
    input.Press({col3Left + 1, 10});
    ASSERT_EQ(grid->GetMouseMode(), CGridCtrl::MOUSE_SIZING_COL);
    input.Release({100, 10});
    EXPECT_EQ(grid->GetColumnWidth(2), 0);
    EXPECT_EQ(grid->GetColumnWidth(3), 50);
    input.Move({130 + 1, 10});
    input.Press({130 + 1, 10});
    input.Release({130 + 40, 10});
    EXPECT_EQ(grid->GetColumnWidth(2), 40);

    // A drag wider than the scrolling area is clamped to it; a press let go where it was
    // changes nothing.
    input.Move({128, 10});
    input.Press({128, 10});
    input.Release({2000, 10});
    EXPECT_EQ(grid->GetColumnWidth(1), grid->GetClientRect().Width() - 50);
    grid->SetColumnWidth(1, 50);
    input.Move({98, 10});
    input.Press({98, 10});
    input.Release({98, 10});
    EXPECT_EQ(grid->GetColumnWidth(1), 50);

    // Rows: at a row's bottom edge inside the fixed column.
    input.Move({25, 78});
    input.Press({25, 78});
    ASSERT_EQ(grid->GetMouseMode(), CGridCtrl::MOUSE_SIZING_ROW);
    input.Release({25, 100});
    EXPECT_EQ(grid->GetRowHeight(3), 40);
    grid->SetRowResize(false);
    input.Move({25, 100 + 18});
    input.Press({25, 100 + 18});
    EXPECT_NE(grid->GetMouseMode(), CGridCtrl::MOUSE_SIZING_ROW);
    input.Release({25, 100 + 18});
}

TEST_F(GridInputTest, ADoubleClickAutoSizesAtADividerAndEditsInACell)
{
    // Press, release, double click, release, as the window system delivers them.
    const int col3Left = 150;
    grid->SetItemText(0, 2, QStringLiteral("a much longer heading than fits"));
    input.Press({col3Left + 1, 10});
    input.Release({col3Left + 1, 10});
    EXPECT_EQ(grid->GetMouseMode(), CGridCtrl::MOUSE_OVER_COL_DIVIDE);
    input.DoubleClick({col3Left + 1, 10});
    input.Release({col3Left + 1, 10});
    EXPECT_GT(grid->GetColumnWidth(2), 100);
    EXPECT_EQ(grid->GetColumnWidth(3), 50);

    owner.Clear();
    input.Press(At(5, 1));
    input.Release(At(5, 1));
    input.DoubleClick(At(5, 1));
    ASSERT_NE(Editor(5, 1), nullptr);
    input.Release(At(5, 1));
    const std::vector<Note> notes = owner.Notes();
    EXPECT_NE(std::find(notes.begin(), notes.end(), Note{Notify::NM_DBLCLK, 5, 1}), notes.end());
    QTest::keyClick(Editor(5, 1), Qt::Key_Escape);

    // Over no cell a double click does nothing at all.
    owner.Clear();
    input.DoubleClick({390, 280});
    EXPECT_TRUE(owner.received.empty());
}

TEST_F(GridInputTest, ARightClickMovesTheFocusAndNotifiesTwice)
{
    input.Press(At(4, 0), {}, Qt::RightButton);
    input.Release(At(4, 0), {}, Qt::RightButton);
    // Without a focus cell the first step to (-1, -1) changes nothing and tells nothing.
    EXPECT_EQ(owner.Notes(), (std::vector<Note>{{Notify::GRIDN_FOCUSCHANGED, 4, 1},
                                                {Notify::NM_RCLICK, 4, 0},
                                                {Notify::GRIDN_FOCUSCHANGED, -1, -1},
                                                {Notify::GRIDN_FOCUSCHANGED, 4, 1},
                                                {Notify::NM_RCLICK, 4, 0}}));
    owner.Clear();
    input.Press({390, 280}, {}, Qt::RightButton);
    input.Release({390, 280}, {}, Qt::RightButton);
    EXPECT_EQ(owner.Notes(), (std::vector<Note>{{Notify::NM_RCLICK, -1, -1}, {Notify::NM_RCLICK, -1, -1}}));
}

namespace
{
void Wheel(QWidget* view, QPoint at, int delta)
{
    QWheelEvent wheel(QPointF(at), QPointF(view->mapToGlobal(at)), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view, &wheel);
    QApplication::processEvents();
}

class WheelStopper : public CGridCell
{
public:
    bool OnMouseWheel(int, int, int) override { return false; }
};
} // namespace

TEST_F(GridInputTest, TheWheelPostsLineRequestsAndKeepsWhatIsLeftOfSmallTurns)
{
    Build(60, 6, 1, 1, 20, 50);
    ASSERT_EQ(QApplication::wheelScrollLines(), 3);
    grid->OnVScroll(SB_THUMBPOSITION, 400);
    const int top = grid->GetTopLeftScrollingCell().row;
    Wheel(grid->viewport(), At(top + 1, 2), 120);
    EXPECT_EQ(grid->GetTopLeftScrollingCell().row, top - 3);
    Wheel(grid->viewport(), At(top, 2), -240);
    EXPECT_EQ(grid->GetTopLeftScrollingCell().row, top + 3);
    // A fine wheel: four quarter turns make one notch.
    for (int i = 0; i < 3; ++i)
        Wheel(grid->viewport(), At(top + 4, 2), 30);
    EXPECT_EQ(grid->GetTopLeftScrollingCell().row, top + 1);
    Wheel(grid->viewport(), At(top + 4, 2), 30);
    EXPECT_EQ(grid->GetTopLeftScrollingCell().row, top);

    // A cell that keeps the wheel stops the scrolling.
    const int here = grid->GetTopLeftScrollingCell().row + 2;
    grid->SetCellType(here, 2, &MakeGridCell<WheelStopper>);
    Wheel(grid->viewport(), At(here, 2), 120);
    EXPECT_EQ(grid->GetTopLeftScrollingCell().row, top);
}

TEST_F(GridInputTest, OneNotchIsOnePageWithThePageSetting)
{
    Build(60, 6, 1, 1, 20, 50);
    grid->SetWheelScrollLines(-1);
    grid->OnVScroll(SB_PAGEDOWN);
    grid->OnVScroll(SB_PAGEDOWN);
    const int pos = grid->GetScrollPosition(SB_VERT);
    Wheel(grid->viewport(), {125, 150}, 120);
    EXPECT_EQ(grid->GetScrollPosition(SB_VERT),
              pos - (grid->GetClientRect().Height() - grid->GetFixedRowHeight()));
}

TEST_F(GridInputTest, KeysMoveTheFocusPastHiddenRowsAndColumns)
{
    grid->SetRowHeight(4, 0);
    grid->SetColumnWidth(3, 0);
    struct Case
    {
        CGridCellPos from;
        Qt::Key key;
        Qt::KeyboardModifiers keys;
        CGridCellPos to;
    } cases[] = {
        {{3, 2}, Qt::Key_Down, {}, {5, 2}},
        {{5, 2}, Qt::Key_Up, {}, {3, 2}},
        {{1, 2}, Qt::Key_Up, {}, {1, 2}},
        {{11, 2}, Qt::Key_Down, {}, {11, 2}},
        {{2, 2}, Qt::Key_Right, {}, {2, 4}},
        {{2, 5}, Qt::Key_Right, {}, {2, 5}},
        {{2, 4}, Qt::Key_Left, {}, {2, 2}},
        {{2, 1}, Qt::Key_Left, {}, {2, 1}},
        {{2, 2}, Qt::Key_Tab, {}, {2, 4}},
        {{2, 5}, Qt::Key_Tab, {}, {3, 1}},
        {{3, 5}, Qt::Key_Tab, {}, {5, 1}},
        {{11, 5}, Qt::Key_Tab, {}, {11, 5}},
        {{5, 1}, Qt::Key_Backtab, Qt::ShiftModifier, {3, 5}},
        {{5, 4}, Qt::Key_Home, {}, {5, 1}},
        {{5, 4}, Qt::Key_Home, Qt::ControlModifier, {1, 1}},
        {{5, 2}, Qt::Key_End, {}, {5, 5}},
        {{5, 2}, Qt::Key_End, Qt::ControlModifier, {11, 5}},
        {{5, 2}, Qt::Key_PageDown, {}, {11, 2}}, // the view cannot move: the last row
        {{5, 2}, Qt::Key_PageUp, {}, {1, 2}},
        // Ctrl with an arrow moves the focus and leaves the selection as it is.
        {{3, 2}, Qt::Key_Down, Qt::ControlModifier, {5, 2}},
        {{5, 4}, Qt::Key_Left, Qt::ControlModifier, {5, 2}},
    };
    for (const Case& c : cases)
    {
        grid->SetFocusCell(c.from);
        const Cells before = Selected();
        input.Key(c.key, c.keys);
        EXPECT_EQ(grid->GetFocusCell(), c.to) << c.from.row << "," << c.from.col << " key " << c.key;
        const bool focusOnly = (c.keys & Qt::ControlModifier) && c.key != Qt::Key_Home && c.key != Qt::Key_End;
        if (focusOnly || c.to == c.from)
            EXPECT_EQ(Selected(), before) << c.key;
        else
            EXPECT_EQ(Selected(), (Cells{{c.to.row, c.to.col}})) << c.key;
        // Tab keeps the keyboard focus in the grid.
        EXPECT_EQ(QApplication::focusWidget(), grid) << c.key;
    }

    // A move selects the target; with Shift the block from the anchor.
    grid->SetFocusRowCol(2, 1);
    input.Key(Qt::Key_Down);
    EXPECT_EQ(Selected(), (Cells{{3, 1}}));
    input.Key(Qt::Key_Right, Qt::ShiftModifier);
    input.Key(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(Selected(), (Cells{{3, 1}, {3, 2}, {4, 1}, {4, 2}, {5, 1}, {5, 2}}));
}

TEST_F(GridInputTest, KeysReachTheLastRowAndNeverLandOnAHiddenOne)
{
    // Rows 1 to 11 under one heading row; the cases hide rows as a list of row pairs
    // with closed second rows does.
    struct Case
    {
        std::vector<int> hidden;
        CGridCellPos from;
        Qt::Key key;
        Qt::KeyboardModifiers keys;
        CGridCellPos to;
    } cases[] = {
        {{}, {10, 2}, Qt::Key_Down, {}, {11, 2}},
        {{}, {11, 2}, Qt::Key_Up, {}, {10, 2}},
        {{2, 4, 6, 8, 10}, {9, 2}, Qt::Key_Down, {}, {11, 2}},
        {{2, 4, 6, 8, 10}, {3, 2}, Qt::Key_Up, {}, {1, 2}},
        {{11}, {9, 2}, Qt::Key_Down, {}, {10, 2}},
        {{11}, {10, 2}, Qt::Key_Down, {}, {10, 2}},
        {{11}, {5, 2}, Qt::Key_PageDown, {}, {10, 2}},
        {{10, 11}, {5, 2}, Qt::Key_End, Qt::ControlModifier, {9, 5}},
        {{1}, {5, 2}, Qt::Key_PageUp, {}, {2, 2}},
        {{1, 2}, {5, 2}, Qt::Key_Home, Qt::ControlModifier, {3, 1}},
        {{2, 4, 6, 8, 10}, {5, 2}, Qt::Key_Home, {}, {5, 1}},
        {{2, 4, 6, 8, 10}, {5, 2}, Qt::Key_End, {}, {5, 5}},
    };
    for (const Case& c : cases)
    {
        for (int row = 1; row < 12; ++row)
            grid->SetRowHeight(row, std::find(c.hidden.begin(), c.hidden.end(), row) == c.hidden.end() ? 20 : 0);
        grid->SetFocusCell(c.from);
        input.Key(c.key, c.keys);
        EXPECT_EQ(grid->GetFocusCell(), c.to) << c.from.row << "," << c.from.col << " key " << c.key;
        EXPECT_GT(grid->GetRowHeight(grid->GetFocusCell().row), 0) << c.key;
    }
}

TEST_F(GridInputTest, AnEditorGivesItsTextToItsCellWhenTheGridScrollsOrTheFocusMoves)
{
    Build(60, 6, 1, 1, 20, 50);
    owner.Clear();
    struct Case
    {
        const char* what;
        std::function<void()> move;
    } cases[] = {
        {"focus moved", [&] { grid->SetFocusRowCol(4, 2); }},
        {"scrolled", [&] { grid->OnVScroll(SB_LINEDOWN); }},
        {"wheel",
         [&]
         {
             QWheelEvent wheel(QPointF(60, 60), grid->viewport()->mapToGlobal(QPointF(60, 60)), QPoint(),
                               QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
             QApplication::sendEvent(grid->viewport(), &wheel);
             QApplication::processEvents();
         }},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        grid->SetScrollPosition(SB_VERT, 0);
        grid->SetFocusRowCol(2, 2);
        grid->SetItemText(2, 2, QStringLiteral("r2c2"));
        input.Key(Qt::Key_F2);
        ASSERT_NE(Editor(2, 2), nullptr);
        QTest::keyClicks(Editor(2, 2), QStringLiteral("x"));
        owner.Clear();
        c.move();
        QApplication::processEvents();
        EXPECT_EQ(Editor(2, 2), nullptr);
        EXPECT_FALSE(grid->GetCell(2, 2)->IsEditing());
        // The text goes to the cell the editor was opened on, and the keys back to the grid.
        EXPECT_EQ(grid->GetItemText(2, 2), QStringLiteral("r2c2x"));
        const std::vector<Note> notes = owner.Notes();
        EXPECT_EQ(std::count_if(notes.begin(), notes.end(),
                                [](const Note& n) { return n.code == int(Notify::GRIDN_ENDLABELEDIT); }),
                  1);
        EXPECT_NE(std::find(notes.begin(), notes.end(), Note{Notify::GRIDN_ENDLABELEDIT, 2, 2}), notes.end());
        EXPECT_EQ(QApplication::focusWidget(), grid);
    }

    // Rows that move under an open editor close it without a word to the owner.
    grid->SetItemText(2, 2, QStringLiteral("r2c2"));
    grid->SetFocusRowCol(2, 2);
    input.Key(Qt::Key_F2);
    ASSERT_NE(Editor(2, 2), nullptr);
    QTest::keyClicks(Editor(2, 2), QStringLiteral("y"));
    owner.Clear();
    grid->InsertRow(QString(), 1);
    QApplication::processEvents();
    for (const CInPlaceEdit* editor : grid->findChildren<CInPlaceEdit*>())
        EXPECT_FALSE(editor->isVisible());
    EXPECT_TRUE(owner.Notes().empty());
    EXPECT_EQ(grid->GetItemText(3, 2), QStringLiteral("r2c2"));
}

TEST_F(GridInputTest, KeyCommandsGoToTheOwner)
{
    for (int r = 1; r < 12; ++r)
        for (int c = 1; c < 6; ++c)
            grid->SetItemState(r, c, grid->GetItemState(r, c) | CELLSTATE_READONLY);
    input.Key(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(owner.Notes(), (std::vector<Note>{{Notify::GRIDN_KEYCOMMAND, 0x53, 2}}));
    // Without a focus cell the first key only brings it to the first visible cell.
    owner.Clear();
    input.Key(Qt::Key_Return);
    EXPECT_EQ(grid->GetFocusCell(), (CGridCellPos{1, 1}));
    for (const Note& note : owner.Notes())
        EXPECT_NE(note.code, Notify::GRIDN_KEYCOMMAND);

    grid->SetFocusRowCol(2, 2);
    owner.Clear();
    input.Key(Qt::Key_Return);
    input.Key(Qt::Key_Delete);
    input.Key(Qt::Key_Space);
    input.Key(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(owner.Notes(), (std::vector<Note>{{Notify::GRIDN_KEYCOMMAND, VK_RETURN, 1},
                                                {Notify::GRIDN_KEYCOMMAND, VK_DELETE, 1},
                                                {Notify::GRIDN_KEYCOMMAND, VK_SPACE, 1},
                                                {Notify::GRIDN_KEYCOMMAND, 0x53, 2}}));

    // Ctrl+A selects every scrolling cell.
    input.Key(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(grid->GetSelectedCount(), 11 * 5);
}

TEST_F(GridInputTest, TypingStartsAnEditAfterTheKeyCommand)
{
    grid->SetFocusRowCol(2, 2);
    owner.Clear();
    // Enter: the key command first, then its character opens the editor, caret at the end.
    input.Key(Qt::Key_Return);
    EXPECT_EQ(Codes(), (std::vector<int>{Notify::GRIDN_KEYCOMMAND, Notify::GRIDN_BEGINLABELEDIT}));
    ASSERT_NE(Editor(2, 2), nullptr);
    EXPECT_FALSE(Editor(2, 2)->hasSelectedText());
    QTest::keyClick(Editor(2, 2), Qt::Key_Escape);
    QApplication::processEvents();

    struct Case
    {
        const char* what;
        std::function<void()> type;
        QString text;
        bool allSelected;
    } cases[] = {
        {"space", [&] { input.Key(Qt::Key_Space); }, "r2c2", true},
        {"letter", [&] { input.Type('x'); }, "x", false},
        {"backspace", [&] { input.Key(Qt::Key_Backspace); }, "r2c", false},
    };
    for (const Case& c : cases)
    {
        grid->SetItemText(2, 2, QStringLiteral("r2c2"));
        c.type();
        QApplication::processEvents();
        CInPlaceEdit* editor = Editor(2, 2);
        ASSERT_NE(editor, nullptr) << c.what;
        EXPECT_EQ(editor->text(), c.text) << c.what;
        EXPECT_EQ(editor->hasSelectedText(), c.allSelected) << c.what;
        EXPECT_TRUE(editor->GetExitOnArrows()) << c.what;
        QTest::keyClick(editor, Qt::Key_Escape);
        QApplication::processEvents();
        EXPECT_EQ(grid->GetItemText(2, 2), QStringLiteral("r2c2")) << c.what;
    }

    // Read-only cells and a refusing owner open nothing.
    grid->SetItemState(2, 2, grid->GetItemState(2, 2) | CELLSTATE_READONLY);
    input.Type('y');
    EXPECT_EQ(Editor(2, 2), nullptr);
    grid->SetFocusRowCol(3, 3);
    owner.replies = {{Notify::GRIDN_BEGINLABELEDIT, -1}};
    input.Type('y');
    EXPECT_EQ(Editor(3, 3), nullptr);
}

TEST_F(GridInputTest, TheEditorsExitKeysEndTheEditAndMoveOn)
{
    // Opened by F2: arrows move the caret; with Ctrl they end the edit and move on.
    grid->SetFocusRowCol(2, 2);
    input.Key(Qt::Key_F2);
    CInPlaceEdit* editor = Editor(2, 2);
    ASSERT_NE(editor, nullptr);
    QTest::keyClick(editor, Qt::Key_Left);
    EXPECT_EQ(editor->cursorPosition(), 3);
    EXPECT_TRUE(grid->GetCell(2, 2)->IsEditing());
    QTest::keyClick(editor, Qt::Key_Z);
    owner.Clear();
    QTest::keyClick(editor, Qt::Key_Right, Qt::ControlModifier);
    QApplication::processEvents();
    EXPECT_EQ(grid->GetItemText(2, 2), QStringLiteral("r2cz2"));
    EXPECT_EQ(grid->GetFocusCell(), (CGridCellPos{2, 3}));
    ASSERT_NE(Editor(2, 3), nullptr);
    EXPECT_TRUE(Editor(2, 3)->hasSelectedText());
    EXPECT_EQ(Codes().front(), Notify::GRIDN_ENDLABELEDIT);

    // Opened by moving on: an arrow ends it and opens the next one; Tab likewise.
    QTest::keyClick(Editor(2, 3), Qt::Key_Down);
    QApplication::processEvents();
    EXPECT_EQ(grid->GetFocusCell(), (CGridCellPos{3, 3}));
    ASSERT_NE(Editor(3, 3), nullptr);
    QTest::keyClick(Editor(3, 3), Qt::Key_Tab);
    QApplication::processEvents();
    EXPECT_EQ(grid->GetFocusCell(), (CGridCellPos{3, 4}));
    ASSERT_NE(Editor(3, 4), nullptr);

    // Esc puts the text back: unchanged. Enter ends without moving on.
    QTest::keyClicks(Editor(3, 4), QStringLiteral("new"));
    owner.Clear();
    QTest::keyClick(Editor(3, 4), Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_EQ(owner.Notes(), (std::vector<Note>{{Notify::GRIDN_EDITUNCHANGED, 3, 4}}));
    EXPECT_EQ(grid->GetItemText(3, 4), QStringLiteral("r3c4"));
    EXPECT_FALSE(grid->GetCell(3, 4)->IsEditing());

    grid->EditCell(3, 4, false);
    ASSERT_NE(Editor(3, 4), nullptr);
    QTest::keyClicks(Editor(3, 4), QStringLiteral("!"));
    owner.Clear();
    owner.replies = {{Notify::GRIDN_ENDLABELEDIT, -1}}; // the owner refuses: the old text comes back
    QTest::keyClick(Editor(3, 4), Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(owner.Notes(), (std::vector<Note>{{Notify::GRIDN_ENDLABELEDIT, 3, 4}}));
    EXPECT_EQ(grid->GetItemText(3, 4), QStringLiteral("r3c4"));
    EXPECT_EQ(grid->GetFocusCell(), (CGridCellPos{3, 4}));
    EXPECT_EQ(Editor(3, 4), nullptr);
}

TEST_F(GridInputTest, EditCellSelectsTheTextOnRequestAndTheEditorGrows)
{
    grid->EditCell(2, 1, true);
    CInPlaceEdit* editor = Editor(2, 1);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->selectedText(), QStringLiteral("r2c1"));
    const int width = editor->width();
    QTest::keyClicks(editor, QStringLiteral(" and a good deal more text than fits"));
    EXPECT_GT(editor->width(), width);
    EXPECT_LE(editor->geometry().right() + 1, grid->GetClientRect().right);
    QTest::keyClicks(editor, QString(200, u'w'));
    EXPECT_EQ(editor->geometry().right() + 1, grid->GetClientRect().right);
    QTest::keyClick(editor, Qt::Key_Escape);
}

TEST_F(GridInputTest, TheTooltipShowsTheZoneUnderTheMouse)
{
    const Rect zone{5, 4, 30, 14};
    grid->GetCell(3, 2)->AddTipZone(&zone, QStringLiteral("Title"), QStringLiteral("Tip text"));
    const BalloonTip* tip = grid->GetToolTip();
    ASSERT_NE(tip, nullptr);
    Rect cell;
    ASSERT_TRUE(grid->GetCellRect(3, 2, &cell));
    const QPoint inZone(cell.left + 10, cell.top + 8);

    input.Move(inZone);
    ASSERT_TRUE(tip->HasTool());
    EXPECT_EQ(tip->GetToolRect(), (Rect{cell.left + 5, cell.top + 4, cell.left + 30, cell.top + 14}));
    EXPECT_EQ(tip->GetTitle(), QStringLiteral("Title"));
    EXPECT_EQ(tip->GetText(), QStringLiteral("Tip text"));
    EXPECT_EQ(tip->GetInitialDelay(), 500);
    EXPECT_EQ(tip->GetAutoPopDelay(), 30000);
    EXPECT_EQ(tip->GetMaxTipWidth(), 1200);
    EXPECT_TRUE(QTest::qWaitFor([&] { return tip->IsShown(); }, 3000));

    // Moving within the same zone keeps the tip as it is.
    input.Move(inZone + QPoint(1, 1));
    EXPECT_TRUE(tip->IsShown());
    // Outside every zone the tool goes.
    input.Move(QPoint(cell.left + 40, cell.top + 8));
    EXPECT_FALSE(tip->HasTool());
    EXPECT_FALSE(tip->IsShown());
}

TEST_F(GridInputTest, PressingAndLeavingTheGridScrollsWhileSelecting)
{
    Build(60, 6, 1, 1, 20, 50);
    const Rect client = grid->GetClientRect();
    const QPoint start = At(5, 2);
    input.Press(start);
    ASSERT_TRUE(grid->IsAutoScrolling());
    QCursor::setPos(grid->viewport()->mapToGlobal(QPoint(120, client.bottom + 30)));
    EXPECT_TRUE(QTest::qWaitFor([&] { return grid->GetFocusCell().row > 20; }, 3000));
    EXPECT_GT(grid->GetTopLeftScrollingCell().row, 1);
    EXPECT_TRUE(grid->IsCellSelected(12, 2));
    input.Release(start);
    EXPECT_FALSE(grid->IsAutoScrolling());
}

TEST_F(GridInputTest, ShrinkingTheGridForgetsEditorsAndAnchorsBeyondIt)
{
    input.Click(At(8, 2));
    grid->EditCell(9, 1, false);
    QPointer<CInPlaceEdit> editor = Editor(9, 1);
    ASSERT_NE(editor, nullptr);
    owner.Clear();
    grid->SetRowCount(5);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(editor.isNull());
    for (const Note& n : owner.Notes())
        EXPECT_TRUE(n.code != Notify::GRIDN_ENDLABELEDIT && n.code != Notify::GRIDN_EDITUNCHANGED) << n;

    // The anchor went with its row: rows are selected from the cell alone.
    grid->SelectRows({3, 1});
    EXPECT_EQ(Selected(), (Cells{{3, 1}, {3, 2}, {3, 3}, {3, 4}, {3, 5}}));
}
