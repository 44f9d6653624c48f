#include "device/DelvaSmartDevice.h"

#include "device/BlockHeader.h"
#include "device/Callback.h"
#include "device/DeviceText.h"
#include "device/VmCommands.h"
#include "platform/core/Codepage.h"
#include "streamio/IoStream.h"
#include "streamio/Rs232Stream.h"

#include <cmath>
#include <cstring>
#include <exception>
#include <memory>

namespace Device
{

namespace
{
constexpr uint8_t kCmdInstrument = 0xD2;
constexpr int32_t kCommandTimeoutMs = 3000;
constexpr uint32_t kHomeBaud = 19200;

CSiblingDevice::STraits Traits()
{
    CSiblingDevice::STraits t;
    t.fieldCount = 5;
    t.codeFromSignature = true;
    t.shortIdentification = true;
    return t;
}

} // namespace

CDelvaSmartDevice::CDelvaSmartDevice()
    : CSRecordDevice(typeDelvaquint, Traits(), SBootTraits{kCmdInstrument, true, 5, 15000, true})
{
    SetSerialLine(kHomeBaud, 0, 1500, 50);
}

// --- Programming states and the update ---

bool CDelvaSmartDevice::EnterProgrammingState1()
{
    if (m_idMode != kBootloader)
        return false;
    if (m_progState == 2)
    {
        if (!SendLine(kLineState0, 'G'))
            return false;
        m_progState = 0;
    }
    if (!SendLine(kLineInfoState, 'G'))
        return false;
    m_progState = 1;
    return true;
}

bool CDelvaSmartDevice::EnterProgrammingState2()
{
    if (m_idMode != kBootloader)
        return false;
    if (m_progState == 1)
    {
        if (!SendLine(kLineState1To0, 'G'))
            return false;
        m_progState = 0;
    }
    if (!SendLine(kLineState2, 'G'))
        return false;
    m_progState = 2;
    return true;
}

bool CDelvaSmartDevice::EnterProgramming()
{
    return EnterProgrammingState2();
}

NError_code CDelvaSmartDevice::InitUpdate(const CPackageHeader& package)
{
    const NError_code prepared = PrepareUpdate(package);
    if (prepared != errNone)
        return prepared;
    uint32_t readMs = 0;
    uint32_t writeMs = 0;
    if (!m_stream->GetTimeouts(readMs, writeMs))
        return errCommunication;
    if (!EnterProgrammingState1())
        return errModeChange;
    if (!m_stream->SetTimeouts(m_boot.eraseTimeoutMs, m_boot.eraseTimeoutMs))
        return errCommunication;
    // One erase in each programming state.
    bool ok = SendLine(kLineErase, 'E');
    if (ok && m_callback)
        m_callback->OnProgress(50, 1, 0);
    ok = ok && EnterProgrammingState2() && SendLine(kLineErase, 'E');
    const bool restored = m_stream->SetTimeouts(readMs, writeMs);
    if (!ok || !restored)
        return errCommunication;
    ReportProgress(100);
    return errNone;
}

NError_code CDelvaSmartDevice::EnterUpdateMode(const CPackageHeader&, const SBlockHeader& block)
{
    if (!m_commands || !m_stream)
        return errGeneral;
    if (AbortRequested())
        return errAborted;
    ReportStatus(Ids::EnterMode);
    const uint8_t needed = block.ProgrammingState();
    if (needed == m_progState || (block.EnterMode() & 0x08))
        return errNone;
    bool entered = false;
    if (needed == 1)
        entered = EnterProgrammingState1();
    else if (needed == 2)
        entered = EnterProgrammingState2();
    else
        return errGeneral;
    if (!entered)
        return errModeChange;
    m_progState = needed;
    return errNone;
}

NError_code CDelvaSmartDevice::FinishUpdate()
{
    if (m_progState != 1 && !EnterProgrammingState1())
        return errCommunication;
    if (!SendLine(kLineExit, 'X') || !SendLine(kLineState2, 'G') || !SendLine(kLineExit, 'X'))
        return errCommunication;
    return CVmDevice::FinishUpdate();
}

// --- Commands ---

int32_t CDelvaSmartDevice::Command(const QByteArray& params, uint8_t* buffer, uint32_t room)
{
    std::memcpy(buffer, params.constData(), size_t(params.size()));
    return SendBinaryCommand(kCmdInstrument, int32_t(params.size()), buffer, room, kCommandTimeoutMs);
}

QString CDelvaSmartDevice::RequestText()
{
    uint8_t buffer[100] = {};
    const int32_t result = Command("3", buffer, sizeof buffer);
    if (result >= 240)
        return {};
    return DecodeCp1252(QByteArrayView(buffer, qsizetype(result)));
}

bool CDelvaSmartDevice::SendCommand1()
{
    uint8_t buffer[10] = {};
    return Command("1", buffer, sizeof buffer) < 240;
}

bool CDelvaSmartDevice::SendCommand2()
{
    uint8_t buffer[10] = {};
    return Command("2", buffer, sizeof buffer) < 240;
}

bool CDelvaSmartDevice::SendTextPair(const QString& first, const QString& second)
{
    const QByteArray a = EncodeCp1252(first);
    const QByteArray b = EncodeCp1252(second);
    // The frame carries 47 parameter bytes: '0', the texts and the ';' between them.
    if (a.size() + b.size() > 45)
        return false;
    QByteArray params = "0" + a + ";" + b;
    return SendBinaryCommand(kCmdInstrument, int32_t(params.size()),
                             reinterpret_cast<uint8_t*>(params.data()), 1, kCommandTimeoutMs) < 240;
}

bool CDelvaSmartDevice::SendParameter4060(bool flag)
{
    if (!HasLink())
        return false;
    QByteArray params = QByteArray("4060") + (flag ? '1' : '0') + "0000";
    return SendBinaryCommand(kCmdInstrument, int32_t(params.size()),
                             reinterpret_cast<uint8_t*>(params.data()), 1, kCommandTimeoutMs) < 240;
}

uint8_t CDelvaSmartDevice::QueryStatusByte()
{
    if (!HasLink())
        return 0;
    uint8_t buffer[100] = {};
    Command(QByteArray(1, '\x13'), buffer, sizeof buffer);
    return buffer[0];
}

bool CDelvaSmartDevice::SendCommand6()
{
    uint8_t buffer[10] = {};
    return Command(QByteArray(1, '\x06'), buffer, sizeof buffer) == 1 && buffer[0] == 0;
}

bool CDelvaSmartDevice::RunCommand2()
{
    uint8_t buffer[10] = {};
    if (Command(QByteArray(1, '\x02'), buffer, sizeof buffer) >= 240)
        return false;
    Pause(50);
    for (int poll = 0; poll < 50; ++poll)
    {
        if (!Pause(100))
            return false;
        if (Command(QByteArray(1, '\x05'), buffer, sizeof buffer) == 1 && buffer[0] == 0)
            return true;
    }
    return false;
}

bool CDelvaSmartDevice::WriteRaw(const char* bytes, uint32_t count)
{
    return m_stream->Write(bytes, count) == count;
}

bool CDelvaSmartDevice::ReadBlockAt1000(uint8_t block[44])
{
    if (!HasLink())
        return false;
    try
    {
        if (!WriteRaw("\xC1\xD2\x04", 3))
            return false;
        Pause(200);
        if (!WriteRaw("1000s", 5))
            return false;
        Pause(50);
        m_stream->DiscardInput();
        if (!WriteRaw("002Cn", 5))
            return false;
        uint8_t answer[99];
        const uint32_t got = StreamIO::ReadFully(*m_stream, answer, sizeof answer);
        // 44 bytes must really have come as hexadecimal text.
        const QByteArray bytes =
            HexTextToBytes(QByteArray(reinterpret_cast<const char*>(answer), qsizetype(got)));
        if (bytes.size() < 44)
            return false;
        std::memcpy(block, bytes.constData(), 44);
        return true;
    }
    catch (const std::exception&)
    {
        return false;
    }
}

bool CDelvaSmartDevice::WriteWordAt1128()
{
    if (!HasLink())
        return false;
    try
    {
        if (!WriteRaw("\xC1\xD2\x04", 3))
            return false;
        Pause(200);
        if (!WriteRaw("1128s", 5))
            return false;
        Pause(50);
        m_stream->DiscardInput();
        if (!WriteRaw("A5A5t", 5))
            return false;
        Pause(500);
        for (int poll = 0; poll < kWritePolls; ++poll)
        {
            if (!WriteRaw("1128s", 5))
                return false;
            Pause(200);
            if (!WriteRaw("0001n", 5))
                return false;
            if (!Pause(200))
                return false;
            uint8_t answer[3] = {};
            const uint32_t got = StreamIO::ReadFully(*m_stream, answer, sizeof answer);
            const QByteArray value =
                HexTextToBytes(QByteArray(reinterpret_cast<const char*>(answer), qsizetype(got)));
            // Bit 0 clear: the word is written.
            if (!value.isEmpty() && !(uint8_t(value.at(0)) & 1))
                return true;
        }
        // The instrument never confirmed the write.
        return false;
    }
    catch (const std::exception&)
    {
        return false;
    }
}

QByteArray CDelvaSmartDevice::HexTextToBytes(const QByteArray& text)
{
    const auto digit = [](char c) { return (c >= '0' && c <= '9') ? c - '0' : c - 55; };
    QByteArray out;
    qsizetype i = 0;
    while (i < text.size())
    {
        const char c = text.at(i);
        if (c >= 'a' && c <= 'd')
        {
            ++i;
            continue;
        }
        // A pair needs both of its digits.
        if (i + 1 >= text.size())
            break;
        out.append(char(uint8_t(digit(c) * 16 + digit(text.at(i + 1)))));
        i += 2;
    }
    return out;
}

bool CDelvaSmartDevice::SetBaudRate(uint32_t baud)
{
    if (!HasLink())
        return false;
    if (baud == m_serialSettings.baudRate)
        return true;
    if (baud == 0)
        return false;
    QByteArray answer;
    if (m_commands->QueryText("BR ?", answer, 1024, 4000) <= 0 || answer.startsWith('?'))
        return false;
    const auto divider = long(std::lround(4000000.0 / double(baud)));
    m_commands->QueryText("BR " + QByteArray::number(qlonglong(divider)).rightJustified(3, '0') + "\r",
                          answer, 1024, 4000);
    const uint32_t old = m_serialSettings.baudRate;
    m_serialSettings.baudRate = baud;
    auto* serial = dynamic_cast<StreamIO::CRs232Stream*>(m_stream.get());
    bool applied = false;
    try
    {
        applied = serial && serial->SetSettings(m_serialSettings);
    }
    catch (const std::exception&)
    {
        applied = false;
    }
    Pause(20);
    if (applied && m_commands->QueryText("BR ?", answer, 1024, 4000) > 0 && !answer.startsWith('?'))
        return true;
    m_serialSettings.baudRate = old;
    try
    {
        if (serial)
            serial->SetSettings(m_serialSettings);
    }
    catch (const std::exception&)
    {
    }
    return false;
}

bool CDelvaSmartDevice::DownloadData(TDataFile& file, uint32_t baud, bool binary)
{
    if (!HasLink())
        return false;
    uint32_t readMs = 0;
    uint32_t writeMs = 0;
    bool haveTimeouts = false;
    try
    {
        haveTimeouts = m_stream->GetTimeouts(readMs, writeMs);
    }
    catch (const std::exception&)
    {
    }
    file.objects.clear();
    const uint32_t size = binary ? kBinaryAnswerSize : kTextAnswerSize;
    // Only the bytes the answer brings are read, so the room for the largest answer is
    // not cleared first.
    const std::unique_ptr<uint8_t[]> room = std::make_unique_for_overwrite<uint8_t[]>(size);
    uint8_t* const buffer = room.get();
    buffer[0] = binary ? 0x12 : 0x10;
    SetBaudRate(baud);
    uint32_t count = 0;
    const NError_code result =
        binary ? ExchangeBinaryData(kCmdInstrument, buffer, 1, count, size, 1500, 80000)
               : ExchangeBinaryData(kCmdInstrument, buffer, 1, count, size - 1, 35000, 2400000);
    try
    {
        if (haveTimeouts)
            m_stream->SetTimeouts(readMs, writeMs);
    }
    catch (const std::exception&)
    {
    }
    SetBaudRate(kHomeBaud);
    // Status 0xF3: nothing stored.
    if (result != errNone)
        return buffer[0] == 0xF3;
    count = std::min(count, size - 1);
    if (binary)
        return ParseBinaryBlock(file, buffer, count);
    const auto* end = static_cast<const uint8_t*>(std::memchr(buffer, 0, count));
    return ParseTextAnswer(file, DecodeCp1252(QByteArrayView(buffer, end ? end - buffer : count)));
}

} // namespace Device
