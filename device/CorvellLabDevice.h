#pragma once
#include "device/SRecordDevice.h"

#include <QString>

namespace Device
{

// The result of the Corvell Lab device check; before a check the flags are false and
// the value 0xFFFF.
struct SCorvellLabCheck
{
    bool first = false;
    bool second = false;
    bool third = false;
    uint16_t value = 0xFFFF;
    bool fourth = false;
};

// The "Corvell Lab" instrument (type 6): six identification fields, the S-record
// bootloader with programming states, three texts written into the instrument and its
// device check.
class CCorvellLabDevice : public CSRecordDevice
{
public:
    CCorvellLabDevice();

    // Command 0x0B: an opening [0x00], then index 1 with text 1, index 3 with text 2 and
    // index 2 with text 3, each zero-terminated; false at the first refused command.
    virtual bool WriteTexts(const QString& text1, const QString& text2, const QString& text3);
    // Command 0x07 [0xFF] (80 s): true when all four checks passed.
    virtual bool RunDeviceCheck(SCorvellLabCheck& check);
    // Command 0x07 [0x04]; its answer does not count.
    virtual bool SendCheckCommand4();
};

} // namespace Device
