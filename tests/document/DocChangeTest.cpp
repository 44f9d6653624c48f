// The rule for changing the project: every change goes through a document method, which
// marks the project modified where the project file changes and tells the views. One row
// per operation, each on a freshly saved project: the modified flag afterwards and the
// hints a recording view received.
#include "tests/document/DocTestSupport.h"

#include "measurement/SeriesSettings.h"
#include "resources/BuiltInStrings.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace DocTest;

namespace
{

class DocChangeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterBuiltInStrings();
        SeriesFixture::AddStandardRecords();
    }

    // \A\ with two series (current), \A\B\ and \D\ with one each; saved, so not modified.
    std::unique_ptr<CVeskDoc> SavedProject()
    {
        auto doc = std::make_unique<CVeskDoc>();
        EXPECT_TRUE(AddSeries(*doc, QStringLiteral("\\A\\one.vsm"), {400.0f, 500.0f}));
        EXPECT_TRUE(AddSeries(*doc, QStringLiteral("\\A\\two.vsm"), {600.0f}));
        EXPECT_TRUE(AddSeries(*doc, QStringLiteral("\\A\\B\\three.vsm"), {650.0f}));
        EXPECT_TRUE(AddSeries(*doc, QStringLiteral("\\D\\four.vsm"), {700.0f}));
        doc->SetCurrentFolder(doc->LookupFolder(QStringLiteral("\\A\\")), QStringLiteral("\\A\\"), true);
        EXPECT_TRUE(doc->SaveProject(dir.File(QStringLiteral("p.v3p"))));
        EXPECT_FALSE(doc->IsModified());
        return doc;
    }

    TempDir dir;
};

