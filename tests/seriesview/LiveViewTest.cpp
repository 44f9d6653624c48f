#include "seriesview/LiveView.h"

#include "document/VeskDoc.h"
#include "measurement/CurveCodec.h"
#include "measurement/FolderData.h"
#include "measurement/MeasSeries1.h"
#include "measurement/MeasSeriesWrapper.h"
#include "measurement/MeasValues.h"
#include "measurement/SeriesSettings.h"
#include "platform/core/SettingsStore.h"
#include "resources/BuiltInBitmaps.h"
#include "resources/BuiltInStrings.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/sim/IndentationTesterSim.h"
#include "tests/support/StoredCurve.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <random>

namespace
{
const QString kKey = QStringLiteral("Software\\Velmor\\Veskador 3\\LiveSettings\\");
constexpr int kAllReadings = 7;

Platform::SettingsStore& Store()
{
    return Platform::SettingsStore::Instance();
}

class LiveViewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterBuiltInStrings();
        RegisterBuiltInBitmaps();
        Store().DeleteKey(kKey);
        pane.SetDocument(&doc);
        SProbeId probe;
        SPackedSerial serial;
        probe.SetKeepingUnknown(0x201, &serial, -1);
        pane.StartLiveMode(probe);
    }
    void TearDown() override { Store().DeleteKey(kKey); }

    template <typename T> T* Control(const char* name) { return pane.findChild<T*>(QLatin1String(name)); }
    CMeasSeriesWrapper* Open() { return doc.GetMeasuringSeries(); }
    void Measure(const std::vector<uint16_t>& samples = Sim::Curves::Passing(), int code = 0)
    {
        pane.AddMeasurement(samples, 10.0f, 3.84f, code);
    }

    MessageBoxRecorder boxes;
    CVeskDoc doc;
    CLiveView pane;
};

