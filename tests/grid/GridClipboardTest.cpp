#include "GridTestSupport.h"

#include "grid/InPlaceEdit.h"
#include "grid/PasteText.h"
#include "platform/gui/Clipboard.h"
#include "tests/support/MemoryClipboard.h"

#include <QClipboard>
#include <QDragEnterEvent>
#include <QMimeData>

using namespace Platform;

namespace
{
class GridClipboardTest : public GridFixture
{
protected:
    void SetUp() override
    {
        GridFixture::SetUp();
        Build(6, 4, 1, 1);
        for (int r = 0; r < 6; ++r)
            for (int c = 0; c < 4; ++c)
                grid->SetItemText(r, c, QStringLiteral("%1%2").arg(QChar(u'a' + c)).arg(r));
    }
    std::vector<QString> Row(int row) const
    {
        std::vector<QString> texts;
        for (int c = 0; c < grid->GetColumnCount(); ++c)
            texts.push_back(grid->GetItemText(row, c));
        return texts;
    }

    MemoryClipboard clipboard;
};
} // namespace

TEST_F(GridClipboardTest, CopiedTextStartsWithTheHeadingsAndTakesSelectedCells)
{
    grid->SetSelectedRange(2, 1, 3, 3);
    EXPECT_EQ(grid->CopyTextFromGrid(), QStringLiteral("b0\tc0\td0\t\r\n"
                                                       "b2\tc2\td2\r\n"
                                                       "b3\tc3\td3"));

    // Hidden columns give their heading only; a row whose column 1 is not selected gives
    // only its line break; an unselected cell gives nothing between its separators.
    grid->SetColumnWidth(2, 0);
    grid->SetSelectedRange(2, 1, 4, 3);
    grid->SetItemState(3, 1, grid->GetItemState(3, 1) & ~CELLSTATE_SELECTED);
    grid->SetItemState(4, 3, grid->GetItemState(4, 3) & ~CELLSTATE_SELECTED);
    EXPECT_EQ(grid->CopyTextFromGrid(), QStringLiteral("b0\tc0\td0\t\r\n"
                                                       "b2\td2\r\n"
                                                       "\r\n"
                                                       "b4\t"));

    // The series page's setting: no separators at all.
    grid->EnableCopyCellTabs(false);
    EXPECT_TRUE(grid->EnableCopyRowBreaks(false));
    EXPECT_EQ(grid->CopyTextFromGrid(), QStringLiteral("b0c0d0b2d2b4"));

    grid->ClearSelection();
    EXPECT_EQ(grid->CopyTextFromGrid(), std::nullopt);
}

TEST_F(GridClipboardTest, EditCommandsFollowTheirEnableRules)
{
    EXPECT_TRUE(grid->IsEditCommandEnabled(GridCmd::ID_EDIT_SELECT_ALL));
    EXPECT_FALSE(grid->IsEditCommandEnabled(GridCmd::ID_EDIT_COPY));
    EXPECT_FALSE(grid->IsEditCommandEnabled(GridCmd::ID_EDIT_CUT));
    grid->SetFocusRowCol(2, 2);
    EXPECT_FALSE(grid->IsEditCommandEnabled(GridCmd::ID_EDIT_PASTE)); // no text offered
    clipboard.content.text = QStringLiteral("x");
    EXPECT_TRUE(grid->IsEditCommandEnabled(GridCmd::ID_EDIT_PASTE));
    grid->SetItemState(2, 2, grid->GetItemState(2, 2) | CELLSTATE_READONLY);
    EXPECT_FALSE(grid->IsEditCommandEnabled(GridCmd::ID_EDIT_PASTE));

    grid->OnEditSelectAll();
    EXPECT_TRUE(grid->IsEditCommandEnabled(GridCmd::ID_EDIT_COPY));
    EXPECT_TRUE(grid->IsEditCommandEnabled(GridCmd::ID_EDIT_CUT));

    // Cut empties the selected cells the owner lets go, and only after a copy that worked.
    grid->SetSelectedRange(1, 1, 1, 3);
    clipboard.failSet = true;
    grid->OnEditCut();
    EXPECT_EQ(Row(1), (std::vector<QString>{"a1", "b1", "c1", "d1"}));
    clipboard.failSet = false;
    NotifyRecorder owner;
    owner.hook = [&](const GRIDNOTIFY& n)
    {
        if (n.code == Notify::GRIDN_BEGINLABELEDIT && n.column == 3)
            owner.reply = -1;
        else
            owner.reply = 0;
    };
    grid->SetNotifyTarget(&owner);
    grid->OnEditCut();
    grid->SetNotifyTarget(nullptr);
    EXPECT_EQ(clipboard.content.text, QStringLiteral("b0\tc0\td0\t\r\nb1\tc1\td1"));
    EXPECT_EQ(Row(1), (std::vector<QString>{"a1", "", "", "d1"}));
}

