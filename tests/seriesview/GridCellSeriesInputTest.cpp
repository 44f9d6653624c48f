// The series cell's answers to the mouse, and the two small cells of a series' rows.
#include "tests/measurement/SeriesFixture.h"

#include "controls/CommentDlg.h"
#include "document/DocView.h"
#include "document/ValueText.h"
#include "document/VeskDoc.h"
#include "grid/GridCtrl.h"
#include "measurement/CurveCodec.h"
#include "measurement/FolderData.h"
#include "measurement/MeasSeriesWrapper.h"
#include "measurement/MeasValues.h"
#include "measurement/SeriesSettings.h"
#include "platform/gui/DialogLayout.h"
#include "platform/gui/ImageList.h"
#include "platform/gui/MessageBox.h"
#include "platform/gui/RecordingCanvas.h"
#include "resources/BuiltInStrings.h"
#include "seriesview/GridCellDetailGripper.h"
#include "seriesview/GridCellDetailLeft.h"
#include "seriesview/GridCellSeries.h"
#include "seriesview/ShowCurveDlg.h"
#include "tests/support/MeasurementTexts.h"
#include "tests/support/MemoryClipboard.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/ModalDialogRunner.h"
#include "tests/support/PopupMenuRecorder.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <optional>

using Platform::CanvasOp;
using Platform::Point;
using Platform::RecordingCanvas;
using Platform::Rect;

namespace
{
// Popup command ids of the value popup and of the two-entry popups.
constexpr unsigned kExclude = 1001;
constexpr unsigned kCopyOne = 1002;
constexpr unsigned kCopyAll = 1003;
constexpr unsigned kImperial = 2;
constexpr int kAll = 7;
constexpr int kShown = 1 | 4;

float Probe(float hrc)
{
    return (hrc + 30.0f) * 8.0f;
}

// A series cell whose Ctrl key the test holds.
class TestCell : public CGridCellSeries
{
public:
    static inline bool control = false;

protected:
    bool IsControlHeld() const override { return control; }
};

struct Updates : DocView
{
    void OnDocUpdate(int hint) override { hints.push_back(hint); }
    std::vector<int> hints;
};

class SeriesCellInputTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterBuiltInStrings();
        SetEnglishMeasurementTexts();
        TestCell::control = false;
        grid = new CGridCtrl(2, 2, 0, 0);
        ASSERT_TRUE(grid->Create(QRect(0, 0, 1200, 900), &parent, 5));
        grid->SetColumnWidth(1, 1000);
        ASSERT_TRUE(grid->SetCellType(1, 1, &MakeGridCell<TestCell>));
        cell = dynamic_cast<TestCell*>(grid->GetCell(1, 1));
        ASSERT_NE(cell, nullptr);
        doc.AddView(&updates);
    }
    void TearDown() override { doc.RemoveView(&updates); }

    CMeasSeries1& Add(std::unique_ptr<CMeasSeries1> series)
    {
        auto entry = std::make_unique<CMeasSeriesWrapper>();
        entry->SetName(QStringLiteral("s"));
        entry->SetSeries(std::move(series));
        auto folder = std::make_unique<CFolderData>();
        folder->AddSeries(std::move(entry), true);
        CFolderData* raw = folder.get();
        doc.AddFolder(QStringLiteral("\\"), folder);
        doc.SetCurrentFolder(raw, QStringLiteral("\\"), true);
        cell->SetSeries(&doc, 0);
        return *doc.GetSeriesAt(0)->GetSeries();
    }
    CMeasSeries1& AddRebound(const std::vector<float>& hrc)
    {
        auto series = SeriesFixture::NewSeries(SeriesFixture::kProbeD, SeriesFixture::kHRC, 1, 200);
        for (float v : hrc)
            series->AddReading(Probe(v), Probe(v), 0, -1);
        series->CommitNew();
        return Add(std::move(series));
    }
    CMeasSeries1& AddIndentation(const std::vector<float>& depths)
    {
        auto series = SeriesFixture::NewSeries(SeriesFixture::kProbeVk, SeriesFixture::kHV, 2);
        for (float d : depths)
            series->AddReading(d, d, 31, -1);
        series->CommitNew();
        return Add(std::move(series));
    }
    static void AttachCurve(CMeasSeries1& series, int reading, const std::vector<uint16_t>& samples)
    {
        CCurveCodec codec;
        ASSERT_TRUE(codec.SetUnsignedSamples(samples.data(), int(samples.size()), 16, 1));
        std::vector<uint8_t> bytes(4096);
        const int size = codec.Encode(bytes.data(), int(bytes.size()));
        ASSERT_GT(size, 0);
        ASSERT_TRUE(series.SetAttachment(reading, bytes.data(), size, kShown));
    }

    // Paints the cell so that it registers its areas, and clears what the paint told.
    void Paint()
    {
        cell->Expand(true);
        RecordingCanvas dc({0, 0, 3000, 4000});
        Platform::LogFont lf;
        lf.height = -12;
        lf.faceName = QStringLiteral("DejaVu Sans");
        dc.SelectFont(Platform::Font(lf));
        cell->Draw(&dc, 1, 1, {0, 0, 1000, cell->GetFullHeight()}, false);
        updates.hints.clear();
    }
    // A point inside the area of that kind and item.
    std::optional<Point> Find(int kind, int item) const
    {
        for (int y = 0; y < 1500; y += 2)
            for (int x = 0; x < 1000; x += 2)
            {
                int k = -1;
                int i = -1;
                if (cell->GetHitAreas().HitTest({x, y}, &k, &i) && k == kind && i == item)
                    return Point{x, y};
            }
        return std::nullopt;
    }
    void Click(int kind, int item)
    {
        const auto at = Find(kind, item);
        ASSERT_TRUE(at) << kind << " " << item;
        cell->OnClick(*at);
    }
    void RClick(int kind, int item)
    {
        const auto at = Find(kind, item);
        ASSERT_TRUE(at) << kind << " " << item;
        cell->OnRClick(*at);
    }
    static int Angle(CMeasSeries1& series, int index, int mask)
    {
        int angle = -1;
        series.GetReading(index, &angle, nullptr, mask);
        return angle;
    }

    QWidget parent;
    CGridCtrl* grid = nullptr;
    TestCell* cell = nullptr;
    CVeskDoc doc;
    Updates updates;
    PopupMenuRecorder popups;
    MemoryClipboard clipboard;
};

