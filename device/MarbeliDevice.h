#pragma once
#include "device/SiblingDevice.h"

namespace Device
{

// The Marbeli and Tevasol instruments (type 1): like Orlanthe, with their model names
// mapped to display names, a raw 129-byte read (command 0xD0 with '0') and the long
// frame from 32 parameter bytes on.
class CMarbeliDevice : public CSiblingDevice
{
public:
    static constexpr uint32_t kRawReadSize = 129;

    CMarbeliDevice();

    uint32_t GetMaxBlockSize() const override;
    uint32_t GetChecksumFlags() const override;
    int32_t SendBinaryCommand(uint8_t command, int32_t paramCount, uint8_t* buffer, uint32_t bufferSize,
                              int32_t timeoutMs) override;
    bool Recover() override;
    NError_code LeaveUpdateMode(const CPackageHeader& package, const SBlockHeader& block) override;

protected:
    QString MapTypeName(const QString& name) const override;
};

} // namespace Device
