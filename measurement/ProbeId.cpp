#include "measurement/ProbeId.h"

#include "measurement/ConvRecord.h"
#include "measurement/ScaleCodes.h"

namespace
{

bool InBenchRange(int code)
{
    return code >= 0x200 && code <= 0x2FF;
}

} // namespace

SProbeId::SProbeId(int code, const SPackedSerial* serial, int32_t flags)
{
    Set(code, serial, flags);
}

SProbeId::SProbeId(const SConvRecordInfo& record)
{
    SetFromRecord(record);
}

bool SProbeId::Set(int newCode, const SPackedSerial* newSerial, int32_t newFlags)
{
    if (!IsProbeCode(newCode))
    {
        Clear();
        return false;
    }
    code = newCode & 0xFFFF;
    serial = newSerial ? *newSerial : SPackedSerial();
    flags = newFlags;
    return true;
}

bool SProbeId::SetKeepingUnknown(int newCode, const SPackedSerial* newSerial, int32_t newFlags)
{
    const int c = newCode & 0xFFFF;
    if (c == 0 || c == 0xFFFF)
    {
        Clear();
        return false;
    }
    code = c;
    serial = newSerial ? *newSerial : SPackedSerial();
    flags = newFlags;
    return IsProbeCode(c);
}

bool SProbeId::SetFromRecord(const SConvRecordInfo& record)
{
    return Set(record.source, nullptr, -1);
}

void SProbeId::Clear()
{
    code = -1;
    serial = SPackedSerial();
    flags = -1;
}

bool SProbeId::HasSerial() const
{
    return !serial.IsZero();
}

bool SProbeId::GetSerial(SPackedSerial* out) const
{
    if (out == nullptr)
        return false;
    *out = serial;
    return true;
}

bool SProbeId::IsEqual(const SProbeId& other) const
{
    return code == other.code && flags == other.flags && serial == other.serial;
}

bool SProbeId::IsBenchProbe() const
{
    return code != -1 && IsBenchProbeCode(code);
}

bool SProbeId::IsB724Off() const
{
    return (code & PROBE_B724_BIT) == 0;
}

void SProbeId::ClearB724Bit()
{
    if (InBenchRange(code))
        code &= ~PROBE_B724_BIT;
}

void SProbeId::SetB724Bit()
{
    if (InBenchRange(code))
        code |= PROBE_B724_BIT;
}

bool SProbeId::IsCompatible(const SProbeId& other, bool modeChange) const
{
    if (code == other.code && serial == other.serial)
        return true;
    if (!InBenchRange(code) || !InBenchRange(other.code) || !modeChange)
        return false;
    if ((code ^ other.code) & ~PROBE_B724_BIT)
        return false;
    if (serial.IsZero() || other.serial.IsZero())
        return true;
    return serial == other.serial;
}
