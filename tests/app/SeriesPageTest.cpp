// The series page as the user reaches it: a project opened in the main window, a folder
// chosen in the tree, and the page's rows, clicks, keys, popups and the Edit menu.
#include "app/LeftView.h"
#include "app/LocalTree.h"
#include "app/MainFrm.h"
#include "app/RightView.h"
#include "controls/DateTimeDlg.h"
#include "grid/GridCellBarRange.h"
#include "grid/GridCtrl.h"
#include "grid/InPlaceEdit.h"
#include "measurement/FolderData.h"
#include "measurement/SeriesSettings.h"
#include "platform/gui/DateTimePicker.h"
#include "platform/gui/DialogLayout.h"
#include "seriesview/GridCellDetailGripper.h"
#include "seriesview/GridCellSeries.h"
#include "seriesview/TabGrid.h"
#include "tests/app/AppTestSupport.h"
#include "tests/app/SeriesPageWindow.h"
#include "tests/support/FileDialogRecorder.h"
#include "tests/support/MemoryClipboard.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/ModalDialogRunner.h"
#include "tests/support/PopupMenuRecorder.h"
#include "tests/support/SampleProject.h"

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace
{
using SampleProject::Add;
using SampleProject::Rebound;
using SeriesFixture::kHRC;
using SeriesFixture::kHV;

const QString kHall = QStringLiteral("\\Hall\\");
const QString kYard = QStringLiteral("\\Yard\\");
const QDateTime kMorning(QDate(2024, 5, 6), QTime(9, 30));

// Edit-menu item ids of the page's popup.
constexpr unsigned kMenuRename = 5;
constexpr unsigned kMenuPaste = 3;

class SeriesPage : public ::testing::Test, public SeriesPageWindow
{
protected:
    void TearDown() override { frame.reset(); }

    // Saves the project the builder makes, opens it in a new main window and shows the
    // folder.
    void Open(const std::function<void(CVeskDoc&)>& build, const QString& folder = kHall)
    {
        path = env.Dir().File(QStringLiteral("Run.v3p"));
        {
            CVeskDoc doc;
            build(doc);
            ASSERT_TRUE(doc.SaveProject(path));
        }
        Reopen(folder);
    }
    void Reopen(const QString& folder = kHall)
    {
        OpenWindow(path, boxes, folder);
    }
    QPoint At(int row, int col)
    {
        Grid().EnsureVisible(row, col);
        Platform::Rect r;
        EXPECT_TRUE(Grid().GetCellRect(row, col, &r)) << row << "," << col;
        return QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }
    void Click(int row, int col, Qt::KeyboardModifiers keys = {})
    {
        QTest::mouseClick(Grid().viewport(), Qt::LeftButton, keys, At(row, col));
        Flush();
    }
    void RightClick(int row, int col)
    {
        QTest::mouseClick(Grid().viewport(), Qt::RightButton, {}, At(row, col));
        Flush();
    }
    // Selects the series (their summary rows), the first by a click, the others by Ctrl.
    void Select(std::initializer_list<int> series)
    {
        bool first = true;
        for (int i : series)
        {
            Click(2 * i + 1, CTabGrid::COL_NAME, first ? Qt::KeyboardModifiers() : Qt::ControlModifier);
            first = false;
        }
    }
    bool Enabled(uint32_t id)
    {
        frame->UpdateCommandUI();
        return frame->Action(id)->isEnabled();
    }
    void Run(uint32_t id)
    {
        ASSERT_TRUE(Enabled(id)) << id;
        frame->Action(id)->trigger();
        Flush();
    }
    QString Text(int series, int col) { return Grid().GetItemText(2 * series + 1, col); }
    QStringList Names()
    {
        QStringList names;
        for (int row = 1; row < Grid().GetRowCount(); row += 2)
            names << Grid().GetItemText(row, CTabGrid::COL_NAME);
        return names;
    }
    QStringList DocNames()
    {
        QStringList names;
        for (int i = 0; i < Doc().GetSeriesCount(); ++i)
            names << Doc().GetSeriesName(i);
        return names;
    }
    // Every row pair shows the document's series at its index: the cells carry its entry,
    // and the detail row's series cell reads that index.
    void ExpectRowsMatchTheDocument()
    {
        ASSERT_EQ(Grid().GetRowCount(), 2 * Doc().GetSeriesCount() + 1);
        for (int i = 0; i < Doc().GetSeriesCount(); ++i)
        {
            const auto entry = reinterpret_cast<intptr_t>(Doc().GetSeriesAt(i));
            for (int row : {2 * i + 1, 2 * i + 2})
                for (int col = 0; col < CTabGrid::kColumnCount; ++col)
                    ASSERT_EQ(Grid().GetItemData(row, col), entry) << row << "," << col;
            auto* cell = dynamic_cast<CGridCellSeries*>(Grid().GetCell(2 * i + 2, CTabGrid::COL_NAME));
            ASSERT_NE(cell, nullptr);
            EXPECT_EQ(cell->GetSeriesIndex(), i);
            EXPECT_EQ(Names().at(i), Doc().GetSeriesName(i));
        }
    }
    // Paints the whole grid now, each series open, so that every cell reads its series.
    void PaintEverything()
    {
        Page().ExpandAll(true);
        for (int pass = 0; pass < 3; ++pass)
        {
            Grid().viewport()->repaint();
            Flush();
        }
    }
    CInPlaceEdit* Editor()
    {
        for (CInPlaceEdit* editor : Grid().findChildren<CInPlaceEdit*>())
            if (editor->isVisible())
                return editor;
        return nullptr;
    }

    AppEnvironment env;
    MessageBoxRecorder boxes;
    PopupMenuRecorder popups;
    MemoryClipboard clipboard;
    QString path;
};

// Shaft 1 (5 readings, 43.6 HRC), Shaft 2 (3 readings, 34.0 HRC), Flange (4, 530 HV).
void ThreeInTheHall(CVeskDoc& doc)
{
    Add(doc, kHall, QStringLiteral("Shaft 1"), Rebound(kHRC, {560, 600, 584, 608, 592}, kMorning));
    Add(doc, kHall, QStringLiteral("Shaft 2"), Rebound(kHRC, {500, 520, 512}, kMorning.addDays(1)));
    Add(doc, kHall, QStringLiteral("Flange"), Rebound(kHV, {450, 470, 480, 460}, kMorning.addDays(2)));
    Add(doc, kYard, QStringLiteral("Rail"), Rebound(kHRC, {640, 660}, kMorning));
}

void FiveInTheHall(CVeskDoc& doc)
{
    for (int i = 0; i < 5; ++i)
        Add(doc, kHall, QStringLiteral("S%1").arg(i + 1),
            Rebound(kHRC, {500.0f + 20 * i, 520.0f + 20 * i}, kMorning.addDays(i)));
    Add(doc, kYard, QStringLiteral("Rail"), Rebound(kHRC, {640, 660}, kMorning));
}
} // namespace

