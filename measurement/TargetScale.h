#pragma once
#include <cstdint>

struct SConvRecordInfo;

// The scale a series' values are shown in, with the conversion-standard mask. The flag is
// set by the conversion selection (0 for records of revision 8 or 15).
struct STargetScale
{
    int scale = -1;    // target-scale or probe code, -1 for none
    int standard = -1; // low 4 bits of the mask, -1 for none
    uint8_t flag = 0;

    STargetScale() = default;
    STargetScale(int scale, int standard, uint8_t flag);
    explicit STargetScale(const SConvRecordInfo& record);

    // Scale 0xFFFF (none), a valid scale code or one of the four depth scales (the 20 N
    // codes included); anything else gives the empty target scale and false.
    bool Set(int scale, int standard, uint8_t flag);
    bool SetFromRecord(const SConvRecordInfo& record);
    void Clear();

    // Scale and standard; the flag is not compared.
    bool IsEqual(const STargetScale& other) const;
    bool IsNotEqual(const STargetScale& other) const { return !IsEqual(other); }
};
