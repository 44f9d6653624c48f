#pragma once
#include <QString>

#include <cstddef>
#include <cstdint>
#include <vector>

// The conversion record: a self-describing little-endian byte record of at most 2048
// bytes. Header: function type, standard and revision, material, source and target
// scale, name (UTF-16, up to 31 characters), valid input range; then the data of the
// function type.
inline constexpr size_t CONV_RECORD_MAX_LENGTH = 2048;
inline constexpr int CONV_NAME_MAX = 31;

enum NConvFunctionType : uint8_t
{
    convIdentity = 0,
    convRatio = 1,
    convIpol = 2,
    conv2Point = 3,
};

// The decoded header of a record. A failed decode leaves it all zero.
struct SConvRecordInfo
{
    uint16_t source = 0; // probe code
    uint8_t matType = 0;
    uint8_t matGroup = 0;
    uint16_t target = 0;  // target-scale or probe code
    uint8_t standard = 0; // mask; a stored 0 reads as 15 (any standard)
    char16_t name[32] = {};
    float minX = 0.0f; // valid input range in the source scale
    float maxX = 0.0f;
    uint8_t revision = 0;
    uint8_t type = 0;    // NConvFunctionType, or 0xFF for a base identification
    uint32_t length = 0; // record length in bytes

    QString Name() const;
};

// What a function object reports about itself.
struct SConvFunctionInfo
{
    int32_t type = -1; // -1 while nothing is loaded
    float minX = 0.0f;
    float maxX = 0.0f;
    int16_t degree1 = 0;
    int16_t degree2 = 0;
    uint16_t flags = 0;
};

// Validates the record against the constant tables and fills the info. The record must
// fit into the bytes at hand; false (info all zero) on any violation.
bool DecodeConvRecord(SConvRecordInfo& info, const uint8_t* record, size_t available);

// Both records are custom-material records that differ at most in their names: a record
// that arrives again under another name.
bool IsSameConvData(const uint8_t* a, size_t aAvailable, const uint8_t* b, size_t bAvailable);

// Gives a custom-material record a new name of 1-31 characters in place; the vector is
// resized to the new record length, which is returned. 0 (record unchanged) when the
// record or the name does not qualify.
size_t RenameConvRecord(std::vector<uint8_t>& record, const QString& newName);

// The name a colliding record gets: "abc" -> "abc(2)", "abc(7)" -> "abc(8)", at most 16
// characters when a suffix is needed. Empty for an undecodable record.
QString MakeUniqueRecordName(const uint8_t* record, size_t available);
