#pragma once
#include "measurement/PackedSerial.h"

#include <cstdint>

struct SConvRecordInfo;

// What a series was measured with: the probe code (the measured scale), the probe's
// serial and a flags value. The empty id has code -1, serial zero and flags -1.
struct SProbeId
{
    int code = -1;          // 16-bit probe code, -1 for none
    SPackedSerial serial{}; // all zero when none was given
    int32_t flags = -1;     // bit 0 of a non-negative value: automatic direction detection

    SProbeId() = default;
    SProbeId(int code, const SPackedSerial* serial, int32_t flags);
    explicit SProbeId(const SConvRecordInfo& record);

    // The code must have a probe-table row; otherwise the id becomes empty and false is
    // returned.
    bool Set(int code, const SPackedSerial* serial, int32_t flags);
    // As Set, but a code without a probe-table row (the 20 N probes 0x211 and 0x231 have
    // none) is kept with its serial and flags, so that a series read from a file writes its
    // probe back unchanged; conversions simply find nothing for it. Still true only for a
    // code with a row; codes 0 and -1 give the empty id.
    bool SetKeepingUnknown(int code, const SPackedSerial* serial, int32_t flags);
    // The record's source scale, serial zero, flags -1.
    bool SetFromRecord(const SConvRecordInfo& record);
    void Clear();

    bool HasSerial() const;
    bool GetSerial(SPackedSerial* out) const;

    bool IsEqual(const SProbeId& other) const;
    bool IsNotEqual(const SProbeId& other) const { return !IsEqual(other); }

    bool IsBenchProbe() const;
    bool IsB724Off() const;
    void ClearB724Bit();
    void SetB724Bit();

    // Whether two ids may belong to one series; with the mode-change flag an indentation
    // probe may switch its ASTM B724 bit.
    bool IsCompatible(const SProbeId& other, bool modeChange) const;
};
