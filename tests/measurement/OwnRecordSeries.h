#pragma once
#include "SeriesFixture.h"

#include <gtest/gtest.h>

namespace SeriesFixture
{
// A series of probe D converted to HV through a record of its own (not in the shared
// table) under the custom material name, with one reading of 500.
inline std::unique_ptr<CMeasSeries1> SeriesWithOwnRecord(const std::vector<uint8_t>& record, const QString& name)
{
    auto s = std::make_unique<CMeasSeries1>(10);
    s->Clear();
    s->SetProbeId(SProbeId(kProbeD, nullptr, -1));
    {
        CConvTable::Guard lock(CConvTable::Instance());
        s->GetConvEnumerator().SetPrivateRecord(record.data(), record.size());
    }
    SMaterial custom;
    custom.SetCustom(name, 0);
    EXPECT_TRUE(s->SetConversion(STargetScale(kHV, 1, 0), custom));
    s->AddReading(500.0f, 500.0f, 0, -1);
    return s;
}
} // namespace SeriesFixture
