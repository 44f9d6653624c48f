#include "SeriesFixture.h"

#include "measurement/MeasSeriesWrapper.h"
#include "measurement/SeriesTexts.h"

#include <gtest/gtest.h>

using namespace SeriesFixture;

namespace
{
std::unique_ptr<CMeasSeriesWrapper> EntryOf(std::unique_ptr<CMeasSeries1> series)
{
    auto entry = std::make_unique<CMeasSeriesWrapper>();
    entry->SetSeries(std::move(series));
    return entry;
}
} // namespace

TEST(MeasSeriesWrapper, EmptyEntry)
{
    CMeasSeriesWrapper entry;
    EXPECT_EQ(entry.GetValueListOrder(), -1);
    EXPECT_EQ(entry.GetPosition(), -1);
    EXPECT_EQ(entry.GetCurrentDiameter(), 31);
    EXPECT_EQ(entry.GetDiameterText(false, true), QStringLiteral("off"));
    auto empty = EntryOf(NewSeries(kProbeD, kProbeD));
    EXPECT_EQ(empty->GetNativeMean(), 0.0f);
    EXPECT_EQ(empty->GetNativeMin(), MEAS_BELOW_RANGE);
    EXPECT_EQ(empty->GetNativeMax(), MEAS_ABOVE_RANGE);
    EXPECT_EQ(empty->GetCommonDirection(), 0);
    empty->SetDiameter(12);
    EXPECT_EQ(empty->GetCurrentDiameter(), 12);
    EXPECT_EQ(empty->GetUnitText(true), QStringLiteral("Metric"));
}

TEST(MeasSeriesWrapper, NativeValuesAndCommonDirection)
{
    auto s = NewSeries(kProbeD, kHRC);
    s->AddReading(400.0f, 400.0f, 0, -1);
    s->AddReading(600.0f, 600.0f, 0, -1);
    s->AddReading(300.0f, 300.0f, 0, -1); // below the conversion's range: not counted
    auto entry = EntryOf(std::move(s));
    EXPECT_EQ(entry->GetNativeMean(), 500.0f);
    EXPECT_EQ(entry->GetNativeMin(), 400.0f);
    EXPECT_EQ(entry->GetNativeMax(), 600.0f);
    EXPECT_EQ(entry->GetCommonDirectionText(true), QStringLiteral("Vertical down"));

    auto zero = NewSeries(kProbeD, kProbeD);
    zero->AddReading(0.0f, 0.0f, 0, -1);
    EXPECT_EQ(EntryOf(std::move(zero))->GetNativeMax(), 0.0f); // a real value, not "none"

    auto directions = NewSeries(kProbeD, kProbeD);
    directions->AddReading(500.0f, 500.0f, 90, -1);
    directions->AddReading(500.0f, 500.0f, 90, -1);
    auto d = EntryOf(std::move(directions));
    EXPECT_EQ(d->GetCommonDirectionText(true), QStringLiteral("Horizontal"));
    d->GetSeries()->AddReading(500.0f, 500.0f, 45, -1);
    EXPECT_EQ(d->GetCommonDirectionText(true), QStringLiteral("Different directions"));
    EXPECT_EQ(d->GetReadingDirectionText(2, true), QStringLiteral("Diagonal down"));
}

