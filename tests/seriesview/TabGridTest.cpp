// The series page on its own: which rows each document notice rebuilds, the value bar of
// the summary rows, the status line and the edit queries.
#include "tests/support/SampleProject.h"

#include "document/DocView.h"
#include "grid/GridCellBarRange.h"
#include "grid/GridCtrl.h"
#include "resources/BuiltInBitmaps.h"
#include "resources/BuiltInStrings.h"
#include "seriesview/GridCellSeries.h"
#include "seriesview/TabGrid.h"
#include "tests/support/MeasurementTexts.h"

#include <QTimer>

#include <gtest/gtest.h>

#include <vector>

namespace
{
using SampleProject::Add;
using SampleProject::Depths;
using SampleProject::Rebound;
using SeriesFixture::kHRC;

const QString kRoot = QStringLiteral("\\");
const QDateTime kMorning(QDate(2024, 5, 6), QTime(9, 30));

class TabGridTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterBuiltInStrings();
        RegisterBuiltInBitmaps();
        SetEnglishMeasurementTexts();
    }
    void Show()
    {
        doc.SetCurrentFolder(doc.LookupFolder(kRoot), kRoot, true);
        page.resize(1200, 600);
        page.show();
        doc.UpdateAllViews(nullptr, DOC_HINT_ALL);
    }
    CGridCtrl& Grid() { return *page.Grid(); }
    // The bar cell's settings, read back through its setters (each returns the previous).
    static double Marker(CGridCellBarRange* bar)
    {
        const double value = bar->SetValue(0);
        bar->SetValue(value);
        return value;
    }
    static double Maximum(CGridCellBarRange* bar)
    {
        const double value = bar->SetMaxValue(0);
        bar->SetMaxValue(value);
        return value;
    }
    CGridCellBarRange* Bar(int series)
    {
        return dynamic_cast<CGridCellBarRange*>(Grid().GetCell(2 * series + 1, CTabGrid::COL_MEAN));
    }

    CVeskDoc doc;
    CTabGrid page{&doc};
};
} // namespace

TEST_F(TabGridTest, EachNoticeRebuildsWhatItNames)
{
    for (int i = 0; i < 3; ++i)
        Add(doc, kRoot, QStringLiteral("S%1").arg(i), Rebound(kHRC, {560, 600}, kMorning));
    Show();
    ASSERT_EQ(Grid().GetRowCount(), 7);
    CGridCellBase* first = Grid().GetCell(1, CTabGrid::COL_NAME);
    CGridCellBase* detail = Grid().GetCell(6, CTabGrid::COL_NAME);

    // Selection notices leave the grid as it is.
    doc.GetSeriesAt(0)->SetName(QStringLiteral("S0 changed"));
    page.OnDocUpdate(DOC_HINT_SELECTION);
    EXPECT_EQ(Grid().GetItemText(1, CTabGrid::COL_NAME), "S0");

    // An index refreshes that summary row only; the cells stay.
    doc.GetSeriesAt(2)->SetName(QStringLiteral("S2 changed"));
    page.OnDocUpdate(2);
    EXPECT_EQ(Grid().GetItemText(5, CTabGrid::COL_NAME), "S2 changed");
    EXPECT_EQ(Grid().GetItemText(1, CTabGrid::COL_NAME), "S0");
    EXPECT_EQ(Grid().GetCell(1, CTabGrid::COL_NAME), first);
    EXPECT_EQ(Grid().GetCell(6, CTabGrid::COL_NAME), detail);

    // Everything: a new grid from the document.
    page.OnDocUpdate(DOC_HINT_ALL);
    EXPECT_EQ(Grid().GetItemText(1, CTabGrid::COL_NAME), "S0 changed");

    // A new series with its update flag is inserted where the folder's order puts it; the
    // series cells after it learn their new indices.
    CMeasSeriesWrapper* added = Add(doc, kRoot, QStringLiteral("S15"), Rebound(kHRC, {580}, kMorning));
    doc.LookupFolder(kRoot)->Sort(5);
    ASSERT_EQ(doc.GetSeriesName(2), "S15");
    added->SetUpdateFlag(1);
    page.OnDocUpdate(DOC_HINT_NEW_SERIES);
    ASSERT_EQ(Grid().GetRowCount(), 9);
    for (int i = 0; i < 4; ++i)
    {
        EXPECT_EQ(Grid().GetItemText(2 * i + 1, CTabGrid::COL_NAME), doc.GetSeriesName(i));
        EXPECT_EQ(
            dynamic_cast<CGridCellSeries*>(Grid().GetCell(2 * i + 2, CTabGrid::COL_NAME))->GetSeriesIndex(),
            i);
    }
}