TEST_F(SeriesPage, ShowsTheSeriesOfTheChosenFolderAndOpensOne)
{
    Open(ThreeInTheHall);
    ASSERT_EQ(Grid().GetRowCount(), 7);
    EXPECT_EQ(Grid().GetItemText(0, CTabGrid::COL_NAME), "Name");
    EXPECT_EQ(Grid().GetItemText(0, CTabGrid::COL_SCALE), "Scale");
    const QStringList shaft1 = {"Shaft 1",   "05/06/2024 9:30 AM",     "43.6 HRC", "5", "2.30 HRC",
                                "Veskora-D", "1 Steel and cast steel", "HRC"};
    const QStringList flange = {"Flange",    "05/08/2024 9:30 AM",     "530 HV", "4", "25.8 HV",
                                "Veskora-D", "1 Steel and cast steel", "HV"};
    for (int col = 1; col < CTabGrid::kColumnCount; ++col)
    {
        EXPECT_EQ(Text(0, col), shaft1.at(col - 1)) << col;
        EXPECT_EQ(Text(2, col), flange.at(col - 1)) << col;
    }
    // The mean's bar: HRC runs to 70 x 1.08, the mean's marker at 43.6.
    auto* bar = dynamic_cast<CGridCellBarRange*>(Grid().GetCell(1, CTabGrid::COL_MEAN));
    ASSERT_NE(bar, nullptr);
    Platform::Rect rect{0, 0, 756, 20};
    EXPECT_NEAR(bar->ValueToX(43.6, rect), 436, 1);
    // Loaded series arrive selected; the status line counts them.
    EXPECT_EQ(frame->StatusText(), "Selected objects: 3      Total objects: 3        ");

    // The gripper opens the series: its detail row grows to the series cell's height.
    Click(3, CTabGrid::COL_GRIPPER);
    auto* cell = dynamic_cast<CGridCellSeries*>(Grid().GetCell(4, CTabGrid::COL_NAME));
    ASSERT_NE(cell, nullptr);
    for (int pass = 0; pass < 100 && (!cell->IsExpanded() || Grid().GetRowHeight(4) != cell->GetFullHeight());
         ++pass)
    {
        Grid().viewport()->repaint();
        Flush();
    }
    EXPECT_TRUE(cell->IsExpanded());
    EXPECT_GT(cell->GetFullHeight(), 200);
    EXPECT_EQ(Grid().GetRowHeight(4), cell->GetFullHeight());
    EXPECT_TRUE(Doc().IsSeriesExpanded(1));
    EXPECT_EQ(frame->StatusText(), "Selected objects: 1      Total objects: 3        ");

    // The Yard shows its own series.
    ShowFolder(kYard);
    EXPECT_EQ(Names(), QStringList({"Rail"}));
}