TEST_F(SeriesCellInputTest, OrderLinkSwitchesToValueOrderWithoutNotification)
{
    AddRebound({50, 30, 70});
    Paint();
    ASSERT_EQ(doc.GetSeriesValueOrder(0), 0);
    cell->SetHoveredLink(LINK_ORDER);
    Click(SERIESHIT_LINK, LINK_ORDER);
    EXPECT_EQ(doc.GetSeriesValueOrder(0), 1);
    EXPECT_EQ(cell->GetHoveredLink(), 0);
    EXPECT_TRUE(updates.hints.empty());

    Platform::RecordingCanvas dc({0, 0, 3000, 4000});
    cell->DrawBarGraph(dc, 0, 0, 800, 300, 0, 100, false);
    const auto texts = dc.OpsOf(CanvasOp::Kind::TextOut);
    EXPECT_TRUE(std::any_of(texts.begin(), texts.end(),
                            [](const CanvasOp& op)
                            { return op.text == QStringLiteral("[ordered by value]"); }));
}

TEST_F(SeriesCellInputTest, UnitLinkOffersThePopupBelowTheLinkAndAppliesTheChoice)
{
    CMeasSeries1& series = AddIndentation({50, 20, 80});
    Paint();
    popups.Choose(kImperial);
    Click(SERIESHIT_LINK, LINK_UNIT);
    ASSERT_EQ(popups.menus.size(), 1u);
    EXPECT_EQ(popups.menus[0].owner, grid);
    EXPECT_TRUE(series.IsImperial());
    EXPECT_EQ(updates.hints, std::vector<int>{0});

    // Dismissed: nothing changes and no view hears of it.
    updates.hints.clear();
    Click(SERIESHIT_LINK, LINK_UNIT);
    EXPECT_TRUE(series.IsImperial());
    EXPECT_TRUE(updates.hints.empty());
}

