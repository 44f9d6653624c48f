#include "devicefiles/TesterTransfer.h"

#include "controls/ProgressWnd.h"
#include "device/VmDevice.h"
#include "devicefiles/TransferCancel.h"
#include "devicefiles/VeskoraConnection.h"
#include "platform/core/Event.h"
#include "platform/core/StringTable.h"
#include "platform/core/WorkerThread.h"
#include "resources/StringIds.h"
#include "streamio/RamStream.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <mutex>

namespace
{
// Lets an idle worker see its stop.
constexpr uint32_t kWorkerStopWaitMs = 1000;
// The worker's own RAM file for the bytes of one request.
const QString kRequestRamFile = QStringLiteral("RAM:tester-request.tmp");

std::shared_ptr<StreamIO::CRamStream> OpenRequestFile()
{
    auto stream = std::make_shared<StreamIO::CRamStream>();
    if (!stream->Open(kRequestRamFile,
                      StreamIO::STREAM_READ | StreamIO::STREAM_WRITE | StreamIO::STREAM_CREATE_ALWAYS))
        return nullptr;
    return stream;
}

// The bytes of a stream from its position on.
bool ReadRest(StreamIO::CIoStream& stream, QByteArray& bytes)
{
    const uint32_t length = stream.GetLength() - std::min(stream.GetLength(), stream.GetPosition());
    bytes.resize(qsizetype(length));
    return stream.Read(bytes.data(), length) == length;
}

// Transfers under way on the UI thread, and all that have begun.
int g_transfersUnderWay = 0;
uint64_t g_transfersBegun = 0;

void WaitForEvents()
{
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::ExcludeUserInputEvents);
}
} // namespace

// What the UI thread and the worker share; it outlives a worker that was let go.
struct CTesterTransfer::SShared
{
    CTransferCancel cancel;
    Platform::Event wake{false, false};
    std::mutex lock;
    ReportingRequest request;
    uint64_t ticket = 0;
    QPointer<QObject> receiver;
};

// The results of the worker's requests, on the UI thread.
class CTesterTransfer::CReceiver : public QObject
{
public:
    void Deliver(uint64_t ticket, bool ok)
    {
        if (ticket != awaited)
            return;
        done = true;
        result = ok;
    }
    void Report(uint64_t ticket, const std::function<void()>& call)
    {
        if (ticket == awaited && !cancelled && call)
            call();
    }
    uint64_t awaited = 0;
    bool cancelled = false;
    bool done = false;
    bool result = false;
};

CTesterTransfer::CTesterTransfer(QWidget* parent, CProgressWnd* progress)
    : m_parent(parent), m_progress(progress), m_shared(std::make_shared<SShared>()),
      m_receiver(std::make_unique<CReceiver>())
{
    m_shared->receiver = m_receiver.get();
    ++g_transfersUnderWay;
    ++g_transfersBegun;
}

CTesterTransfer::~CTesterTransfer()
{
    --g_transfersUnderWay;
    // An idle worker ends at once; one that was let go is not waited for again.
    if (m_worker)
        m_worker->Stop(m_abandoned ? 0 : kWorkerStopWaitMs);
    m_worker.reset();
    m_receiver.reset();
}

bool CTesterTransfer::StartWorker()
{
    if (m_worker && m_worker->IsRunning())
        return true;
    m_worker = std::make_unique<Platform::WorkerThread>();
    return m_worker->Start(
        [shared = m_shared](Platform::WorkerState& state)
        {
            Platform::Event* events[] = {&state.stopEvent, &shared->wake};
            while (Platform::Event::WaitAny(events, Platform::kInfinite) == 1)
            {
                ReportingRequest run;
                uint64_t ticket = 0;
                QPointer<QObject> receiver;
                {
                    std::lock_guard guard(shared->lock);
                    run = std::move(shared->request);
                    shared->request = nullptr;
                    ticket = shared->ticket;
                    receiver = shared->receiver;
                }
                if (!run)
                    continue;
                bool ok = false;
                {
                    CTransferCancel::Scope scope(shared->cancel);
                    const Post post = [receiver, ticket](std::function<void()> call)
                    {
                        QMetaObject::invokeMethod(
                            QCoreApplication::instance(),
                            [receiver, ticket, call = std::move(call)]
                            {
                                if (auto* target = static_cast<CReceiver*>(receiver.data()))
                                    target->Report(ticket, call);
                            },
                            Qt::QueuedConnection);
                    };
                    try
                    {
                        ok = run(post);
                    }
                    catch (...)
                    {
                        ok = false;
                    }
                }
                // What the request owned goes here, not on the UI thread.
                run = nullptr;
                QMetaObject::invokeMethod(
                    QCoreApplication::instance(),
                    [receiver, ticket, ok]
                    {
                        if (auto* target = static_cast<CReceiver*>(receiver.data()))
                            target->Deliver(ticket, ok);
                    },
                    Qt::QueuedConnection);
            }
        });
}

