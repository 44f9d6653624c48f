// Live measurement end to end: Measure in the main window connects the simulated
// indentation tester through the connection wizard, played indentations become readings
// with their curves, and Measure switches it off again.

#include "app/FlatSplitterWnd.h"
#include "app/LeftView.h"
#include "app/LocalTree.h"
#include "app/MainFrm.h"
#include "app/RightView.h"
#include "device/DeviceThread.h"
#include "device/DeviceTypes.h"
#include "device/Veskamon2Device.h"
#include "devicefiles/DevSelectSheet.h"
#include "devicefiles/VeskamonConnection.h"
#include "grid/GridCtrl.h"
#include "measurement/CurveCodec.h"
#include "measurement/MeasSeries1.h"
#include "measurement/MeasSeriesWrapper.h"
#include "measurement/MeasValues.h"
#include "measurement/SeriesSettings.h"
#include "platform/core/SettingsStore.h"
#include "seriesview/GridCellSeries.h"
#include "seriesview/GuidanceDlg.h"
#include "seriesview/LiveMeasurement.h"
#include "seriesview/LiveView.h"
#include "seriesview/TabGrid.h"
#include "streamio/StreamIO.h"
#include "tests/app/AppTestSupport.h"
#include "tests/measurement/SeriesFixture.h"
#include "tests/support/CpuHog.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/HidProbeSimulator.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/SampleProject.h"
#include "tests/support/sim/IndentationTesterSim.h"
#include "tests/support/StoredCurve.h"
#include "tests/support/DeviceThreadEnvironment.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>

using Platform::WizardButton;

namespace
{
constexpr int kDeadlineMs = 30000;
constexpr int kAllReadings = 7;
const QString kWizardKey = QStringLiteral("Software\\Velmor\\Veskador 3\\ConnWizard\\Veskamon\\");
const QString kLiveKey = QStringLiteral("Software\\Velmor\\Veskador 3\\LiveSettings\\");

[[maybe_unused]] const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new DeviceThreadEnvironment);

class LiveMeasurementTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        bus = HidProbeSimulator::Install();
        sim = std::make_unique<Sim::IndentationTesterSim>(bus, QStringLiteral("/dev/hidraw-live1"));
        auto& store = Platform::SettingsStore::Instance();
        store.CreateKey(kWizardKey);
        store.Write(kWizardKey, QStringLiteral("CommPort"), uint32_t(Device::portUsb));
        store.Write(kWizardKey, QStringLiteral("Express"), uint32_t(0));
        frame = std::make_unique<CMainFrame>(QStringList{QStringLiteral("veskador3")});
        frame->resize(1000, 700);
        frame->show();
        boxes.boxes.clear(); // the missing Standard.cnv
    }
    void TearDown() override
    {
        frame.reset();
        EXPECT_EQ(CVeskamonConnection::Instance().GetDevice(), nullptr);
        sim.reset();
    }

    // The next wizard searches and ends with Finish.
    void QueueWizard()
    {
        dialogs.Queue(
            [](QDialog& dialog)
            {
                auto* sheet = dynamic_cast<CDevSelectSheet*>(&dialog);
                ASSERT_NE(sheet, nullptr);
                QTest::mouseClick(sheet->Button(WizardButton::next), Qt::LeftButton);
                QPushButton* finish = sheet->Button(WizardButton::finish);
                ASSERT_TRUE(
                    QTest::qWaitFor([&] { return finish->isVisible() && finish->isEnabled(); }, kDeadlineMs));
                QTest::mouseClick(finish, Qt::LeftButton);
            });
    }
    void Measure() { frame->Action(Cmd::ID_MEASURE)->trigger(); }
    bool MeasureChecked()
    {
        frame->UpdateCommandUI();
        return frame->Action(Cmd::ID_MEASURE)->isChecked();
    }
    CLiveView* Pane() { return qobject_cast<CLiveView*>(frame->LiveView()); }
    CMeasSeries1* Series(int i) { return frame->Document().GetSeriesAt(i)->GetSeries(); }
    int Readings(int i) { return Series(i)->GetCount(kAllReadings); }
    // Plays a test and waits until the sampling thread has read it and the pane took it.
    void Play(const std::vector<uint16_t>& samples)
    {
        const int sent = sim->SentSamples();
        sim->QueueSamples(samples);
        ASSERT_TRUE(QTest::qWaitFor([&] { return sim->SentSamples() == sent + int(samples.size()); }, kDeadlineMs));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !frame->LiveMeasurement()->IsMeasuring(); }, kDeadlineMs));
        QTest::qWait(250); // longer than the gap that ends a test
        ASSERT_TRUE(QTest::qWaitFor([&] { return !frame->LiveMeasurement()->IsMeasuring(); }, kDeadlineMs));
    }
    void StartLive()
    {
        QueueWizard();
        Measure();
        ASSERT_TRUE(MeasureChecked());
        ASSERT_TRUE(frame->IsLive());
    }
    // Live mode on, then the tester stops answering (its answers would come long after
    // every time-out), and the machine is busy: Measure off, or closing the window, must
    // still return at once and leave no tester behind.
    void StopWithASilentTester(bool closeWindow)
    {
        StartLive();
        ASSERT_TRUE(QTest::qWaitFor([&] { return sim->SamplingOn(); }, kDeadlineMs));
        sim->Engine().UpdateFaults([](Sim::Faults& f) { f.replyDelayMs = 20000; });
        CpuHog hog;
        QElapsedTimer timer;
        timer.start();
        if (closeWindow)
            frame.reset();
        else
            Measure();
        EXPECT_LT(timer.elapsed(), 500);
        if (!closeWindow)
        {
            EXPECT_FALSE(frame->IsLive());
            EXPECT_FALSE(MeasureChecked());
        }
        EXPECT_EQ(CVeskamonConnection::Instance().GetDevice(), nullptr);
    }

    // A new main window on a project whose hall holds Series 1 to 3, oldest first, in the
    // stored order 0 that a download or an import leaves; the hall shown.
    void OpenHall()
    {
        const QString hall = QStringLiteral("\\Hall\\");
        const QString path = env.Dir().File(QStringLiteral("Hall.v3p"));
        {
            CVeskDoc doc;
            for (int i = 0; i < 3; ++i)
                SampleProject::Add(doc, hall, QStringLiteral("Series %1").arg(i + 1),
                                   SampleProject::Rebound(SeriesFixture::kHRC, {560, 600},
                                                          QDateTime(QDate(2024, 5, 6 + i), QTime(9, 30))));
            ASSERT_TRUE(doc.SaveProject(path));
        }
        frame.reset();
        frame = std::make_unique<CMainFrame>(QStringList{QStringLiteral("veskador3"), path});
        frame->resize(2600, 1400);
        frame->show();
        QApplication::processEvents();
        boxes.boxes.clear();
        CLocalTree& tree = static_cast<CLeftView*>(frame->LeftView())->Tree();
        TreeItem* item = tree.FindItem(hall);
        ASSERT_NE(item, nullptr);
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, tree.GetItemLabelRect(item).center());
        QApplication::processEvents();
        ASSERT_EQ(frame->Document().GetSeriesCount(), 3);
        ASSERT_EQ(frame->Document().GetSortOrder(), 0);
    }
    CTabGrid& Page() { return *dynamic_cast<CTabGrid*>(static_cast<CRightView*>(frame->RightView())->Page()); }
    // Every pair of rows shows the document's series at its index, by name and by entry.
    void ExpectRowsMatchTheDocument()
    {
        CVeskDoc& doc = frame->Document();
        CGridCtrl& grid = *Page().Grid();
        ASSERT_EQ(grid.GetRowCount(), 2 * doc.GetSeriesCount() + 1);
        for (int i = 0; i < doc.GetSeriesCount(); ++i)
        {
            EXPECT_EQ(grid.GetItemText(2 * i + 1, CTabGrid::COL_NAME), doc.GetSeriesName(i)) << i;
            const auto entry = reinterpret_cast<intptr_t>(doc.GetSeriesAt(i));
            EXPECT_EQ(grid.GetItemData(2 * i + 1, CTabGrid::COL_NAME), entry) << i;
            EXPECT_EQ(grid.GetItemData(2 * i + 2, CTabGrid::COL_NAME), entry) << i;
            auto* cell = dynamic_cast<CGridCellSeries*>(grid.GetCell(2 * i + 2, CTabGrid::COL_NAME));
            ASSERT_NE(cell, nullptr);
            EXPECT_EQ(cell->GetSeriesIndex(), i);
        }
    }
    void ClickRow(int row, int col)
    {
        CGridCtrl& grid = *Page().Grid();
        grid.EnsureVisible(row, col);
        Platform::Rect r;
        ASSERT_TRUE(grid.GetCellRect(row, col, &r));
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2));
        QApplication::processEvents();
    }

    AppEnvironment env;
    MessageBoxRecorder boxes;
    DialogDriver dialogs;
    std::shared_ptr<HidProbeSimulator> bus;
    std::unique_ptr<Sim::IndentationTesterSim> sim;
    std::unique_ptr<CMainFrame> frame;
};

