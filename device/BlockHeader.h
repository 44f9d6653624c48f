#pragma once
#include "platform/core/ByteOrder.h"

#include <cstdint>
#include <cstring>

namespace Device
{

// One block header of a firmware package: 16 bytes, numbers little-endian. The steps
// read the data length, the mode bytes and the kind; the rest belongs to the classes
// whose bootloaders need it (byte 13: the programming state a block needs).
struct SBlockHeader
{
    static constexpr uint32_t kSize = 16;

    uint8_t bytes[kSize] = {};

    uint32_t Length() const { return ReadLe32(bytes + 4); }
    // Operation mode of the transfer (low four bits) with the mode-change bits; 0x01 asks
    // for the package's header block, 0x08 (S-record classes) needs no programming state.
    uint8_t EnterMode() const { return bytes[10]; }
    // Operation mode after the block; 0x40 the block is programmed.
    uint8_t LeaveMode() const { return bytes[11]; }
    // Low four bits: 2 an operating-system block; high four bits: 4 an S-record block.
    uint8_t Kind() const { return bytes[12]; }
    uint8_t ProgrammingState() const { return bytes[13]; }

    static SBlockHeader FromBytes(const uint8_t* data)
    {
        SBlockHeader header;
        std::memcpy(header.bytes, data, kSize);
        return header;
    }
};

} // namespace Device
