#include "measurement/ConvTable.h"
#include "measurement/ConvFunction.h"
#include "measurement/Material.h"
#include "measurement/MeasValues.h"
#include "measurement/ProbeId.h"
#include "measurement/TargetScale.h"
#include "tests/support/ConvRecordBuilder.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace TestRecords;

namespace
{

constexpr int kFirstShared = CONV_FIRST_SHARED_SLOT;

Header Hv(uint8_t matType = 1, uint8_t revision = 0, const std::u16string& name = {})
{
    Header h;
    h.source = 0x101;
    h.target = 2;
    h.matType = matType;
    h.matGroup = 0;
    h.standard = 1;
    h.revision = revision;
    h.name = name;
    h.lo = 200.0f;
    h.hi = 900.0f;
    return h;
}

std::vector<std::pair<float, float>> Points(float scale = 1.0f)
{
    return {{200, 80 * scale},  {300, 130 * scale}, {400, 210 * scale}, {500, 320 * scale},
            {600, 460 * scale}, {700, 640 * scale}, {800, 860 * scale}, {900, 1120 * scale}};
}

int Add(CConvTable& t, const std::vector<uint8_t>& r, bool isPrivate = false)
{
    return t.AddRecord(r.data(), r.size(), isPrivate);
}

std::vector<int> FindAll(CConvEnumerator& e, const SProbeId& p, const SMaterial& m, const STargetScale& s)
{
    std::vector<int> found;
    SConvRecordInfo info;
    for (int i = e.Find(info, p, m, s); i >= 0; i = e.Next(info))
        found.push_back(i);
    return found;
}

SMaterial Mat(int type, int group)
{
    SMaterial m;
    m.Set(type, group);
    return m;
}

SMaterial CustomMat(const QString& name)
{
    SMaterial m;
    m.SetCustom(name, 0);
    return m;
}

} // namespace

TEST(ConvTable, StartsWithIdentityRecords)
{
    CConvTable t;
    CConvTable::Guard guard(t);
    EXPECT_EQ(t.GetCapacity(), 410000);
    EXPECT_EQ(t.GetSlotCount(), kFirstShared + 11);
    EXPECT_EQ(t.GetCurrentSlot(), -1);
    EXPECT_EQ(t.Convert(500.0f, true), MEAS_NO_VALUE);
    const int codes[] = {0x101, 0x102, 0x103, 0x104, 0x105, 0x106, 0x107, 0x108, 0x10F, 0x201, 0x221};
    for (int i = 0; i < 11; ++i)
    {
        SConvRecordInfo info;
        ASSERT_TRUE(t.GetRecordInfo(kFirstShared + i, info));
        EXPECT_EQ(info.source, codes[i]);
        EXPECT_EQ(info.target, codes[i]);
        EXPECT_EQ(info.type, 0);
        EXPECT_EQ(info.revision, 15);
        EXPECT_EQ(info.matType, 15);
        EXPECT_EQ(info.length, 16u);
    }
    SConvRecordInfo info;
    EXPECT_FALSE(t.GetRecordInfo(kFirstShared + 11, info));
    EXPECT_FALSE(t.GetRecordInfo(-1, info));
    EXPECT_EQ(CConvTable(7).GetCapacity(), 410000);
    EXPECT_EQ(CConvTable(810001).GetCapacity(), 410000);
}

