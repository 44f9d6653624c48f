#include "controls/MultiTree.h"
#include "platform/gui/ImageList.h"

#include <QLineEdit>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

namespace
{

using Items = std::vector<TreeItem*>;

// Project
//   A        (A1, A2)
//   B        (B1)
//   C
class MultiTreeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        tree.resize(300, 240);
        root = tree.InsertItem("Project", 0, 0);
        a = tree.InsertItem("A", 0, 0, root);
        a1 = tree.InsertItem("A1", 0, 0, a);
        a2 = tree.InsertItem("A2", 0, 0, a);
        b = tree.InsertItem("B", 0, 0, root);
        b1 = tree.InsertItem("B1", 0, 0, b);
        c = tree.InsertItem("C", 0, 0, root);
        tree.expandAll();
        tree.SetNotifyHandler(
            [this](const TreeNotify& n) -> intptr_t
            {
                notes.push_back(n);
                if (n.code == Notify::TVN_SELCHANGING)
                    return refuseSelection;
                if (n.code == Notify::TVN_BEGINLABELEDIT)
                    return refuseEdit;
                if (n.code == Notify::TVN_ENDLABELEDIT)
                    return acceptEdit;
                return 0;
            });
        tree.show();
    }

    QPoint On(TreeItem* item) const { return tree.GetItemLabelRect(item).center(); }
    // Right of the item's label, in its row.
    QPoint Beside(TreeItem* item) const { return QPoint(tree.viewport()->width() - 4, On(item).y()); }
    Items Selected() const
    {
        Items items;
        tree.GetSelectedList(items);
        return items;
    }
    void Click(TreeItem* item, Qt::KeyboardModifiers mods = {}, Qt::MouseButton button = Qt::LeftButton)
    {
        QTest::mouseClick(tree.viewport(), button, mods, On(item));
    }
    // The label editor in use (closed ones linger hidden until deleted).
    QLineEdit* OpenEditor() const
    {
        for (QLineEdit* editor : tree.viewport()->findChildren<QLineEdit*>())
            if (editor->isVisible())
                return editor;
        return nullptr;
    }
    int Count(int code) const
    {
        return static_cast<int>(
            std::count_if(notes.begin(), notes.end(), [code](auto& n) { return n.code == code; }));
    }

    CMultiTree tree;
    TreeItem *root = nullptr, *a = nullptr, *a1 = nullptr, *a2 = nullptr, *b = nullptr, *b1 = nullptr,
             *c = nullptr;
    std::vector<TreeNotify> notes;
    intptr_t refuseSelection = 0;
    intptr_t refuseEdit = 0;
    intptr_t acceptEdit = 1;
};

} // namespace

