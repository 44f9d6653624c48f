#include "device/UsPe50kHzDevice.h"

#include "platform/core/Codepage.h"

namespace Device
{

namespace
{
constexpr uint8_t kCmdSettings = 0xCD;

CSiblingDevice::STraits Traits()
{
    CSiblingDevice::STraits t;
    t.fieldCount = 6;
    t.infoTextId = 20017;
    t.versionEntries = 1;
    t.versionsNeedSignature = false;
    return t;
}
} // namespace

CUsPe50kHzDevice::CUsPe50kHzDevice() : CSiblingDevice(typeUsPulseEcho50kHz, Traits())
{
    SetSerialLine(19200, 0, 500, 50);
}

uint32_t CUsPe50kHzDevice::GetMaxBlockSize() const
{
    return 0;
}

uint32_t CUsPe50kHzDevice::GetChecksumFlags() const
{
    return 1;
}

int32_t CUsPe50kHzDevice::SendBinaryCommand(uint8_t command, int32_t paramCount, uint8_t* buffer,
                                            uint32_t bufferSize, int32_t timeoutMs)
{
    return SendLongFrameCommand(command, paramCount, buffer, bufferSize, timeoutMs, 47);
}

bool CUsPe50kHzDevice::Sub(QByteArray params, uint32_t room, int32_t timeoutMs, uint8_t* first)
{
    const auto count = int32_t(params.size());
    // One buffer for the parameters and the answer.
    if (uint32_t(params.size()) < room)
        params.resize(qsizetype(room), '\0');
    const int32_t result =
        SendBinaryCommand(kCmdSettings, count, reinterpret_cast<uint8_t*>(params.data()), room, timeoutMs);
    if (first)
        *first = result < 240 ? uint8_t(params.at(0)) : 0;
    return result < 240;
}

bool CUsPe50kHzDevice::WriteTexts(const QString& text1, const QString& text2)
{
    if (!Sub(QByteArray("\x00\x03", 2)))
        return false;
    const QByteArray first = EncodeCp1252(text1);
    const QByteArray second = EncodeCp1252(text2);
    for (int slot = 0; slot < 19; ++slot)
    {
        const QByteArray& text = slot < 14 ? first : second;
        const int index = slot < 14 ? slot : slot - 14;
        const char ch = index < text.size() ? text.at(index) : '\0';
        QByteArray params("\x01", 1);
        params.append(char(slot));
        params.append('\x10');
        params.append(ch);
        if (!Sub(params))
            return false;
    }
    return true;
}

bool CUsPe50kHzDevice::ReadSubCommand4(uint8_t& value)
{
    return Sub(QByteArray("\x04", 1), 2, 500, &value);
}

bool CUsPe50kHzDevice::WriteSubCommand2(uint8_t value)
{
    QByteArray params("\x02", 1);
    params.append(char(value));
    return Sub(params);
}

bool CUsPe50kHzDevice::WriteSubCommand3(uint8_t value)
{
    QByteArray params("\x03", 1);
    params.append(char(value));
    return Sub(params);
}

} // namespace Device