TEST(ConvTable, IdentityConversionAndExtrapolation)
{
    CConvTable t;
    CConvTable::Guard guard(t);
    ASSERT_TRUE(t.SelectRecord(kFirstShared)); // probe 0x101
    EXPECT_EQ(t.Convert(500.0f, false), 500.0f);
    EXPECT_EQ(t.Convert(1200.0f, false), MEAS_ABOVE_RANGE);
    EXPECT_EQ(t.Convert(1200.0f, true), 1200.0f);
    EXPECT_NEAR(t.Convert(-5.0f, true), -5.0f, 1e-4f);
    EXPECT_EQ(t.Convert(-5.0f, false), MEAS_BELOW_RANGE);
    EXPECT_EQ(t.Convert(MEAS_NO_VALUE, true), MEAS_NO_VALUE);
    EXPECT_EQ(t.Convert(NAN, true), MEAS_NO_VALUE);
    EXPECT_EQ(t.Convert(MEAS_ABOVE_RANGE, true), MEAS_ABOVE_RANGE);
    EXPECT_EQ(t.Convert(MEAS_BELOW_RANGE, true), MEAS_BELOW_RANGE);
    EXPECT_EQ(t.ConvertInverse(321.0f, false), 321.0f);
    EXPECT_EQ(t.ConvertInverse(MEAS_ABOVE_RANGE, true), MEAS_ABOVE_RANGE);
    EXPECT_EQ(t.ConvertInverse(MEAS_NO_VALUE, true), MEAS_NO_VALUE);
    EXPECT_EQ(t.GetMinX(), 0.0f);
    EXPECT_EQ(t.GetMaxX(), 999.0f);
    EXPECT_FALSE(t.SelectRecord(kFirstShared + 11)); // empty
    EXPECT_EQ(t.GetCurrentSlot(), -1);
    EXPECT_EQ(t.GetMaxX(), 0.0f);
}

TEST(ConvTable, ExtrapolationRules)
{
    CConvTable t;
    CConvTable::Guard guard(t);
    const auto r = Ipol(Hv(), Points());
    const int slot = Add(t, r);
    ASSERT_TRUE(t.SelectRecord(slot));
    CConvFunction& f = *t.GetCurrentFunction();
    // Below a range that starts above 0.1 with a rising function: through the origin.
    EXPECT_EQ(t.Convert(100.0f, true), f.Evaluate(200.0f) * 100.0f / 200.0f);
    // Above: the slope over the last 1 % when it is flatter than the mean slope (never
    // here: the curve is convex), else the mean slope.
    const float y1 = f.Evaluate(900.0f);
    const float s = (y1 - f.Evaluate(200.0f)) / 700.0f;
    const float xm = 900.0f - 700.0f * 0.01f;
    const float s2 = (y1 - f.Evaluate(xm)) / (900.0f - xm);
    ASSERT_GT(s2, s);
    EXPECT_EQ(t.Convert(950.0f, true), 50.0f * s + y1);

    // A concave curve uses the flatter end slope.
    const auto concave = Ipol(Hv(2), {{200, 100}, {400, 300}, {600, 400}, {900, 450}});
    ASSERT_TRUE(t.SelectRecord(Add(t, concave)));
    CConvFunction& g = *t.GetCurrentFunction();
    const float gy1 = g.Evaluate(900.0f);
    const float gs2 = (gy1 - g.Evaluate(xm)) / (900.0f - xm);
    EXPECT_EQ(t.Convert(950.0f, true), 50.0f * gs2 + gy1);

    // Inverse with extrapolation reaches beyond the range.
    ASSERT_TRUE(t.SelectRecord(slot));
    const float beyond = t.ConvertInverse(1300.0f, true);
    EXPECT_GT(beyond, 900.0f);
    EXPECT_NEAR(t.Convert(beyond, true), 1300.0f, 0.5f);
    const float below = t.ConvertInverse(20.0f, true);
    EXPECT_LT(below, 200.0f);
    EXPECT_NEAR(t.Convert(below, true), 20.0f, 0.05f);
    EXPECT_NEAR(t.ConvertInverse(460.0f, true), 600.0f, 0.01f);
    // Without extrapolation a value the record never reaches is out of range, not 0.0.
    EXPECT_EQ(t.ConvertInverse(1300.0f, false), MEAS_ABOVE_RANGE);
    EXPECT_EQ(t.ConvertInverse(20.0f, false), MEAS_BELOW_RANGE);
    EXPECT_NEAR(t.ConvertInverse(460.0f, false), 600.0f, 0.01f);
}

