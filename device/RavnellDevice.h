#pragma once
#include "device/SiblingDevice.h"

namespace Device
{

// The "Orlanthe" instrument (type 2) and, through the second constructor, its sibling
// Fennoray: six identification fields, the framed bootloader with each data block in
// one frame checked by CRC-16, long parameter blocks in the long frame, recovery back
// into the application, and a slower return from update mode.
class CRavnellDevice : public CSiblingDevice
{
public:
    CRavnellDevice();

    uint32_t GetMaxBlockSize() const override;
    uint32_t GetChecksumFlags() const override;
    int32_t SendBinaryCommand(uint8_t command, int32_t paramCount, uint8_t* buffer, uint32_t bufferSize,
                              int32_t timeoutMs) override;
    bool Recover() override;
    NError_code LeaveUpdateMode(const CPackageHeader& package, const SBlockHeader& block) override;

protected:
    explicit CRavnellDevice(NTypes type);
};

} // namespace Device
