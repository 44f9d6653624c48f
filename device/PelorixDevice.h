#pragma once
#include "device/SRecordDevice.h"

namespace Device
{

// The "PX-2" instrument (type 9) on a serial line with the S-record bootloader.
class CPelorixDevice : public CSRecordDevice
{
public:
    CPelorixDevice();
    ~CPelorixDevice() override;

    // Lets the instrument go: "C0C0r" and 2 s when leaving, else "0000x"; then 200 ms.
    // Nothing happens unless forced or the remote flag is set. False only when the
    // link fails.
    bool ReleaseRemoteMode(bool leave, bool force);
    bool IsRemote() const { return m_remote; }

private:
    bool m_remote = false;
};

} // namespace Device
