#include "device/PelorixDevice.h"

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
    t.defaultSerial = "PR00-000-0000";
    t.codeFromSignature = true;
    t.shortIdentification = true;
    return t;
}
} // namespace

CPelorixDevice::CPelorixDevice() : CSRecordDevice(typePx2, Traits(), SBootTraits{0xD2, true, 5, 15000, false})
{
    SetSerialLine(19200, 0, 1500, 50);
}

CPelorixDevice::~CPelorixDevice()
{
    if (m_stream)
        ReleaseRemoteMode(true, false);
}

bool CPelorixDevice::ReleaseRemoteMode(bool leave, bool force)
{
    if ((!force && !m_remote) || !m_stream)
        return true;
    try
    {
        m_stream->DiscardInput();
        if (leave)
        {
            m_stream->Write("C0C0r", 5);
            Pause(2000);
        }
        else
        {
            m_stream->Write("0000x", 5);
        }
        Pause(200);
        m_remote = false;
        return true;
    }
    catch (const std::exception&)
    {
        return false;
    }
}

} // namespace Device