TEST(ConvTable, RevisionRule)
{
    CConvTable t;
    CConvTable::Guard guard(t);
    const int first = Add(t, Ipol(Hv(1, 5), Points()));
    ASSERT_EQ(first, kFirstShared + 11);
    EXPECT_EQ(Add(t, Ipol(Hv(1, 5), Points(1.1f))), first); // same revision: kept
    EXPECT_EQ(Add(t, Ipol(Hv(1, 4), Points(1.1f))), first); // lower: kept
    EXPECT_EQ(t.GetSlotCount(), first + 1);
    size_t length = 0;
    const uint8_t* kept = t.GetRecord(first, length);
    EXPECT_EQ(std::vector<uint8_t>(kept, kept + length), Ipol(Hv(1, 5), Points()));

    ASSERT_TRUE(t.SelectRecord(first));
    const int replaced = Add(t, Ipol(Hv(1, 6), Points(1.1f))); // higher: replaces
    EXPECT_EQ(replaced, first + 1);
    EXPECT_EQ(t.GetRecord(first, length), nullptr);
    EXPECT_EQ(t.GetCurrentSlot(), -1); // the removed record was selected
    SConvRecordInfo info;
    ASSERT_TRUE(t.GetRecordInfo(replaced, info));
    EXPECT_EQ(info.revision, 6);

    // The identity records have revision 15 and are never replaced.
    Header identity;
    identity.source = identity.target = 0x101;
    identity.revision = 15;
    identity.standard = 15;
    EXPECT_EQ(Add(t, Identity(identity)), kFirstShared);
    // Another standard does not collide.
    Header iso = Hv(1, 0);
    iso.standard = 2;
    EXPECT_GT(Add(t, Ipol(iso, Points())), replaced);
}

TEST(ConvTable, SharedSlotsRingAndRemoval)
{
    CConvTable t(kFirstShared + 14);
    CConvTable::Guard guard(t);
    const int a = Add(t, Ipol(Hv(1), Points()));
    const int b = Add(t, Ipol(Hv(2), Points()));
    const int c = Add(t, Ipol(Hv(3), Points()));
    EXPECT_EQ(std::vector<int>({a, b, c}),
              std::vector<int>({kFirstShared + 11, kFirstShared + 12, kFirstShared + 13}));
    EXPECT_EQ(Add(t, Ipol(Hv(4), Points())), -1); // full
    EXPECT_FALSE(t.RemoveRecord(kFirstShared));   // never removed
    EXPECT_TRUE(t.RemoveRecord(b));
    EXPECT_FALSE(t.RemoveRecord(b));
    EXPECT_EQ(Add(t, Ipol(Hv(4), Points())), b);
    EXPECT_EQ(t.GetSlotCount(), kFirstShared + 14);

    CConvTable privateOnly(100);
    CConvTable::Guard guard2(privateOnly);
    EXPECT_EQ(privateOnly.GetSlotCount(), 0); // no shared slots, no identity records
    EXPECT_EQ(Add(privateOnly, Ipol(Hv(1), Points())), -1);
    EXPECT_EQ(Add(privateOnly, Ipol(Hv(1), Points()), true), 0);
}

TEST(ConvTable, SelectionFailures)
{
    CConvTable t;
    CConvTable::Guard guard(t);
    ASSERT_TRUE(t.SelectRecord(kFirstShared));
    // Decodes, but its table cannot be loaded: refused, and nothing stays selected.
    const int broken = Add(t, Ipol(Hv(), {{200, 1}, {200, 2}, {300, 3}}));
    ASSERT_GE(broken, 0);
    EXPECT_FALSE(t.SelectRecord(broken));
    EXPECT_EQ(t.GetCurrentSlot(), -1);
    EXPECT_EQ(t.Convert(300.0f, true), MEAS_NO_VALUE);
    EXPECT_EQ(t.ConvertInverse(300.0f, true), MEAS_NO_VALUE);
    EXPECT_FALSE(t.SelectRecord(-5));
    EXPECT_FALSE(t.SelectRecord(t.GetSlotCount()));
}

