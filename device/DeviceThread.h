#pragma once
#include "device/DeviceTypes.h"

#include <cstdint>

namespace Device
{

class CCallback;

// The device job thread: searches and reconnects run one after another on a worker
// thread and report through their callbacks (on that thread, never under the job lock).
//
// Every job has its own cancel token (platform/core/CancelToken.h), which it hands to the
// devices it works with and their command objects. An abort fires the token of the
// running job and of the jobs queued before it: the running job's waits are cut short
// (the stream it probes is cancelled, every later exchange and sleep of the job fails at
// once) and the queued ones are dropped; jobs posted after an abort run normally. A
// device handed over to a receiver, and a device whose update is over, carry no job's
// token any more, so a stale abort never fails the user's own commands, whichever
// thread runs them.
//
// A worker is never killed. A job that does not finish within an abort's or a stop's
// wait is left to finish alone: its token fires, its callbacks are suppressed, a device
// it still finds is deleted, and the next posted job starts a fresh worker. An exception
// in a job ends that job, never the thread.

// Empties the job list and starts the worker; true when it runs.
bool StartDeviceThread();
// Stops the worker: the running job is aborted, its stream cancelled again and again, and
// the worker waited for up to 2000 ms. True when it ended; false when a job is still
// running (it is then abandoned, and the streams it may use must stay up).
bool StopDeviceThread();
// Aborts the running job and drops the queued ones; with a wait (ms), waits that long
// for the worker to become idle and abandons it when it does not.
void AbortDeviceJobs(uint32_t milliseconds);
// Whether the job running on the calling thread was aborted; false on any other thread.
bool IsDeviceAbortRequested(void* userData = nullptr);

struct SUpdateJob;

// Queues a firmware update (kind jobUpdate or jobUpdateFlagged) for the device; false
// without callback, device or package. A queued update that an abort drops gets no
// callback; its device is recovered.
bool PostUpdateJob(const SUpdateJob& update);
// Queues a search (or, with a reconnect time-out of 1 or more, a reconnect) and wakes
// the worker, starting one when none runs. False for a null argument.
bool PostConnectJob(CCallback* callback, const SConnectParams* params);

} // namespace Device
