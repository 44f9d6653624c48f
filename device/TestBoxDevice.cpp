#include "device/TestBoxDevice.h"

namespace Device
{

namespace
{
CSiblingDevice::STraits Traits()
{
    CSiblingDevice::STraits t;
    t.fieldCount = 5;
    t.codeFromSignature = true;
    t.shortIdentification = true;
    return t;
}
} // namespace

CTestBoxDevice::CTestBoxDevice()
    : CSRecordDevice(typeTestBox, Traits(), SBootTraits{0xCE, false, 15, 35000, true})
{
    SetSerialLine(115200, 0, 1500, 50);
}

bool CTestBoxDevice::WriteTexts(const QString&, const QString&, const QString&)
{
    return true;
}

} // namespace Device
