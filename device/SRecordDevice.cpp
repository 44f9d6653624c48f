#include "device/SRecordDevice.h"

#include "device/BlockHeader.h"
#include "device/Callback.h"
#include "device/DeviceText.h"
#include "device/VmCommands.h"
#include "platform/core/ByteOrder.h"
#include "platform/core/Codepage.h"
#include "streamio/IoStream.h"

#include <cstring>
#include <exception>

namespace Device
{

namespace
{
// The line's length: "S", the letter, six hex digits, two hex digits of check, CR LF.
constexpr uint32_t kLineLength = 12;
} // namespace

CSRecordDevice::CSRecordDevice(NTypes type, const STraits& traits, const SBootTraits& boot)
    : CSiblingDevice(type, traits), m_boot(boot)
{
}

QByteArray CSRecordDevice::ControlLine(char letter, uint8_t first, uint8_t second)
{
    const uint8_t count = 3;
    const auto check = uint8_t(0xFF - uint8_t(count + first + second));
    QByteArray line("S");
    line.append(letter);
    for (const uint8_t b : {count, first, second, check})
        line += QByteArray::number(b, 16).toUpper().rightJustified(2, '0');
    return line + "\r\n";
}

void CSRecordDevice::OnApplicationAnswer()
{
    m_idMode = kApplication;
    if (m_boot.programmingStates && m_progState == 0)
        m_progState = 2;
}

bool CSRecordDevice::SendLine(const char* line, char answer)
{
    return m_commands &&
           m_commands->SendRawLine(reinterpret_cast<const uint8_t*>(line), kLineLength, uint8_t(answer));
}

bool CSRecordDevice::ReadBootAnswer(QString& text)
{
    if (!m_stream)
        return false;
    try
    {
        uint8_t buffer[kBootInfoSize] = {};
        const uint32_t got = StreamIO::ReadFully(*m_stream, buffer, kBootInfoSize);
        if (got <= 3)
            return false;
        const auto* end = static_cast<const uint8_t*>(std::memchr(buffer, 0, got));
        text = DecodeCp1252(QByteArrayView(buffer, end ? end - buffer : qsizetype(got)));
        return true;
    }
    catch (const std::exception&)
    {
        return false;
    }
}

bool CSRecordDevice::ReadBootloaderInfo(QString& text)
{
    if (!m_commands)
        return false;
    if (!m_boot.programmingStates)
    {
        if (!SendLine(kLineInfoState, 'G') || !SendLine(kLineIdent, 0))
            return false;
        return ReadBootAnswer(text);
    }
    bool raised = false;
    if (m_progState == 0)
    {
        if (!SendLine(kLineState2, 'G'))
            return false;
        m_progState = 2;
        raised = true;
    }
    if (!SendLine(kLineIdent, 0) || !ReadBootAnswer(text))
        return false;
    if (raised)
    {
        if (!SendLine(kLineState0, 'G'))
            return false;
        m_progState = 0;
    }
    return true;
}

bool CSRecordDevice::EnterProgramming()
{
    if (m_idMode != kBootloader)
        return false;
    if (!SendLine(kLineState2, 'G'))
        return false;
    m_progState = 2;
    return true;
}

NError_code CSRecordDevice::StartBootloader()
{
    if (m_idMode == kBootloader)
        return errNone;
    uint8_t buffer[1] = {0x01};
    if (SendBinaryCommand(m_boot.entryCommand, m_boot.entryParameter ? 1 : 0, buffer, 1, 3000) >= 240)
        return errModeChange;
    for (int i = 0; i < m_boot.entryLines; ++i)
    {
        Pause(50);
        if (!SendLine(kLineEnter, 0))
            return errModeChange;
    }
    m_idMode = kBootloader;
    m_progState = 0;
    return errNone;
}

NError_code CSRecordDevice::PrepareUpdate(const CPackageHeader& package)
{
    if (CVmDevice::InitUpdate(package) != errNone || !m_stream)
        return errGeneral;
    uint32_t readMs = 0;
    uint32_t writeMs = 0;
    if (!m_stream->GetTimeouts(readMs, writeMs))
        return errCommunication;
    if ((readMs < 3000 || writeMs < 3000) && !m_stream->SetTimeouts(3000, 3000))
        return errCommunication;
    const NError_code started = StartBootloader();
    if (started != errNone)
        return started;
    if (m_callback)
    {
        ReportStatus(Ids::EraseMemory);
        m_callback->OnProgress(0, 1, 0);
    }
    return errNone;
}

NError_code CSRecordDevice::InitUpdate(const CPackageHeader& package)
{
    const NError_code prepared = PrepareUpdate(package);
    if (prepared != errNone)
        return prepared;
    uint32_t readMs = 0;
    uint32_t writeMs = 0;
    if (!m_boot.programmingStates)
    {
        if (!SendLine(kLineInfoState, 'G'))
            return errCommunication;
        if (!m_stream->GetTimeouts(readMs, writeMs))
            return errCommunication;
        if (!m_stream->SetTimeouts(m_boot.eraseTimeoutMs, m_boot.eraseTimeoutMs))
            return errCommunication;
        if (!SendLine(kLineErase, 'E'))
        {
            m_stream->SetTimeouts(readMs, writeMs);
            return errCommunication;
        }
        // The erase time-outs stay in force for the transfer.
        ReportProgress(100);
        return errNone;
    }
    if (!m_stream->GetTimeouts(readMs, writeMs))
        return errCommunication;
    if (!EnterProgramming())
        return errModeChange;
    if (!m_stream->SetTimeouts(m_boot.eraseTimeoutMs, m_boot.eraseTimeoutMs))
        return errCommunication;
    const bool erased = SendLine(kLineErase, 'E');
    const bool restored = m_stream->SetTimeouts(readMs, writeMs);
    if (!erased || !restored)
        return errCommunication;
    ReportProgress(100);
    return errNone;
}

NError_code CSRecordDevice::EnterUpdateMode(const CPackageHeader&, const SBlockHeader& block)
{
    if (!m_commands || !m_stream)
        return errGeneral;
    if (AbortRequested())
        return errAborted;
    ReportStatus(Ids::EnterMode);
    if (!m_boot.programmingStates)
        return errNone;
    const uint8_t needed = block.ProgrammingState();
    if (needed == m_progState || (block.EnterMode() & 0x08))
        return errNone;
    if (needed != 2)
        return errGeneral;
    if (!EnterProgramming())
        return errModeChange;
    m_progState = needed;
    return errNone;
}

NError_code CSRecordDevice::TransferBlock(const SBlockHeader& block)
{
    if (!m_commands || !m_dataSource || !m_dataSource->IsOpen())
        return errGeneral;
    ReportStatus(Ids::TransferBlock);
    // Only S-record text goes to the bootloader; the data of another block is passed
    // over, so that the next block is read from where it begins.
    if ((block.Kind() >> 4) != 4)
        return SkipBlock(block);
    uint8_t inner[512];
    if (!StreamIO::ReadExactly(*m_dataSource, inner, 16))
        return errGeneral;
    const uint32_t headerLength = ReadLe16(inner + 4);
    const uint32_t textLength = ReadLe32(inner + 12);
    if (headerLength < 16 || headerLength > 512 ||
        int64_t(textLength) != int64_t(block.Length()) - headerLength)
        return errGeneral;
    if (!StreamIO::ReadExactly(*m_dataSource, inner + 16, headerLength - 16))
        return errGeneral;
    if (m_commands->SendSRecords(m_dataSource, textLength, m_callback) == textLength)
        return errNone;
    return AbortRequested() ? errAborted : errUpload;
}

NError_code CSRecordDevice::ProgramBlock(const SBlockHeader&)
{
    return errNone;
}

NError_code CSRecordDevice::LeaveUpdateMode(const CPackageHeader&, const SBlockHeader&)
{
    return errNone;
}

NError_code CSRecordDevice::FinishUpdate()
{
    if (!m_boot.programmingStates)
    {
        if (!SendLine(kLineInfoState, 'G') || !SendLine(kLineExit, 'X'))
            return errCommunication;
        m_idMode = kApplication;
        return CVmDevice::FinishUpdate();
    }
    if (m_progState != 2 && !EnterProgramming())
        return errCommunication;
    if (!SendLine(kLineExit, 'X'))
        return errCommunication;
    return CVmDevice::FinishUpdate();
}

} // namespace Device
