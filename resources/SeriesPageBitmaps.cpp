#include "resources/SeriesPageBitmaps.h"

#include "platform/gui/BitmapTable.h"

#include <QPainter>
#include <QPolygon>

namespace
{
constexpr uint32_t IDB_EXPAND_MENU = 1064;
constexpr uint32_t IDB_GRIPPER = 1065;
// Both strips use red as their transparent colour.
const QColor kKey(255, 0, 0);
const QColor kFrame(70, 110, 130);
const QColor kFace(250, 252, 255);
const QColor kArrow(0, 95, 115);

QImage Strip(int width, int height, int count)
{
    QImage strip(width * count, height, QImage::Format_RGB32);
    strip.fill(kKey);
    return strip;
}

// A small button with a triangle: pointing right while the row is closed, down while it
// is open.
void DrawGripper(QPainter& p, bool open)
{
    p.setPen(kFrame);
    p.setBrush(kFace);
    p.drawRoundedRect(QRect(2, 3, 14, 12), 2, 2);
    p.setPen(Qt::NoPen);
    p.setBrush(kArrow);
    if (open)
        p.drawPolygon(QPolygon({QPoint(5, 7), QPoint(13, 7), QPoint(9, 12)}));
    else
        p.drawPolygon(QPolygon({QPoint(7, 5), QPoint(12, 9), QPoint(7, 13)}));
}

// Images 0 (closed) and 1 (open) of the summary rows' gripper, 22 x 19 each.
QImage DrawGripperStrip()
{
    QImage strip = Strip(22, 19, 2);
    QPainter p(&strip);
    for (int image = 0; image < 2; ++image)
    {
        p.resetTransform();
        p.translate(22 * image, 0);
        DrawGripper(p, image == 1);
    }
    p.end();
    return strip;
}

// "Expand all" (three open rows) and "Collapse all" (three closed rows), 20 x 19 each.
QImage DrawExpandMenuStrip()
{
    QImage strip = Strip(20, 19, 2);
    QPainter p(&strip);
    for (int image = 0; image < 2; ++image)
    {
        const bool open = image == 0;
        for (int line = 0; line < 3; ++line)
        {
            p.resetTransform();
            p.translate(20 * image, 1 + 6 * line);
            p.setPen(kFrame);
            p.setBrush(kFace);
            p.drawRect(QRect(1, 0, 17, 4));
            p.setPen(Qt::NoPen);
            p.setBrush(kArrow);
            if (open)
                p.drawPolygon(QPolygon({QPoint(3, 1), QPoint(8, 1), QPoint(5, 4)}));
            else
                p.drawPolygon(QPolygon({QPoint(4, 0), QPoint(7, 2), QPoint(4, 4)}));
        }
    }
    p.end();
    return strip;
}
} // namespace

void RegisterSeriesPageBitmaps(Platform::BitmapTable& table)
{
    if (!table.Contains(IDB_GRIPPER))
        table.Set(IDB_GRIPPER, DrawGripperStrip());
    if (!table.Contains(IDB_EXPAND_MENU))
        table.Set(IDB_EXPAND_MENU, DrawExpandMenuStrip());
}
