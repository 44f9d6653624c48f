#pragma once
#include "device/DeviceTypes.h"

#include <cstdint>

namespace Device
{

class CCallback;

// The device job thread: searches and reconnects run one after another on a worker
// thread and report through their callbacks (on that thread, never under the job lock).
//
// A worker is never killed. An abort cuts the running job's waits short (the stream it
// probes is cancelled, every later exchange and sleep of the job fails at once) and
// drops the jobs queued before it; jobs posted after an abort run normally. A job that
// does not finish within an abort's or a stop's wait is left to finish alone: its
// callbacks are suppressed, a device it still finds is deleted, and the next posted job
// starts a fresh worker. An exception in a job ends that job, never the thread.

// Empties the job list and starts the worker; true when it runs.
bool StartDeviceThread();
// Stops the worker, waiting up to 2000 ms; a job still running is abandoned.
void StopDeviceThread();
// Aborts the running job and drops the queued ones; with a wait (ms), waits that long
// for the worker to become idle and abandons it when it does not.
void AbortDeviceJobs(uint32_t milliseconds);
// Clears the abort flag that callers outside the job thread see.
void ClearDeviceAbort();
// On the job thread: whether the running job has been aborted. Elsewhere: the abort
// flag, set by AbortDeviceJobs until ClearDeviceAbort or the worker's next idle.
bool IsDeviceAbortRequested(void* userData = nullptr);
// The abort check of command objects: the running job's abort on the job thread, and
// never on other threads (a stale flag must not fail the user's own device commands).
bool IsDeviceJobAborted(void* userData);
struct SUpdateJob;

// Queues a firmware update (kind jobUpdate or jobUpdateFlagged) for the device; false
// without callback, device or package. A queued update that an abort drops gets no
// callback; its device is recovered.
bool PostUpdateJob(const SUpdateJob& update);
// Queues a search (or, with a reconnect time-out of 1 or more, a reconnect) and wakes
// the worker, starting one when none runs. False for a null argument.
bool PostConnectJob(CCallback* callback, const SConnectParams* params);

} // namespace Device
