// The main tasks without a mouse: keys alone reach the series page and its links, the
// export dialogs and the context menus of the project tree and the series page.
#include "app/CommandIds.h"
#include "controls/CommentDlg.h"
#include "controls/DateTimeDlg.h"
#include "export/ExportOptionDlg.h"
#include "export/core/TextExport.h"
#include "platform/gui/DialogLayout.h"
#include "seriesview/GridCellSeries.h"
#include "tests/app/AppTestSupport.h"
#include "tests/app/SeriesPageWindow.h"
#include "tests/support/FileDialogRecorder.h"
#include "tests/support/ModalDialogRunner.h"
#include "tests/support/PopupMenuRecorder.h"
#include "tests/support/SampleProject.h"

#include <QAbstractButton>
#include <QAction>
#include <QFile>
#include <QTreeWidgetItemIterator>

#include <gtest/gtest.h>

namespace
{
const QString kHall = QStringLiteral("\\Hall\\");
// New folder in the series page's edit menu.
constexpr unsigned kPageMenuNewFolder = 6;

class KeyboardOnly : public ::testing::Test, public SeriesPageWindow
{
protected:
    void SetUp() override
    {
        path = env.Dir().File(QStringLiteral("Keys.v3p"));
        {
            CVeskDoc doc;
            SampleProject::FillFolder(doc, kHall, 3);
            ASSERT_TRUE(doc.SaveProject(path));
        }
        OpenWindow(path, boxes, kHall);
    }
    void TearDown() override { frame.reset(); }

    // A key to whatever has the keyboard focus, as the window system delivers it.
    static void Key(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QWidget* target = QApplication::focusWidget();
        ASSERT_NE(target, nullptr);
        QTest::keyClick(target, key, mods);
        Flush();
    }
    // A dialog the program opened takes the keys, as the window manager activates it.
    static void Activate(QWidget& window)
    {
        QApplication::setActiveWindow(&window);
        Flush();
        if (!QApplication::focusWidget())
            window.setFocus(Qt::ActiveWindowFocusReason);
    }

    // Tab from the project tree until the series grid has the focus.
    void TabIntoGrid()
    {
        Tree().setFocus(Qt::OtherFocusReason);
        Flush();
        for (int i = 0; i < 10 && QApplication::focusWidget() != &Grid(); ++i)
            Key(Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), &Grid());
    }

    int ItemCount()
    {
        int count = 0;
        for (QTreeWidgetItemIterator it(&Tree()); *it; ++it)
            ++count;
        return count;
    }
    CLocalTree& Tree() { return static_cast<CLeftView*>(frame->LeftView())->Tree(); }
    CGridCellSeries* DetailCell(int series)
    {
        return dynamic_cast<CGridCellSeries*>(Grid().GetCell(2 * series + 2, CTabGrid::COL_NAME));
    }

    AppEnvironment env;
    MessageBoxRecorder boxes;
    QString path;
};

