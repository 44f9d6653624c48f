// Live measurement end to end: Measure in the main window connects the simulated
// indentation tester through the connection wizard, played indentations become readings
// with their curves, and Measure switches it off again.

#include "app/FlatSplitterWnd.h"
#include "app/MainFrm.h"
#include "device/DeviceThread.h"
#include "device/DeviceTypes.h"
#include "device/Veskamon2Device.h"
#include "devicefiles/DevSelectSheet.h"
#include "devicefiles/VeskamonConnection.h"
#include "measurement/CurveCodec.h"
#include "measurement/MeasSeries1.h"
#include "measurement/MeasSeriesWrapper.h"
#include "measurement/MeasValues.h"
#include "measurement/SeriesSettings.h"
#include "platform/core/SettingsStore.h"
#include "seriesview/GuidanceDlg.h"
#include "seriesview/LiveMeasurement.h"
#include "seriesview/LiveView.h"
#include "streamio/StreamIO.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/CpuHog.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/HidProbeSimulator.h"
#include "tests/support/MessageBoxRecorder.h"
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

TEST_F(LiveMeasurementTest, AClosedLinkOrAnUnknownProbeVariantIsReportedAndLiveModeStaysOff)
{
    Device::CVeskamon2Device unlinked;
    EXPECT_FALSE(frame->LiveMeasurement()->Start(&unlinked));
    EXPECT_FALSE(frame->LiveMeasurement()->IsLive());
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].text.contains(QStringLiteral("not open")));
    boxes.boxes.clear();

    Sim::IndentationTesterSim::Identity id;
    id.name = "Veskamon 3 #9";
    sim->SetIdentity(id);
    QueueWizard();
    Measure();
    EXPECT_FALSE(MeasureChecked());
    EXPECT_FALSE(frame->IsLive());
    EXPECT_FALSE(sim->SamplingOn());
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].text.contains(QStringLiteral("unknown kind")));
    EXPECT_EQ(CVeskamonConnection::Instance().GetDevice(), nullptr);
}

} // namespace