TEST_F(SeriesPage, HeaderClicksSortThroughTheDocumentAndTheOrderIsSaved)
{
    Open(ThreeInTheHall);
    Click(3, CTabGrid::COL_GRIPPER); // Shaft 2 open
    Click(0, CTabGrid::COL_NAME);
    EXPECT_EQ(Names(), QStringList({"Flange", "Shaft 1", "Shaft 2"}));
    EXPECT_EQ(DocNames(), Names());
    EXPECT_EQ(Grid().GetSortColumn(), CTabGrid::COL_NAME);
    EXPECT_TRUE(Grid().GetSortAscending());
    ExpectRowsMatchTheDocument();

    Click(0, CTabGrid::COL_NAME);
    EXPECT_EQ(Names(), QStringList({"Shaft 2", "Shaft 1", "Flange"}));
    EXPECT_FALSE(Grid().GetSortAscending());
    ExpectRowsMatchTheDocument();
    // The open series' detail row stays below its summary row.
    EXPECT_GT(Grid().GetRowHeight(2), 0);
    auto* gripper = dynamic_cast<CGridCellDetailGripper*>(Grid().GetCell(1, CTabGrid::COL_GRIPPER));
    ASSERT_NE(gripper, nullptr);
    EXPECT_TRUE(gripper->IsExpanded());

    // Another column starts ascending (the mean in the probe's own scale); the order goes
    // into the project file.
    Click(0, CTabGrid::COL_MEAN);
    EXPECT_EQ(Names(), QStringList({"Flange", "Shaft 2", "Shaft 1"}));
    Click(0, CTabGrid::COL_MEAN);
    EXPECT_EQ(Names(), QStringList({"Shaft 1", "Shaft 2", "Flange"}));
    EXPECT_TRUE(Doc().IsModified());
    Run(Cmd::ID_SAVE_PROJECT);
    Reopen();
    EXPECT_EQ(Names(), QStringList({"Shaft 1", "Shaft 2", "Flange"}));
    EXPECT_EQ(Grid().GetSortColumn(), CTabGrid::COL_MEAN);
    EXPECT_FALSE(Grid().GetSortAscending());
    ExpectRowsMatchTheDocument();
}

TEST_F(SeriesPage, DeleteAsksRebuildsAtOnceAndKeepsTheScrollPosition)
{
    Open(FiveInTheHall);
    frame->resize(1300, 500);
    PaintEverything();
    Grid().SetScrollPosition(SB_VERT, 200);
    const int scroll = Grid().GetScrollPosition(SB_VERT);
    ASSERT_EQ(scroll, 200);
    Select({1, 3});
    Grid().SetScrollPosition(SB_VERT, scroll);
    EXPECT_TRUE(Enabled(Cmd::ID_EDIT_DELETE));

    // No keeps everything.
    boxes.Answer(Platform::IDNO);
    Run(Cmd::ID_EDIT_DELETE);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "Do you really want to delete the selected measurement objects?");
    EXPECT_EQ(boxes.boxes[0].type, Platform::MB_YESNOCANCEL | Platform::MB_ICONQUESTION);
    EXPECT_EQ(Doc().GetSeriesCount(), 5);

    // Yes: the rows are rebuilt before anything else can run, so no cell holds a series
    // that is gone; the grid stays where it was.
    frame->Action(Cmd::ID_EDIT_DELETE)->trigger();
    EXPECT_EQ(DocNames(), QStringList({"S1", "S3", "S5"}));
    ExpectRowsMatchTheDocument();
    EXPECT_EQ(Grid().GetScrollPosition(SB_VERT), scroll);
    EXPECT_TRUE(Doc().IsModified());
    EXPECT_EQ(frame->StatusText(), "Selected objects: 0      Total objects: 3        ");
    // Painting and sorting read every remaining cell.
    PaintEverything();
    Click(0, CTabGrid::COL_NAME);
    Click(0, CTabGrid::COL_NAME);
    EXPECT_EQ(Names(), QStringList({"S5", "S3", "S1"}));
}

