#pragma once
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

// Reading and writing the little-endian fields of stored records, device replies and
// firmware packages, whatever the host's byte order. p points at the field's first byte;
// the caller has checked that the field lies inside its data.
inline uint16_t ReadLe16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint32_t ReadLe24(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16);
}

inline uint32_t ReadLe32(const uint8_t* p)
{
    return ReadLe24(p) | (static_cast<uint32_t>(p[3]) << 24);
}

inline float ReadLeFloat(const uint8_t* p)
{
    return std::bit_cast<float>(ReadLe32(p));
}

inline void WriteLe16(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

inline void WriteLe24(uint8_t* p, uint32_t v)
{
    WriteLe16(p, v);
    p[2] = static_cast<uint8_t>(v >> 16);
}

inline void WriteLe32(uint8_t* p, uint32_t v)
{
    WriteLe24(p, v);
    p[3] = static_cast<uint8_t>(v >> 24);
}

inline void WriteLeFloat(uint8_t* p, float v)
{
    WriteLe32(p, std::bit_cast<uint32_t>(v));
}

// Runs of 32-bit words, as series blocks hold their readings: a plain copy where the host
// is little-endian.
inline void ReadLe32Array(uint32_t* out, const uint8_t* p, size_t count)
{
    if constexpr (std::endian::native == std::endian::little)
    {
        if (count > 0)
            std::memcpy(out, p, 4 * count);
    }
    else
    {
        for (size_t i = 0; i < count; ++i)
            out[i] = ReadLe32(p + 4 * i);
    }
}

inline void WriteLe32Array(uint8_t* p, const uint32_t* words, size_t count)
{
    if constexpr (std::endian::native == std::endian::little)
    {
        if (count > 0)
            std::memcpy(p, words, 4 * count);
    }
    else
    {
        for (size_t i = 0; i < count; ++i)
            WriteLe32(p + 4 * i, words[i]);
    }
}
