#include "device/TolvaneDevice.h"

#include "streamio/IoStream.h"

#include <exception>

namespace Device
{

namespace
{
CSiblingDevice::STraits Traits()
{
    CSiblingDevice::STraits t;
    t.fieldCount = 5;
    t.defaultSerial = "TV00-000-0000";
    t.codeFromSignature = true;
    t.shortIdentification = true;
    return t;
}
} // namespace

CTolvaneDevice::CTolvaneDevice()
    : CSRecordDevice(typeTolvane, Traits(), SBootTraits{0xD2, true, 5, 15000, false})
{
    SetSerialLine(19200, 0, 1500, 50);
}

CTolvaneDevice::~CTolvaneDevice()
{
    if (m_stream)
        ReleaseRemoteMode(false);
}

void CTolvaneDevice::IdentifyPrelude()
{
    ReleaseRemoteMode(true);
}

bool CTolvaneDevice::ReleaseRemoteMode(bool wait)
{
    if (!m_remote || !m_stream)
        return true;
    try
    {
        m_stream->Write("C0C0i", 5);
        m_remote = false;
        if (wait)
            Pause(2000);
        return true;
    }
    catch (const std::exception&)
    {
        return false;
    }
}

} // namespace Device
