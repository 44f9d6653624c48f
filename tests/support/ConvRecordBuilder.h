#pragma once
// Builds conversion records byte by byte for tests, independent of the reader.
#include <bit>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace TestRecords
{

struct Header
{
    uint8_t type = 0;
    uint16_t source = 0x101;
    uint16_t target = 2;
    uint8_t matType = 15;
    uint8_t matGroup = 0;
    uint8_t standard = 1;
    uint8_t revision = 0;
    std::u16string name;
    float lo = 0.0f;
    float hi = 999.0f;
};

inline void Put16(std::vector<uint8_t>& b, uint32_t v)
{
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}

inline void Put32(std::vector<uint8_t>& b, uint32_t v)
{
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

inline void PutFloat(std::vector<uint8_t>& b, float v)
{
    Put32(b, std::bit_cast<uint32_t>(v));
}

inline std::vector<uint8_t> HeaderBytes(const Header& h, uint8_t type)
{
    std::vector<uint8_t> b;
    b.push_back(type);
    b.push_back(static_cast<uint8_t>((h.revision << 4) | (h.standard & 0x0F)));
    b.push_back(static_cast<uint8_t>((h.matGroup << 4) | (h.matType & 0x0F)));
    Put16(b, h.source);
    Put16(b, h.target);
    b.push_back(static_cast<uint8_t>(h.name.size()));
    for (char16_t c : h.name)
        Put16(b, c);
    PutFloat(b, h.lo);
    PutFloat(b, h.hi);
    return b;
}

inline std::vector<uint8_t> Identity(const Header& h)
{
    return HeaderBytes(h, 0);
}

// flagsN: bit 7 squares the input; flagsD: bit 5 multiplies by the input, bit 6 squares
// the result, bit 7 takes the square root.
inline std::vector<uint8_t> Ratio(const Header& h, float x0, int n, int d, const std::vector<float>& c,
                                  uint8_t flagsN = 0, uint8_t flagsD = 0)
{
    std::vector<uint8_t> b = HeaderBytes(h, 1);
    PutFloat(b, x0);
    b.push_back(static_cast<uint8_t>(n | flagsN));
    b.push_back(static_cast<uint8_t>(d | flagsD));
    for (float v : c)
        PutFloat(b, v);
    return b;
}

inline std::vector<uint8_t> Ipol(const Header& h, const std::vector<std::pair<float, float>>& points)
{
    std::vector<uint8_t> b = HeaderBytes(h, 2);
    b.push_back(static_cast<uint8_t>(points.size()));
    for (auto [x, y] : points)
    {
        PutFloat(b, x);
        PutFloat(b, y);
    }
    return b;
}

inline std::vector<uint8_t> TwoPoint(const Header& h, uint8_t baseStandard, uint8_t baseMaterial,
                                     uint16_t baseSource, uint16_t baseTarget, float offset, float factor)
{
    std::vector<uint8_t> b = HeaderBytes(h, 3);
    b.push_back(baseStandard);
    b.push_back(baseMaterial);
    Put16(b, baseSource);
    Put16(b, baseTarget);
    PutFloat(b, offset);
    PutFloat(b, factor);
    return b;
}

} // namespace TestRecords
