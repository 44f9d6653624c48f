#pragma once
#include <QString>

#include <array>
#include <cstdint>

// The 8-byte serial number of a probe or a device as the testers store it.
struct SPackedSerial
{
    std::array<uint8_t, 8> bytes{};

    bool IsZero() const;
    bool operator==(const SPackedSerial&) const = default;
};

// The text form "VK07-012-0345" of a valid serial; the output stays empty for anything
// that does not pass the layout checks.
void FormatSerialNumber(const SPackedSerial& serial, QString& text);
