#pragma once
#include "device/SiblingDevice.h"

#include <QString>

namespace Device
{

// The "US VivodOzez 50kHz" instrument (type 12): six identification fields, the framed
// bootloader with CRC-16 data frames, the long frame, and its settings through the
// sub-commands of 0xCD.
class CUsPe50kHzDevice : public CSiblingDevice
{
public:
    CUsPe50kHzDevice();

    uint32_t GetMaxBlockSize() const override;
    uint32_t GetChecksumFlags() const override;
    int32_t SendBinaryCommand(uint8_t command, int32_t paramCount, uint8_t* buffer, uint32_t bufferSize,
                              int32_t timeoutMs) override;

    // [0x00, 0x03], then nineteen characters [0x01, slot, 0x10, character]: slots 0-13
    // from text 1, 14-18 from text 2, 0 past a text's end.
    virtual bool WriteTexts(const QString& text1, const QString& text2);
    virtual bool ReadSubCommand4(uint8_t& value);
    virtual bool WriteSubCommand2(uint8_t value);
    virtual bool WriteSubCommand3(uint8_t value);

private:
    bool Sub(QByteArray params, uint32_t room = 1, int32_t timeoutMs = 3000, uint8_t* first = nullptr);
};

} // namespace Device
