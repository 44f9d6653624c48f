#include "export/LongJob.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <thread>

namespace
{
// A main window or a dialog: closing one of them ends something (the program, a
// command); a popup or a tip closes as it likes.
bool IsWindowOrDialog(const QObject* target)
{
    Qt::WindowType type = Qt::Widget;
    if (const auto* widget = qobject_cast<const QWidget*>(target); widget && widget->isWindow())
        type = widget->windowType();
    else if (const auto* window = qobject_cast<const QWindow*>(target))
        type = window->type();
    return type == Qt::Window || type == Qt::Dialog;
}

// What the user does to a window; the rest (paints, timers, the window system's other
// requests) goes on.
bool IsUserInput(const QObject* target, const QEvent* event)
{
    switch (event->type())
    {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
        return true;
    // The window manager's close, and any other: nothing the job holds goes meanwhile.
    case QEvent::Close:
        return IsWindowOrDialog(target);
    default:
        return false;
    }
}
} // namespace

CLongJob::CLongJob()
{
    if (QCoreApplication* app = QCoreApplication::instance())
        app->installEventFilter(this);
}

CLongJob::~CLongJob()
{
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeEventFilter(this);
}

void CLongJob::AddOwnWindow(QWidget* window)
{
    m_own.emplace_back(window);
}

void CLongJob::KeepAnswering()
{
    if (m_sinceAnswer.isValid() && m_sinceAnswer.elapsed() < kSliceMs)
        return;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    m_sinceAnswer.start();
}

bool CLongJob::RunAside(const std::function<bool()>& work)
{
    QEventLoop loop;
    bool result = false;
    std::thread worker(
        [&]
        {
            result = work();
            QMetaObject::invokeMethod(
                &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
        });
    loop.exec();
    worker.join();
    m_sinceAnswer.start();
    return result;
}

void CLongJob::Pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(std::max(ms, 0), &loop, &QEventLoop::quit);
    loop.exec();
    m_sinceAnswer.start();
}

bool CLongJob::TakesInput(QObject* watched) const
{
    // The events reach a window of the window system first, then its widgets.
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal)
        return false;
    if (auto* widget = qobject_cast<QWidget*>(watched); widget && widget->window() != modal)
        return false;
    if (auto* window = qobject_cast<QWindow*>(watched); window && modal->windowHandle() != window)
        return false;
    if (!watched->isWidgetType() && !watched->isWindowType())
        return false;
    return std::none_of(m_own.begin(), m_own.end(),
                        [modal](const QPointer<QWidget>& own) { return own == modal; });
}

bool CLongJob::eventFilter(QObject* watched, QEvent* event)
{
    if (!IsUserInput(watched, event) || TakesInput(watched))
        return false;
    // An override taken here keeps the key from becoming a shortcut.
    if (event->type() == QEvent::ShortcutOverride)
        event->accept();
    else
        event->ignore();
    return true;
}
