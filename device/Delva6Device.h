#pragma once
#include "device/SRecordDevice.h"

namespace Device
{

// The "Delvarohne6" instrument (type 13): six identification fields, asked after a
// short prelude; long parameter blocks in the long frame; recovery back into the
// application (mode byte 0x18).
class CDelva6Device : public CSRecordDevice
{
public:
    CDelva6Device();

    int32_t SendBinaryCommand(uint8_t command, int32_t paramCount, uint8_t* buffer, uint32_t bufferSize,
                              int32_t timeoutMs) override;
    bool Recover() override;

protected:
    void IdentifyPrelude() override;
};

} // namespace Device
