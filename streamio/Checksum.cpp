#include "streamio/Checksum.h"

#include <array>
#include <bit>
#include <cstring>

namespace
{

template <typename T> constexpr std::array<T, 256> ReflectedTable(T polynomial)
{
    std::array<T, 256> table{};
    for (unsigned i = 0; i < 256; ++i)
    {
        T value = static_cast<T>(i);
        for (int bit = 0; bit < 8; ++bit)
            value = static_cast<T>((value & 1) ? (value >> 1) ^ polynomial : value >> 1);
        table[i] = value;
    }
    return table;
}

constexpr auto kCrc8Table = ReflectedTable<uint8_t>(0x8C);
constexpr auto kCrc16Table = ReflectedTable<uint16_t>(0xA001);

// Slicing by 16: table k advances the CRC over k further zero bytes, so 16 input bytes
// cost 16 independent lookups instead of a chain of 16.
constexpr int kSlices = 16;
using SliceTables = std::array<std::array<uint32_t, 256>, kSlices>;

constexpr SliceTables MakeSliceTables()
{
    SliceTables t{};
    t[0] = ReflectedTable<uint32_t>(0xEDB88320u);
    for (int k = 1; k < kSlices; ++k)
        for (unsigned i = 0; i < 256; ++i)
            t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
    return t;
}

constexpr SliceTables kCrc32Slices = MakeSliceTables();

inline uint32_t LoadLe32(const uint8_t* p)
{
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::big)
        v = __builtin_bswap32(v);
    return v;
}

uint32_t Crc32Sliced(const uint8_t* p, size_t n, uint32_t crc)
{
    const auto& t = kCrc32Slices;
    while (n >= 16)
    {
        const uint32_t a = LoadLe32(p) ^ crc;
        const uint32_t b = LoadLe32(p + 4);
        const uint32_t c = LoadLe32(p + 8);
        const uint32_t d = LoadLe32(p + 12);
        crc = t[15][a & 0xFF] ^ t[14][(a >> 8) & 0xFF] ^ t[13][(a >> 16) & 0xFF] ^ t[12][a >> 24] ^
              t[11][b & 0xFF] ^ t[10][(b >> 8) & 0xFF] ^ t[9][(b >> 16) & 0xFF] ^ t[8][b >> 24] ^
              t[7][c & 0xFF] ^ t[6][(c >> 8) & 0xFF] ^ t[5][(c >> 16) & 0xFF] ^ t[4][c >> 24] ^
              t[3][d & 0xFF] ^ t[2][(d >> 8) & 0xFF] ^ t[1][(d >> 16) & 0xFF] ^ t[0][d >> 24];
        p += 16;
        n -= 16;
    }
    while (n--)
        crc = (crc >> 8) ^ t[0][(crc ^ *p++) & 0xFF];
    return crc;
}

} // namespace

uint8_t Crc8(const void* data, size_t length, uint8_t start, const uint8_t* table)
{
    if (data == nullptr || length == 0)
        return 0;
    if (table == nullptr)
        table = kCrc8Table.data();
    const auto* p = static_cast<const uint8_t*>(data);
    uint8_t value = start;
    for (size_t i = 0; i < length; ++i)
        value = table[p[i] ^ value];
    return value;
}

uint16_t Crc16(const void* data, size_t length, uint16_t start, const uint16_t* table)
{
    if (data == nullptr || length == 0)
        return 0;
    if (table == nullptr)
        table = kCrc16Table.data();
    const auto* p = static_cast<const uint8_t*>(data);
    uint16_t value = start;
    for (size_t i = 0; i < length; ++i)
        value = static_cast<uint16_t>((value >> 8) ^ table[(value ^ p[i]) & 0xFF]);
    return value;
}

uint32_t Crc32(const void* data, size_t length, uint32_t start, const uint32_t* table)
{
    if (data == nullptr || length == 0)
        return 0;
    const auto* p = static_cast<const uint8_t*>(data);
    if (table == nullptr || table == kCrc32Slices[0].data())
        return Crc32Sliced(p, length, start);
    uint32_t value = start;
    for (size_t i = 0; i < length; ++i)
        value = (value >> 8) ^ table[(value ^ p[i]) & 0xFF];
    return value;
}

const uint8_t* GetCrc8Table()
{
    return kCrc8Table.data();
}

const uint16_t* GetCrc16Table()
{
    return kCrc16Table.data();
}

const uint32_t* GetCrc32Table()
{
    return kCrc32Slices[0].data();
}