TEST_F(LiveMeasurementTest, OneIndentationBecomesAReadingWithItsCurve)
{
    StartLive();
    EXPECT_TRUE(QTest::qWaitFor([&] { return sim->SamplingOn(); }, kDeadlineMs));
    frame->OnSize();
    QApplication::processEvents();
    EXPECT_EQ(frame->LiveView()->height(), CMainFrame::kLivePaneHeight - CFlatSplitterWnd::kBarSize);

    const std::vector<uint16_t> curve = Sim::Curves::Passing();
    Play(curve);
    CVeskDoc& doc = frame->Document();
    ASSERT_EQ(doc.GetSeriesCount(), 1);
    EXPECT_EQ(doc.GetSeriesAt(0)->GetName(), QStringLiteral("New Veskamon Series 001"));
    ASSERT_EQ(Readings(0), 1);
    SSeriesSettings settings;
    ASSERT_TRUE(Series(0)->GetSettings(settings));
    EXPECT_EQ(settings.upperLimit, MEAS_NO_VALUE);
    EXPECT_EQ(settings.lowerLimit, MEAS_NO_VALUE);
    // Scale and probe need the conversion table, which this environment has not got: the
    // pane's settings hold them.
    EXPECT_EQ(frame->Document().GetLiveSettings().scale, 513);
    EXPECT_EQ(frame->Document().GetLiveSettings().standard, 2);
    EXPECT_EQ(frame->Document().GetLiveSettings().probe.code, CLiveMeasurement::kProbeCodeVariant1);
    EXPECT_EQ(StoredCurve(*Series(0), 0), curve);
    EXPECT_TRUE(frame->GuidanceDlg()->isVisible());
    EXPECT_EQ(frame->GuidanceDlg()->GetShownPhase(), CGuidanceDlg::phaseFinished);

    // Measure off: the stream stops, the series closes, the tester is let go.
    Measure();
    EXPECT_FALSE(MeasureChecked());
    EXPECT_FALSE(sim->SamplingOn());
    EXPECT_EQ(doc.GetMeasuringSeries(), nullptr);
    EXPECT_EQ(CVeskamonConnection::Instance().GetDevice(), nullptr);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(LiveMeasurementTest, BackToBackTestsKeepTheirOwnSamplesAndAutoCloseCountsUp)
{
    StartLive();
    Pane()->findChild<QCheckBox*>(QStringLiteral("autoCloseBox"))->click();
    Pane()->findChild<QLineEdit*>(QStringLiteral("countEdit"))->setText(QStringLiteral("3"));

    // The first test has a late packet in the middle (one empty read): still one test.
    std::vector<uint16_t> first = Sim::Curves::Passing();
    const std::vector<uint16_t> second = Sim::Curves::Vibration();
    const size_t half = first.size() / 2;
    const int sent = sim->SentSamples();
    sim->QueueSamples({first.begin(), first.begin() + qsizetype(half)});
    sim->QueuePause(60);
    sim->QueueSamples({first.begin() + qsizetype(half), first.end()});
    sim->QueuePause(300);
    sim->QueueSamples(second);
    ASSERT_TRUE(QTest::qWaitFor([&] { return sim->SentSamples() == sent + int(first.size() + second.size()); },
                                kDeadlineMs));
    QTest::qWait(250);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !frame->LiveMeasurement()->IsMeasuring(); }, kDeadlineMs));
    ASSERT_EQ(frame->Document().GetSeriesCount(), 1);
    ASSERT_EQ(Readings(0), 2);
    EXPECT_EQ(StoredCurve(*Series(0), 0), first);
    EXPECT_EQ(StoredCurve(*Series(0), 1), second);
    // Saved while a series is open (the button is usable only then).
    QPushButton* save = Pane()->findChild<QPushButton*>(QStringLiteral("saveDefaultsButton"));
    ASSERT_TRUE(save->isEnabled());
    save->click();

    // The third reading closes the series; the next one is named ...002.
    Play(Sim::Curves::Passing());
    EXPECT_EQ(frame->Document().GetMeasuringSeries(), nullptr);
    Play(Sim::Curves::Passing());
    ASSERT_EQ(frame->Document().GetSeriesCount(), 2);
    ASSERT_NE(frame->Document().GetMeasuringSeries(), nullptr);
    EXPECT_EQ(frame->Document().GetMeasuringSeries()->GetName(), QStringLiteral("New Veskamon Series 002"));

    // Live mode off and on again: the saved defaults come back.
    Measure();
    Pane()->findChild<QLineEdit*>(QStringLiteral("countEdit"))->setText(QStringLiteral("9"));
    Pane()->findChild<QCheckBox*>(QStringLiteral("autoCloseBox"))->click();
    StartLive();
    EXPECT_TRUE(Pane()->findChild<QCheckBox*>(QStringLiteral("autoCloseBox"))->isChecked());
    EXPECT_EQ(Pane()->findChild<QLineEdit*>(QStringLiteral("countEdit"))->text(), QStringLiteral("3"));
    EXPECT_EQ(frame->Document().GetLiveSettings().seriesName, QStringLiteral("New Veskamon Series 003"));
    Measure();
}

