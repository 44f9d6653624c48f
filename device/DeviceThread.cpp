#include "device/DeviceThread.h"

#include "device/Callback.h"
#include "device/DeviceFactory.h"
#include "device/DeviceText.h"
#include "device/ReportMessage.h"
#include "device/UpdateJob.h"
#include "device/VmDevice.h"
#include "platform/core/CancelToken.h"
#include "platform/core/Event.h"
#include "platform/core/Lock.h"
#include "platform/core/WorkerThread.h"
#include "streamio/IoStream.h"
#include "streamio/IpStream.h"
#include "streamio/PerfCounter.h"
#include "streamio/Rs232Stream.h"
#include "streamio/UsbHostProbeControl.h"
#include "streamio/UsbHostProbeManager.h"
#include "streamio/UsbHostStream.h"

#include <QStringList>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <vector>

namespace Device
{

namespace
{
constexpr uint32_t kStopWaitMs = 2000;
constexpr int32_t kLastComPort = 256;
constexpr int32_t kFatalReportLine = 1553;
const char* const kThreadSourceName = "DeviceThread";

struct SJobEntry
{
    NJobType kind = jobNone;
    CCallback* callback = nullptr;
    SConnectParams params;
    CVmDevice* device = nullptr; // an update's device (not owned)
    SUpdateJob update;           // kinds 2 and 3
    // Fired by an abort that comes while the job waits or runs, or when its worker is
    // abandoned; handed to everything that works for the job.
    Platform::CancelToken cancel = Platform::CancelToken::Create();
};

// One worker thread's shared state; it outlives the worker's handle when the worker is
// abandoned.
struct WorkerCtx
{
    Platform::Event wake{true, false};
    Platform::Event idle{true, true};
    std::atomic<bool> abandoned{false};
    // The token of the job that runs on this worker (default while idle); guarded by the
    // job lock.
    Platform::CancelToken running;
    // Held around every callback call, so that after an abandon no call is under way.
    std::mutex callbackLock;
    // The stream the running job waits on, so an abort can cut the wait short.
    std::mutex streamLock;
    StreamIO::CIoStream* currentStream = nullptr;

    void SetCurrentStream(StreamIO::CIoStream* stream)
    {
        std::lock_guard guard(streamLock);
        currentStream = stream;
    }
    void CancelCurrentStream()
    {
        std::lock_guard guard(streamLock);
        if (!currentStream)
            return;
        try
        {
            currentStream->CancelPending();
        }
        catch (const std::exception&)
        {
        }
    }
};

struct Globals
{
    RecursiveLock jobLock;
    std::deque<SJobEntry> jobs;
    std::shared_ptr<WorkerCtx> current;
    std::unique_ptr<Platform::WorkerThread> thread;
};

// Process-wide; never destroyed, so a worker that is still finishing an abandoned job
// at exit finds its lock in place.
Globals& G()
{
    static Globals* g = new Globals;
    return *g;
}

// The token of the job running on this thread; null on every other thread.
thread_local const Platform::CancelToken* t_jobCancel = nullptr;

// The job's way to its callback: nothing reaches the callback once the job is aborted
// (a found device is deleted instead), except the reconnect job's final "none", which
// only an abandoned worker suppresses.
class JobReporter
{
public:
    JobReporter(WorkerCtx& worker, CCallback* callback, const Platform::CancelToken& cancel)
        : m_worker(worker), m_callback(callback), m_cancel(cancel)
    {
    }
    bool Aborted() const { return m_cancel.IsCancelled(); }
    const Platform::CancelToken& Cancel() const { return m_cancel; }

    void Status(const QString& text)
    {
        std::lock_guard guard(m_worker.callbackLock);
        if (!Aborted())
            m_callback->OnStatusText(text);
    }
    void Found(std::unique_ptr<CVmDevice> device)
    {
        // The receiver's commands must not end with this job's abort.
        device->SetCancelToken({});
        std::lock_guard guard(m_worker.callbackLock);
        if (!Aborted())
            m_callback->OnDeviceFound(device.release());
    }
    void SearchOver()
    {
        std::lock_guard guard(m_worker.callbackLock);
        if (!Aborted())
            m_callback->OnDeviceFound(nullptr);
    }
    void ReconnectOver()
    {
        std::lock_guard guard(m_worker.callbackLock);
        if (!m_worker.abandoned.load())
            m_callback->OnDeviceFound(nullptr);
    }

private:
    WorkerCtx& m_worker;
    CCallback* m_callback;
    const Platform::CancelToken& m_cancel;
};

// Probes the ports of a connection job. A search hands every identified device over;
// a reconnect hands over only the device with the expected serial number and then ends.
class PortProber
{
public:
    PortProber(const SConnectParams& params, JobReporter& reporter, WorkerCtx& worker, bool reconnect)
        : m_params(params), m_reporter(reporter), m_worker(worker), m_reconnect(reconnect)
    {
    }