TEST_F(SeriesCellInputTest, LimitLinksKeepTheOtherLimitOrTheRangeEndInItsPlace)
{
    // Probe D in HRC converts over 10..80 HRC.
    struct Case
    {
        const char* name;
        int link;
        float lower;
        float upper;
        const char* typed;
        bool ok;
        float expectedLower;
        float expectedUpper;
        QLocale::Language language = QLocale::C;
        // The start of the message the user is shown, if any.
        const char* message = nullptr;
    } cases[] = {
        {"upper, lower kept", LINK_UPPER_LIMIT, 30.0f, 60.0f, "65", true, 30.0f, 65.0f},
        {"upper switched on, lower above range", LINK_UPPER_LIMIT, MEAS_ABOVE_RANGE, MEAS_NO_VALUE, "65",
         true, 10.0f, 65.0f},
        {"upper, lower below range", LINK_UPPER_LIMIT, MEAS_BELOW_RANGE, 60.0f, "65", true, 10.0f, 65.0f},
        {"lower, upper kept", LINK_LOWER_LIMIT, 30.0f, 60.0f, "25", true, 25.0f, 60.0f},
        {"lower, upper above range", LINK_LOWER_LIMIT, 30.0f, MEAS_ABOVE_RANGE, "25", true, 25.0f, 80.0f},
        {"cancelled", LINK_UPPER_LIMIT, 30.0f, 60.0f, "65", false, 30.0f, 60.0f},
        // Typed numbers: the decimal point always, the locale's separator where it has one.
        {"decimal point", LINK_UPPER_LIMIT, 30.0f, 60.0f, "65.7", true, 30.0f, 65.7f},
        {"German decimal comma", LINK_UPPER_LIMIT, 30.0f, 60.0f, "65,7", true, 30.0f, 65.7f, QLocale::German},
        {"decimal point in German", LINK_LOWER_LIMIT, 30.0f, 60.0f, "25.5", true, 25.5f, 60.0f, QLocale::German},
        {"comma where the locale has none", LINK_UPPER_LIMIT, 30.0f, 60.0f, "65,7", true, 30.0f, 60.0f,
         QLocale::C, "\"65,7\" is not a number."},
        {"letters", LINK_UPPER_LIMIT, 30.0f, 60.0f, "abc", true, 30.0f, 60.0f, QLocale::C,
         "\"abc\" is not a number."},
        {"a unit after the number", LINK_LOWER_LIMIT, 30.0f, 60.0f, "41 HRC", true, 30.0f, 60.0f, QLocale::C,
         "\"41 HRC\" is not a number."},
        {"upper below the lower", LINK_UPPER_LIMIT, 30.0f, 60.0f, "25", true, 30.0f, 60.0f, QLocale::C,
         "The upper limit 25.0 HRC is below the lower limit 30.0 HRC"},
        {"lower above the upper", LINK_LOWER_LIMIT, 30.0f, 60.0f, "70", true, 30.0f, 60.0f, QLocale::C,
         "The upper limit 60.0 HRC is below the lower limit 70.0 HRC"},
    };
    const QLocale previous;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        QLocale::setDefault(QLocale(c.language));
        MessageBoxRecorder boxes;
        QString root = QStringLiteral("\\");
        doc.DeleteFolders(root);
        CMeasSeries1& series = AddRebound({30, 50, 70});
        ASSERT_TRUE(series.SetLimits(c.lower, c.upper, -1));
        Paint();
        ModalDialogRunner runner(
            [&](QDialog& d)
            {
                auto* disable = d.findChild<QCheckBox*>("disable");
                if (disable->isChecked())
                    disable->click();
                auto* edit = d.findChild<QLineEdit*>("value");
                edit->selectAll();
                edit->del();
                QTest::keyClicks(edit, QString::fromLatin1(c.typed));
                d.findChild<QPushButton*>(c.ok ? "ok" : "cancel")->click();
            });
        Click(SERIESHIT_LINK, c.link);
        QLocale::setDefault(previous);
        EXPECT_EQ(runner.runs, 1);
        SSeriesSettings settings;
        series.GetSettings(settings);
        EXPECT_FLOAT_EQ(settings.lowerLimit, c.expectedLower);
        EXPECT_FLOAT_EQ(settings.upperLimit, c.expectedUpper);
        const bool changed = c.ok && !c.message;
        EXPECT_EQ(updates.hints.size(), changed ? 1u : 0u);
        ASSERT_EQ(boxes.boxes.size(), c.message ? 1u : 0u);
        if (c.message)
        {
            EXPECT_TRUE(boxes.boxes[0].text.startsWith(QString::fromUtf8(c.message)))
                << boxes.boxes[0].text.toStdString();
        }
    }
}

