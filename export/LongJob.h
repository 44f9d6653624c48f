#pragma once
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>

#include <functional>
#include <vector>

class QWidget;

// A job of the series page that runs on the UI thread (printing, the exports) and keeps
// the program answering meanwhile. The job calls KeepAnswering() between its steps; once
// it has held the thread for kSliceMs, the events that waited are handled: the window
// system's requests (paints, a desktop's ping), timers and queued calls. Work that cannot
// be cut into small steps (encoding a whole picture) runs on a thread of its own through
// RunAside() while the events are handled.
//
// While the object exists, the user's input reaches no window of the program: clicks,
// keys, shortcuts, wheels and drops are dropped, and no main window or dialog closes
// (whoever asks), so that nothing changes what the job works on, starts another command,
// closes the project or quits underneath it. A modal window that opens meanwhile and is not one of the job's
// own (a message box the job shows) takes input as usual.
class CLongJob final : public QObject
{
public:
    static constexpr qint64 kSliceMs = 40;

    CLongJob();
    ~CLongJob() override;
    CLongJob(const CLongJob&) = delete;
    CLongJob& operator=(const CLongJob&) = delete;

    // A window that the job shows (its progress): it takes no input either.
    void AddOwnWindow(QWidget* window);

    // Handles the waiting events the first time and whenever the last time is a slice ago.
    void KeepAnswering();
    // Runs the work on a thread of its own and handles events until it is done; its
    // answer. The work must touch no widget and nothing the events may change.
    bool RunAside(const std::function<bool()>& work);
    // Handles events for the given time (a pause the user should see).
    void Pause(int ms);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool TakesInput(QObject* watched) const;

    QElapsedTimer m_sinceAnswer;
    std::vector<QPointer<QWidget>> m_own;
};
