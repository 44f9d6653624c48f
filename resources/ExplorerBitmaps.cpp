#include "resources/ExplorerBitmaps.h"

#include "platform/gui/BitmapTable.h"

#include <QPainter>
#include <QPolygon>

namespace
{
constexpr uint32_t IDB_EXPLORER_LIST = 1306;
constexpr uint32_t IDB_FOLDER_UP = 1343;

// Image 0 a folder, image 1 a measurement file (a page with a column of readings), on the
// red that the list takes as transparent.
QImage DrawListImages()
{
    QImage strip(2 * 16, 16, QImage::Format_RGB32);
    strip.fill(QColor(255, 0, 0));
    QPainter p(&strip);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QColor(150, 110, 20));
    p.setBrush(QColor(232, 184, 56));
    p.drawPolygon(
        QPolygon({QPoint(1, 3), QPoint(6, 3), QPoint(7, 4), QPoint(14, 4), QPoint(14, 13), QPoint(1, 13)}));
    p.drawLine(1, 6, 14, 6);

    p.translate(16, 0);
    p.setPen(QColor(64, 64, 64));
    p.setBrush(QColor(250, 250, 250));
    p.drawRect(QRect(2, 1, 11, 13));
    p.setPen(QColor(30, 90, 200));
    for (int line = 0; line < 4; ++line)
        p.drawLine(4, 4 + 3 * line, 4 + 2 * (line % 3) + 4, 4 + 3 * line);
    p.end();
    return strip;
}

// An arrow that bends up and to the left, the picture of "one folder up".
QImage DrawFolderUp()
{
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    const QColor arrow(30, 90, 200);
    p.setPen(QPen(arrow, 2));
    p.drawLine(5, 6, 5, 12);
    p.drawLine(5, 12, 13, 12);
    p.setPen(Qt::NoPen);
    p.setBrush(arrow);
    p.drawPolygon(QPolygon({QPoint(5, 1), QPoint(10, 6), QPoint(0, 6)}));
    p.end();
    return image;
}
} // namespace

void RegisterExplorerBitmaps(Platform::BitmapTable& table)
{
    if (!table.Contains(IDB_EXPLORER_LIST))
        table.Set(IDB_EXPLORER_LIST, DrawListImages());
    if (!table.Contains(IDB_FOLDER_UP))
        table.Set(IDB_FOLDER_UP, DrawFolderUp());
}
