#include "device/CorvellLabDevice.h"

#include "platform/core/ByteOrder.h"
#include "platform/core/Codepage.h"

namespace Device
{

namespace
{
constexpr uint8_t kCmdTexts = 0x0B;
constexpr uint8_t kCmdCheck = 0x07;

CSiblingDevice::STraits Traits()
{
    CSiblingDevice::STraits t;
    t.fieldCount = 6;
    t.codeFromSignature = true;
    t.shortIdentification = true;
    return t;
}
} // namespace

CCorvellLabDevice::CCorvellLabDevice()
    : CSRecordDevice(typeCorvellLab, Traits(), SBootTraits{0x01, false, 15, 15000, true})
{
    SetSerialLine(115200, 0, 1500, 50);
}

bool CCorvellLabDevice::WriteTexts(const QString& text1, const QString& text2, const QString& text3)
{
    uint8_t open[1] = {0x00};
    if (SendBinaryCommand(kCmdTexts, 1, open, 1, 3000) >= 240)
        return false;
    const std::pair<uint8_t, const QString*> texts[] = {{1, &text1}, {3, &text2}, {2, &text3}};
    for (const auto& [index, text] : texts)
    {
        // Index, the text's bytes, a zero byte; longer than the frame allows (47 bytes)
        // the frame itself refuses it.
        QByteArray params(1, char(index));
        params += EncodeCp1252(*text);
        params.append('\0');
        if (SendBinaryCommand(kCmdTexts, int32_t(params.size()), reinterpret_cast<uint8_t*>(params.data()), 1,
                              3000) >= 240)
            return false;
    }
    return true;
}

bool CCorvellLabDevice::RunDeviceCheck(SCorvellLabCheck& check)
{
    check = SCorvellLabCheck();
    uint8_t answer[10] = {0xFF};
    const int32_t result = SendBinaryCommand(kCmdCheck, 1, answer, sizeof answer, 80000);
    if ((result != 6 && result != 7) || answer[0] != 0xFF)
        return false;
    check.first = answer[1] == 0;
    check.second = answer[2] == 0;
    check.value = ReadLe16(answer + 3);
    check.third = answer[5] == 0;
    // Only the "Corvell Lab+" reports a fourth check, in a seventh answer byte.
    if (m_info.identity.typeName != QLatin1String("Corvell Lab+"))
        check.fourth = true;
    else
        check.fourth = result == 7 && answer[6] == 0;
    return check.first && check.second && check.third && check.fourth;
}

bool CCorvellLabDevice::SendCheckCommand4()
{
    uint8_t buffer[10] = {0x04};
    SendBinaryCommand(kCmdCheck, 1, buffer, sizeof buffer, 3000);
    return true;
}

} // namespace Device
