#pragma once
#include <QObject>

#include <functional>
#include <memory>
#include <thread>

class CUpdateFtpClient;

// One piece of work with the update server on a thread of its own, so that no wait for
// the server blocks the UI thread. While the job runs, only its thread uses the client it
// was given.
//
// The work reports through queued calls on the receiver's thread: progress while it runs
// (Post), and once at its end (the Report it returns). Every report is dropped after
// Cancel and when the receiver is gone, so none reaches a window that has closed.
//
// Cancel aborts the client (its connect or transfer ends at once) and joins the thread:
// nothing of the job runs when it returns. The job object itself lives on the receiver's
// thread.
class CUpdateJob
{
public:
    using Report = std::function<void()>;
    // Any thread: queues a report to the receiver's thread.
    using Post = std::function<void(Report)>;
    // Runs on the job's thread; what it returns runs on the receiver's thread afterwards.
    using Work = std::function<Report(const Post& post)>;

    CUpdateJob();
    // Cancel.
    ~CUpdateJob();
    CUpdateJob(const CUpdateJob&) = delete;
    CUpdateJob& operator=(const CUpdateJob&) = delete;

    // Starts the work on a new thread; false while an earlier job runs or when no thread
    // could be made. A null receiver means the application object (reports then always
    // arrive unless cancelled).
    bool Start(CUpdateFtpClient& client, QObject* receiver, Work work);
    // Aborts the client for good and joins the thread; drops every report not yet run.
    void Cancel();
    // Started, and neither has its final report run nor was the job cancelled.
    bool Running() const { return m_running; }
    // Waits up to timeoutMs for the work to return; true when it has (or none was started).
    // Its final report is then queued (or run) already.
    bool WaitFinished(int timeoutMs) const;

private:
    struct SState;
    void Join();

    std::shared_ptr<SState> m_state;
    std::thread m_thread;
    CUpdateFtpClient* m_client = nullptr;
    bool m_running = false;
};