TEST_F(MultiTreeTest, CtrlClickTogglesAndShiftClickSelectsARange)
{
    Click(a1);
    Click(b, Qt::ControlModifier);
    EXPECT_EQ(Selected(), (Items{a1, b}));
    Click(a1, Qt::ControlModifier);
    EXPECT_EQ(Selected(), (Items{b}));
    EXPECT_EQ(tree.GetSelectedItem(), a1) << "the toggled item has the focus";

    Click(a);
    Click(b1, Qt::ShiftModifier);
    EXPECT_EQ(Selected(), (Items{a, a1, a2, b, b1}));
    EXPECT_EQ(tree.GetSelectedItem(), b1);
    // The anchor stays: a shorter range replaces the longer one, Ctrl keeps the others.
    Click(a1, Qt::ShiftModifier);
    EXPECT_EQ(Selected(), (Items{a, a1}));
    // A Ctrl click clears the anchor, so the next range starts at the caret.
    Click(c, Qt::ControlModifier);
    Click(a2, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_EQ(Selected(), (Items{a, a1, a2, b, b1, c}));
    EXPECT_EQ(Count(Notify::NM_CLICK), 8);
}

TEST_F(MultiTreeTest, APlainPressKeepsTheSelectionUntilTheRelease)
{
    Click(a1);
    Click(a2, Qt::ControlModifier);
    QTest::mousePress(tree.viewport(), Qt::LeftButton, {}, On(a1));
    EXPECT_EQ(Selected(), (Items{a1, a2}));
    QTest::mouseRelease(tree.viewport(), Qt::LeftButton, {}, On(a1));
    EXPECT_EQ(Selected(), (Items{a1}));
    EXPECT_EQ(tree.GetSelectedItem(), a1);
}

TEST_F(MultiTreeTest, SelectionChangesAreAnnouncedAndCanBeRefused)
{
    Click(a1);
    notes.clear();
    Click(b, Qt::ControlModifier);
    ASSERT_GE(Count(Notify::TVN_SELCHANGED), 1);
    const auto changed =
        std::find_if(notes.begin(), notes.end(),
                     [this](auto& n) { return n.code == Notify::TVN_SELCHANGED && n.itemNew == b; });
    EXPECT_NE(changed, notes.end());

    refuseSelection = 1;
    Click(c);
    EXPECT_EQ(Selected(), (Items{a1, b}));
    EXPECT_FALSE(tree.SetItemState(c, TVIS_SELECTED, TVIS_SELECTED));
    EXPECT_FALSE(tree.IsSelected(c));
}

TEST_F(MultiTreeTest, FocusAloneMovesTheCaretWithoutChangingTheSelection)
{
    Click(a1);
    ASSERT_TRUE(tree.SetItemState(b, TVIS_FOCUSED, TVIS_FOCUSED));
    EXPECT_EQ(tree.GetSelectedItem(), b);
    EXPECT_EQ(Selected(), (Items{a1}));
    EXPECT_EQ(tree.GetItemState(b, TVIS_FOCUSED | TVIS_SELECTED), TVIS_FOCUSED);
    // Taking the focus away keeps a selected item selected.
    ASSERT_TRUE(tree.SetItemState(a1, TVIS_FOCUSED | TVIS_SELECTED, TVIS_FOCUSED | TVIS_SELECTED));
    ASSERT_TRUE(tree.SetItemState(a1, 0, TVIS_FOCUSED));
    EXPECT_EQ(tree.GetSelectedItem(), nullptr);
    EXPECT_EQ(Selected(), (Items{a1}));
}

TEST_F(MultiTreeTest, RubberBandWithCtrlInvertsAndMovingAwayRestores)
{
    Click(a1);
    Click(b, Qt::ControlModifier);
    QTest::mousePress(tree.viewport(), Qt::LeftButton, Qt::ControlModifier, Beside(a1));
    QTest::mouseMove(tree.viewport(), Beside(b));
    EXPECT_TRUE(tree.IsBanding());
    EXPECT_EQ(Selected(), (Items{a2})) << "A1 and B inverted off, A2 on";
    // The band is drawn over the items.
    EXPECT_FALSE(tree.grab().isNull());
    QTest::mouseMove(tree.viewport(), Beside(a1) + QPoint(-12, 0));
    EXPECT_EQ(Selected(), (Items{b})) << "only A1 is still in the band";
    QTest::mouseRelease(tree.viewport(), Qt::LeftButton, Qt::ControlModifier, Beside(a1) + QPoint(-12, 0));
    EXPECT_FALSE(tree.IsBanding());
    EXPECT_EQ(notes.back().code, Notify::NM_CLICK);
}

TEST_F(MultiTreeTest, PlainRubberBandSelectsItsRowsAndEscapeClears)
{
    Click(c);
    QTest::mousePress(tree.viewport(), Qt::RightButton, {}, Beside(a2));
    QTest::mouseMove(tree.viewport(), Beside(b1));
    EXPECT_EQ(Selected(), (Items{a2, b, b1}));
    QTest::keyClick(&tree, Qt::Key_Escape);
    EXPECT_TRUE(Selected().empty());
    EXPECT_EQ(notes.back().code, Notify::NM_RCLICK);
    QTest::mouseRelease(tree.viewport(), Qt::RightButton, {}, Beside(b1));

    // A click beside the items without a band deselects everything.
    Click(a);
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, Beside(b));
    EXPECT_TRUE(Selected().empty());
}

TEST_F(MultiTreeTest, CollapsingABranchWithTheCaret)
{
    // The branch item not selected: its hidden items lose selection and caret.
    Click(a1);
    Click(a2, Qt::ControlModifier);
    a->setExpanded(false);
    EXPECT_TRUE(Selected().empty());
    EXPECT_EQ(tree.GetSelectedItem(), nullptr);

    // The branch item selected: it takes the caret.
    a->setExpanded(true);
    Click(a);
    Click(a1, Qt::ControlModifier);
    a->setExpanded(false);
    EXPECT_EQ(Selected(), (Items{a}));
    EXPECT_EQ(tree.GetSelectedItem(), a);
}