TEST_F(SeriesCellInputTest, ScaleLinkNotifiesEvenWhenDismissed)
{
    AddRebound({30, 50});
    TempDir dir;
    ASSERT_TRUE(doc.SaveProject(dir.File(QStringLiteral("p.v3p"))));
    Paint();
    Click(SERIESHIT_LINK, LINK_SCALE);
    EXPECT_EQ(popups.menus.size(), 1u);
    EXPECT_EQ(updates.hints, std::vector<int>{0});
    EXPECT_FALSE(doc.IsModified());
}

// The comment link's editor takes what the series keeps: 128 characters, the 129th is
// refused.
TEST_F(SeriesCellInputTest, CommentLinkRefusesTheCharacterPastWhatTheSeriesKeeps)
{
    constexpr int kKept = 128;
    AddRebound({30, 50});
    Paint();
    const QString typed = QString(kKept - 1, u'c') + QStringLiteral("de");
    ModalDialogRunner runner(
        [&](QDialog& dlg)
        {
            auto* edit = Platform::GetDlgItemAs<QPlainTextEdit>(&dlg, CCommentDlg::IDC_COMMENT);
            ASSERT_NE(edit, nullptr);
            QTest::keyClicks(edit, typed);
            EXPECT_EQ(edit->toPlainText(), typed.left(kKept));
            QTest::mouseClick(Platform::GetDlgItemAs<QPushButton>(&dlg, Platform::IDOK), Qt::LeftButton);
        });
    Click(SERIESHIT_LINK, LINK_COMMENT);
    ASSERT_EQ(runner.runs, 1);
    EXPECT_EQ(doc.GetSeriesComment(0), typed.left(kKept));
}

TEST_F(SeriesCellInputTest, UndeleteLinkIncludesEveryReadingAgain)
{
    CMeasSeries1& series = AddRebound({30, 50, 70});
    ASSERT_TRUE(series.ExcludeReading(0, kShown));
    ASSERT_TRUE(series.ExcludeReading(0, kShown));
    ASSERT_EQ(series.GetCount(kShown), 1);
    TempDir dir;
    ASSERT_TRUE(doc.SaveProject(dir.File(QStringLiteral("p.v3p"))));
    ASSERT_FALSE(doc.IsModified());
    Paint();
    Click(SERIESHIT_LINK, LINK_UNDELETE);
    EXPECT_EQ(series.GetCount(kShown), 3);
    EXPECT_EQ(updates.hints, std::vector<int>{0});
    // A project closed now offers to save the change.
    EXPECT_TRUE(doc.IsModified());
}

TEST_F(SeriesCellInputTest, DirectionOnTheListTitleReachesEveryReadingOnABarOnlyThatOne)
{
    CMeasSeries1& series = AddRebound({30, 50, 70});
    ASSERT_TRUE(series.ExcludeReading(1, kShown));
    Paint();

    popups.Choose(90 + 1);
    RClick(SERIESHIT_BAR, 1);
    EXPECT_EQ(Angle(series, 1, kShown), 90);
    EXPECT_EQ(Angle(series, 0, kShown), 0);
    EXPECT_EQ(updates.hints, std::vector<int>{0});

    popups.Choose(180 + 1);
    RClick(SERIESHIT_LISTTITLE, 0);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Angle(series, i, kAll), 180) << i;

    // The list title offers neither copying one reading nor excluding it.
    ASSERT_EQ(popups.menus.size(), 2u);
    auto ids = [](const PopupMenuRecorder::Menu& m)
    {
        std::vector<unsigned> v;
        for (const auto& item : m.items)
            v.push_back(item.id);
        return v;
    };
    const auto bar = ids(popups.menus[0]);
    const auto title = ids(popups.menus[1]);
    EXPECT_NE(std::find(bar.begin(), bar.end(), kExclude), bar.end());
    EXPECT_NE(std::find(bar.begin(), bar.end(), kCopyOne), bar.end());
    EXPECT_EQ(std::find(title.begin(), title.end(), kExclude), title.end());
    EXPECT_EQ(std::find(title.begin(), title.end(), kCopyOne), title.end());
    EXPECT_NE(std::find(title.begin(), title.end(), kCopyAll), title.end());
}