TEST_F(KeyboardOnly, SeriesPageSelectsExpandsAndRunsTheCommentLink)
{
    TabIntoGrid();
    // The focus itself puts the focus cell on the first series.
    EXPECT_EQ(Grid().GetFocusCell(), (CGridCellPos{1, CTabGrid::COL_GRIPPER}));

    // Moving selects the series moved to alone; Space takes it out and back in.
    Key(Qt::Key_Down);
    Key(Qt::Key_Up);
    auto selected = [&](int row) { return Grid().IsCellSelected(row, CTabGrid::COL_NAME); };
    EXPECT_EQ((std::vector<bool>{selected(1), selected(2), selected(3)}),
              (std::vector<bool>{true, true, false}));
    Key(Qt::Key_Space);
    EXPECT_EQ((std::vector<bool>{selected(1), selected(2)}), (std::vector<bool>{false, false}));
    Key(Qt::Key_Space);
    EXPECT_EQ((std::vector<bool>{selected(1), selected(2), selected(3)}),
              (std::vector<bool>{true, true, false}));

    Key(Qt::Key_Return);
    EXPECT_TRUE(Doc().IsSeriesExpanded(0));
    ASSERT_GT(Grid().GetRowHeight(2), 0);

    // Into the open detail row; Tab walks its links in the order they are drawn.
    Key(Qt::Key_Down);
    ASSERT_EQ(Grid().GetFocusCell().row, 2);
    (void)Grid().viewport()->grab();
    CGridCellSeries* cell = DetailCell(0);
    ASSERT_NE(cell, nullptr);
    std::vector<int> seen;
    for (int i = 0; i < 30 && cell->GetHoveredLink() != LINK_COMMENT; ++i)
    {
        Key(Qt::Key_Tab);
        seen.push_back(cell->GetHoveredLink());
    }
    ASSERT_EQ(cell->GetHoveredLink(), LINK_COMMENT);
    EXPECT_EQ(Grid().GetFocusCell().row, 2) << "Tab stayed on the series while links were left";
    for (int link : {LINK_UPPER_LIMIT, LINK_MATERIAL})
        EXPECT_NE(std::find(seen.begin(), seen.end(), link), seen.end()) << link;

    const QString comment = Doc().GetSeriesComment(0);
    bool commentEditor = false;
    ModalDialogRunner runner(
        [&](QDialog& d)
        {
            commentEditor = dynamic_cast<CCommentDlg*>(&d) != nullptr;
            Activate(d);
            Key(Qt::Key_Escape);
        });
    Key(Qt::Key_Return);
    Flush();
    Activate(*frame);
    EXPECT_EQ(runner.runs, 1);
    EXPECT_TRUE(commentEditor);
    EXPECT_EQ(Doc().GetSeriesComment(0), comment);
    // The page keeps the keys after the dialog; Shift+Tab goes back over the links.
    Key(Qt::Key_Backtab);
    EXPECT_NE(cell->GetHoveredLink(), LINK_COMMENT);
    EXPECT_NE(cell->GetHoveredLink(), 0);
}

TEST_F(KeyboardOnly, FirstKeyWithoutAFocusCellOnlyBringsIt)
{
    Grid().setFocus(Qt::OtherFocusReason);
    Flush();
    ASSERT_FALSE(Grid().GetFocusCell().IsValid());
    // Enter would open a series; as the first key it only lands on the first one.
    Key(Qt::Key_Return);
    EXPECT_EQ(Grid().GetFocusCell(), (CGridCellPos{1, CTabGrid::COL_GRIPPER}));
    EXPECT_TRUE(Grid().IsCellSelected(1, CTabGrid::COL_NAME));
    EXPECT_FALSE(Doc().IsSeriesExpanded(0));
    Key(Qt::Key_Down);
    EXPECT_EQ(Grid().GetFocusCell().row, 3);
    EXPECT_FALSE(Grid().IsCellSelected(1, CTabGrid::COL_NAME));
    EXPECT_TRUE(Grid().IsCellSelected(3, CTabGrid::COL_NAME));
}

