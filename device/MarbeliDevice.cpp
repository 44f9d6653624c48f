#include "device/MarbeliDevice.h"

#include "device/VmCommands.h"
#include "streamio/IoStream.h"

#include <exception>

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

CMarbeliDevice::CMarbeliDevice() : CSiblingDevice(typeMarbeli, Traits())
{
    SetSerialLine(38400, 0x04, 1000, 50);
}

uint32_t CMarbeliDevice::GetMaxBlockSize() const
{
    return 0;
}

uint32_t CMarbeliDevice::GetChecksumFlags() const
{
    return 1;
}

QString CMarbeliDevice::MapTypeName(const QString& name) const
{
    static const std::pair<const char*, const char*> kNames[] = {
        {"MARBELI", "Veskora Marbeli 1"},
        {"TEVASOL", "Veskora Tevasol 1"},
        {"Marbe2 ", "Veskora Marbeli 2"},
        {"Tevas2 ", "Veskora Tevasol 2"},
    };
    for (const auto& [reported, shown] : kNames)
        if (name == QLatin1String(reported))
            return QString::fromLatin1(shown);
    return name;
}

int32_t CMarbeliDevice::SendBinaryCommand(uint8_t command, int32_t paramCount, uint8_t* buffer,
                                          uint32_t bufferSize, int32_t timeoutMs)
{
    if (!m_commands || !buffer || bufferSize == 0)
        return 0;
    if (timeoutMs < 0)
        timeoutMs = 1000;
    if (command != 0xD0 || paramCount != 1)
        return SendLongFrameCommand(command, paramCount, buffer, bufferSize, timeoutMs, 32);
    if (buffer[0] != 0x30)
        return m_commands->SendBinaryCommand(command, paramCount, buffer, bufferSize, timeoutMs);
    // The raw read: no reply frame, exactly 129 bytes.
    if (bufferSize < kRawReadSize)
        return 0;
    if (m_commands->IsAborted())
        return CVmCommands::kCommFailure;
    try
    {
        m_commands->DropStaleInput();
        const uint8_t head[2] = {0xC1, 0xD0};
        if (m_stream->Write(head, 2) != 2)
            return CVmCommands::kCommFailure;
        if (!m_stream->SetTimeouts(uint32_t(timeoutMs), uint32_t(timeoutMs)))
            return CVmCommands::kCommFailure;
        if (m_stream->Write(buffer, 1) != 1)
            return CVmCommands::kCommFailure;
        return m_commands->ReadFully(buffer, kRawReadSize) == kRawReadSize ? int32_t(kRawReadSize)
                                                                           : CVmCommands::kCommFailure;
    }
    catch (const std::exception&)
    {
        return CVmCommands::kCommFailure;
    }
}

bool CMarbeliDevice::Recover()
{
    return RecoverIntoApplication();
}

NError_code CMarbeliDevice::LeaveUpdateMode(const CPackageHeader& package, const SBlockHeader& block)
{
    return LeaveModeSteps(package, block, 150, true);
}

} // namespace Device