TEST_F(LiveMeasurementTest, AWarningIsShownWhenWarningsAreOnAndIgnoredWhenOff)
{
    StartLive();
    Play(Sim::Curves::Vibration());
    EXPECT_EQ(frame->GuidanceDlg()->GetShownPhase(), CGuidanceDlg::phaseVibration);
    EXPECT_GE(frame->GuidanceDlg()->GetMarkIndex(), 0);

    Pane()->findChild<QCheckBox*>(QStringLiteral("warningsBox"))->click();
    EXPECT_FALSE(frame->Document().IsWarningEnabled());
    Play(Sim::Curves::Vibration());
    EXPECT_NE(frame->GuidanceDlg()->GetShownPhase(), CGuidanceDlg::phaseVibration);
    EXPECT_EQ(frame->GuidanceDlg()->GetMarkIndex(), -1);
    // Warnings are stored like accepted tests.
    ASSERT_EQ(frame->Document().GetSeriesCount(), 1);
    EXPECT_EQ(Readings(0), 2);
    Measure();
}

TEST_F(LiveMeasurementTest, MeasureOffMidTestEndsTheThreadAndDropsTheTest)
{
    StartLive();
    const std::vector<uint16_t> curve = Sim::Curves::Passing();
    sim->QueueSamples(curve);
    ASSERT_TRUE(QTest::qWaitFor([&] { return frame->LiveMeasurement()->IsMeasuring(); }, kDeadlineMs));
    ASSERT_TRUE(QTest::qWaitFor([&] { return sim->SentSamples() > 40; }, kDeadlineMs));
    Measure();
    EXPECT_FALSE(frame->IsLive());
    EXPECT_FALSE(frame->LiveMeasurement()->IsMeasuring());
    EXPECT_FALSE(sim->SamplingOn());
    // Notices still queued from the stopped run change nothing.
    QTest::qWait(300);
    EXPECT_EQ(frame->Document().GetSeriesCount(), 0);
    EXPECT_FALSE(frame->LiveMeasurement()->IsMeasuring());
}

TEST_F(LiveMeasurementTest, MeasureOffReturnsAtOnceWithASilentTester)
{
    StopWithASilentTester(false);
}

TEST_F(LiveMeasurementTest, ClosingTheWindowReturnsAtOnceWithASilentTester)
{
    StopWithASilentTester(true);
}

