#pragma once
#include "device/SRecordDevice.h"

namespace Device
{

// The "Ambrelon" instrument (type 8): every identification begins by letting the
// instrument go ("C0C0i").
class CAmbrelonDevice : public CSRecordDevice
{
public:
    CAmbrelonDevice();
    ~CAmbrelonDevice() override;

    // "C0C0i", then 500 ms when asked; nothing unless forced or the remote flag is set.
    // False only when the link fails.
    bool ReleaseRemoteMode(bool force, bool wait);

protected:
    void IdentifyPrelude() override;

private:
    bool m_remote = false;
};

} // namespace Device
