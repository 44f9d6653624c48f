#include "measurement/TargetScale.h"

#include "measurement/ConvRecord.h"
#include "measurement/ScaleCodes.h"

STargetScale::STargetScale(int newScale, int newStandard, uint8_t newFlag)
{
    Set(newScale, newStandard, newFlag);
}

STargetScale::STargetScale(const SConvRecordInfo& record)
{
    SetFromRecord(record);
}

bool STargetScale::Set(int newScale, int newStandard, uint8_t newFlag)
{
    const int code = newScale & 0xFFFF;
    if (code == 0xFFFF)
    {
        scale = -1;
    }
    else if (IsScaleCode(code) || IsDepthScale(code))
    {
        // The depth scales of the 20 N probes have no probe-table row, yet their series
        // are measured and stored in them: refusing them would lose those series.
        scale = code;
    }
    else
    {
        Clear();
        return false;
    }
    standard = newStandard & 0x0F;
    flag = newFlag;
    return true;
}

bool STargetScale::SetFromRecord(const SConvRecordInfo& record)
{
    scale = record.target;
    standard = record.standard & 0x0F;
    flag = (record.revision == 8 || record.revision == 15) ? 0 : 1;
    return true;
}

void STargetScale::Clear()
{
    scale = -1;
    standard = -1;
    flag = 0;
}

bool STargetScale::IsEqual(const STargetScale& other) const
{
    return scale == other.scale && standard == other.standard;
}