TEST_F(LiveMeasurementTest, ATesterThatGoesAwayEndsLiveMode)
{
    StartLive();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sim->SamplingOn(); }, kDeadlineMs));
    bus->Unplug(sim->Path());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !frame->IsLive(); }, kDeadlineMs));
    EXPECT_FALSE(MeasureChecked());
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].text.contains(QStringLiteral("was lost")));
    EXPECT_EQ(CVeskamonConnection::Instance().GetDevice(), nullptr);
}

TEST_F(LiveMeasurementTest, AClosedLinkIsReportedAndLiveModeStaysOff)
{
    Device::CVeskamon2Device unlinked;
    EXPECT_FALSE(frame->LiveMeasurement()->Start(&unlinked));
    EXPECT_FALSE(frame->LiveMeasurement()->IsLive());
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].text.contains(QStringLiteral("not open")));
}

// A probe whose variant has no probe code measures all the same; its readings carry the
// empty probe id.
TEST_F(LiveMeasurementTest, AProbeOfAnUnknownVariantMeasuresWithTheEmptyProbeId)
{
    Sim::IndentationTesterSim::Identity id;
    id.name = "Veskamon 3 #9";
    sim->SetIdentity(id);
    StartLive();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sim->SamplingOn(); }, kDeadlineMs));
    EXPECT_EQ(frame->Document().GetLiveSettings().probe.code, -1);

    const std::vector<uint16_t> curve = Sim::Curves::Passing();
    Play(curve);
    ASSERT_EQ(frame->Document().GetSeriesCount(), 1);
    ASSERT_EQ(Readings(0), 1);
    EXPECT_EQ(Series(0)->GetProbeId().code, -1);
    EXPECT_EQ(StoredCurve(*Series(0), 0), curve);
    EXPECT_TRUE(boxes.boxes.empty());
    Measure();
    EXPECT_FALSE(frame->IsLive());
}

// Auto-close closes at exactly n readings: a series reopened with more than n already
// goes on taking readings.
TEST_F(LiveMeasurementTest, AutoCloseLeavesAReopenedSeriesWithMoreThanNReadingsOpen)
{
    // Reopen takes a series of the connected probe, which needs the probe's conversion.
    SeriesFixture::AddStandardRecords();
    Sim::IndentationTesterSim::Identity id;
    id.name = "Veskamon 3 #5";
    sim->SetIdentity(id);
    StartLive();
    for (int i = 0; i < 5; ++i)
        Play(Sim::Curves::Passing());
    ASSERT_EQ(frame->Document().GetSeriesCount(), 1);
    ASSERT_EQ(Readings(0), 5);
    QPushButton* closeReopen = Pane()->findChild<QPushButton*>(QStringLiteral("closeReopenButton"));
    closeReopen->click();
    ASSERT_EQ(frame->Document().GetMeasuringSeries(), nullptr);

    // The series chosen on the series page, then Reopen.
    CGridCtrl& grid = *dynamic_cast<CTabGrid*>(static_cast<CRightView*>(frame->RightView())->Page())->Grid();
    Platform::Rect r;
    ASSERT_TRUE(grid.GetCellRect(1, CTabGrid::COL_NAME, &r));
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2));
    ASSERT_TRUE(QTest::qWaitFor([&] { return frame->Document().GetSelectedIndex() == 0; }, kDeadlineMs));
    ASSERT_TRUE(QTest::qWaitFor([&] { return closeReopen->isEnabled(); }, kDeadlineMs));
    closeReopen->click();
    ASSERT_NE(frame->Document().GetMeasuringSeries(), nullptr);

    Pane()->findChild<QCheckBox*>(QStringLiteral("autoCloseBox"))->click();
    Pane()->findChild<QLineEdit*>(QStringLiteral("countEdit"))->setText(QStringLiteral("3"));
    Play(Sim::Curves::Passing());
    EXPECT_EQ(Readings(0), 6);
    EXPECT_NE(frame->Document().GetMeasuringSeries(), nullptr);
    EXPECT_EQ(frame->Document().GetSeriesCount(), 1);
    Measure();
}

} // namespace

