#pragma once
#include "device/Contents.h"
#include "device/DeviceTypes.h"
#include "platform/core/CancelToken.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace StreamIO
{
class CIoStream;
}

namespace Device
{

class CCallback;
class CVmDevice;

// A firmware update: the device (not owned) is driven through its update steps with the
// blocks of the package stream, which the job owns and closes at its end.
struct SUpdateJob
{
    NJobType kind = jobUpdate; // jobUpdateFlagged sets the device's update flag first
    CCallback* callback = nullptr;
    CVmDevice* device = nullptr;
    std::shared_ptr<StreamIO::CIoStream> package;
    // The package contents to take; none: every block. An entry with flag 0x80 skips
    // its blocks.
    std::optional<std::vector<SContentEntry>> selection;
};

// Told the device's link before each step (so that an abort can cancel its waits) and
// null before the finishing step, which may close the link, and at the end.
using LinkWatch = std::function<void(StreamIO::CIoStream* link)>;

// Runs an update on the calling thread (the device job thread runs the jobs that
// PostUpdateJob queues). Reports through the job's callback, or through `reportTo` when
// given (the job thread passes a gate that stays silent once the job was abandoned).
// Nothing happens without a callback, a device and a package.
//
// The device is lent to the job until its end is reported: its callback, its data source
// and its cancel token are the job's meanwhile (`cancel`: the job thread's token of the
// job), and its own come back before OnJobFinished, after which the job does not touch it.
void RunUpdateJob(const SUpdateJob& job, CCallback* reportTo = nullptr, const LinkWatch& watch = {},
                  const Platform::CancelToken& cancel = {});

} // namespace Device
