#pragma once
#include "tests/support/ConvRecordBuilder.h"

#include "measurement/ConvTable.h"
#include "measurement/MeasSeries1.h"
#include "measurement/ScaleCodes.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

// Conversion records and series for the series tests. The records are straight lines
// (rational polynomials of degree 1), so converted values can be worked out by hand.
namespace SeriesFixture
{

inline constexpr int kProbeD = 0x101;
inline constexpr int kProbeVk = 0x201;
inline constexpr int kProbeVkB724 = 0x221;
inline constexpr int kHB = 1;
inline constexpr int kHV = 2;
inline constexpr int kHRC = 4;

// y = c0 + c1 * x over [minX, maxX].
inline std::vector<uint8_t> LinearRecord(int source, int target, int matType, int matGroup, int standard,
                                         float minX, float maxX, float c0, float c1, const QString& name = {},
                                         int revision = 1)
{
    TestRecords::Header h;
    h.source = uint16_t(source);
    h.target = uint16_t(target);
    h.matType = uint8_t(matType);
    h.matGroup = uint8_t(matGroup);
    h.standard = uint8_t(standard);
    h.revision = uint8_t(revision);
    h.name = name.toStdU16String();
    h.lo = minX;
    h.hi = maxX;
    return TestRecords::Ratio(h, 0.0f, 1, 0, {c0, c1});
}

inline int AddShared(const std::vector<uint8_t>& record)
{
    CConvTable& table = CConvTable::Instance();
    CConvTable::Guard lock(table);
    return table.AddRecord(record.data(), record.size(), false);
}

// The records every series test relies on; adding them again keeps the first copies.
inline void AddStandardRecords()
{
    // Rebound probe D, steel: HRC = x / 8 - 30 over 320..880 (10..80 HRC).
    AddShared(LinearRecord(kProbeD, kHRC, 1, 0, 1, 320.0f, 880.0f, -30.0f, 0.125f));
    // HV = 2 x - 400 over 300..900 (200..1400 HV).
    AddShared(LinearRecord(kProbeD, kHV, 1, 0, 1, 300.0f, 900.0f, -400.0f, 2.0f));
    // Indentation depth to HV falls: HV = 1000 - 8 x over 10..100 um (920..200 HV).
    AddShared(LinearRecord(kProbeVk, kHV, 1, 0, 2, 10.0f, 100.0f, 1000.0f, -8.0f));
}

inline SMaterial Steel()
{
    SMaterial m;
    m.Set(1, 0);
    return m;
}

// A new series measuring with the probe and converting to the target scale.
inline std::unique_ptr<CMeasSeries1> NewSeries(int probe, int target, int standard = 1, int capacity = 100)
{
    AddStandardRecords();
    auto series = std::make_unique<CMeasSeries1>(capacity);
    series->Clear();
    series->SetProbeId(SProbeId(probe, nullptr, -1));
    if (target != probe)
        series->SetConversion(STargetScale(target, standard, 0), Steel());
    return series;
}

} // namespace SeriesFixture
