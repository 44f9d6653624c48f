#pragma once
#include <QString>

#include <cstdint>

namespace Device
{

class CVmDevice;

// How device jobs report to the user interface. Every call comes on the device job
// thread and must return at once (post, don't wait).
class CCallback
{
public:
    virtual ~CCallback() = default;

    // A job hands over a found device, attached and identified; the receiver owns it
    // from then on. Null tells that the job has ended.
    virtual void OnDeviceFound(CVmDevice* device) = 0;
    // The whole status text of the current step (may hold several lines).
    virtual void OnStatusText(const QString& text) = 0;
    // The result of an update job: empty text and 0 on success.
    virtual void OnJobFinished(const QString& text, int32_t code) = 0;
    // value 0-100; mode 1 transfer or overall, 2 programming, 3 programming of an
    // operating-system block; durationMs > 0 (with value 0) announces the next stretch.
    virtual void OnProgress(int32_t value, int32_t mode, uint32_t durationMs) = 0;

    // Set by the update job when a package has fewer than four blocks: then the
    // transfer, mode-change and programming steps report their own progress.
    uint8_t m_fineProgress = 0;
    bool WantsFineProgress() const { return m_fineProgress != 0; }
};

} // namespace Device
