#pragma once
#include <QImage>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QScreen>
#include <QWidget>

// The share of the pixels of a widget's area where the X server's screen shows what the
// window draws there: 1 when the window reached the screen, near 0 when it was mapped but
// never painted (a widget draws fine into a picture of its own even then).
inline double ShareOnScreen(QWidget* window, QWidget* child)
{
    if (!window || !child)
        return 0;
    const QRect area(child->mapTo(window, QPoint(0, 0)), child->size());
    const QImage drawn = window->grab(area).toImage().convertToFormat(QImage::Format_RGB32);
    const QPoint at = window->mapToGlobal(area.topLeft());
    const QImage shown = window->screen()
                             ->grabWindow(0, at.x(), at.y(), area.width(), area.height())
                             .toImage()
                             .convertToFormat(QImage::Format_RGB32);
    if (drawn.size() != shown.size() || drawn.isNull())
        return 0;
    qsizetype same = 0;
    for (int y = 0; y < drawn.height(); ++y)
        for (int x = 0; x < drawn.width(); ++x)
            same += drawn.pixel(x, y) == shown.pixel(x, y);
    return double(same) / double(qsizetype(drawn.width()) * drawn.height());
}