TEST(GridPasteText, SplitsLinesAndFieldsAsTheGridPastesThem)
{
    using Lines = std::vector<std::vector<QString>>;
    struct Case
    {
        QString text;
        Lines lines;
    } cases[] = {
        {"a,b\tc", {{"a", "b", "c"}}},
        {"a\r\nb", {{"a\r"}, {"b"}}},
        {"x\n\ny", {{"x"}, {}, {"y"}}},
        {"x\n", {{"x"}}},
        {"a,,b,", {{"a", "", "b"}}},
        {",a", {{"", "a"}}},
        {QStringLiteral("a\tb") + QChar(0) + QStringLiteral("\tc\nd"), {{"a", "b"}}},
        {"", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SplitPastedText(c.text), c.lines) << c.text.toStdString();
}

TEST_F(GridClipboardTest, PastedTextFillsCellsFromTheTopLeftPastHiddenOnes)
{
    EXPECT_TRUE(grid->PasteTextToGrid({1, 1}, QStringLiteral(" p , q\tr \r\n\r\n s"), true));
    EXPECT_EQ(Row(1), (std::vector<QString>{"a1", "p", "q", "r"}));
    EXPECT_EQ(Row(2), (std::vector<QString>{"a2", "", "c2", "d2"})); // "\r" trimmed to nothing
    EXPECT_EQ(Row(3), (std::vector<QString>{"a3", "s", "c3", "d3"}));
    // The pasted block is selected; fields beyond the grid are dropped.
    EXPECT_EQ(grid->GetSelectedCellRange(), (CGridCellRect{1, 1, 3, 3}));

    grid->SetRowHeight(4, 0);
    grid->SetColumnWidth(2, 0);
    EXPECT_TRUE(grid->PasteTextToGrid({3, 1}, QStringLiteral("1,2,3\n4"), false));
    EXPECT_EQ(Row(3), (std::vector<QString>{"a3", "1", "c3", "2"}));
    EXPECT_EQ(Row(4), (std::vector<QString>{"a4", "b4", "c4", "d4"}));
    EXPECT_EQ(Row(5), (std::vector<QString>{"a5", "4", "c5", "d5"}));
    EXPECT_EQ(grid->GetSelectedCount(), 0);
    EXPECT_EQ(grid->GetFocusCell(), (CGridCellPos{-1, -1}));

    // Read-only cells keep their text; a read-only top-left cell or no text: nothing.
    grid->SetItemState(5, 3, grid->GetItemState(5, 3) | CELLSTATE_READONLY);
    EXPECT_TRUE(grid->PasteTextToGrid({5, 1}, QStringLiteral("x,y"), true));
    EXPECT_EQ(Row(5), (std::vector<QString>{"a5", "x", "c5", "d5"}));
    EXPECT_FALSE(grid->PasteTextToGrid({5, 3}, QStringLiteral("z"), true));
    EXPECT_FALSE(grid->PasteTextToGrid({1, 1}, std::nullopt, true));
    EXPECT_FALSE(grid->PasteTextToGrid({9, 1}, QStringLiteral("z"), true));
}

TEST_F(GridClipboardTest, PasteGoesToTheSelectionOrTheFocusOrAnOpenEditor)
{
    clipboard.content.text = QStringLiteral("P");
    grid->SetSelectedRange(3, 2, 4, 3);
    grid->SetFocusRowCol(1, 1);
    grid->OnEditPaste();
    EXPECT_EQ(grid->GetItemText(3, 2), QStringLiteral("P"));
    grid->ClearSelection();
    grid->SetFocusRowCol(2, 3);
    grid->OnEditPaste();
    EXPECT_EQ(grid->GetItemText(2, 3), QStringLiteral("P"));

    grid->ClearSelection();
    grid->SetFocusRowCol(1, 2);
    grid->EditCell(1, 2, true);
    auto* editor = qobject_cast<CInPlaceEdit*>(grid->GetCell(1, 2)->GetEditWnd());
    ASSERT_NE(editor, nullptr);
    // The editor pastes from the system clipboard.
    QGuiApplication::clipboard()->setText(QStringLiteral("typed"));
    grid->OnEditPaste();
    EXPECT_EQ(editor->text(), QStringLiteral("typed"));
    EXPECT_EQ(grid->GetItemText(1, 2), QStringLiteral("c1"));
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_EQ(grid->GetItemText(1, 2), QStringLiteral("typed"));
}

TEST(GridClipboardRoundTrip, CopyAndPasteThroughTheSystemClipboard)
{
    QWidget parent;
    auto* grid = new CGridCtrl(4, 3, 1, 0);
    grid->Create(QRect(0, 0, 300, 200), &parent, 5);
    for (int c = 0; c < 3; ++c)
        grid->SetItemText(1, c, QStringLiteral("v%1 ü€").arg(c));
    grid->SetSelectedRange(1, 0, 1, 2);
    grid->OnEditCopy();
    const std::optional<QString> text = Platform::Clipboard().Text();
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(*text, QStringLiteral("\t\t\t\r\nv0 ü€\tv1 ü€\tv2 ü€"));

    // Pasted below: the heading line lands in row 2, the values in row 3.
    grid->ClearSelection();
    grid->SetFocusRowCol(2, 0);
    grid->OnEditPaste();
    EXPECT_EQ(grid->GetItemText(3, 0), QStringLiteral("v0 ü€"));
    EXPECT_EQ(grid->GetItemText(3, 2), QStringLiteral("v2 ü€"));
}

namespace
{
// A window behind the grid that would take any drop.
class DropCatcher : public QWidget
{
public:
    DropCatcher() { setAcceptDrops(true); }
    int enters = 0;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override
    {
        ++enters;
        event->acceptProposedAction();
    }
};
} // namespace

TEST(GridDropTarget, TheGridRefusesEveryDropAndKeepsItFromTheWindowBehind)
{
    DropCatcher parent;
    parent.resize(400, 300);
    auto* grid = new CGridCtrl(4, 3, 1, 0);
    grid->Create(QRect(0, 0, 300, 200), &parent, 5);
    parent.show();
    QApplication::processEvents();
    EXPECT_TRUE(grid->viewport()->acceptDrops()); // registered at the first size

    QMimeData data;
    data.setText(QStringLiteral("dragged"));
    QWidget* view = grid->viewport();
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                          Qt::NoModifier);
    QApplication::sendEvent(view, &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_EQ(enter.dropAction(), Qt::IgnoreAction);
    EXPECT_EQ(parent.enters, 0);
    QDragMoveEvent move(QPoint(60, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::ControlModifier);
    QApplication::sendEvent(view, &move);
    EXPECT_FALSE(move.isAccepted());
    EXPECT_EQ(move.dropAction(), Qt::IgnoreAction);
    QDropEvent drop(QPointF(60, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &drop);
    EXPECT_FALSE(drop.isAccepted());

    // Registration happens once and only for grids; other windows get no drop.
    CGridDropTarget target;
    QWidget other;
    EXPECT_FALSE(target.Register(&other));
    EXPECT_TRUE(target.Register(grid));
    EXPECT_FALSE(target.Register(grid));
    EXPECT_EQ(target.OnDragEnter(&other, Qt::NoModifier, {}), DROPEFFECT_NONE);
    EXPECT_EQ(target.OnDragScroll(grid, Qt::ControlModifier, {}), DROPEFFECT_COPY);
    EXPECT_EQ(target.OnDragScroll(grid, Qt::NoModifier, {}), DROPEFFECT_MOVE);
    EXPECT_EQ(target.OnDragScroll(&other, Qt::NoModifier, {}), DROPEFFECT_NONE);
    target.Revoke();
    EXPECT_FALSE(target.IsRegistered());
}
