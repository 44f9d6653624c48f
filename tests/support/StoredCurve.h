#pragma once
// The curve a reading carries as its attachment, decoded back into the probe's unsigned
// samples; empty when the reading has none or it does not decode.
#include "measurement/CurveCodec.h"
#include "measurement/MeasSeries1.h"

#include <cstdint>
#include <vector>

inline std::vector<uint16_t> StoredCurve(CMeasSeries1& series, int reading)
{
    constexpr int kAllReadings = 7;
    const int size = series.GetAttachmentSize(reading, kAllReadings);
    if (size <= 0)
        return {};
    std::vector<uint8_t> bytes(size_t(size), 0);
    if (series.GetAttachment(reading, bytes.data(), size, kAllReadings) != size)
        return {};
    CCurveCodec codec;
    if (!codec.Decode(bytes.data(), size))
        return {};
    std::vector<int16_t> raw(size_t(codec.GetCount()));
    codec.GetSamples(raw.data(), int(raw.size() * 2));
    std::vector<uint16_t> samples;
    for (int16_t s : raw)
        samples.push_back(uint16_t(s + 0x8000));
    return samples;
}