    // Runs one pass over the ports; true when a reconnect found its device.
    bool Pass(std::unique_ptr<CVmDevice>& device)
    {
        switch (m_params.portKind)
        {
        case portSerial:
            return SerialPass(device);
        case portUsb:
            return UsbPass(device);
        case portEthernet:
            return EthernetPass(device);
        default:
            return false;
        }
    }

private:
    enum class Outcome
    {
        notFound,
        handedOver,
        reconnected
    };

    void EnsureDevice(std::unique_ptr<CVmDevice>& device)
    {
        if (!device)
            device = CreateDevice(m_params.type);
        if (device)
            device->SetCancelToken(m_reporter.Cancel());
    }

    static QString SearchText(const CVmDevice& device, const QString& portText)
    {
        return DeviceText(Ids::SearchDevice, {device.GetTypeName(), portText});
    }

    // Attaches an opened stream and identifies the device behind it.
    Outcome Probe(std::unique_ptr<StreamIO::CIoStream> stream, uint32_t portKind,
                  std::unique_ptr<CVmDevice>& device, QString& status)
    {
        StreamIO::CIoStream* raw = stream.get();
        m_worker.SetCurrentStream(raw);
        if (!device->Attach(stream, portKind))
        {
            m_worker.SetCurrentStream(nullptr);
            return Outcome::notFound;
        }
        SIdentity identity;
        bool identified = false;
        try
        {
            identified = device->Identify(identity);
        }
        catch (const std::exception&)
        {
            // A link that fails while it is identified is a port without a device.
            identified = false;
        }
        if (identified)
        {
            status += QStringLiteral("\r\n") +
                      DeviceText(Ids::DeviceFound, {identity.typeName, identity.serialNumber});
            m_reporter.Status(status);
            if (!m_reconnect)
            {
                m_worker.SetCurrentStream(nullptr);
                m_reporter.Found(std::move(device));
                return Outcome::handedOver;
            }
            if (!m_reporter.Aborted() && device->GetSerialNumber() == m_params.expectedSerial)
            {
                m_worker.SetCurrentStream(nullptr);
                m_reporter.Found(std::move(device));
                return Outcome::reconnected;
            }
        }
        else
        {
            status += QStringLiteral("\r\n") + DeviceText(Ids::NoDeviceFound);
            m_reporter.Status(status);
        }
        m_worker.SetCurrentStream(nullptr);
        std::unique_ptr<StreamIO::CIoStream> back = device->Detach();
        back.reset();
        return Outcome::notFound;
    }

    bool SerialPass(std::unique_ptr<CVmDevice>& device)
    {
        const bool scanAll = m_params.scanAll != 0;
        int32_t port = scanAll ? 1 : m_params.comPort;
        bool foundAny = false;
        for (;; ++port)
        {
            if (scanAll && port == m_params.skipComPort)
            {
                if (port >= kLastComPort)
                    break;
                continue;
            }
            EnsureDevice(device);
            const QString portText =
                DeviceText(Ids::Serial) + QLatin1Char(' ') + QStringLiteral("COM%1:").arg(port);
            QString status = SearchText(*device, portText);
            m_reporter.Status(status);

            auto stream = std::make_unique<StreamIO::CRs232Stream>();
            bool opened = false;
            try
            {
                opened = port >= 1 &&
                         stream->OpenPort(uint32_t(port), StreamIO::STREAM_READ | StreamIO::STREAM_WRITE,
                                          &device->GetSerialSettings());
            }
            catch (const std::exception&)
            {
                opened = false;
            }
            if (!opened)
            {
                status += QStringLiteral("\r\n") + DeviceText(Ids::CouldNotOpenPort);
                m_reporter.Status(status);
            }
            else
            {
                const Outcome outcome = Probe(std::move(stream), portSerial, device, status);
                if (outcome == Outcome::reconnected)
                    return true;
                foundAny = foundAny || outcome == Outcome::handedOver;
            }
            if (m_reporter.Aborted() || !scanAll || port >= kLastComPort)
                break;
            if (!m_reconnect && m_params.stopAtFirst && foundAny)
                break;
        }
        return false;
    }