TEST_F(SeriesCellInputTest, ExcludeAndCopyFromTheValuePopup)
{
    CMeasSeries1& series = AddRebound({30, 50, 70});
    Paint();
    const int d = doc.GetSeriesDecimals(0, 0);

    TempDir dir;
    ASSERT_TRUE(doc.SaveProject(dir.File(QStringLiteral("p.v3p"))));
    popups.Choose(kCopyOne);
    RClick(SERIESHIT_VALUE, 1);
    EXPECT_EQ(clipboard.Text(), FormatValue(50.0f, d));
    EXPECT_FALSE(doc.IsModified());

    popups.Choose(kCopyAll);
    RClick(SERIESHIT_BAR, 0);
    EXPECT_EQ(clipboard.Text(),
              FormatValue(30.0f, d) + "\n" + FormatValue(50.0f, d) + "\n" + FormatValue(70.0f, d));

    popups.Choose(kExclude);
    RClick(SERIESHIT_VALUE, 0);
    EXPECT_EQ(series.GetCount(kShown), 2);
    EXPECT_TRUE(series.IsReadingExcluded(0, kAll));
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(updates.hints.size(), 3u);

    // A right click on a link does nothing.
    RClick(SERIESHIT_LINK, LINK_ORDER);
    EXPECT_EQ(popups.menus.size(), 3u);
}

TEST_F(SeriesCellInputTest, CopyWithCurvesPutsSamplesInColumns)
{
    CMeasSeries1& series = AddIndentation({50, 20, 80});
    AttachCurve(series, 0, {100, 200, 300});
    AttachCurve(series, 1, {1, 2, 3, 4, 60000});
    AttachCurve(series, 2, {7, 8, 9});
    const int d = doc.GetSeriesDecimals(0, 0);
    QString values;
    for (int i = 0; i < 3; ++i)
        values += FormatValue(series.GetReading(i, nullptr, nullptr, kShown), d) + "\t";
    EXPECT_EQ(cell->ValuesText(-1, true), values + "\n" +
                                              "100\t1\t7\t\n"
                                              "200\t2\t8\t\n"
                                              "300\t3\t9\t\n"
                                              "\t4\t\t\n"
                                              "\t60000\t\t\n");

    // A curve only a later reading has: the line starts with empty cells.
    ASSERT_TRUE(series.DeleteAttachment(0, kShown));
    const QString text = cell->ValuesText(-1, true);
    EXPECT_TRUE(text.endsWith(QStringLiteral("\n\t4\t\t\n\t60000\t\t\n"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("\n\t1\t7\t\n")));

    // Ctrl held when the choice is made copies the curves.
    Paint();
    TestCell::control = true;
    popups.Choose(kCopyAll);
    RClick(SERIESHIT_VALUE, 0);
    EXPECT_EQ(clipboard.Text(), text);
}

TEST_F(SeriesCellInputTest, ControlClickOnAListedValueShowsTheStoredCurve)
{
    MessageBoxRecorder boxes;
    CMeasSeries1& series = AddIndentation({50, 20, 80});
    AttachCurve(series, 1, {10, 40000, 65535, 0});
    Paint();
    TestCell::control = true;

    Click(SERIESHIT_VALUE, 1);
    EXPECT_EQ(CShowCurveDlg::Instance().GetCurve(), (std::vector<uint16_t>{10, 40000, 65535, 0}));

    Click(SERIESHIT_VALUE, 0);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, QStringLiteral("No signal available"));

    // A bar does not react, nor a click without Ctrl.
    Click(SERIESHIT_BAR, 0);
    TestCell::control = false;
    Click(SERIESHIT_VALUE, 0);
    EXPECT_EQ(boxes.boxes.size(), 1u);
    CShowCurveDlg::Instance().hide();
}

