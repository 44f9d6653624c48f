#pragma once
#include "platform/gui/GdiTypes.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QString>

class QWidget;
class CProgressWindow;

// A small window with a text line, a progress bar and a Cancel button, for long jobs that
// run on the UI thread. The caller drives it: text, range, a step per item and a pump of
// the event queue after each, and stops as soon as Cancelled() says so.
//
// While the window is up, it is application-modal: timers and other queued work still run
// in the pump, but no other window takes input, so the user cannot start another command,
// close the project or quit while a transfer holds the device. Closing the window by the
// window manager cancels the job like the Cancel button.
class CProgressWnd
{
public:
    // Creates the window and shows it at once. Without a parent the main window set below
    // is the owner.
    CProgressWnd(QWidget* parent, const QString& title, const QString& cancelLabel, bool smooth = true);
    ~CProgressWnd();
    CProgressWnd(const CProgressWnd&) = delete;
    CProgressWnd& operator=(const CProgressWnd&) = delete;

    void SetRange(int lower, int upper, int step = 1);
    // The text is shown as it is; tabs move to the next tab stop and line feeds start a
    // new line.
    void SetText(const QString& text);
    // Moves the bar; the caption shows the percentage when it changes. Returns the bar's
    // previous position.
    int SetPos(int position);
    int StepIt();
    // Dispatches what is waiting in the UI thread's queue; with cancelOnEsc, an Esc key
    // among it cancels. The window paints once per kMinPaintIntervalMs of pumping, and
    // changes of text and bar show at most that often, so that a job that steps faster
    // than the eye can follow is not slowed by painting; the window system's requests to
    // paint (the window shown or uncovered) are met at once. With waitForEvents, an empty
    // queue is waited on until something arrives (a job on another thread keeps a timer
    // running, so that the window is pumped often enough).
    void PumpMessages(bool cancelOnEsc = true, bool waitForEvents = false);
    static constexpr int kMinPaintIntervalMs = 40;
    bool Cancelled() const { return m_cancelled; }

    // The application's main window, which owns progress windows made without a parent
    // and is raised after a cancel; the application sets it (null: none). Guarded, so a
    // main window that goes is forgotten.
    static void SetMainWindow(QWidget* window);

    // The window while it exists: null after a cancel has been handled.
    QWidget* GetWindow() const;
    // Client rectangles of the layout, for the drawing and for tests.
    Platform::Rect TextRect() const { return m_textRect; }
    Platform::Rect BarRect() const { return m_barRect; }
    Platform::Rect ButtonRect() const { return m_buttonRect; }
    int SeparatorY() const { return m_separatorY; }

private:
    friend class CProgressWindow;

    void Create(QWidget* parent, bool smooth);
    void Layout(int width, int lines);
    void Show();
    void OnCancel();
    void HandleClose();
    bool HasWindow() const;
    // How long the window must still wait before it paints again (0 or less: it may).
    qint64 PaintWait() const;

    bool m_cancelled = false;
    int m_position = 0;
    int m_lastPercent = 0;
    int m_step = 1;
    int m_upper = 100;
    int m_lower = 0;
    int m_textLines = 2;
    // What the bar shows, kept to the bar's range as the bar keeps it.
    int m_barPosition = 0;
    QString m_title;
    QString m_cancelLabel;
    Platform::Rect m_textRect;
    Platform::Rect m_barRect;
    Platform::Rect m_buttonRect;
    int m_separatorY = 0;
    QPointer<CProgressWindow> m_window;
    // False once the close that a cancel posts has been handled.
    bool m_hasWindow = false;
    // Since the window last painted the changes of text and bar.
    QElapsedTimer m_painted;
};