TEST_F(KeyboardOnly, TextExportByKeysAloneWritesTheFile)
{
    const QString file = env.Dir().File(QStringLiteral("keys.csv"));
    FileDialogRecorder files;
    files.Answer(file);
    std::vector<int> focusPath;
    ModalDialogRunner runner(
        [&](QDialog& d)
        {
            auto& dlg = static_cast<CExportOptionDlg&>(d);
            Activate(dlg);
            ASSERT_EQ(QApplication::focusWidget(), dlg.Board());
            focusPath.push_back(dlg.GetFocusChoice());
            // Report instead of Table, then All data; the target stays one file.
            for (Qt::Key key : {Qt::Key_Down, Qt::Key_Space, Qt::Key_Right, Qt::Key_Right, Qt::Key_Up})
            {
                Key(key);
                focusPath.push_back(dlg.GetFocusChoice());
            }
            Key(Qt::Key_Space);
            // Tab past the last box to Export, and press it.
            Key(Qt::Key_Tab);
            focusPath.push_back(dlg.GetFocusChoice());
            Key(Qt::Key_Tab);
            QWidget* exportButton = Platform::GetDlgItemAs<QAbstractButton>(&dlg, CExportOptionDlg::IDOK);
            ASSERT_EQ(QApplication::focusWidget(), exportButton);
            Key(Qt::Key_Space);
        });
    frame->UpdateCommandUI();
    frame->Action(Cmd::ID_EXPORT_TEXT)->trigger();
    Flush();
    ASSERT_EQ(runner.runs, 1);
    // Text values: 0 table, 1 report; 4 one file, 5 separate files; 2 all, 3 selection.
    EXPECT_EQ(focusPath, (std::vector<int>{0, 1, 1, 5, 3, 2, 3}));
    ASSERT_EQ(files.requests.size(), 1u);
    QFile written(file);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray bytes = written.readAll();
    ASSERT_TRUE(bytes.startsWith("\xFF\xFE"));
    const QString text =
        QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData() + 2), (bytes.size() - 2) / 2);
    EXPECT_EQ(text, CTextExport(Doc(), CTextExport::LayoutReport).BuildText({0, 1, 2}));
}

TEST_F(KeyboardOnly, MenuKeyAndShiftF10OpenContextMenusAtTheFocusedItem)
{
    PopupMenuRecorder menus;
    // The tree: the menu of the folder with the caret, at the folder.
    Tree().setFocus(Qt::OtherFocusReason);
    Flush();
    TreeItem* hall = Tree().FindItem(kHall);
    ASSERT_EQ(Tree().GetSelectedItem(), hall);
    Key(Qt::Key_Menu);
    ASSERT_EQ(menus.menus.size(), 1u);
    std::vector<unsigned> ids;
    for (const auto& item : menus.menus.back().items)
        ids.push_back(item.separator ? 0u : item.id);
    EXPECT_EQ(ids, (std::vector<unsigned>{3, 4, 5, 0, 6, 7, 0, 8}));
    const QRect hallRect = Tree().visualItemRect(hall);
    EXPECT_TRUE(QRect(Tree().viewport()->mapToGlobal(hallRect.topLeft()), hallRect.size())
                    .contains(menus.menus.back().pos));

    // The grid: the Menu key on the gripper gives the expand menu, Shift+F10 on the name
    // the edit menu, each under the focus cell; its New folder the tree carries out.
    TabIntoGrid();
    Key(Qt::Key_Menu);
    ASSERT_EQ(menus.menus.size(), 2u);
    EXPECT_EQ(menus.menus.back().items.size(), 2u);
    Key(Qt::Key_Right);
    const int folders = ItemCount();
    menus.Choose(kPageMenuNewFolder);
    Key(Qt::Key_F10, Qt::ShiftModifier);
    ASSERT_EQ(menus.menus.size(), 3u);
    Platform::Rect cell;
    ASSERT_TRUE(Grid().GetCellRect(1, CTabGrid::COL_NAME, &cell));
    EXPECT_EQ(menus.menus.back().pos, Grid().viewport()->mapToGlobal(QPoint(cell.left, cell.bottom)));
    Flush();
    EXPECT_EQ(ItemCount(), folders + 1);
    QApplication::focusWidget()->clearFocus();
    Grid().setFocus(Qt::OtherFocusReason);
    Flush();

    // The Menu key on the Date & Time cell opens the time stamp dialog.
    Key(Qt::Key_Home);
    Key(Qt::Key_Right);
    Key(Qt::Key_Right);
    ASSERT_EQ(Grid().GetFocusCell().col, CTabGrid::COL_TIME);
    bool timeDialog = false;
    ModalDialogRunner runner([&](QDialog& d) { timeDialog = dynamic_cast<CDateTimeDlg*>(&d) != nullptr; });
    Key(Qt::Key_Menu);
    EXPECT_EQ(runner.runs, 1);
    EXPECT_TRUE(timeDialog);
}

} // namespace
