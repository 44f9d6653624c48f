#pragma once
#include <QString>

#include <cstdint>
#include <functional>

// Kinds of a report; they choose the caption, the buttons and the icon.
enum NReportKind : int32_t
{
    reportInformation = 0,
    reportWarning = 1,
    reportError = 2,
    reportFatal = 3
};

// One report as the user should see it.
struct SReport
{
    int32_t kind = reportError;
    QString text;       // the message, with the log hint appended for errors
    QString caption;    // "Information", "Warning", "Error" or "Fatal Error"
    uint32_t style = 0; // message-box buttons and icon (MB_* values)
    QString sourceFile;
    int32_t sourceLine = 0;
};

// Shows a report; returns the button pressed. The application installs one that shows a
// message box; it is always called on the thread that owns the application object (or
// directly when there is none yet).
using MessageReporter = std::function<int(const SReport&)>;

// Installs a reporter (an empty one restores the default, which writes to stderr and
// answers OK); returns the previous one.
MessageReporter SetMessageReporter(MessageReporter reporter);

// Builds the report for a kind (caption, style, and the log hint for errors).
SReport MakeReport(int32_t kind, const QString& text, const QString& sourceFile = {}, int32_t sourceLine = 0);

// Reports a failure that no window can show itself. Any thread may call it: on the UI
// thread the reporter runs at once and its answer is returned; from another thread the
// report is queued to the UI thread and 0 (no answer) comes back at once, so a worker is
// never held up by a box the user has not closed.
int ReportMessage(int32_t kind, const QString& text, const QString& sourceFile = {}, int32_t sourceLine = 0);