TEST_F(TabGridTest, ARebuildMeasuresOneOpenSeriesOfEachShapeAndOpensTheOthersAtItsHeight)
{
    // Shapes: three readings (A), five readings (B); a comment makes its own height (C);
    // D stays closed; indentation-tester depths with as many readings as A (E) are a shape
    // of their own.
    struct SCase
    {
        const char* name;
        std::vector<float> readings;
        bool depths;
        bool comment;
        bool open;
        int shapeOf; // the series whose height it opens at, -1 for its own measure
    };
    const std::vector<SCase> cases = {
        {"A1", {560, 600, 580}, false, false, true, -1},
        {"B1", {500, 520, 510, 530, 515}, false, false, true, -1},
        {"A2", {700, 710, 720}, false, false, true, 0},
        {"C", {560, 600, 580}, false, true, true, -1},
        {"B2", {400, 420, 410, 430, 415}, false, false, true, 1},
        {"D", {560, 600, 580}, false, false, false, -1},
        {"A3", {450, 460, 470}, false, false, true, 0},
        {"E1", {40, 42, 45}, true, false, true, -1},
        {"E2", {50, 47, 52}, true, false, true, 7},
    };
    for (const SCase& c : cases)
        Add(doc, kRoot, QString::fromLatin1(c.name),
            c.depths ? Depths(c.readings, kMorning) : Rebound(kHRC, c.readings, kMorning));
    doc.SetCurrentFolder(doc.LookupFolder(kRoot), kRoot, true);
    for (size_t i = 0; i < cases.size(); ++i)
        if (cases[i].comment)
            doc.SetSeriesComment(int(i), QStringLiteral("Checked twice"));
    for (size_t i = 0; i < cases.size(); ++i)
        doc.SetSeriesExpanded(int(i), cases[i].open);
    // Nothing is painted before the checks: only a measure gives a cell its layout.
    Show();

    for (size_t i = 0; i < cases.size(); ++i)
    {
        const SCase& c = cases[i];
        const int row = 2 * int(i) + 2;
        auto* cell = dynamic_cast<CGridCellSeries*>(Grid().GetCell(row, CTabGrid::COL_NAME));
        ASSERT_NE(cell, nullptr);
        EXPECT_EQ(cell->IsExpanded(), c.open) << c.name;
        EXPECT_EQ(cell->GetLayout() != 0, c.open && c.shapeOf < 0) << c.name;
        if (!c.open)
            EXPECT_EQ(Grid().GetRowHeight(row), 0) << c.name;
        else if (c.shapeOf >= 0)
            EXPECT_EQ(Grid().GetRowHeight(row), Grid().GetRowHeight(2 * c.shapeOf + 2)) << c.name;
        else
            EXPECT_EQ(Grid().GetRowHeight(row), cell->GetFullHeight()) << c.name;
    }
}

TEST_F(TabGridTest, ALargeFolderIsMadeAndFilledInSlicesBetweenWhichOtherEventsRun)
{
    // One row more than a slice makes: between the slices other events run (timers
    // posted before), the page shows no rows while cells are made and the rows filled so
    // far while they are filled, notices meanwhile are carried out (a rename; a sort that
    // moves the rows filled already), and the rows end as a rebuild in one go leaves them.
    const int count = CTabGrid::kRowsPerSlice / 2 + 1;
    SampleProject::FillMixedFolder(doc, kRoot, count, false);
    const CMeasSeriesWrapper* renamed = doc.GetSeriesAt(count - 1);
    int rowsWhileMade = -1;
    QString firstWhileFilled;
    QString firstBeforeSort;
    QString lastWhileFilled;
    auto whileFilled = [&]
    {
        firstWhileFilled = Grid().GetItemText(1, CTabGrid::COL_NAME);
        firstBeforeSort = doc.GetSeriesName(0);
        lastWhileFilled = Grid().GetItemText(2 * count - 1, CTabGrid::COL_NAME);
        doc.SortSeries(6, nullptr); // by name, descending
    };
    QTimer::singleShot(0, &page,
                       [&]
                       {
                           rowsWhileMade = Grid().GetRowCount();
                           doc.SetSeriesName(count - 1, QStringLiteral("Renamed"));
                           QTimer::singleShot(0, &page, whileFilled);
                       });
    Show();
    EXPECT_EQ(rowsWhileMade, 1);
    EXPECT_EQ(firstWhileFilled, firstBeforeSort);
    EXPECT_EQ(lastWhileFilled, QString()) << "not filled yet";
    ASSERT_NE(doc.GetSeriesName(0), firstBeforeSort) << "sorted meanwhile";
    ASSERT_EQ(Grid().GetRowCount(), 2 * count + 1);
    for (int i : {0, count / 2, count - 1})
    {
        EXPECT_EQ(Grid().GetItemText(2 * i + 1, CTabGrid::COL_NAME), doc.GetSeriesName(i)) << i;
        EXPECT_EQ(page.EntryOfPair(i), doc.GetSeriesAt(i)) << i;
        EXPECT_NE(dynamic_cast<CGridCellSeries*>(Grid().GetCell(2 * i + 2, CTabGrid::COL_NAME)), nullptr)
            << i;
    }
    EXPECT_EQ(Grid().GetItemText(2 * doc.FindSeries(renamed) + 1, CTabGrid::COL_NAME),
              QStringLiteral("Renamed"));

    // Rebuilt with its cells there, all selected: between the slices only the rows filled
    // so far show their selection, none a stale one.
    page.OnSelectAll();
    ASSERT_EQ(page.MarkedSeries().size(), size_t(count));
    size_t markedWhileFilled = 0;
    QTimer::singleShot(0, &page, [&] { markedWhileFilled = page.MarkedSeries().size(); });
    doc.UpdateAllViews(nullptr, DOC_HINT_ALL);
    EXPECT_EQ(markedWhileFilled, size_t(CTabGrid::kRowsPerSlice / 2));
    EXPECT_EQ(page.MarkedSeries().size(), size_t(count));
}