TEST_F(SeriesPage, CopiedSeriesPasteIntoAnotherFolderAndAGarbageBlockIsRefused)
{
    Open(ThreeInTheHall);
    EXPECT_FALSE(Enabled(Cmd::ID_EDIT_PASTE));
    Select({0, 2});
    Run(Cmd::ID_EDIT_COPY);
    EXPECT_TRUE(clipboard.HasPrivateFormat(CVeskDoc::kClipboardFormat));

    ShowFolder(kYard);
    Grid().setFocus();
    EXPECT_TRUE(Enabled(Cmd::ID_EDIT_PASTE));
    // Ctrl+V in the grid is the page's own paste.
    QTest::keyClick(&Grid(), Qt::Key_V, Qt::ControlModifier);
    Flush();
    EXPECT_EQ(DocNames(), QStringList({"Rail", "Shaft 1", "Flange"}));
    ExpectRowsMatchTheDocument();
    EXPECT_EQ(Doc().LookupFolder(kHall)->GetSeriesCount(), 3) << "copied, not moved";

    // Ctrl+X: copied, then deleted without a question.
    Select({0});
    QTest::keyClick(&Grid(), Qt::Key_X, Qt::ControlModifier);
    Flush();
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(DocNames(), QStringList({"Shaft 1", "Flange"}));
    ExpectRowsMatchTheDocument();
    Run(Cmd::ID_EDIT_PASTE);
    EXPECT_EQ(DocNames(), QStringList({"Shaft 1", "Flange", "Rail"}));

    // A block under the program's format that is no series block: a message, and the
    // project stays as it was.
    Platform::ClipboardService::Content garbage;
    garbage.privateFormats.insert(CVeskDoc::kClipboardFormat,
                                  QByteArray("\x10\0\0\0not a project block", 23));
    clipboard.content = garbage;
    boxes.boxes.clear();
    popups.Choose(kMenuPaste);
    RightClick(5, CTabGrid::COL_NAME);
    Flush();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].text.contains("clipboard")) << boxes.boxes[0].text.toStdString();
    EXPECT_EQ(DocNames(), QStringList({"Shaft 1", "Flange", "Rail"}));
    ExpectRowsMatchTheDocument();
}

TEST_F(SeriesPage, RenameByKeyOrMenuAndTheEditorKeepsItsOwnKeys)
{
    Open(ThreeInTheHall);
    TempDir saved;
    ASSERT_TRUE(Doc().SaveProject(saved.File(QStringLiteral("p.v3p"))));
    ASSERT_FALSE(Doc().IsModified());

    Select({1});
    QTest::keyClick(&Grid(), Qt::Key_F2);
    CInPlaceEdit* editor = Editor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), "Shaft 2");
    // Ctrl+X and Delete inside the editor cut text, they delete no series, though the
    // window's Delete is live.
    ASSERT_TRUE(Enabled(Cmd::ID_EDIT_DELETE));
    editor->setSelection(0, 6);
    QTest::keyClick(editor, Qt::Key_X, Qt::ControlModifier);
    QTest::keyClick(editor, Qt::Key_Delete);
    Flush();
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(Doc().GetSeriesCount(), 3);
    EXPECT_EQ(editor->text(), "");
    QTest::keyClicks(editor, "Axle");
    QTest::keyClick(editor, Qt::Key_Return);
    Flush();
    EXPECT_EQ(Doc().GetSeriesName(1), "Axle");
    EXPECT_EQ(Text(1, CTabGrid::COL_NAME), "Axle");
    EXPECT_TRUE(Doc().IsModified());

    // The popup's Rename edits the clicked series' name.
    popups.Choose(kMenuRename);
    RightClick(5, CTabGrid::COL_NAME);
    Flush();
    editor = Editor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), "Flange");
    editor->selectAll();
    QTest::keyClicks(editor, "Flange B");
    QTest::keyClick(editor, Qt::Key_Return);
    Flush();
    EXPECT_EQ(DocNames(), QStringList({"Shaft 1", "Axle", "Flange B"}));
}

TEST_F(SeriesPage, TheTreeKeepsItsEditKeys)
{
    Open(ThreeInTheHall);
    CLocalTree& tree = static_cast<CLeftView*>(frame->LeftView())->Tree();
    tree.setFocus();
    // The window's Copy is live: the page has selected series.
    ASSERT_TRUE(Enabled(Cmd::ID_EDIT_COPY));
    QTest::keyClick(&tree, Qt::Key_C, Qt::ControlModifier);
    Flush();
    EXPECT_TRUE(Doc().IsFolderCopyPending()) << "the tree copied its folder";
    EXPECT_FALSE(clipboard.HasPrivateFormat(CVeskDoc::kClipboardFormat)) << "the page copied no series";
}

