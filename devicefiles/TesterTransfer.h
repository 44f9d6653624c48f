#pragma once
#include "devicefiles/core/DeviceFileTransfer.h"

#include <QPointer>

#include <cstdint>
#include <functional>
#include <memory>

class CProgressWnd;
class CVeskoraConnection;
class QObject;
class QWidget;

namespace Platform
{
class WorkerThread;
}

// Tester I/O off the UI thread, for every transfer of the portable tester's files: the
// downloads and their conversion step, the explorer's and the file managers' requests,
// the LOG collection and the profiles backup and restore.
//
// A transfer has a worker thread and a cancel (TransferCancel.h). Run hands one request
// to the worker and keeps the UI thread turning until the request's result comes back as
// a queued call: the progress window repaints (at least every kTickMs plus its own paint
// interval) and takes Esc and its Cancel button, and it stays application-modal, so that
// no other command, drop or Close gets in while the tester is busy. A transfer without a
// progress window of the caller's lets no user input through and puts up a window of its
// own, with a Cancel button, once a request has taken longer than kBusyWindowMs.
//
// Cancel fires the transfer's token, which the tester's device carries while a request
// uses it and whose firing ends the device's waits (a link that does not watch it has its
// wait cut from outside); Run returns within kCancelBoundMs of the
// click whatever the tester does, and every later Run of the transfer fails at once. A
// request that has not ended by then finishes alone on the worker and its result is
// dropped, so a request owns what it touches (captured by value or by shared pointer) and
// never refers to the caller's stack.
//
// Everything here is called on the UI thread.
class CTesterTransfer
{
public:
    using Request = std::function<bool()>;

    // The UI thread wakes at least this often while a request runs.
    static constexpr int kTickMs = 25;
    // After a cancel: how long the request gets to end before it is let go.
    static constexpr int kCancelBoundMs = 400;
    // A cancelled request that has not ended this long after the token fired has its
    // link's wait cut from outside, again at this pace (a cut that came between two reads
    // may have been missed).
    static constexpr int kCutAgainMs = 100;
    // How long a request runs before a transfer without a progress window shows one.
    static constexpr int kBusyWindowMs = 300;

    // progress: the caller's window, which outlives the transfer; null: the transfer's
    // own window when a request takes long, owned by parent.
    CTesterTransfer(QWidget* parent, CProgressWnd* progress);
    ~CTesterTransfer();
    CTesterTransfer(const CTesterTransfer&) = delete;
    CTesterTransfer& operator=(const CTesterTransfer&) = delete;

    // Runs the request on the worker; its result, or false after a cancel.
    bool Run(Request request);

    // A request that reports as it goes: what it posts runs on the UI thread, in order and
    // before Run returns, unless the transfer was cancelled meanwhile (then it is
    // dropped). The worker goes on meanwhile, so a batch of files need not wait for the
    // UI thread between files. A posted call may refer to the caller's objects (they live
    // until Run returns); the request itself may not.
    using Post = std::function<void(std::function<void()>)>;
    using ReportingRequest = std::function<bool(const Post& post)>;
    bool RunReporting(ReportingRequest request);
    // The user cancelled (the progress window's Cancel, Esc or its close).
    bool Cancelled() const { return m_cancelled; }
    // A transfer is under way: from its construction to its end, its requests and the
    // pumps of its window between them alike. The tester is busy meanwhile.
    static bool IsUnderWay();
    // How many transfers have begun so far: a change tells that the tester was asked by
    // a transfer since.
    static uint64_t BegunCount();

    // The tester's download and upload requests of the connection through this transfer,
    // for DeviceFileTransfer: each is a request of a batch (CVeskoraConnection::
    // RunInBatch) on the worker, which works on a copy of the bytes of its own.
    DeviceFileTransfer::DownloadCall Downloads(CVeskoraConnection& connection);
    DeviceFileTransfer::UploadCall Uploads(CVeskoraConnection& connection);

private:
    struct SShared;
    class CReceiver;

    bool StartWorker();
    CProgressWnd* Window();
    void Cancel();

    QWidget* m_parent;
    CProgressWnd* m_progress;
    std::unique_ptr<CProgressWnd> m_busyWindow;
    std::shared_ptr<SShared> m_shared;
    std::unique_ptr<Platform::WorkerThread> m_worker;
    // Where the worker's results arrive; gone with the transfer, so a late result of a
    // request that was let go is dropped.
    std::unique_ptr<CReceiver> m_receiver;
    uint64_t m_ticket = 0;
    bool m_cancelled = false;
    // A cancelled request did not end within the bound and was let go.
    bool m_abandoned = false;
};