CProgressWnd* CTesterTransfer::Window()
{
    if (m_progress)
        return m_progress;
    if (!m_busyWindow)
    {
        const QString text = Platform::LoadString(StringId::IDS_WAITING_FOR_TESTER);
        m_busyWindow = std::make_unique<CProgressWnd>(m_parent, text, Platform::LoadString(StringId::IDS_CANCEL));
        m_busyWindow->SetText(text);
        m_busyWindow->SetRange(0, 0);
    }
    return m_busyWindow.get();
}

bool CTesterTransfer::IsUnderWay()
{
    return g_transfersUnderWay > 0;
}

uint64_t CTesterTransfer::BegunCount()
{
    return g_transfersBegun;
}

bool CTesterTransfer::Run(Request request)
{
    if (!request)
        return false;
    return RunReporting([request = std::move(request)](const Post&) { return request(); });
}

bool CTesterTransfer::RunReporting(ReportingRequest request)
{
    if (m_cancelled || !request)
        return false;
    if (!QCoreApplication::instance() || !StartWorker())
    {
        // Without an event loop there is nothing to keep turning: reports are made at once.
        CTransferCancel::Scope scope(m_shared->cancel);
        return request([](const std::function<void()>& call) { call(); });
    }
    m_receiver->done = false;
    m_receiver->awaited = ++m_ticket;
    {
        std::lock_guard guard(m_shared->lock);
        m_shared->request = std::move(request);
        m_shared->ticket = m_ticket;
    }
    m_shared->wake.Set();

    QTimer tick;
    tick.start(kTickMs);
    QElapsedTimer running;
    running.start();
    while (!m_receiver->done)
    {
        CProgressWnd* progress =
            m_progress || m_busyWindow || running.elapsed() >= kBusyWindowMs ? Window() : nullptr;
        if (!progress)
        {
            WaitForEvents();
            continue;
        }
        progress->PumpMessages(true, true);
        if (progress->Cancelled())
        {
            Cancel();
            return false;
        }
    }
    return m_receiver->result;
}

void CTesterTransfer::Cancel()
{
    m_cancelled = true;
    m_receiver->cancelled = true;
    m_shared->cancel.Cancel();
    QTimer tick;
    tick.start(kTickMs);
    QElapsedTimer since;
    since.start();
    qint64 lastCut = 0;
    while (!m_receiver->done && since.elapsed() < kCancelBoundMs)
    {
        WaitForEvents();
        if (!m_receiver->done && since.elapsed() - lastCut >= kCutAgainMs)
        {
            lastCut = since.elapsed();
            m_shared->cancel.CutLink();
        }
    }
    if (m_receiver->done)
        return;
    // The request ends on its own; what it reports then is no longer awaited.
    m_receiver->awaited = 0;
    m_abandoned = true;
    m_worker->Stop(0);
}

DeviceFileTransfer::DownloadCall CTesterTransfer::Downloads(CVeskoraConnection& connection)
{
    return [this, connection = &connection](StreamIO::CIoStream* destination, const QString& devicePath)
    {
        auto bytes = std::make_shared<QByteArray>();
        const bool arrived = Run(
            [connection, devicePath, bytes]
            {
                std::shared_ptr<StreamIO::CRamStream> ram = OpenRequestFile();
                if (!ram)
                    return false;
                const auto download = [&](Device::CVmDevice& device)
                { return device.DownloadFile(ram.get(), devicePath); };
                const auto reset = [&]
                {
                    ram->SetPosition(0);
                    ram->Truncate();
                };
                if (connection->RunInBatch(download, reset) != CVeskoraConnection::NOutcome::done)
                    return false;
                ram->SetPosition(0);
                return ReadRest(*ram, *bytes);
            });
        return arrived && destination->Write(bytes->constData(), uint32_t(bytes->size())) == uint32_t(bytes->size());
    };
}

DeviceFileTransfer::UploadCall CTesterTransfer::Uploads(CVeskoraConnection& connection)
{
    return [this, connection = &connection](const QString& devicePath, StreamIO::CIoStream* source)
    {
        auto bytes = std::make_shared<QByteArray>();
        if (!ReadRest(*source, *bytes))
            return false;
        return Run(
            [connection, devicePath, bytes]
            {
                std::shared_ptr<StreamIO::CRamStream> ram = OpenRequestFile();
                if (!ram || ram->Write(bytes->constData(), uint32_t(bytes->size())) != uint32_t(bytes->size()))
                    return false;
                const auto upload = [&](Device::CVmDevice& device)
                {
                    ram->SetPosition(0);
                    return device.UploadFile(devicePath, ram.get());
                };
                return connection->RunInBatch(upload, {}) == CVeskoraConnection::NOutcome::done;
            });
    };
}
