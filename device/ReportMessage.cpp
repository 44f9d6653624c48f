#include "device/ReportMessage.h"

#include "platform/core/StringTable.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <cstdio>
#include <mutex>

namespace
{
constexpr uint32_t kIdsFatal = 28500;
constexpr uint32_t kIdsError = 28501;
constexpr uint32_t kIdsWarning = 28502;
constexpr uint32_t kIdsInformation = 28503;
constexpr uint32_t kIdsLogHint = 28551;

// Message-box styles of the kinds (buttons | icon).
constexpr uint32_t kStyleInformation = 0x41; // OK and Cancel, information icon
constexpr uint32_t kStyleWarning = 0x31;     // OK and Cancel, warning icon
constexpr uint32_t kStyleError = 0x11;       // OK and Cancel, error icon
constexpr uint32_t kStyleFatal = 0x10;       // OK, error icon

constexpr int kIdOk = 1;

int WriteToStderr(const SReport& report)
{
    const QByteArray line = (report.caption + QStringLiteral(": ") + report.text).toUtf8();
    std::fprintf(stderr, "%s\n", line.constData());
    return kIdOk;
}

std::mutex& ReporterLock()
{
    static std::mutex lock;
    return lock;
}

MessageReporter& Reporter()
{
    static MessageReporter reporter = WriteToStderr;
    return reporter;
}

MessageReporter CurrentReporter()
{
    std::lock_guard guard(ReporterLock());
    return Reporter();
}
} // namespace

MessageReporter SetMessageReporter(MessageReporter reporter)
{
    std::lock_guard guard(ReporterLock());
    MessageReporter previous = std::move(Reporter());
    Reporter() = reporter ? std::move(reporter) : MessageReporter(WriteToStderr);
    return previous;
}

SReport MakeReport(int32_t kind, const QString& text, const QString& sourceFile, int32_t sourceLine)
{
    SReport report;
    report.kind = kind;
    report.text = text;
    report.sourceFile = sourceFile;
    report.sourceLine = sourceLine;
    switch (kind)
    {
    case reportInformation:
        report.caption = Platform::LoadString(kIdsInformation);
        report.style = kStyleInformation;
        break;
    case reportWarning:
        report.caption = Platform::LoadString(kIdsWarning);
        report.style = kStyleWarning;
        break;
    case reportError:
        report.caption = Platform::LoadString(kIdsError);
        report.style = kStyleError;
        break;
    case reportFatal:
        report.caption = Platform::LoadString(kIdsFatal);
        report.style = kStyleFatal;
        break;
    default:
        report.caption = Platform::LoadString(kIdsError);
        report.style = kStyleFatal;
        break;
    }
    if (kind == reportError || kind == reportFatal)
        report.text += Platform::LoadString(kIdsLogHint);
    return report;
}

int ReportMessage(int32_t kind, const QString& text, const QString& sourceFile, int32_t sourceLine)
{
    SReport report = MakeReport(kind, text, sourceFile, sourceLine);
    QCoreApplication* app = QCoreApplication::instance();
    if (app && QThread::currentThread() != app->thread())
    {
        // The reporter is looked up when the report arrives, so a reporter installed in
        // the meantime (the main window's) shows it.
        QMetaObject::invokeMethod(
            app, [report = std::move(report)]() { CurrentReporter()(report); }, Qt::QueuedConnection);
        return 0;
    }
    return CurrentReporter()(report);
}