    bool UsbPass(std::unique_ptr<CVmDevice>& device)
    {
        EnsureDevice(device);
        const SDeviceDescriptor* row = FindDeviceType(m_params.type);
        const bool probe = row && (row->quirks & quirkHidProbe);
        QString status = SearchText(*device, DeviceText(Ids::Usb));
        m_reporter.Status(status);
        QStringList paths;
        try
        {
            if (probe)
                StreamIO::ListUsbHostProbePaths(paths);
            else
                StreamIO::ListUsbHostDevicePaths(paths);
        }
        catch (const std::exception&)
        {
            paths.clear();
        }
        for (const QString& path : paths)
        {
            if (m_reporter.Aborted())
                break;
            EnsureDevice(device);
            std::unique_ptr<StreamIO::CIoStream> stream;
            if (probe)
                stream = std::make_unique<StreamIO::CUsbHostProbeControl>();
            else
                stream = std::make_unique<StreamIO::CUsbHostStream>();
            bool opened = false;
            try
            {
                opened = stream->Open(path, StreamIO::STREAM_READ | StreamIO::STREAM_WRITE);
            }
            catch (const std::exception&)
            {
                opened = false;
            }
            if (!opened)
            {
                status += QStringLiteral("\r\n") + DeviceText(Ids::CouldNotOpenUsb) + path;
                m_reporter.Status(status);
                continue;
            }
            if (Probe(std::move(stream), portUsb, device, status) == Outcome::reconnected)
                return true;
        }
        return false;
    }

    bool EthernetPass(std::unique_ptr<CVmDevice>& device)
    {
        EnsureDevice(device);
        QString status =
            SearchText(*device, DeviceText(Ids::Ethernet) + QLatin1Char(' ') + m_params.ipAddress);
        m_reporter.Status(status);
        auto stream = std::make_unique<StreamIO::CIpStream>();
        stream->SetCancelHook([cancel = m_reporter.Cancel()] { return cancel.IsCancelled(); });
        bool opened = false;
        {
            // The connect itself may wait; let an abort cut it short.
            m_worker.SetCurrentStream(stream.get());
            try
            {
                opened = stream->Open(QStringLiteral("IP:%1:3728").arg(m_params.ipAddress),
                                      StreamIO::STREAM_READ | StreamIO::STREAM_WRITE);
            }
            catch (const std::exception&)
            {
                opened = false;
            }
            m_worker.SetCurrentStream(nullptr);
        }
        if (!opened)
        {
            status += QStringLiteral("\r\n") + DeviceText(Ids::CouldNotOpenPort);
            m_reporter.Status(status);
            return false;
        }
        return Probe(std::move(stream), portEthernet, device, status) == Outcome::reconnected;
    }