TEST(LiveViewNames, SeriesNamesCountUp)
{
    const struct
    {
        const char* name;
        const char* next;
    } cases[] = {
        {"New Veskamon Series 001", "New Veskamon Series 002"},
        {"Series 9", "Series 10"},
        {"Series 999", "Series 1000"},
        {"Test12", "Test13"},
        {"Test", "Tesu"},
        {"zz", "aaa"},
        {"Name zz", "Name aaa"},
        {"Block A-Z", "Block A-AA"},
        {"123", "124"},
        {"", "1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CLiveView::NextSeriesName(QString::fromLatin1(c.name)), QString::fromLatin1(c.next)) << c.name;
}

TEST_F(LiveViewTest, FreshSettingsMakeTheFirstSeriesWithReadingAndCurve)
{
    EXPECT_TRUE(pane.IsStartHintShown());
    EXPECT_EQ(Control<QLineEdit>("countEdit")->text(), QStringLiteral("5"));
    EXPECT_TRUE(Control<QPushButton>("newButton")->isEnabled());
    const std::vector<uint16_t> curve = Sim::Curves::Passing();
    Measure(curve);
    ASSERT_NE(Open(), nullptr);
    EXPECT_FALSE(pane.IsStartHintShown());
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(Open()->GetName(), QStringLiteral("New Veskamon Series 001"));
    CMeasSeries1& series = *Open()->GetSeries();
    ASSERT_EQ(series.GetCount(kAllReadings), 1);
    SSeriesSettings settings;
    ASSERT_TRUE(series.GetSettings(settings));
    EXPECT_EQ(settings.upperLimit, MEAS_NO_VALUE);
    EXPECT_EQ(settings.lowerLimit, MEAS_NO_VALUE);
    EXPECT_EQ(StoredCurve(series, 0), curve);
    EXPECT_FALSE(Control<QPushButton>("newButton")->isEnabled());
    EXPECT_EQ(Control<QPushButton>("closeReopenButton")->text(), QStringLiteral("Close"));

    // Rejected tests store nothing.
    for (int code : {257, 512, 513, 514, 515})
        Measure(curve, code);
    EXPECT_EQ(series.GetCount(kAllReadings), 1);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(LiveViewTest, AutoCloseCountsTheNameUpAndRefusesACountThatIsNoNumber)
{
    Control<QCheckBox>("autoCloseBox")->click();
    EXPECT_TRUE(Control<QLineEdit>("countEdit")->isEnabled());
    Control<QLineEdit>("countEdit")->setText(QStringLiteral("3"));
    for (int i = 0; i < 3; ++i)
        Measure();
    EXPECT_EQ(Open(), nullptr);
    EXPECT_EQ(doc.GetLiveSettings().seriesName, QStringLiteral("New Veskamon Series 002"));
    EXPECT_EQ(Store().ReadString(kKey, QStringLiteral("SeriesName")).value_or(QString()),
              QStringLiteral("New Veskamon Series 002"));

    // Auto-close acts at exactly n: with n lowered below the count the series stays open,
    // and it closes when its count reaches n.
    Measure();
    Measure();
    Control<QLineEdit>("countEdit")->setText(QStringLiteral("1"));
    Measure();
    ASSERT_NE(Open(), nullptr);
    EXPECT_EQ(Open()->GetSeries()->GetCount(kAllReadings), 3);
    Control<QLineEdit>("countEdit")->setText(QStringLiteral("4"));
    Measure();
    EXPECT_EQ(Open(), nullptr);
    ASSERT_EQ(doc.GetSeriesCount(), 2);

    // "abc" would be stored as 0: refused with a message, nothing written.
    Control<QLineEdit>("countEdit")->setText(QStringLiteral("abc"));
    EXPECT_FALSE(pane.SaveSettings());
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_FALSE(Store().ReadNumber(kKey, QStringLiteral("CloseAfterCount")).has_value());
}

TEST_F(LiveViewTest, SavedDefaultsComeBackAndBadValuesAreRepaired)
{
    Control<QCheckBox>("autoCloseBox")->click();
    Control<QLineEdit>("countEdit")->setText(QStringLiteral("7"));
    Control<QCheckBox>("warningsBox")->click();
    doc.GetLiveSettings().seriesName = QStringLiteral("Plate 10");
    ASSERT_TRUE(pane.SaveSettings());
    EXPECT_EQ(Store().ReadString(kKey, QStringLiteral("UpperLimit")).value_or(QString()),
              QStringLiteral("77777696.000000"));

    CLiveView other;
    other.SetDocument(&doc);
    other.StartLiveMode(doc.GetLiveSettings().probe);
    EXPECT_TRUE(other.findChild<QCheckBox*>(QStringLiteral("autoCloseBox"))->isChecked());
    EXPECT_EQ(other.findChild<QLineEdit*>(QStringLiteral("countEdit"))->text(), QStringLiteral("7"));
    EXPECT_FALSE(other.findChild<QCheckBox*>(QStringLiteral("warningsBox"))->isChecked());
    EXPECT_FALSE(doc.IsWarningEnabled());
    EXPECT_EQ(doc.GetLiveSettings().seriesName, QStringLiteral("Plate 10"));
    EXPECT_EQ(doc.GetLiveSettings().upperLimit, MEAS_NO_VALUE);

    Store().Write(kKey, QStringLiteral("StdConv"), uint32_t(8));
    Store().Write(kKey, QStringLiteral("Diameter"), uint32_t(2));
    Store().Write(kKey, QStringLiteral("MatGroup"), uint32_t(3));
    other.StartLiveMode(doc.GetLiveSettings().probe);
    EXPECT_EQ(doc.GetLiveSettings().standard, 2);
    EXPECT_EQ(doc.GetLiveSettings().diameter, 31);
    EXPECT_EQ(doc.GetLiveSettings().materialType, 1);
}

TEST_F(LiveViewTest, ACurveTooLongToStoreIsReported)
{
    // Noise packs to far more than a reading's attachment can hold.
    std::mt19937 random(7);
    std::vector<uint16_t> noise;
    for (int i = 0; i < 4000; ++i)
        noise.push_back(uint16_t(1000 + random() % 30000));
    ASSERT_GT(CLiveView::PackCurve(noise).size(), 4096);
    Measure(noise);
    ASSERT_NE(Open(), nullptr);
    EXPECT_EQ(Open()->GetSeries()->GetCount(kAllReadings), 1);
    EXPECT_EQ(Open()->GetSeries()->GetAttachmentSize(0, kAllReadings), 0);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].text.contains(QStringLiteral("not be stored")) ||
                boxes.boxes[0].text.contains(QStringLiteral("too long")));
}

TEST_F(LiveViewTest, CloseReopenAndSelectingAnotherSeries)
{
    Control<QPushButton>("newButton")->click();
    ASSERT_NE(Open(), nullptr);
    // An empty series closed: deleted, name not counted up.
    Control<QPushButton>("closeReopenButton")->click();
    EXPECT_EQ(doc.GetSeriesCount(), 0);
    EXPECT_EQ(doc.GetLiveSettings().seriesName, QStringLiteral("New Veskamon Series 001"));
    EXPECT_EQ(Control<QPushButton>("closeReopenButton")->text(), QStringLiteral("Reopen"));

    Measure();
    Control<QPushButton>("closeReopenButton")->click();
    EXPECT_EQ(doc.GetLiveSettings().seriesName, QStringLiteral("New Veskamon Series 002"));
    // Reopened and closed again: the name stays.
    doc.SetSelectedIndex(0);
    EXPECT_TRUE(Control<QPushButton>("closeReopenButton")->isEnabled());
    Control<QPushButton>("closeReopenButton")->click();
    ASSERT_NE(Open(), nullptr);
    Measure();
    Control<QPushButton>("closeReopenButton")->click();
    EXPECT_EQ(Open(), nullptr);
    EXPECT_EQ(doc.GetLiveSettings().seriesName, QStringLiteral("New Veskamon Series 002"));
}

} // namespace
