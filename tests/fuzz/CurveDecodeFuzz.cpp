#include "measurement/CurveCodec.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

// Stored curves come from series files and project files: any bytes must decode without reading
// or writing out of bounds, and whatever decodes must encode and decode to the same samples.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (1u << 20))
        return 0;
    CCurveCodec codec;
    if (!codec.Decode(data, static_cast<int>(size)))
        return 0;
    const int count = codec.GetCount();
    std::vector<int16_t> samples(static_cast<size_t>(count));
    if (codec.GetSamples(samples.data(), count * 2) != count * 2)
        abort();

    // A constant first block may carry a first sample wider than the stream's sample width; the
    // encoder cannot store that one and must say so. Every other curve must survive a round trip.
    const int width = codec.GetSampleWidth();
    const bool storable = samples[0] >= -(1 << (width - 1)) && samples[0] < (1 << (width - 1));
    std::vector<uint8_t> stream(static_cast<size_t>(count) * 5 + 64);
    const int length = codec.Encode(stream.data(), static_cast<int>(stream.size()));
    if ((length > 0) != storable)
        abort();
    if (length <= 0)
        return 0;
    CCurveCodec again;
    if (!again.Decode(stream.data(), length) || again.GetCount() != count)
        abort();
    std::vector<int16_t> back(static_cast<size_t>(count));
    again.GetSamples(back.data(), count * 2);
    if (back != samples)
        abort();
    return 0;
}