TEST(ConvTable, TwoPointRecordsFindTheirBase)
{
    CConvTable t;
    CConvTable::Guard guard(t);
    // HV = x + 10 + 0.5 x on top of the identity record of probe 0x101.
    const int good = Add(t, TwoPoint(Hv(3), 15, 0x0F, 0x101, 0x101, 10.0f, 0.5f));
    ASSERT_TRUE(t.SelectRecord(good));
    EXPECT_EQ(t.Convert(400.0f, false), 400.0f + 10.0f + 200.0f);
    EXPECT_EQ(t.GetMinX(), 200.0f);
    EXPECT_EQ(t.GetMaxX(), 900.0f);

    // On top of an interpolating record, clipped to its range.
    Header baseHdr = Hv(6);
    baseHdr.hi = 700.0f;
    const int base = Add(t, Ipol(baseHdr, Points()));
    const int onIpol = Add(t, TwoPoint(Hv(5), 1, 0x06, 0x101, 2, 0.0f, 0.0f));
    ASSERT_TRUE(t.SelectRecord(base));
    const float expected = t.Convert(450.0f, false);
    ASSERT_TRUE(t.SelectRecord(onIpol));
    EXPECT_EQ(t.Convert(450.0f, false), expected);
    EXPECT_EQ(t.GetMaxX(), 700.0f);

    // A base with a custom material is refused.
    const int custom = Add(t, TwoPoint(Hv(4), 1, 0x00, 0x101, 2, 10.0f, 0.5f));
    EXPECT_FALSE(t.SelectRecord(custom));
    EXPECT_EQ(t.GetCurrentSlot(), -1);
    // No base record at all.
    const int orphan = Add(t, TwoPoint(Hv(2), 1, 0x01, 0x101, 4, 0.0f, 1.0f));
    EXPECT_FALSE(t.SelectRecord(orphan));
    // A base whose range does not overlap the record's.
    Header late = Hv(7);
    late.lo = 750.0f;
    const int disjoint = Add(t, TwoPoint(late, 1, 0x06, 0x101, 2, 0.0f, 1.0f));
    EXPECT_FALSE(t.SelectRecord(disjoint));
    EXPECT_EQ(t.GetCurrentSlot(), -1);
}

TEST(ConvEnumerator, MaterialMatching)
{
    CConvTable t;
    CConvTable::Guard guard(t);
    const int steel = Add(t, Ipol(Hv(1), Points()));
    const int brass = Add(t, Ipol(Hv(7), Points()));
    const int alloy = Add(t, Ipol(Hv(0, 0, u"Alloy7"), Points()));
    Header anyMaterialHdr = Hv(15);
    anyMaterialHdr.target = 4;
    const int independent = Add(t, Ipol(anyMaterialHdr, Points(0.1f)));
    CConvEnumerator e(&t);
    const SProbeId d(0x101, nullptr, -1);
    EXPECT_EQ(FindAll(e, d, Mat(1, 0), STargetScale(2, 1, 0)), std::vector<int>({steel}));
    EXPECT_EQ(FindAll(e, d, CustomMat("Alloy7"), STargetScale(2, 1, 0)), std::vector<int>({alloy}));
    EXPECT_EQ(FindAll(e, d, CustomMat("Alloy8"), STargetScale(2, 1, 0)), std::vector<int>());
    EXPECT_EQ(FindAll(e, d, SMaterial(), STargetScale(2, -1, 0)), std::vector<int>({steel, brass, alloy}));
    EXPECT_EQ(FindAll(e, d, SMaterial(), STargetScale(2, 2, 0)), std::vector<int>()); // other standard
    // Material-independent records match every material, but the group still counts.
    EXPECT_EQ(FindAll(e, d, Mat(7, 0), STargetScale(4, 1, 0)), std::vector<int>({independent}));
    EXPECT_EQ(FindAll(e, d, Mat(7, 1), STargetScale(4, 1, 0)), std::vector<int>());
    // Probe and any target: identity record first, then the others.
    EXPECT_EQ(FindAll(e, d, Mat(7, 0), STargetScale(0xFFFF, 0, 0)),
              std::vector<int>({kFirstShared, brass, independent}));
    SConvRecordInfo info;
    EXPECT_EQ(e.Next(info), -1);
    EXPECT_EQ(info.length, 0u);
}