    const SConnectParams& m_params;
    JobReporter& m_reporter;
    WorkerCtx& m_worker;
    bool m_reconnect;
};

void RunSearchJob(const SJobEntry& job, JobReporter& reporter, WorkerCtx& worker)
{
    // A type without a class (typeCount, "none") probes nothing.
    std::unique_ptr<CVmDevice> device = CreateDevice(job.params.type);
    if (device)
    {
        PortProber prober(job.params, reporter, worker, false);
        prober.Pass(device);
    }
    reporter.SearchOver();
}

void RunReconnectJob(const SJobEntry& job, JobReporter& reporter, WorkerCtx& worker)
{
    std::unique_ptr<CVmDevice> device = CreateDevice(job.params.type);
    if (device)
    {
        PortProber prober(job.params, reporter, worker, true);
        uint64_t start = 0;
        GetPerfCounter(start);
        for (;;)
        {
            reporter.Status(DeviceText(Ids::AwaitReconnect));
            job.cancel.Sleep(uint32_t(job.params.reconnectTimeoutMs) / 10);
            if (!reporter.Aborted() && prober.Pass(device))
                return;
            uint64_t now = 0;
            GetPerfCounter(now);
            if (reporter.Aborted() ||
                GetElapsedMs(start, now) >= uint64_t(uint32_t(job.params.reconnectTimeoutMs)))
                break;
        }
        device.reset();
    }
    reporter.ReconnectOver();
}

// What an update job reports passes here: nothing reaches the receiver once the worker
// was abandoned (the receiver may be gone by then). An aborted update still reports its
// end ("aborted by the user").
class UpdateGate : public CCallback
{
public:
    UpdateGate(WorkerCtx& worker, CCallback& target) : m_worker(worker), m_target(target) {}
    void OnDeviceFound(CVmDevice* device) override
    {
        std::lock_guard guard(m_worker.callbackLock);
        if (!m_worker.abandoned.load())
            m_target.OnDeviceFound(device);
        else
            delete device;
    }
    void OnStatusText(const QString& text) override
    {
        std::lock_guard guard(m_worker.callbackLock);
        if (!m_worker.abandoned.load())
            m_target.OnStatusText(text);
    }
    void OnJobFinished(const QString& text, int32_t code) override
    {
        std::lock_guard guard(m_worker.callbackLock);
        if (!m_worker.abandoned.load())
            m_target.OnJobFinished(text, code);
    }
    void OnProgress(int32_t value, int32_t mode, uint32_t durationMs) override
    {
        std::lock_guard guard(m_worker.callbackLock);
        if (!m_worker.abandoned.load())
            m_target.OnProgress(value, mode, durationMs);
    }

private:
    WorkerCtx& m_worker;
    CCallback& m_target;
};

void RunUpdate(const SJobEntry& job, WorkerCtx& worker)
{
    if (!job.update.callback || !job.update.device || !job.update.package)
        return;
    UpdateGate gate(worker, *job.update.callback);
    // An abort ends the device's waits and exchanges, and cuts the waits on its link short.
    RunUpdateJob(
        job.update, &gate, [&worker](StreamIO::CIoStream* link) { worker.SetCurrentStream(link); },
        job.cancel);
    worker.SetCurrentStream(nullptr);
}

void RunJob(const SJobEntry& job, WorkerCtx& worker)
{
    t_jobCancel = &job.cancel;
    JobReporter reporter(worker, job.callback, job.cancel);
    try
    {
        switch (job.kind)
        {
        case jobSearch:
            RunSearchJob(job, reporter, worker);
            break;
        case jobReconnect:
            RunReconnectJob(job, reporter, worker);
            break;
        case jobUpdate:
        case jobUpdateFlagged:
            RunUpdate(job, worker);
            break;
        default:
            break;
        }
    }
    catch (...)
    {
        ReportMessage(reportFatal, QStringLiteral("Unhandled exception in Device Thread."),
                      QString::fromLatin1(kThreadSourceName), kFatalReportLine);
    }
    worker.SetCurrentStream(nullptr);
    t_jobCancel = nullptr;
}

void WorkerBody(const std::shared_ptr<WorkerCtx>& ctx, Platform::WorkerState& state)
{
    Globals& g = G();
    for (;;)
    {
        ctx->idle.Set();
        Platform::Event* events[] = {&state.stopEvent, &ctx->wake};
        const int which = Platform::Event::WaitAny(events, Platform::kInfinite);
        ctx->idle.Reset();
        if (which != 1)
            return;
        ctx->wake.Reset();
        for (;;)
        {
            SJobEntry job;
            bool have = false;
            std::vector<SJobEntry> dropped;
            {
                RecursiveLockGuard guard(g.jobLock);
                if (ctx->abandoned.load() || state.StopRequested())
                    return;
                while (!g.jobs.empty() && g.jobs.front().cancel.IsCancelled())
                {
                    dropped.push_back(g.jobs.front());
                    g.jobs.pop_front();
                }
                if (!g.jobs.empty())
                {
                    job = g.jobs.front();
                    g.jobs.pop_front();
                    ctx->running = job.cancel;
                    have = true;
                }
            }
            // Outside the job lock: Recover talks to the device.
            for (const SJobEntry& d : dropped)
            {
                if (!d.device)
                    continue;
                try
                {
                    d.device->Recover();
                }
                catch (const std::exception&)
                {
                }
            }
            if (!have)
                break;
            RunJob(job, *ctx);
            RecursiveLockGuard guard(g.jobLock);
            ctx->running = {};
        }
    }
}

// Starts a worker when none runs; the job lock must be held.
bool EnsureWorkerLocked()
{
    Globals& g = G();
    if (g.thread && g.thread->IsRunning() && g.current && !g.current->abandoned.load())
        return true;
    auto ctx = std::make_shared<WorkerCtx>();
    auto thread = std::make_unique<Platform::WorkerThread>();
    if (!thread->Start([ctx](Platform::WorkerState& state) { WorkerBody(ctx, state); }))
        return false;
    if (g.thread)
        g.thread->Stop(0);
    g.thread = std::move(thread);
    g.current = ctx;
    return true;
}

// Lets a worker go: its callbacks stop at once, its job is cancelled, and it ends after
// that job.
void Abandon(const std::shared_ptr<WorkerCtx>& ctx)
{
    if (!ctx)
        return;
    {
        std::lock_guard guard(ctx->callbackLock);
        ctx->abandoned.store(true);
    }
    RecursiveLockGuard guard(G().jobLock);
    ctx->running.Cancel();
}
} // namespace

bool StartDeviceThread()
{
    Globals& g = G();
    RecursiveLockGuard guard(g.jobLock);
    g.jobs.clear();
    return EnsureWorkerLocked();
}

bool StopDeviceThread()
{
    Globals& g = G();
    std::shared_ptr<WorkerCtx> ctx;
    std::unique_ptr<Platform::WorkerThread> thread;
    {
        RecursiveLockGuard guard(g.jobLock);
        for (const SJobEntry& job : g.jobs)
            job.cancel.Cancel();
        g.jobs.clear();
        ctx = std::move(g.current);
        thread = std::move(g.thread);
    }
    bool ended = true;
    try
    {
        Abandon(ctx);
        if (thread)
        {
            thread->RequestStop();
            // A cancel only ends the wait under way; one that came just before the job
            // began its next wait would be lost. So it is repeated until the worker has
            // ended: the stream layer goes down next and must not go under a running job.
            const std::shared_ptr<Platform::WorkerState> state = thread->State();
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStopWaitMs);
            ended = !state;
            while (!ended)
            {
                if (ctx)
                    ctx->CancelCurrentStream();
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                      deadline - std::chrono::steady_clock::now())
                                      .count();
                ended = state->finished.Wait(uint32_t(std::clamp<int64_t>(left, 0, 20)));
                if (left <= 0)
                    break;
            }
            thread->Stop(0);
        }
    }
    catch (...)
    {
    }
    return ended;
}

