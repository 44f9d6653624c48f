#include "device/AmbrelonDevice.h"

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
    t.defaultSerial = "AB00-000-0000";
    t.codeFromSignature = true;
    t.shortIdentification = true;
    return t;
}
} // namespace

CAmbrelonDevice::CAmbrelonDevice()
    : CSRecordDevice(typeAmbrelon, Traits(), SBootTraits{0xD2, true, 5, 15000, false})
{
    SetSerialLine(19200, 0, 1500, 1000);
}

CAmbrelonDevice::~CAmbrelonDevice()
{
    if (m_stream)
        ReleaseRemoteMode(true, false);
}

void CAmbrelonDevice::IdentifyPrelude()
{
    ReleaseRemoteMode(true, false);
}

bool CAmbrelonDevice::ReleaseRemoteMode(bool force, bool wait)
{
    if ((!force && !m_remote) || !m_stream)
        return true;
    try
    {
        m_stream->Write("C0C0i", 5);
        m_remote = false;
        if (wait)
            Pause(500);
        return true;
    }
    catch (const std::exception&)
    {
        return false;
    }
}

} // namespace Device
