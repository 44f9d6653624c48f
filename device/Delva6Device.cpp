#include "device/Delva6Device.h"

#include "device/VmCommands.h"

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
    t.codeFromSignature = true;
    t.shortIdentification = true;
    t.identifyTimeoutMs = 200;
    return t;
}
} // namespace

CDelva6Device::CDelva6Device()
    : CSRecordDevice(typeDelvarohne6, Traits(), SBootTraits{0x01, false, 5, 15000, false})
{
    SetSerialLine(19200, 0, 500, 50);
}

int32_t CDelva6Device::SendBinaryCommand(uint8_t command, int32_t paramCount, uint8_t* buffer,
                                         uint32_t bufferSize, int32_t timeoutMs)
{
    return SendLongFrameCommand(command, paramCount, buffer, bufferSize, timeoutMs, 47);
}

bool CDelva6Device::Recover()
{
    return RecoverIntoApplication();
}

void CDelva6Device::IdentifyPrelude()
{
    // Wakes the instrument: two frames a moment apart. Their answers do not matter, so
    // none is read (an exchange left unanswered would cost the identification a
    // resynchronisation); whatever comes is dropped before the identification goes out.
    constexpr uint32_t kWakeMs = 100;
    for (int i = 0; i < 2; ++i)
    {
        if (m_commands)
            m_commands->ExchangeShortBinary(0x03, 0, nullptr, 0, kWakeMs);
        Pause(kWakeMs);
    }
    Pause(kWakeMs);
}

} // namespace Device
