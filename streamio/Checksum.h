#pragma once
#include <cstddef>
#include <cstdint>

// Table-driven CRCs over reflected polynomials, one table step per byte. None applies
// a final inversion, and null or empty data gives 0 whatever the start value (peers
// compare against exactly these results). A null table selects the built-in one.

// CRC-8 over 0x8C (Dallas/Maxim); start 0 gives CRC-8/MAXIM-DOW.
uint8_t Crc8(const void* data, size_t length, uint8_t start = 0, const uint8_t* table = nullptr);
// CRC-16 over 0xA001; start 0 gives CRC-16/ARC.
uint16_t Crc16(const void* data, size_t length, uint16_t start = 0, const uint16_t* table = nullptr);
// CRC-32 over 0xEDB88320; start 0xFFFFFFFF and an inverted result give the standard
// CRC-32 (ISO-HDLC).
uint32_t Crc32(const void* data, size_t length, uint32_t start, const uint32_t* table = nullptr);

// The built-in 256-entry tables.
const uint8_t* GetCrc8Table();
const uint16_t* GetCrc16Table();
const uint32_t* GetCrc32Table();