TEST_F(DocChangeTest, EveryOperationMarksAndTellsAsItsKindOfChangeNeeds)
{
    constexpr int kAll = DOC_HINT_ALL;
    struct Case
    {
        const char* name;
        std::function<void(CVeskDoc&, FakeView&)> operation;
        bool modified;
        std::vector<int> hints;
    };
    auto path = [](const char* p) { return QString::fromLatin1(p); };
    const Case cases[] = {
        // Folders
        {"current folder chosen by the user, shown",
         [&](CVeskDoc& d, FakeView&)
         { d.SetCurrentFolder(d.LookupFolder(path("\\D\\")), path("\\D\\"), false); },
         true,
         {kAll}},
        {"current folder a view follows",
         [&](CVeskDoc& d, FakeView&)
         { d.FollowFolder(d.LookupFolder(path("\\D\\")), path("\\D\\"), false); },
         false,
         {kAll}},
        // The tree follows an opened project by making a folder current while it hears of
        // the open: the project is as its file has it.
        {"project opened, a view follows it",
         [&](CVeskDoc& d, FakeView& v)
         {
             v.reaction = [&d](int)
             {
                 if (CFolderData* folder = d.LookupFolder(QStringLiteral("\\D\\"));
                     folder && folder != d.GetCurrentFolder())
                     d.FollowFolder(folder, QStringLiteral("\\D\\"), false);
             };
             ASSERT_TRUE(d.OpenProject(dir.File(QStringLiteral("p.v3p")), false));
             v.reaction = nullptr;
             EXPECT_EQ(d.GetCurrentFolderPath(), QStringLiteral("\\D\\"));
         },
         false,
         {kAll, kAll, kAll}},
        {"current folder, quiet",
         [&](CVeskDoc& d, FakeView&)
         { d.SetCurrentFolder(d.LookupFolder(path("\\D\\")), path("\\D\\"), true); },
         true,
         {}},
        {"folder kept and restored",
         [](CVeskDoc& d, FakeView&)
         {
             d.PushCurrentFolder();
             d.PopCurrentFolder();
         },
         false,
         {}},
        {"folder added",
         [&](CVeskDoc& d, FakeView&)
         {
             auto folder = std::make_unique<CFolderData>();
             folder->SetName(path("\\N\\"));
             ASSERT_TRUE(d.AddFolder(path("\\N\\"), folder));
         },
         true,
         {kAll}},
        {"folder not added: path taken",
         [&](CVeskDoc& d, FakeView&)
         {
             auto folder = std::make_unique<CFolderData>();
             ASSERT_FALSE(d.AddFolder(path("\\D\\"), folder));
         },
         false,
         {}},
        {"folders deleted",
         [&](CVeskDoc& d, FakeView&)
         {
             QString p = path("\\A\\");
             ASSERT_TRUE(d.DeleteFolders(p));
         },
         true,
         {kAll}},
        {"folders deleted by a view, which is not told",
         [&](CVeskDoc& d, FakeView& v)
         {
             QString p = path("\\D\\");
             ASSERT_TRUE(d.DeleteFolders(p, &v));
         },
         true,
         {}},
        {"no folder to delete",
         [&](CVeskDoc& d, FakeView&)
         {
             QString p = path("\\X\\");
             ASSERT_FALSE(d.DeleteFolders(p));
         },
         false,
         {}},
        {"folders moved",
         [&](CVeskDoc& d, FakeView&)
         {
             QString from = path("\\D\\");
             QString to = path("\\E\\");
             ASSERT_TRUE(d.MoveFolders(from, to));
         },
         true,
         {kAll}},
        {"move refused: target taken",
         [&](CVeskDoc& d, FakeView&)
         {
             QString from = path("\\D\\");
             QString to = path("\\A\\");
             ASSERT_FALSE(d.MoveFolders(from, to));
         },
         false,
         {}},
        {"folders of a batch, marked at its end",
         [&](CVeskDoc& d, FakeView&)
         {
             ASSERT_TRUE(d.AddMeasurementFile(path("\\N\\M\\"), nullptr));
             d.AddMeasurementFile(QString(), nullptr);
         },
         true,
         {kAll}},
        // What the series page changes without a hint (it redraws the series itself)
        {"name", [](CVeskDoc& d, FakeView&) { d.SetSeriesName(0, QStringLiteral("x")); }, true, {}},
        {"comment", [](CVeskDoc& d, FakeView&) { d.SetSeriesComment(0, QStringLiteral("x")); }, true, {}},
        {"expanded", [](CVeskDoc& d, FakeView&) { d.SetSeriesExpanded(0, true); }, true, {}},
        // The page opens what the project keeps open whenever it shows it.
        {"expanded as it was",
         [](CVeskDoc& d, FakeView&)
         {
             ASSERT_FALSE(d.IsSeriesExpanded(1));
             d.SetSeriesExpanded(1, false);
         },
         false,
         {}},
        {"value order", [](CVeskDoc& d, FakeView&) { d.SetSeriesValueOrder(0, 1); }, true, {}},
        // An order never set is settled before the series is drawn: the order it shows
        // anyway, so no change; one the user chose stays as chosen.
        {"value order never set, settled",
         [](CVeskDoc& d, FakeView&)
         {
             ASSERT_EQ(d.GetSeriesValueOrder(0), ValueOrder::kUnset);
             EXPECT_EQ(d.ResolveSeriesValueOrder(0), ValueOrder::kMeasured);
             EXPECT_EQ(d.GetSeriesValueOrder(0), ValueOrder::kMeasured);
         },
         false,
         {}},
        {"value order chosen, settled",
         [](CVeskDoc& d, FakeView&)
         {
             d.SetSeriesValueOrder(0, ValueOrder::kByValue);
             EXPECT_EQ(d.ResolveSeriesValueOrder(0), ValueOrder::kByValue);
         },
         true,
         {}},
        {"time",
         [](CVeskDoc& d, FakeView&) { d.SetSeriesTime(0, QDateTime(QDate(2020, 5, 6), QTime(7, 8, 10))); },
         true,
         {}},
        // A new order reaches every view; an order that moves nothing tells none.
        {"sorted", [](CVeskDoc& d, FakeView&) { d.SortCurrentFolder(2); }, true, {kAll}},
        {"unsorted as it was", [](CVeskDoc& d, FakeView&) { d.SortCurrentFolder(0); }, true, {}},
        {"series deleted", [](CVeskDoc& d, FakeView&) { d.DeleteSeries(1); }, true, {}},
        // Rows of the series page: every view hears of them, but the page that sorted
        {"series deleted by the page", [](CVeskDoc& d, FakeView&) { d.DeleteSeriesSet({1, 0, 1}); }, true, {kAll}},
        {"series sorted by a view, which is not told",
         [](CVeskDoc& d, FakeView& v) { d.SortSeries(6, &v); },
         true,
         {}},
        {"series sorted", [](CVeskDoc& d, FakeView&) { d.SortSeries(6, nullptr); }, true, {kAll}},
        // Not kept in the project file
        {"selected flag", [](CVeskDoc& d, FakeView&) { d.SetSeriesSelected(0, true); }, false, {}},
        {"update flag", [](CVeskDoc& d, FakeView&) { d.SetSeriesUpdateFlag(0, true); }, false, {}},
        {"selected index",
         [](CVeskDoc& d, FakeView&) { d.SetSelectedIndex(1); },
         false,
         {DOC_HINT_SELECTION}},
        {"series shown anew", [](CVeskDoc& d, FakeView&) { d.RefreshSeries(1); }, false, {1}},
        {"all shown anew", [](CVeskDoc& d, FakeView&) { d.RefreshAllViews(); }, false, {kAll}},
        // Settings and readings of one series: the series index as hint
        {"limits", [](CVeskDoc& d, FakeView&) { d.SetSeriesLimits(1, 30.0f, 60.0f); }, true, {1}},
        {"material",
         [](CVeskDoc& d, FakeView&) { d.SetSeriesMaterial(1, SeriesFixture::Steel()); },
         true,
         {1}},
        {"scale", [](CVeskDoc& d, FakeView&) { d.SetSeriesScale(1, SeriesFixture::kHV, 0); }, true, {1}},
        {"standard", [](CVeskDoc& d, FakeView&) { d.SetSeriesStandard(1, 1); }, true, {1}},
        // A conversion the table has no record for changes nothing, not even the
        // resolution, and tells nobody.
        {"standard refused",
         [](CVeskDoc& d, FakeView&)
         {
             SSeriesSettings before;
             ASSERT_TRUE(d.GetSeriesSettings(1, before));
             ASSERT_FALSE(d.SetSeriesStandard(1, 8));
             SSeriesSettings after;
             ASSERT_TRUE(d.GetSeriesSettings(1, after));
             EXPECT_EQ(after.decimals, before.decimals);
             EXPECT_EQ(after.step, before.step);
             EXPECT_TRUE(after.targetScale.IsEqual(before.targetScale));
         },
         false,
         {}},
        {"scale refused",
         [](CVeskDoc& d, FakeView&) { ASSERT_FALSE(d.SetSeriesScale(1, 13, 0)); },
         false,
         {}},
        {"ASTM B724 mode", [](CVeskDoc& d, FakeView&) { d.ApplySeriesB724Mode(1, true); }, true, {1}},
        {"unit", [](CVeskDoc& d, FakeView&) { d.SetSeriesImperial(1, true); }, true, {1}},
        {"original settings", [](CVeskDoc& d, FakeView&) { d.RestoreSeriesSettings(1); }, true, {1}},
        {"reading excluded", [](CVeskDoc& d, FakeView&) { d.ExcludeReading(0, 1); }, true, {0}},
        {"readings included", [](CVeskDoc& d, FakeView&) { d.IncludeAllReadings(0); }, true, {0}},
        {"correction of a reading",
         [](CVeskDoc& d, FakeView&) { d.SetReadingCorrection(0, 1, 90); },
         true,
         {0}},
        {"correction of all readings",
         [](CVeskDoc& d, FakeView&) { d.SetSeriesCorrection(0, 90); },
         true,
         {0}},
        // The series open for measuring
        {"opened for measuring, then a reading",
         [](CVeskDoc& d, FakeView&)
         {
             ASSERT_TRUE(d.OpenSeriesForMeasuring(1));
             d.UpdateMeasuringSeries();
         },
         true,
         {1, 1}},
        {"live reading with its curve",
         [](CVeskDoc& d, FakeView&)
         {
             ASSERT_TRUE(d.OpenSeriesForMeasuring(1));
             bool stored = false;
             const int count = d.GetSeriesAt(1)->GetSeries()->GetCount(7);
             EXPECT_EQ(d.AddMeasuringReading(10.0f, 3.8f, 31, -2, QByteArray(100, '\x01'), stored), count);
             EXPECT_TRUE(stored);
             EXPECT_EQ(d.AddMeasuringReading(10.0f, 3.8f, 31, -2, QByteArray(4097, '\x01'), stored), count + 1);
             EXPECT_FALSE(stored);
         },
         true,
         {1, 1, 1}},
        {"new series for measuring",
         [](CVeskDoc& d, FakeView&) { d.NewMeasuringSeries(CMeasSeriesWrapper(*d.GetSeriesAt(0))); },
         true,
         {DOC_HINT_NEW_SERIES}},
        {"new series for measuring where the stored order no longer held",
         [](CVeskDoc& d, FakeView& v)
         {
             d.SortCurrentFolder(3);
             d.SetSeriesName(0, QStringLiteral("zzz"));
             v.hints.clear();
             d.NewMeasuringSeries(CMeasSeriesWrapper(*d.GetSeriesAt(1)));
         },
         true,
         {kAll}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        std::unique_ptr<CVeskDoc> doc = SavedProject();
        FakeView view;
        doc->AddView(&view);
        c.operation(*doc, view);
        EXPECT_EQ(doc->IsModified(), c.modified);
        EXPECT_EQ(view.hints, c.hints);
        doc->RemoveView(&view);
    }
}

} // namespace
