#include "platform/io/HidReportDescriptor.h"

#include <array>
#include <vector>

namespace Platform
{

namespace
{
enum ItemType : uint8_t
{
    kMain = 0,
    kGlobal = 1
};

enum MainTag : uint8_t
{
    kInput = 8,
    kOutput = 9,
    kFeature = 11
};

enum GlobalTag : uint8_t
{
    kReportSize = 7,
    kReportId = 8,
    kReportCount = 9,
    kPush = 10,
    kPop = 11
};

struct Globals
{
    uint32_t reportSize = 0;
    uint32_t reportCount = 0;
    uint8_t reportId = 0;
};

// No report can be longer than a report length field holds.
constexpr uint64_t kMaxReportBits = 0xFFFEull * 8;
constexpr size_t kMaxPushDepth = 32;
} // namespace

bool ParseHidReportDescriptor(const uint8_t* data, size_t size, HidReportLengths& lengths)
{
    lengths = HidReportLengths{};
    // Bits per report id, for input, output and feature reports.
    std::array<std::array<uint64_t, 256>, 3> bits{};
    Globals g;
    std::vector<Globals> stack;

    auto finish = [&](bool ok)
    {
        uint16_t* out[3] = {&lengths.input, &lengths.output, &lengths.feature};
        for (int kind = 0; kind < 3; ++kind)
        {
            uint64_t longest = 0;
            for (uint64_t b : bits[kind])
                longest = b > longest ? b : longest;
            // Windows counts the report id byte in every length, numbered reports or not.
            *out[kind] = longest == 0 ? 0 : static_cast<uint16_t>((longest + 7) / 8 + 1);
        }
        return ok;
    };

    size_t pos = 0;
    while (pos < size)
    {
        const uint8_t prefix = data[pos];
        if (prefix == 0xFE)
        {
            // Long item: prefix, data size, tag, data. None of them matter for the lengths.
            if (size - pos < 3)
                return finish(false);
            const size_t dataSize = data[pos + 1];
            if (size - pos - 3 < dataSize)
                return finish(false);
            pos += 3 + dataSize;
            continue;
        }
        static constexpr size_t kDataSizes[] = {0, 1, 2, 4};
        const size_t dataSize = kDataSizes[prefix & 3];
        if (size - pos - 1 < dataSize)
            return finish(false);
        uint32_t value = 0;
        for (size_t i = 0; i < dataSize; ++i)
            value |= static_cast<uint32_t>(data[pos + 1 + i]) << (8 * i);
        const uint8_t type = (prefix >> 2) & 3;
        const uint8_t tag = prefix >> 4;
        pos += 1 + dataSize;

        if (type == kGlobal)
        {
            switch (tag)
            {
            case kReportSize:
                g.reportSize = value;
                break;
            case kReportCount:
                g.reportCount = value;
                break;
            case kReportId:
                if (value == 0 || value > 255)
                    return finish(false);
                g.reportId = static_cast<uint8_t>(value);
                lengths.numbered = true;
                break;
            case kPush:
                if (stack.size() >= kMaxPushDepth)
                    return finish(false);
                stack.push_back(g);
                break;
            case kPop:
                if (stack.empty())
                    return finish(false);
                g = stack.back();
                stack.pop_back();
                break;
            default:
                break;
            }
        }
        else if (type == kMain && (tag == kInput || tag == kOutput || tag == kFeature))
        {
            const int kind = tag == kInput ? 0 : (tag == kOutput ? 1 : 2);
            const uint64_t add = static_cast<uint64_t>(g.reportSize) * g.reportCount;
            uint64_t& total = bits[kind][g.reportId];
            if (add > kMaxReportBits || total + add > kMaxReportBits)
                return finish(false);
            total += add;
        }
    }
    return finish(true);
}

} // namespace Platform