TEST_F(SeriesCellInputTest, ControlClickOnAReboundSeriesDoesNothing)
{
    MessageBoxRecorder boxes;
    AddRebound({30, 50});
    Paint();
    TestCell::control = true;
    Click(SERIESHIT_VALUE, 0);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(SeriesCellInputTest, CursorFollowsTheAreaUnderTheMouse)
{
    AddRebound({30, 50});
    grid->show();
    Paint();
    Rect cellRect;
    ASSERT_TRUE(grid->GetCellRect(1, 1, &cellRect));
    auto hover = [&](Point p)
    {
        QCursor::setPos(grid->viewport()->mapToGlobal(QPoint(cellRect.left + p.x, cellRect.top + p.y)));
        EXPECT_TRUE(cell->OnSetCursor());
    };
    const auto link = Find(SERIESHIT_LINK, LINK_ORDER);
    const auto bar = Find(SERIESHIT_BAR, 1);
    ASSERT_TRUE(link && bar);
    hover(*link);
    if (QCursor::pos() !=
        grid->viewport()->mapToGlobal(QPoint(cellRect.left + link->x, cellRect.top + link->y)))
        GTEST_SKIP() << "the platform cannot move the cursor";
    EXPECT_EQ(cell->GetHoveredLink(), LINK_ORDER);
    EXPECT_EQ(grid->viewport()->cursor().shape(), Qt::PointingHandCursor);
    hover(*bar);
    EXPECT_EQ(cell->GetHoveredReading(), 1);
    EXPECT_EQ(cell->GetHoveredLink(), LINK_ORDER);
    hover({999, 1});
    EXPECT_EQ(cell->GetHoveredReading(), -1);
    EXPECT_EQ(cell->GetHoveredLink(), 0);
    EXPECT_EQ(grid->viewport()->cursor().shape(), Qt::ArrowCursor);
}

TEST(DetailRowCells, GripperTogglesOnTheVisibleImage)
{
    QWidget parent;
    auto* grid = new CGridCtrl(2, 2, 0, 0);
    ASSERT_TRUE(grid->Create(QRect(0, 0, 400, 300), &parent, 5));
    grid->SetColumnWidth(0, 40);
    grid->SetRowHeight(0, 30);
    ASSERT_TRUE(grid->SetCellType(0, 0, &CGridCellDetailGripper::CreateObject));
    auto* gripper = dynamic_cast<CGridCellDetailGripper*>(grid->GetCell(0, 0));
    ASSERT_NE(gripper, nullptr);
    Platform::ImageList images(16, 16);
    QImage strip(32, 16, QImage::Format_RGB32);
    strip.fill(Qt::black);
    images.Add(strip, Platform::Rgb(255, 255, 255));
    gripper->SetImageList(&images);

    EXPECT_FALSE(gripper->IsExpanded());
    gripper->OnClick({1, 1}); // beside the images
    EXPECT_FALSE(gripper->IsExpanded());
    gripper->OnClick({8, 4});
    EXPECT_TRUE(gripper->IsExpanded());
    EXPECT_TRUE(gripper->GetImages()[0].hidden);
    EXPECT_FALSE(gripper->GetImages()[1].hidden);
    gripper->OnClick({8, 4});
    EXPECT_FALSE(gripper->IsExpanded());
    EXPECT_FALSE(gripper->GetImages()[0].hidden);
    EXPECT_TRUE(gripper->GetImages()[1].hidden);

    gripper->SetCollapsed(0);
    EXPECT_TRUE(gripper->IsExpanded());
    EXPECT_TRUE(gripper->GetImages()[0].hidden);
    EXPECT_FALSE(gripper->GetImages()[1].hidden);
}

TEST(DetailRowCells, DetailLeftDrawsOnlyItsGradient)
{
    CGridCellDetailLeft left;
    left.SetText(QStringLiteral("never shown"));
    RecordingCanvas dc({0, 0, 100, 100});
    EXPECT_TRUE(left.Draw(&dc, 1, 0, {0, 0, 20, 0}, true));
    EXPECT_TRUE(dc.Ops().empty());
    EXPECT_TRUE(left.Draw(&dc, 1, 0, {0, 0, 20, 50}, true));
    EXPECT_FALSE(dc.Ops().empty());
    EXPECT_TRUE(dc.OpsOf(CanvasOp::Kind::TextOut).empty());
    EXPECT_TRUE(left.Draw(nullptr, 1, 0, {0, 0, 20, 50}, true));
}
} // namespace