TEST_F(LiveMeasurementTest, ALiveReadingInAnUnsortedFolderKeepsEveryRowOnItsSeries)
{
    OpenHall();
    StartLive();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sim->SamplingOn(); }, kDeadlineMs));
    // The reading sorts the folder newest first and opens a new series at its head.
    Play(Sim::Curves::Passing());
    CVeskDoc& doc = frame->Document();
    ASSERT_EQ(doc.GetSeriesCount(), 4);
    EXPECT_EQ(doc.GetSeriesName(1), QStringLiteral("Series 3"));
    ExpectRowsMatchTheDocument();

    // Delete on the row labelled Series 1 deletes Series 1.
    Measure();
    CGridCtrl& grid = *Page().Grid();
    int row = -1;
    for (int r = 1; r < grid.GetRowCount(); r += 2)
        if (grid.GetItemText(r, CTabGrid::COL_NAME) == QStringLiteral("Series 1"))
            row = r;
    ASSERT_GT(row, 0);
    ClickRow(row, CTabGrid::COL_NAME);
    boxes.Answer(Platform::IDYES);
    frame->UpdateCommandUI();
    frame->Action(Cmd::ID_EDIT_DELETE)->trigger();
    QApplication::processEvents();
    ASSERT_EQ(doc.GetSeriesCount(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_NE(doc.GetSeriesName(i), QStringLiteral("Series 1"));
    ExpectRowsMatchTheDocument();
}

TEST_F(LiveMeasurementTest, APopupOnTheLiveSeriesOutlivesItsRowsWhenTheTesterGoes)
{
    OpenHall();
    StartLive();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sim->SamplingOn(); }, kDeadlineMs));
    QTest::mouseClick(Pane()->findChild<QPushButton*>(QStringLiteral("newButton")), Qt::LeftButton);
    QApplication::processEvents();
    CVeskDoc& doc = frame->Document();
    const int live = doc.GetMeasuringSeriesIndex();
    ASSERT_GE(live, 0);
    ASSERT_EQ(doc.GetSeriesCount(), 4);

    // The open series' cell, painted, offers its links; the upper limit's opens a dialog.
    CGridCtrl& grid = *Page().Grid();
    const int row = 2 * live + 2;
    for (int pass = 0; pass < 200 && grid.GetRowHeight(row) < 150; ++pass)
    {
        grid.viewport()->repaint();
        QApplication::processEvents();
    }
    grid.viewport()->repaint();
    auto* cell = dynamic_cast<CGridCellSeries*>(grid.GetCell(row, CTabGrid::COL_NAME));
    ASSERT_NE(cell, nullptr);
    auto findLink = [&]
    {
        std::optional<QPoint> found;
        Platform::Rect rect;
        if (!grid.GetCellRect(row, CTabGrid::COL_NAME, &rect))
            return found;
        for (int y = 0; y < rect.Height() && !found; y += 2)
            for (int x = 0; x < rect.Width() && !found; x += 2)
            {
                int kind = -1;
                int item = 0;
                if (cell->GetHitAreas().HitTest({x, y}, &kind, &item) && kind == SERIESHIT_LINK &&
                    item == LINK_UPPER_LIMIT)
                    found = QPoint(rect.left + x, rect.top + y);
            }
        return found;
    };
    std::optional<QPoint> link = findLink();
    ASSERT_TRUE(link.has_value());
    if (!grid.viewport()->rect().contains(*link))
    {
        // Scrolled sideways until the link is in sight, and painted there.
        grid.SetScrollPosition(SB_HORZ, link->x() - grid.viewport()->width() / 2);
        grid.viewport()->repaint();
        link = findLink();
        ASSERT_TRUE(link.has_value());
    }
    ASSERT_TRUE(grid.viewport()->rect().contains(*link));

    // The limit's dialog is open when the tester goes: the empty live series closes and
    // goes, and its rows with it, once the dialog has ended.
    bool ran = false;
    dialogs.Queue(
        [&](QDialog& dialog)
        {
            ran = true;
            bus->Unplug(sim->Path());
            ASSERT_TRUE(QTest::qWaitFor([&] { return !frame->IsLive(); }, kDeadlineMs));
            EXPECT_EQ(doc.GetSeriesCount(), 3);
            dialog.accept();
        });
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, *link);
    QApplication::processEvents();
    EXPECT_TRUE(ran);
    EXPECT_EQ(doc.GetSeriesCount(), 3);
    ExpectRowsMatchTheDocument();
    grid.viewport()->repaint();
}
