#pragma once
#include "platform/gui/GdiTypes.h"

#include <QPoint>
#include <QString>
#include <QTimer>

#include <memory>

class QEvent;
class QWidget;

namespace Platform
{

// A balloon tooltip for one area of a window: a title with an optional information icon
// above a text wrapped at a maximum width. The window relays its mouse events; the tip
// shows when the mouse has rested in the area for the initial delay and goes after the
// auto-pop delay, on a button press, or when the mouse leaves the area. After an auto-pop
// it stays away until the mouse has left the area once.
class BalloonTip
{
public:
    enum : int
    {
        TTI_NONE = 0,
        TTI_INFO = 1,
    };

    explicit BalloonTip(QWidget* window);
    ~BalloonTip();
    BalloonTip(const BalloonTip&) = delete;
    BalloonTip& operator=(const BalloonTip&) = delete;

    void SetTitle(const QString& title, int icon);
    // The area, in the window's coordinates, and its text; replaces any earlier area.
    void AddTool(const Rect& rect, const QString& text);
    void DelTool();
    bool HasTool() const { return m_hasTool; }
    // Hides the tip now.
    void Pop();
    void SetAutoPopDelay(int ms) { m_autoPopDelay = ms; }
    void SetInitialDelay(int ms) { m_initialDelay = ms; }
    void SetMaxTipWidth(int pixels) { m_maxWidth = pixels; }
    void Activate(bool on);
    // Mouse events of the window, with positions in its coordinates.
    void RelayEvent(const QEvent* event);

    bool IsShown() const;
    QString GetTitle() const { return m_title; }
    QString GetText() const { return m_text; }
    Rect GetToolRect() const { return m_rect; }
    int GetAutoPopDelay() const { return m_autoPopDelay; }
    int GetInitialDelay() const { return m_initialDelay; }
    int GetMaxTipWidth() const { return m_maxWidth; }

private:
    class Popup;
    void Show();

    QWidget* m_window;
    std::unique_ptr<Popup> m_popup;
    QTimer m_initialTimer;
    QTimer m_autoPopTimer;
    QString m_title;
    int m_icon = TTI_NONE;
    QString m_text;
    Rect m_rect;
    bool m_hasTool = false;
    bool m_active = true;
    // Auto-popped while the mouse stayed in the area.
    bool m_poppedInTool = false;
    QPoint m_lastGlobal;
    int m_autoPopDelay = 5000;
    int m_initialDelay = 500;
    int m_maxWidth = -1;
};

} // namespace Platform