TEST_F(SeriesPage, MaterialAndScaleChangeForSeveralSeriesAndARefusedConversionChangesNothing)
{
    using SeriesFixture::AddShared;
    using SeriesFixture::LinearRecord;
    // A second material that the rebound probe converts to HRC only, and HRC by a second
    // standard, for steel only.
    AddShared(LinearRecord(SeriesFixture::kProbeD, kHRC, 2, 0, 1, 320.0f, 880.0f, -28.0f, 0.125f));
    AddShared(LinearRecord(SeriesFixture::kProbeD, kHRC, 1, 0, 2, 320.0f, 880.0f, -30.0f, 0.125f));
    Open(
        [](CVeskDoc& doc)
        {
            Add(doc, kHall, QStringLiteral("A"), Rebound(kHRC, {560, 600}, kMorning));
            Add(doc, kHall, QStringLiteral("B"), Rebound(kHRC, {504, 520}, kMorning));
            Add(doc, kHall, QStringLiteral("D"), Rebound(kHRC, {640, 660}, kMorning));
            auto second = Rebound(kHRC, {600, 616}, kMorning, 2);
            second->SetResolution(2, 1);
            Add(doc, kHall, QStringLiteral("C"), std::move(second));
        });
    SSeriesSettings before;
    Doc().GetSeriesAt(3)->GetSeries()->GetSettings(before);
    ASSERT_EQ(before.decimals, 2);
    ASSERT_EQ(Text(3, CTabGrid::COL_MEAN), "46.0 HRC");

    // Material 2 (its popup entry is the type + 1) for A and B.
    Select({0, 1});
    popups.Choose(3);
    RightClick(1, CTabGrid::COL_MATERIAL);
    ASSERT_EQ(popups.menus.size(), 1u);
    for (int i : {0, 1})
        EXPECT_EQ(Doc().GetSeriesAt(i)->GetSeries()->GetMaterial().type, 2) << i;
    EXPECT_EQ(Text(0, CTabGrid::COL_MEAN), "44.5 HRC");
    EXPECT_EQ(Text(1, CTabGrid::COL_MEAN), "36.0 HRC");
    EXPECT_EQ(Doc().GetSeriesAt(2)->GetSeries()->GetMaterial().type, 1) << "not selected";
    EXPECT_TRUE(boxes.boxes.empty());

    // HV (after the probe's own scale and HRC in the popup) for D and C: C's standard has
    // no HV, so C keeps its conversion and its resolution, and the user hears of it.
    Select({2, 3});
    popups.Choose(201);
    RightClick(5, CTabGrid::COL_SCALE);
    EXPECT_EQ(Doc().GetSeriesAt(2)->GetSeries()->GetTargetScale().scale, kHV);
    EXPECT_EQ(Text(2, CTabGrid::COL_SCALE), "HV");
    EXPECT_EQ(Text(2, CTabGrid::COL_MEAN), "900 HV");
    SSeriesSettings kept;
    Doc().GetSeriesAt(3)->GetSeries()->GetSettings(kept);
    EXPECT_EQ(kept.targetScale.scale, kHRC);
    EXPECT_EQ(kept.decimals, 2);
    EXPECT_EQ(kept.step, before.step);
    EXPECT_EQ(Text(3, CTabGrid::COL_MEAN), "46.0 HRC");
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].text.contains("left unchanged")) << boxes.boxes[0].text.toStdString();
}

TEST_F(SeriesPage, TheTimeStampPopupShiftsEverySelectedSeries)
{
    Open(ThreeInTheHall);
    Select({0, 2});
    ModalDialogRunner runner(
        [](QDialog& dialog)
        {
            auto* date =
                Platform::GetDlgItemAs<Platform::DateTimePicker>(&dialog, CDateTimeDlg::IDC_NEW_DATE);
            date->SetDateTime(date->GetDate().addDays(2), date->GetTime());
            QTest::mouseClick(Platform::GetDlgItemAs<QPushButton>(&dialog, 1), Qt::LeftButton);
        });
    RightClick(5, CTabGrid::COL_TIME);
    EXPECT_EQ(runner.runs, 1);
    EXPECT_EQ(Doc().GetSeriesTime(0), kMorning.addDays(2));
    EXPECT_EQ(Doc().GetSeriesTime(1), kMorning.addDays(1)) << "not selected";
    EXPECT_EQ(Doc().GetSeriesTime(2), kMorning.addDays(4));
    EXPECT_EQ(Text(2, CTabGrid::COL_TIME), "05/10/2024 9:30 AM");
    EXPECT_TRUE(Doc().IsModified());
}

TEST_F(SeriesPage, EveryFolderShowsItsLoadedSelectionAfterOpeningAndSwitching)
{
    // The project was saved with the hall current: the first folder shown after opening
    // and the folders visited later start alike, and each keeps its selection.
    Open(
        [](CVeskDoc& doc)
        {
            ThreeInTheHall(doc);
            doc.SetCurrentFolder(doc.LookupFolder(kHall), kHall, true);
        });
    const QString hallAll = QStringLiteral("Selected objects: 3      Total objects: 3        ");
    EXPECT_EQ(frame->StatusText(), hallAll);
    ShowFolder(kYard);
    EXPECT_EQ(frame->StatusText(), "Selected objects: 1      Total objects: 1        ");
    ShowFolder(kHall);
    EXPECT_EQ(frame->StatusText(), hallAll);
    Select({1});
    ShowFolder(kYard);
    ShowFolder(kHall);
    EXPECT_EQ(frame->StatusText(), "Selected objects: 1      Total objects: 3        ");
    EXPECT_EQ(Page().MarkedSeries(), std::vector<int>{1});
}