TEST_F(TabGridTest, TheValueBarShowsDepthsFromTheDeepestOfTheFolder)
{
    // Depth series: the bar runs to 1.15 times the deepest mean or maximum of the folder,
    // and shows the depth from its right end (D - mean).
    Add(doc, kRoot, QStringLiteral("shallow"), Depths({40}, kMorning));
    Add(doc, kRoot, QStringLiteral("deep"), Depths({50}, kMorning));
    Add(doc, kRoot, QStringLiteral("hrc"), Rebound(kHRC, {560, 600}, kMorning));
    Show();
    EXPECT_DOUBLE_EQ(Maximum(Bar(0)), 57.5);
    EXPECT_NEAR(Marker(Bar(0)), 17.5, 1e-4);
    EXPECT_NEAR(Marker(Bar(1)), 7.5, 1e-4);
    // Other scales: their display maximum with 8 % to spare, the marker at the mean.
    EXPECT_DOUBLE_EQ(Maximum(Bar(2)), 70 * 1.08);
    EXPECT_NEAR(Marker(Bar(2)), 42.5, 1e-4);
    EXPECT_EQ(CTabGrid::GetScaleDisplayMax(2), 950);
    EXPECT_EQ(CTabGrid::GetScaleDisplayMax(263), 999);
    EXPECT_EQ(CTabGrid::GetScaleDisplayMax(4711), 1000);
}

TEST_F(TabGridTest, StatusLineAndEditQueriesFollowTheSelection)
{
    QStringList lines;
    CTabGrid::SServices services;
    services.showStatus = [&](const QString& text) { lines << text; };
    std::vector<uint32_t> outputs;
    services.output = [&](uint32_t message, CTabGrid& on)
    {
        EXPECT_EQ(&on, &page);
        outputs.push_back(message);
        return intptr_t(1);
    };
    page.SetServices(services);
    EXPECT_EQ(page.OnCommandMessage(WM_CMD_CAN_SELECT_ALL), 0) << "no project";
    // Printing and the exports go to the application's handler.
    for (uint32_t message : {WM_CMD_PRINT, WM_CMD_EXPORT_GRAPHIC, WM_CMD_EXPORT_TEXT})
        EXPECT_EQ(page.OnCommandMessage(message), 1);
    EXPECT_EQ(outputs, (std::vector<uint32_t>{WM_CMD_PRINT, WM_CMD_EXPORT_GRAPHIC, WM_CMD_EXPORT_TEXT}));
    for (int i = 0; i < 7; ++i)
        Add(doc, kRoot, QStringLiteral("S%1").arg(i), Rebound(kHRC, {560, 600}, kMorning));
    Show();
    Grid().SetSelectedRange(-1, -1, -1, -1);
    EXPECT_EQ(page.OnCommandMessage(WM_CMD_CAN_COPY), 0);
    EXPECT_EQ(page.OnCommandMessage(WM_CMD_CAN_DELETE), 0);
    EXPECT_EQ(page.OnCommandMessage(WM_CMD_CAN_SELECT_ALL), 1);

    Grid().SelectRows({3, 1});
    Grid().SelectRows({9, 1}, false, true, true);
    page.UpdateStatusCounts(true);
    EXPECT_EQ(lines.last(), "Selected objects: 2      Total objects: 7        ");
    EXPECT_EQ(page.OnCommandMessage(WM_CMD_CAN_COPY), 1);
    EXPECT_EQ(page.OnCommandMessage(WM_CMD_CAN_DELETE), 1);
    EXPECT_EQ(page.MarkedSeries(), (std::vector<int>{1, 4}));
    page.SetStatusProgress(QStringLiteral("Updating:"), 32);
    EXPECT_EQ(lines.last(), "Selected objects: 2      Total objects: 7        Updating: 32");

    EXPECT_EQ(page.OnCommandMessage(WM_CMD_SELECT_ALL), 1);
    page.UpdateStatusCounts(true);
    EXPECT_EQ(page.MarkedSeries().size(), 7u);
}