void AbortDeviceJobs(uint32_t milliseconds)
{
    Globals& g = G();
    std::shared_ptr<WorkerCtx> ctx;
    {
        RecursiveLockGuard guard(g.jobLock);
        for (const SJobEntry& job : g.jobs)
            job.cancel.Cancel();
        ctx = g.current;
        if (ctx)
            ctx->running.Cancel();
    }
    if (!ctx)
        return;
    ctx->CancelCurrentStream();
    if (milliseconds == 0)
        return;
    // A cancel only ends the wait under way; one that came just before the job began its
    // next wait would be lost. So it is repeated until the worker is idle.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;)
    {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            break;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
        if (ctx->idle.Wait(uint32_t(std::min<int64_t>(left, 20))))
            return;
        ctx->CancelCurrentStream();
    }
    if (ctx->idle.IsSet())
        return;
    Abandon(ctx);
    std::unique_ptr<Platform::WorkerThread> thread;
    {
        RecursiveLockGuard guard(g.jobLock);
        if (g.current == ctx)
        {
            g.current.reset();
            thread = std::move(g.thread);
        }
    }
    if (thread)
        thread->Stop(0);
}

bool IsDeviceAbortRequested(void*)
{
    return t_jobCancel && t_jobCancel->IsCancelled();
}

bool PostUpdateJob(const SUpdateJob& update)
{
    if (!update.callback || !update.device || !update.package ||
        (update.kind != jobUpdate && update.kind != jobUpdateFlagged))
        return false;
    Globals& g = G();
    std::shared_ptr<WorkerCtx> ctx;
    {
        RecursiveLockGuard guard(g.jobLock);
        if (!EnsureWorkerLocked())
            return false;
        SJobEntry job;
        job.kind = update.kind;
        job.callback = update.callback;
        job.device = update.device;
        job.update = update;
        g.jobs.push_back(job);
        ctx = g.current;
    }
    ctx->wake.Set();
    return true;
}

bool PostConnectJob(CCallback* callback, const SConnectParams* params)
{
    if (!callback || !params)
        return false;
    Globals& g = G();
    std::shared_ptr<WorkerCtx> ctx;
    {
        RecursiveLockGuard guard(g.jobLock);
        if (!EnsureWorkerLocked())
            return false;
        SJobEntry job;
        job.kind = params->reconnectTimeoutMs >= 1 ? jobReconnect : jobSearch;
        job.callback = callback;
        job.params = *params;
        g.jobs.push_back(job);
        ctx = g.current;
    }
    ctx->wake.Set();
    return true;
}

} // namespace Device
