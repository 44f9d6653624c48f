#include "app/WindowPlacement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cstdint>

namespace
{
constexpr int kScreenInset = 2;
constexpr double kHeightShare = 0.9;

int64_t Area(const QRect& r)
{
    return r.isValid() ? int64_t{r.width()} * r.height() : 0;
}

int64_t SquaredDistance(const QPoint& a, const QPoint& b)
{
    const int64_t dx = a.x() - b.x();
    const int64_t dy = a.y() - b.y();
    return dx * dx + dy * dy;
}

QMargins FrameMargins(const QWidget* window)
{
    const QWindow* handle = window->windowHandle();
    return handle ? handle->frameMargins() : QMargins();
}

void Apply(QWidget* window, const QRect& frame, const QMargins& margins)
{
    // A top-level window's position is that of its frame; its size is that of its client.
    window->move(frame.topLeft());
    window->resize(frame.size().shrunkBy(margins));
}

// Fits the window again once, when the window manager has given it a frame.
class FrameWatcher final : public QObject
{
public:
    explicit FrameWatcher(QWidget* window) : QObject(window), m_window(window) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if (watched == m_window && (type == QEvent::Move || type == QEvent::Resize || type == QEvent::Show))
        {
            const QMargins margins = FrameMargins(m_window);
            if (!margins.isNull())
            {
                // Removed first: the placement below sends events of its own.
                m_window->removeEventFilter(this);
                deleteLater();
                const QRect frame(m_window->pos(), m_window->size().grownBy(margins));
                const QRect fitted = WindowPlacement::FitFrameOnScreens(frame, WindowPlacement::AvailableScreens());
                if (fitted != frame)
                    Apply(m_window, fitted, margins);
            }
        }
        return false;
    }

private:
    QWidget* m_window;
};
} // namespace

namespace WindowPlacement
{
QRect FirstStartFrame(const QRect& screen)
{
    return QRect(screen.x() + kScreenInset, screen.y() + kScreenInset, screen.width() - 2 * kScreenInset,
                 static_cast<int>(screen.height() * kHeightShare));
}

QRect FitFrameOnScreens(const QRect& frame, const QList<QRect>& screens)
{
    if (screens.isEmpty())
        return frame;
    if (frame.isEmpty())
        return FirstStartFrame(screens.first());
    const QRect* best = &screens.first();
    int64_t bestOverlap = -1;
    for (const QRect& s : screens)
    {
        const int64_t overlap = Area(s & frame);
        if (overlap > bestOverlap)
        {
            best = &s;
            bestOverlap = overlap;
        }
    }
    if (bestOverlap == 0)
    {
        // Off every screen (a screen that was there when it was saved): the nearest one.
        int64_t nearest = -1;
        for (const QRect& s : screens)
        {
            const int64_t d = SquaredDistance(s.center(), frame.center());
            if (nearest < 0 || d < nearest)
            {
                best = &s;
                nearest = d;
            }
        }
    }
    const QRect& s = *best;
    const int w = std::min(frame.width(), s.width());
    const int h = std::min(frame.height(), s.height());
    const int x = std::clamp(frame.x(), s.x(), s.x() + s.width() - w);
    const int y = std::clamp(frame.y(), s.y(), s.y() + s.height() - h);
    return QRect(x, y, w, h);
}

QList<QRect> AvailableScreens()
{
    QList<QRect> screens;
    QScreen* primary = QGuiApplication::primaryScreen();
    if (primary)
        screens << primary->availableGeometry();
    for (QScreen* screen : QGuiApplication::screens())
        if (screen != primary)
            screens << screen->availableGeometry();
    return screens;
}

void PlaceOnScreen(QWidget* window)
{
    const QList<QRect> screens = AvailableScreens();
    if (screens.isEmpty())
        return;
    // Until the window manager has framed the window its frame is taken as its client.
    Apply(window, FitFrameOnScreens(FirstStartFrame(screens.first()), screens), FrameMargins(window));
    window->installEventFilter(new FrameWatcher(window));
}
} // namespace WindowPlacement
