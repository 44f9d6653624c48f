#include "measurement/IdentityConvFunction.h"

bool CIdentityConvFunction::Load(const uint8_t* record, size_t available)
{
    if (record == nullptr || available < 1 || record[0] != convIdentity || LoadHeader(record, available) == 0)
    {
        ResetHeader();
        return false;
    }
    return true;
}

void CIdentityConvFunction::GetInfo(SConvFunctionInfo& info) const
{
    info = SConvFunctionInfo();
    info.type = convIdentity;
    info.minX = GetMinX();
    info.maxX = GetMaxX();
    info.degree1 = -1;
    info.degree2 = -1;
}

bool CIdentityConvFunction::IsSameRecord(const uint8_t* record, size_t available) const
{
    return record != nullptr && available >= 1 && record[0] == convIdentity &&
           IsSameHeader(record, available);
}