TEST_F(SeriesPage, ASeriesTakenOutOfTheSelectionIsLeftOutByEveryCommand)
{
    Open(FiveInTheHall);
    Click(1, CTabGrid::COL_NAME);
    QTest::keyClick(&Grid(), Qt::Key_A, Qt::ControlModifier);
    Flush();
    EXPECT_EQ(frame->StatusText(), "Selected objects: 5      Total objects: 5        ");
    // Ctrl + click takes S3 out: its hidden detail row goes with it.
    Click(5, CTabGrid::COL_NAME, Qt::ControlModifier);
    EXPECT_FALSE(Grid().IsCellSelected(6, CTabGrid::COL_NAME));
    EXPECT_EQ(frame->StatusText(), "Selected objects: 4      Total objects: 5        ");

    Run(Cmd::ID_EDIT_COPY);
    ShowFolder(kYard);
    Grid().setFocus();
    QTest::keyClick(&Grid(), Qt::Key_V, Qt::ControlModifier);
    Flush();
    EXPECT_EQ(DocNames(), QStringList({"Rail", "S1", "S2", "S4", "S5"}));

    ShowFolder(kHall);
    EXPECT_EQ(frame->StatusText(), "Selected objects: 4      Total objects: 5        ");
    boxes.Answer(Platform::IDYES);
    Run(Cmd::ID_EDIT_DELETE);
    EXPECT_EQ(DocNames(), QStringList({"S3"}));
    ExpectRowsMatchTheDocument();
}

TEST_F(SeriesPage, AMarkedOrFocusedDetailRowNamesItsOwnSeries)
{
    Open(ThreeInTheHall);
    Click(3, CTabGrid::COL_GRIPPER); // Shaft 2 open
    PaintEverything();
    Page().ExpandAll(false);
    Page().SetSeriesOpen(1, true);
    Flush();
    ASSERT_GT(Grid().GetRowHeight(4), 0);
    // A click on the open detail row, away from its links (the lower left corner of the
    // bar graph), marks Shaft 2 alone.
    auto clickDetail = [&](Qt::KeyboardModifiers keys)
    {
        Platform::Rect r;
        ASSERT_TRUE(Grid().GetCellRect(4, CTabGrid::COL_NAME, &r));
        QTest::mouseClick(Grid().viewport(), Qt::LeftButton, keys, QPoint(r.left + 3, r.bottom - 3));
        Flush();
    };
    clickDetail({});
    EXPECT_EQ(frame->StatusText(), "Selected objects: 1      Total objects: 3        ");
    Run(Cmd::ID_EDIT_COPY);
    QTest::keyClick(&Grid(), Qt::Key_F2);
    ASSERT_NE(Editor(), nullptr);
    EXPECT_EQ(Editor()->text(), "Shaft 2");
    QTest::keyClick(Editor(), Qt::Key_Escape);
    Flush();

    // Ctrl + click takes it out again: nothing is marked, and F2 still names the series
    // the focus rests on.
    clickDetail(Qt::ControlModifier);
    EXPECT_FALSE(Grid().IsCellSelected(3, CTabGrid::COL_NAME));
    EXPECT_FALSE(Grid().IsCellSelected(4, CTabGrid::COL_NAME));
    EXPECT_EQ(frame->StatusText(), "Selected objects: 0      Total objects: 3        ");
    QTest::keyClick(&Grid(), Qt::Key_F2);
    ASSERT_NE(Editor(), nullptr);
    EXPECT_EQ(Editor()->text(), "Shaft 2");
    QTest::keyClick(Editor(), Qt::Key_Escape);
    Flush();

    ShowFolder(kYard);
    Grid().setFocus();
    QTest::keyClick(&Grid(), Qt::Key_V, Qt::ControlModifier);
    Flush();
    EXPECT_EQ(DocNames(), QStringList({"Rail", "Shaft 2"}));
    ShowFolder(kHall);
    Page().SetSeriesOpen(1, true);
    Flush();
    clickDetail({});
    QTest::keyClick(&Grid(), Qt::Key_X, Qt::ControlModifier);
    Flush();
    EXPECT_EQ(DocNames(), QStringList({"Shaft 1", "Flange"}));
    ExpectRowsMatchTheDocument();
}