TEST(ConvEnumerator, PrivateRecords)
{
    CConvTable t;
    CConvTable::Guard guard(t);
    const auto own = Ipol(Hv(1), Points(1.05f));
    const int shared = Add(t, Ipol(Hv(1), Points()));
    CConvEnumerator series(&t);
    ASSERT_EQ(series.SetPrivateRecord(own.data(), own.size()), 0);
    const SProbeId d(0x101, nullptr, -1);
    // A complete filter returns the series' own record first.
    EXPECT_EQ(FindAll(series, d, Mat(1, 0), STargetScale(2, 1, 0)), std::vector<int>({0, shared}));
    // An incomplete filter returns it last.
    EXPECT_EQ(FindAll(series, d, SMaterial(), STargetScale(2, 1, 0)), std::vector<int>({shared, 0}));

    // Another series never sees it, and its own private record goes to the next slot.
    CConvEnumerator other(&t);
    const auto otherOwn = Ipol(Hv(1), Points(1.2f));
    ASSERT_EQ(other.SetPrivateRecord(otherOwn.data(), otherOwn.size()), 1);
    EXPECT_EQ(FindAll(other, d, SMaterial(), STargetScale(2, 1, 0)), std::vector<int>({shared, 1}));
    EXPECT_EQ(FindAll(series, d, SMaterial(), STargetScale(2, 1, 0)), std::vector<int>({shared, 0}));

    // A byte-identical shared record hides the private one from an incomplete filter.
    const int copy = t.AddRecord(own.data(), own.size(), false); // collides with revision 0: kept
    EXPECT_EQ(copy, shared);
    ASSERT_TRUE(t.RemoveRecord(shared));
    const int identical = Add(t, own);
    EXPECT_EQ(FindAll(series, d, SMaterial(), STargetScale(2, 1, 0)), std::vector<int>({identical}));

    // Replacing and clearing frees the slot, and a selected private record is deselected.
    ASSERT_TRUE(t.SelectRecord(0));
    EXPECT_EQ(series.SetPrivateRecord(own.data(), own.size()), 0);
    EXPECT_EQ(t.GetCurrentSlot(), -1);
    ASSERT_TRUE(t.SelectRecord(0));
    series.ClearPrivateRecord();
    EXPECT_EQ(series.GetPrivateSlot(), -1);
    EXPECT_EQ(t.GetCurrentSlot(), -1);
    size_t length = 0;
    EXPECT_EQ(t.GetRecord(0, length), nullptr);
    EXPECT_EQ(series.SetPrivateRecord(nullptr, 0), -1);
}

TEST(ConvTable, UniqueRecordNames)
{
    const struct
    {
        std::u16string name;
        const char* unique;
    } cases[] = {
        {u"abc", "abc(2)"},
        {u"abc(7)", "abc(8)"},
        {u"abc()", "abc(1)"},
        {u"abc(x)", "abc(x)(2)"},
        {u"a(b)c(3)", "a(b)c(3)(2)"},
        {u"abcdefghijklmno", "abcdefghijklm(2)"},
        {u"abcdefghijkl", "abcdefghijkl(2)"},
        {u"abcdefghijklm(99)", "abcdefghijk(100)"},
    };
    for (const auto& c : cases)
    {
        const auto r = Identity(Hv(0, 0, c.name));
        EXPECT_EQ(MakeUniqueRecordName(r.data(), r.size()), c.unique);
    }
    EXPECT_EQ(MakeUniqueRecordName(nullptr, 0), "");
}

