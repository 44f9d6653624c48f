#pragma once
#include <cstdint>

// The window that shows the newest versions the update checks found (the main window).
// The checks live below it, so they reach it through this interface, on the UI thread
// (their reports are queued calls). Each version comes as (first | second << 16) and
// (third | fourth << 16); 0 and 0 clear a notice.
class VersionNoticeTarget
{
public:
    virtual ~VersionNoticeTarget() = default;
    virtual void OnNewProgramVersion(uint32_t wParam, uint32_t lParam) = 0;
    virtual void OnNewDeviceOsVersion(uint32_t wParam, uint32_t lParam) = 0;
    virtual void OnNewDeviceAppVersion(uint32_t wParam, uint32_t lParam) = 0;
};