// Whatever closes the name editor but Esc (scrolling by wheel, key or bar, the focus
// cell moving, the keyboard going elsewhere) gives the typed name to the series the editor
// was opened on, never to the row that comes under it.
TEST_F(SeriesPage, TheNameEditorGivesItsNameToItsOwnSeriesWhenTheGridMovesOrTheFocusGoes)
{
    Open(FiveInTheHall);
    frame->resize(1300, 300);
    Flush();
    CLocalTree& tree = static_cast<CLeftView*>(frame->LeftView())->Tree();
    const auto wheel = [&]
    {
        QWheelEvent turn(QPointF(50, 100), Grid().viewport()->mapToGlobal(QPointF(50, 100)), QPoint(),
                         QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(Grid().viewport(), &turn);
    };
    // The editor opens by F2 or by a second click on the selected name.
    const struct
    {
        const char* what;
        int series;
        bool byClick;
        std::function<void()> move;
    } cases[] = {
        {"wheel", 0, false, wheel},
        {"scroll bar", 1, false,
         [&] { Grid().verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd); }},
        {"Page Down", 2, false, [&] { QTest::keyClick(Editor(), Qt::Key_PageDown); }},
        {"Down", 1, true, [&] { QTest::keyClick(Editor(), Qt::Key_Down); }},
        {"another widget", 3, false, [&] { tree.setFocus(Qt::MouseFocusReason); }},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        Grid().SetScrollPosition(SB_VERT, 0);
        Grid().SetFocusCell({-1, -1});
        Select({c.series});
        Grid().setFocus();
        QStringList names = DocNames();
        if (c.byClick)
        {
            QTest::qWait(QApplication::doubleClickInterval() + 50);
            Click(2 * c.series + 1, CTabGrid::COL_NAME);
        }
        else
        {
            QTest::keyClick(&Grid(), Qt::Key_F2);
        }
        Flush();
        ASSERT_NE(Editor(), nullptr);
        ASSERT_EQ(Editor()->text(), names[c.series]);
        QTest::keyClicks(Editor(), "X");
        c.move();
        Flush();
        EXPECT_EQ(Editor(), nullptr);
        names[c.series] += "X";
        EXPECT_EQ(DocNames(), names);
        ExpectRowsMatchTheDocument();
    }

    // Esc keeps the name.
    Select({4});
    QTest::keyClick(&Grid(), Qt::Key_F2);
    ASSERT_NE(Editor(), nullptr);
    const QStringList names = DocNames();
    QTest::keyClicks(Editor(), "Y");
    QTest::keyClick(Editor(), Qt::Key_Escape);
    Flush();
    EXPECT_EQ(Editor(), nullptr);
    EXPECT_EQ(DocNames(), names);
}

