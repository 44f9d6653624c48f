#include "device/RavnellDevice.h"

namespace Device
{

namespace
{
CSiblingDevice::STraits Traits()
{
    CSiblingDevice::STraits t;
    t.fieldCount = 6;
    t.infoTextId = 20017;
    t.versionEntries = 2;
    t.versionsNeedSignature = false;
    return t;
}
} // namespace

CRavnellDevice::CRavnellDevice() : CRavnellDevice(typeOrlanthe)
{
}

CRavnellDevice::CRavnellDevice(NTypes type) : CSiblingDevice(type, Traits())
{
    SetSerialLine(38400, 0x04, 1000, 50);
}

uint32_t CRavnellDevice::GetMaxBlockSize() const
{
    return 0;
}

uint32_t CRavnellDevice::GetChecksumFlags() const
{
    return 1;
}

int32_t CRavnellDevice::SendBinaryCommand(uint8_t command, int32_t paramCount, uint8_t* buffer,
                                          uint32_t bufferSize, int32_t timeoutMs)
{
    return SendLongFrameCommand(command, paramCount, buffer, bufferSize, timeoutMs, 47);
}

bool CRavnellDevice::Recover()
{
    return RecoverIntoApplication();
}

NError_code CRavnellDevice::LeaveUpdateMode(const CPackageHeader& package, const SBlockHeader& block)
{
    // The instrument needs half as long again as the switch time it announces.
    return LeaveModeSteps(package, block, 150, true);
}

} // namespace Device