TEST_F(MultiTreeTest, ArrowKeysExtendWithShiftAndMoveOnlyTheFocusWithCtrl)
{
    Click(a);
    QTest::keyClick(&tree, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(&tree, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(Selected(), (Items{a, a1, a2}));
    QTest::keyClick(&tree, Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(Selected(), (Items{a, a1}));
    EXPECT_EQ(tree.GetSelectedItem(), a1);
    QTest::keyClick(&tree, Qt::Key_Down);
    EXPECT_EQ(Selected(), (Items{a2}));
    QTest::keyClick(&tree, Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(Selected(), (Items{a2}));
    EXPECT_EQ(tree.GetSelectedItem(), b);
}

TEST_F(MultiTreeTest, WithMultiSelectOffItIsAPlainTree)
{
    Click(a1);
    Click(b, Qt::ControlModifier);
    EXPECT_TRUE(tree.SetMultiSelect(false));
    EXPECT_EQ(Selected(), (Items{b})) << "only the caret stays selected";

    notes.clear();
    Click(a1, Qt::ControlModifier);
    EXPECT_EQ(Selected(), (Items{a1}));
    ASSERT_GE(notes.size(), 2u);
    EXPECT_EQ(notes[0].code, Notify::TVN_SELCHANGING);
    EXPECT_EQ(notes[0].itemOld, b);
    EXPECT_EQ(notes[0].itemNew, a1);
    EXPECT_EQ(notes[0].action, TVC_BYMOUSE);
    EXPECT_EQ(notes[1].code, Notify::TVN_SELCHANGED);

    QTest::keyClick(&tree, Qt::Key_Down);
    EXPECT_EQ(Selected(), (Items{a2}));
    QTest::keyClick(&tree, Qt::Key_Left);
    EXPECT_EQ(Selected(), (Items{a})) << "Left goes to the parent";
    QTest::keyClick(&tree, Qt::Key_Left);
    EXPECT_FALSE(a->isExpanded()) << "and then closes it";

    // Collapsing the caret's branch moves the caret to the branch.
    Click(b1);
    b->setExpanded(false);
    EXPECT_EQ(tree.GetSelectedItem(), b);
    EXPECT_EQ(Selected(), (Items{b}));

    // No rubber band: a press beside the items changes nothing.
    QTest::mousePress(tree.viewport(), Qt::LeftButton, {}, Beside(root));
    QTest::mouseMove(tree.viewport(), Beside(c));
    QTest::mouseRelease(tree.viewport(), Qt::LeftButton, {}, Beside(c));
    EXPECT_EQ(Selected(), (Items{b}));
}

TEST_F(MultiTreeTest, ADragGestureWithDraggingDisabledOnlySelects)
{
    tree.EnableDrag(false);
    QTest::mousePress(tree.viewport(), Qt::LeftButton, {}, On(a1));
    QTest::mouseMove(tree.viewport(), On(a1) + QPoint(0, 30));
    QTest::mouseRelease(tree.viewport(), Qt::LeftButton, {}, On(a1) + QPoint(0, 30));
    EXPECT_FALSE(tree.IsDragging());
    EXPECT_EQ(Selected(), (Items{a1}));
    ASSERT_EQ(Count(Notify::TVN_BEGINDRAG), 1);
    EXPECT_EQ(Count(Notify::NM_CLICK), 0);
    const auto drag =
        std::find_if(notes.begin(), notes.end(), [](auto& n) { return n.code == Notify::TVN_BEGINDRAG; });
    EXPECT_EQ(drag->itemNew, a1);
    EXPECT_EQ(drag->ptDrag, On(a1));

    notes.clear();
    tree.SetDisableDragDrop(true);
    QTest::mousePress(tree.viewport(), Qt::LeftButton, {}, On(a2));
    QTest::mouseMove(tree.viewport(), On(a2) + QPoint(0, 30));
    QTest::mouseRelease(tree.viewport(), Qt::LeftButton, {}, On(a2) + QPoint(0, 30));
    EXPECT_EQ(Count(Notify::TVN_BEGINDRAG), 0);
    EXPECT_EQ(Selected(), (Items{a2}));
}

TEST_F(MultiTreeTest, DraggingTheSelectionHighlightsTheTargetAndOpensItOnDrop)
{
    b->setExpanded(false);
    Click(a1);
    Click(a2, Qt::ControlModifier);
    QTest::mousePress(tree.viewport(), Qt::LeftButton, {}, On(a2));
    QTest::mouseMove(tree.viewport(), On(a2) + QPoint(0, 10));
    ASSERT_TRUE(tree.IsDragging());
    EXPECT_EQ(tree.DragList(), (Items{a1, a2}));
    EXPECT_TRUE(Selected().empty());
    // The picture of both labels, transparent around the text.
    const QImage& image = tree.DragImage();
    ASSERT_FALSE(image.isNull());
    EXPECT_GE(image.height(), tree.GetItemLabelRect(a2).bottom() - tree.GetItemLabelRect(a1).top());
    EXPECT_EQ(qAlpha(image.pixel(image.width() - 1, 0)), 0);
    EXPECT_EQ(qAlpha(image.pixel(2, 2)), 255);

    QTest::mouseMove(tree.viewport(), On(c));
    EXPECT_EQ(tree.GetDropHilightItem(), c);
    QTest::mouseMove(tree.viewport(), On(b));
    EXPECT_EQ(tree.GetDropHilightItem(), b);
    EXPECT_TRUE(tree.GetItemState(b, TVIS_DROPHILITED));
    QTest::mouseRelease(tree.viewport(), Qt::LeftButton, {}, On(b));
    EXPECT_FALSE(tree.IsDragging());
    EXPECT_EQ(tree.GetDropHilightItem(), nullptr);
    EXPECT_TRUE(b->isExpanded());

    // Escape ends a drag without opening the target.
    b->setExpanded(false);
    QTest::mousePress(tree.viewport(), Qt::LeftButton, {}, On(c));
    QTest::mouseMove(tree.viewport(), On(b));
    ASSERT_TRUE(tree.IsDragging());
    QTest::keyClick(&tree, Qt::Key_Escape);
    EXPECT_FALSE(tree.IsDragging());
    EXPECT_FALSE(b->isExpanded());
    QTest::mouseRelease(tree.viewport(), Qt::LeftButton, {}, On(b));
}

TEST_F(MultiTreeTest, TimersScrollTheBandAndOpenTheHoveredItem)
{
    // Enough items for a scroll bar; the band's pointer below the view scrolls it.
    for (int i = 0; i < 30; ++i)
        tree.InsertItem(QString("D%1").arg(i), 0, 0, c);
    c->setExpanded(true);
    tree.resize(200, 120);
    QApplication::processEvents();
    ASSERT_GT(tree.verticalScrollBar()->maximum(), 0);
    QTest::mousePress(tree.viewport(), Qt::LeftButton, {}, Beside(a));
    QTest::mouseMove(tree.viewport(), QPoint(Beside(a).x(), tree.viewport()->height() + 20));
    QTest::qWait(CMultiTree::kBandScrollMs * 4);
    EXPECT_GT(tree.verticalScrollBar()->value(), 0);
    EXPECT_TRUE(tree.IsSelected(a)) << "the band's start stays put while the view scrolls";
    QTest::mouseRelease(tree.viewport(), Qt::LeftButton, {},
                        QPoint(Beside(a).x(), tree.viewport()->height() + 20));
    tree.scrollToTop();

    // Hovering over a closed item during a drag opens it.
    b->setExpanded(false);
    QTest::mousePress(tree.viewport(), Qt::LeftButton, {}, On(a1));
    QTest::mouseMove(tree.viewport(), On(b));
    ASSERT_TRUE(tree.IsDragging());
    EXPECT_EQ(tree.GetDropHilightItem(), b);
    QTest::qWait(CMultiTree::kHoverExpandMs + 300);
    EXPECT_EQ(tree.GetDropHilightItem(), b);
    EXPECT_TRUE(tree.IsDragging());
    EXPECT_TRUE(b->isExpanded());
    QTest::keyClick(&tree, Qt::Key_Escape);
    QTest::mouseRelease(tree.viewport(), Qt::LeftButton, {}, On(b));
}

namespace
{
class CopyingTree : public CMultiTree
{
public:
    std::vector<std::pair<TreeItem*, TreeItem*>> copied;

protected:
    void OnItemCopied(TreeItem* source, TreeItem* item) override { copied.emplace_back(source, item); }
};
} // namespace

TEST(MultiTree, TraversalPathsCutMarksAndBranchCopies)
{
    CopyingTree tree;
    TreeItem* root = tree.InsertItem("Project", 3, 3);
    TreeItem* b = tree.InsertItem("B", 0, 0, root, TVI_SORT);
    TreeItem* a = tree.InsertItem("a", 0, 0, root, TVI_SORT);
    tree.InsertItem("A2", 0, 0, a, TVI_SORT);
    TreeItem* a1 = tree.InsertItem("A1", 0, 0, a, TVI_SORT);
    TreeItem* c = tree.InsertItem("c", 0, 0, root, TVI_SORT);
    tree.SetItemData(a, 0xA0);
    tree.SetItemData(a1, 0xA1);

    // Sorted without regard to case; tree order walks into collapsed branches too.
    std::vector<QString> order;
    for (TreeItem* item = tree.GetNextItem(nullptr); item; item = tree.GetNextItem(item))
        order.push_back(item->text(0));
    EXPECT_EQ(order, (std::vector<QString>{"Project", "a", "A1", "A2", "B", "c"}));
    EXPECT_EQ(tree.GetItemPath(a1), "\\Project\\a\\A1\\");
    EXPECT_EQ(tree.GetItemPath(root), "\\Project\\");
    EXPECT_TRUE(tree.IsChildOf(a, a1));
    EXPECT_TRUE(tree.IsChildOf(a, a));
    EXPECT_FALSE(tree.IsChildOf(a1, a));

    tree.SetItemState(a1, TVIS_CUT, TVIS_CUT);
    tree.SetItemState(c, TVIS_CUT, TVIS_CUT);
    tree.ClearCutState();
    EXPECT_EQ(tree.GetItemState(a1, TVIS_CUT) | tree.GetItemState(c, TVIS_CUT), 0u);

    // A branch copied under B lands sorted before B's other children, with data and
    // images, and the hook sees every copied item.
    tree.InsertItem("B1", 0, 0, b);
    tree.SetItemImage(a1, 4, 5);
    TreeItem* copy = tree.CopyBranch(a, b, TVI_SORT);
    ASSERT_EQ(b->childCount(), 2);
    EXPECT_EQ(b->child(0), copy);
    EXPECT_EQ(tree.GetItemData(copy), 0xA0u);
    ASSERT_EQ(copy->childCount(), 2);
    EXPECT_EQ(copy->child(0)->text(0), "A1");
    EXPECT_EQ(tree.GetItemData(copy->child(0)), 0xA1u);
    EXPECT_EQ(tree.GetItemImage(copy->child(0)), 4);
    EXPECT_EQ(tree.GetItemSelectedImage(copy->child(0)), 5);
    EXPECT_EQ(tree.copied.size(), 3u);
    EXPECT_EQ(tree.copied[0].first, a);

    // Copied into its own child, the branch is copied once and the copy is not copied again.
    TreeItem* inner = tree.CopyBranch(a, a1, TVI_SORT);
    ASSERT_EQ(a1->childCount(), 1);
    ASSERT_EQ(inner->childCount(), 2);
    EXPECT_EQ(inner->child(0)->childCount(), 0);
    EXPECT_EQ(tree.GetItemPath(inner->child(1)), "\\Project\\a\\A1\\a\\A2\\");
}

TEST_F(MultiTreeTest, LabelEditingAsksTheOwner)
{
    refuseEdit = 1;
    EXPECT_FALSE(tree.EditLabel(root));
    refuseEdit = 0;

    ASSERT_TRUE(tree.EditLabel(a1));
    auto* editor = OpenEditor();
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    QTest::keyClicks(editor, "Hall 2");
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(a1->text(0), "Hall 2");
    EXPECT_EQ(notes.back().code, Notify::TVN_ENDLABELEDIT);
    EXPECT_EQ(notes.back().text, "Hall 2");

    // Refused by the owner, or cancelled (a null text): the old text stays.
    acceptEdit = 0;
    ASSERT_TRUE(tree.EditLabel(a2));
    editor = OpenEditor();
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, "X");
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(a2->text(0), "A2");

    acceptEdit = 1;
    ASSERT_TRUE(tree.EditLabel(b));
    editor = OpenEditor();
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, "Y");
    QTest::keyClick(editor, Qt::Key_Escape);
    EXPECT_EQ(b->text(0), "B");
    EXPECT_EQ(notes.back().code, Notify::TVN_ENDLABELEDIT);
    EXPECT_TRUE(notes.back().text.isNull());
}