TEST(ConvTable, DeviceRecords)
{
    CConvTable t;
    CConvTable::Guard guard(t);
    const auto alloy = Ipol(Hv(0, 0, u"Alloy7"), Points());
    int index = -2;
    QString name;
    size_t length = 0;
    const uint8_t* stored = t.AddDeviceRecord(alloy.data(), alloy.size(), index, name, length);
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(index, kFirstShared + 11);
    EXPECT_EQ(name, "");
    EXPECT_EQ(std::vector<uint8_t>(stored, stored + length), alloy);

    // The same record again: reused.
    EXPECT_EQ(t.AddDeviceRecord(alloy.data(), alloy.size(), index, name, length), nullptr);
    EXPECT_EQ(index, kFirstShared + 11);
    // A record of another name: stored as it is.
    const auto other = Ipol(Hv(0, 0, u"Other"), Points(1.5f));
    ASSERT_NE(t.AddDeviceRecord(other.data(), other.size(), index, name, length), nullptr);
    EXPECT_EQ(index, kFirstShared + 12);
    // Alloy7 arriving with the data that Other holds: Other is reused, with its name.
    const auto otherData = Ipol(Hv(0, 0, u"Alloy7"), Points(1.5f));
    EXPECT_EQ(t.AddDeviceRecord(otherData.data(), otherData.size(), index, name, length), nullptr);
    EXPECT_EQ(index, kFirstShared + 12);
    EXPECT_EQ(name, "Other");

    // New data under a taken name: stored under a new name, each time a free one.
    for (const char* expected : {"Alloy7(2)", "Alloy7(3)"})
    {
        const auto fresh = Ipol(Hv(0, 0, u"Alloy7"), Points(QString(expected).at(7).digitValue() * 0.7f));
        stored = t.AddDeviceRecord(fresh.data(), fresh.size(), index, name, length);
        ASSERT_NE(stored, nullptr) << expected;
        EXPECT_EQ(name, expected);
        SConvRecordInfo info;
        ASSERT_TRUE(t.GetRecordInfo(index, info));
        EXPECT_EQ(info.Name(), expected);
        EXPECT_EQ(length, fresh.size() + 6);
    }

    // A colliding record of a standard material cannot be renamed: nothing is added.
    const int steel = Add(t, Ipol(Hv(1), Points()));
    const auto steel2 = Ipol(Hv(1), Points(2.0f));
    EXPECT_EQ(t.AddDeviceRecord(steel2.data(), steel2.size(), index, name, length), nullptr);
    EXPECT_EQ(index, -1);
    EXPECT_EQ(t.GetSlotCount(), steel + 1);
    // An undecodable record neither.
    EXPECT_EQ(t.AddDeviceRecord(steel2.data(), 10, index, name, length), nullptr);
    EXPECT_EQ(index, -1);
}

TEST(ConvTable, ReplaceRecord)
{
    CConvTable t;
    CConvTable::Guard guard(t);
    const auto a = Ipol(Hv(0, 0, u"A"), Points());
    const auto b = Ipol(Hv(0, 0, u"A"), Points(1.5f));
    const int slot = Add(t, a);
    size_t length = 0;
    const uint8_t* old = t.GetRecord(slot, length);
    EXPECT_FALSE(t.ReplaceRecord(slot, a.data(), b.data(), b.size())); // not the stored bytes
    ASSERT_TRUE(t.SelectRecord(slot));
    EXPECT_TRUE(t.ReplaceRecord(slot, old, b.data(), b.size()));
    EXPECT_EQ(t.GetCurrentSlot(), -1);
    ASSERT_TRUE(t.SelectRecord(slot));
    EXPECT_EQ(t.Convert(900.0f, false), 1120.0f * 1.5f);
}

TEST(ConvTable, GlobalTableIsReentrant)
{
    CConvTable& table = CConvTable::Instance();
    CConvTable::Guard outer(table);
    CConvTable::Guard inner(table);
    EXPECT_EQ(&CConvEnumerator().GetTable()->Instance(), &table);
    EXPECT_GE(table.GetSlotCount(), kFirstShared + 11);
}
