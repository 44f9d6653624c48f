#pragma once
#include "device/SRecordDevice.h"

namespace Device
{

// The "Tolvane" instrument (type 7).
class CTolvaneDevice : public CSRecordDevice
{
public:
    CTolvaneDevice();
    ~CTolvaneDevice() override;

    // "C0C0i" and, when asked, 2 s; only while the remote flag is set. False only when
    // the link fails.
    bool ReleaseRemoteMode(bool wait);

protected:
    void IdentifyPrelude() override;

private:
    bool m_remote = false;
};

} // namespace Device