TEST(MeasSeriesWrapper, Texts)
{
    QString text;
    EXPECT_TRUE(FormatDiameter(10, true, text, true));
    EXPECT_EQ(text, QStringLiteral("25/64 inch  <--->  0.39 inch"));
    EXPECT_TRUE(FormatDiameter(10, false, text, true));
    EXPECT_EQ(text, QStringLiteral("10 mm"));
    EXPECT_TRUE(FormatDiameter(-2, false, text, true));
    EXPECT_EQ(text, QStringLiteral("different diameters"));
    EXPECT_FALSE(FormatImpactDirection(30, text, true));
    EXPECT_EQ(text, QStringLiteral("Error"));
    EXPECT_TRUE(FormatImpactDirection(360, text, true));
    EXPECT_EQ(text, QStringLiteral("Automatic"));

    auto vk = NewSeries(kProbeVk, kProbeVk);
    vk->AddReading(50.0f, 50.0f, 12, -2);
    vk->AddReading(52.0f, 52.0f, 12, -2);
    vk->SetImperial(true);
    auto entry = EntryOf(std::move(vk));
    EXPECT_EQ(entry->GetDiameterText(false, true), QStringLiteral("12 mm"));
    EXPECT_EQ(entry->GetCurrentDiameter(), 12);
    EXPECT_EQ(entry->GetB724ModeText(true), QStringLiteral("no"));
    EXPECT_EQ(entry->GetUnitText(true), QStringLiteral("Imperial"));
    entry->GetSeries()->SetReadingDirection(1, 14, 7);
    EXPECT_EQ(entry->GetDiameterText(false, true), QStringLiteral("different diameters"));
    EXPECT_EQ(entry->GetReadingDiameterText(1, false, true), QStringLiteral("14 mm"));
}

TEST(MeasSeriesWrapper, B724ModeFollowsStandardAndMaterial)
{
    auto s = NewSeries(kProbeVk, kProbeVk);
    SMaterial aluminium;
    aluminium.Set(6, 0);
    ASSERT_TRUE(s->SetConversion(STargetScale(kProbeVk, CONV_STD_ASTM_E140, 0), aluminium));
    auto entry = EntryOf(std::move(s));
    EXPECT_TRUE(entry->ApplyB724Mode(false));
    EXPECT_EQ(entry->IsB724Mode(), 1);
    EXPECT_EQ(entry->GetSeries()->GetProbeId().code, kProbeVkB724);
    EXPECT_EQ(entry->GetB724ModeText(true), QStringLiteral("yes"));
    ASSERT_TRUE(
        entry->GetSeries()->SetConversion(STargetScale(kProbeVkB724, CONV_STD_ISO_18265, 0), aluminium));
    EXPECT_TRUE(entry->ApplyB724Mode(false));
    EXPECT_EQ(entry->GetSeries()->GetProbeId().code, kProbeVk);
}

TEST(MeasSeriesWrapper, CopiesCloneTheSeries)
{
    auto s = NewSeries(kProbeD, kHRC);
    ASSERT_TRUE(s->SetLimits(20.0f, 60.0f, -1));
    ASSERT_TRUE(s->SetResolution(1, 5));
    ASSERT_TRUE(s->SetDateTime(0x439FBF7D, false));
    s->SetImperial(true);
    s->CommitNew();
    auto entry = EntryOf(std::move(s));
    entry->SetName(QStringLiteral("empty"));
    entry->SetDiameter(9);

    // An empty series has no stored form: the copy is rebuilt from its settings.
    CMeasSeriesWrapper copy(*entry);
    ASSERT_TRUE(copy.GetSeries());
    EXPECT_NE(copy.GetSeries(), entry->GetSeries());
    EXPECT_EQ(copy.GetName(), QStringLiteral("empty"));
    EXPECT_EQ(copy.GetDiameter(), 9);
    SSeriesSettings a, b;
    entry->GetSeries()->GetSettings(a);
    copy.GetSeries()->GetSettings(b);
    EXPECT_TRUE(a.probeId.IsEqual(b.probeId));
    EXPECT_TRUE(a.targetScale.IsEqual(b.targetScale));
    EXPECT_EQ(a.lowerLimit, b.lowerLimit);
    EXPECT_EQ(a.upperLimit, b.upperLimit);
    EXPECT_EQ(a.step, b.step);
    EXPECT_EQ(a.dateTime, b.dateTime);
    EXPECT_TRUE(copy.GetSeries()->IsImperial());
    EXPECT_FALSE(copy.GetSeries()->IsNew());

    entry->GetSeries()->AddReading(600.0f, 600.0f, 0, -1);
    CMeasSeriesWrapper full(*entry);
    EXPECT_EQ(full.GetSeries()->GetMean(), 45.0f);
}