// The page's keys: plain arrows move the selection with the focus, Ctrl with an arrow moves
// the focus alone, Space takes the focused series in or out, F2 names the focused series,
// also from its open detail row. S1 is open, S1 clicked before the keys.
TEST_F(SeriesPage, KeysMoveTheFocusMarkSeriesAndRenameTheFocusedOne)
{
    Open(FiveInTheHall);
    using Keys = std::vector<std::pair<Qt::Key, Qt::KeyboardModifiers>>;
    const Qt::KeyboardModifiers none;
    const struct
    {
        const char* what;
        Keys keys;
        std::vector<int> marked;
        int focusRow;
        const char* editing; // the name in the editor after the keys, if one opened
    } cases[] = {
        {"Down selects what it reaches", {{Qt::Key_Down, none}, {Qt::Key_Down, none}}, {1}, 3, nullptr},
        {"Shift+Down marks the range", {{Qt::Key_Down, Qt::ShiftModifier}, {Qt::Key_Down, Qt::ShiftModifier}},
         {0, 1}, 3, nullptr},
        {"Ctrl+Down moves the focus alone",
         {{Qt::Key_Down, Qt::ControlModifier}, {Qt::Key_Down, Qt::ControlModifier}},
         {0}, 3, nullptr},
        {"Space adds the series Ctrl+arrows reached",
         {{Qt::Key_Down, Qt::ControlModifier},
          {Qt::Key_Down, Qt::ControlModifier},
          {Qt::Key_Down, Qt::ControlModifier},
          {Qt::Key_Space, none},
          {Qt::Key_Up, Qt::ControlModifier}},
         {0, 2}, 3, nullptr},
        {"Space takes the focused series out", {{Qt::Key_Space, none}}, {}, 1, nullptr},
        {"Enter closes the series and types no name", {{Qt::Key_Return, none}}, {0}, 1, nullptr},
        {"F2 on the detail row names its own series", {{Qt::Key_Down, none}, {Qt::Key_F2, none}}, {0}, 2, "S1"},
        {"F2 after Ctrl+Down names the focused series",
         {{Qt::Key_Down, Qt::ControlModifier}, {Qt::Key_Down, Qt::ControlModifier}, {Qt::Key_F2, none}},
         {0}, 3, "S2"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        Page().ExpandAll(false);
        Page().SetSeriesOpen(0, true);
        Grid().SetFocusCell({-1, -1});
        Select({0});
        ASSERT_GT(Grid().GetRowHeight(2), 0);
        Grid().setFocus();
        for (const auto& [key, modifiers] : c.keys)
            QTest::keyClick(&Grid(), key, modifiers);
        Flush();
        EXPECT_EQ(Page().MarkedSeries(), c.marked);
        EXPECT_EQ(frame->StatusText(),
                  QStringLiteral("Selected objects: %1      Total objects: 5        ").arg(c.marked.size()));
        EXPECT_EQ(Grid().GetFocusCell().row, c.focusRow);
        if (!c.editing)
        {
            EXPECT_EQ(Editor(), nullptr);
            continue;
        }
        ASSERT_NE(Editor(), nullptr);
        EXPECT_EQ(Editor()->text(), QLatin1String(c.editing));
        QTest::keyClick(Editor(), Qt::Key_Escape);
        Flush();
    }
}

// File > Open of the project that is open, with a change pending: whether the change is
// saved or dropped, the page shows the folder the tree still highlights.
TEST_F(SeriesPage, ReopeningTheOpenProjectShowsTheFolderAgain)
{
    Open(ThreeInTheHall);
    CLocalTree& tree = static_cast<CLeftView*>(frame->LeftView())->Tree();
    FileDialogRecorder files;
    for (const int answer : {Platform::IDYES, Platform::IDNO})
    {
        SCOPED_TRACE(answer);
        Doc().SetSeriesComment(1, QStringLiteral("changed"));
        ASSERT_TRUE(Doc().IsModified());
        boxes.boxes.clear();
        boxes.Answer(answer);
        files.Answer(path);
        Run(Cmd::ID_OPEN_PROJECT);
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_FALSE(Doc().IsModified());
        EXPECT_EQ(tree.GetSelectedItem(), tree.FindItem(kHall));
        EXPECT_EQ(Doc().GetCurrentFolderPath(), kHall);
        EXPECT_EQ(Names(), QStringList({"Shaft 1", "Shaft 2", "Flange"}));
        ExpectRowsMatchTheDocument();
        EXPECT_EQ(frame->StatusText(), "Selected objects: 3      Total objects: 3        ");
        for (uint32_t id : {Cmd::ID_PRINT, Cmd::ID_EXPORT_GRAPHIC, Cmd::ID_EXPORT_TEXT})
            EXPECT_TRUE(Enabled(id)) << id;
    }
}

// A paste selects the pasted series alone, in a sorted folder too; a paste into a window
// without a project makes the project and shows the folder it made.
TEST_F(SeriesPage, APasteSelectsThePastedSeriesAloneAndShowsTheFolderItMade)
{
    Open(ThreeInTheHall);
    Select({0, 2});
    Run(Cmd::ID_EDIT_COPY);
    for (const bool sorted : {false, true})
    {
        SCOPED_TRACE(sorted);
        Reopen(kYard);
        if (sorted)
            Click(0, CTabGrid::COL_NAME);
        Select({0});
        ASSERT_EQ(Page().MarkedSeries(), std::vector<int>{0});
        Run(Cmd::ID_EDIT_PASTE);
        EXPECT_EQ(DocNames(), sorted ? QStringList({"Flange", "Rail", "Shaft 1"})
                                     : QStringList({"Rail", "Shaft 1", "Flange"}));
        ExpectRowsMatchTheDocument();
        EXPECT_EQ(Page().MarkedSeries(), sorted ? std::vector<int>({0, 2}) : std::vector<int>({1, 2}));
        EXPECT_EQ(frame->StatusText(), "Selected objects: 2      Total objects: 3        ");
    }

    Run(Cmd::ID_CLOSE_PROJECT);
    ASSERT_FALSE(Doc().HasFolders());
    Run(Cmd::ID_EDIT_PASTE);
    CLocalTree& tree = static_cast<CLeftView*>(frame->LeftView())->Tree();
    ASSERT_NE(tree.FindItem(kHall), nullptr);
    EXPECT_EQ(tree.GetSelectedItem(), tree.FindItem(kHall));
    EXPECT_EQ(Doc().GetCurrentFolderPath(), kHall);
    EXPECT_EQ(Names(), QStringList({"Shaft 1", "Flange"}));
    ExpectRowsMatchTheDocument();
    EXPECT_EQ(Page().MarkedSeries(), (std::vector<int>{0, 1}));
}

TEST_F(SeriesPage, SavingLeavesThePageAsItIs)
{
    Open(FiveInTheHall);
    Select({1, 3});
    Grid().SetScrollPosition(SB_VERT, 0);
    const CGridCellPos focus = Grid().GetFocusCell();
    ASSERT_EQ(focus.row, 7);
    Doc().SetSeriesComment(0, QStringLiteral("changed"));
    Run(Cmd::ID_SAVE_PROJECT);
    EXPECT_FALSE(Doc().IsModified());
    // Nothing shown changed: no rebuild took the focus or the selection.
    EXPECT_EQ(Grid().GetFocusCell(), focus);
    EXPECT_EQ(Page().MarkedSeries(), (std::vector<int>{1, 3}));
    EXPECT_EQ(frame->StatusText(), "Selected objects: 2      Total objects: 5        ");
}
