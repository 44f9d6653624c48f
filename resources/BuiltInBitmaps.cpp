#include "resources/BuiltInBitmaps.h"

#include "platform/gui/BitmapTable.h"
#include "resources/MainFrameBitmaps.h"

#include <QPainter>
#include <QPolygon>

namespace
{

// The images of the edit commands in context menus, 16 x 16 each on white (the
// transparent colour): download, cut, copy, paste, delete, rename, new folder.
QImage DrawEditCommands()
{
    QImage strip(7 * 16, 16, QImage::Format_RGB32);
    strip.fill(Qt::white);
    QPainter p(&strip);
    p.setRenderHint(QPainter::Antialiasing, false);
    const QColor outline(64, 64, 64);
    const QColor paper(250, 250, 250);
    const QColor blue(30, 90, 200);
    const QColor folder(232, 184, 56);

    // 0 Download: an arrow pointing down into a tray.
    p.translate(0, 0);
    p.fillRect(QRect(6, 1, 4, 7), QColor(40, 150, 60));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 150, 60));
    p.drawPolygon(QPolygon({QPoint(3, 8), QPoint(12, 8), QPoint(8, 12), QPoint(7, 12)}));
    p.setPen(outline);
    p.setBrush(Qt::NoBrush);
    p.drawLine(1, 11, 1, 14);
    p.drawLine(1, 14, 14, 14);
    p.drawLine(14, 14, 14, 11);

    // 1 Cut: scissors.
    p.resetTransform();
    p.translate(16, 0);
    p.setPen(outline);
    p.drawLine(5, 1, 9, 9);
    p.drawLine(10, 1, 6, 9);
    p.setPen(QPen(QColor(200, 40, 40), 1));
    p.drawEllipse(QRect(2, 9, 4, 5));
    p.drawEllipse(QRect(9, 9, 4, 5));

    // 2 Copy: two overlapping pages.
    p.resetTransform();
    p.translate(32, 0);
    for (const QPoint at : {QPoint(1, 1), QPoint(6, 5)})
    {
        p.setPen(outline);
        p.setBrush(paper);
        p.drawRect(QRect(at, QSize(8, 9)));
        p.setPen(blue);
        for (int line = 0; line < 3; ++line)
            p.drawLine(at.x() + 2, at.y() + 3 + 2 * line, at.x() + 6, at.y() + 3 + 2 * line);
    }

    // 3 Paste: a clipboard with a page.
    p.resetTransform();
    p.translate(48, 0);
    p.setPen(outline);
    p.setBrush(QColor(170, 120, 60));
    p.drawRect(QRect(1, 2, 10, 12));
    p.setBrush(QColor(180, 180, 180));
    p.drawRect(QRect(4, 1, 4, 2));
    p.setBrush(paper);
    p.drawRect(QRect(6, 6, 8, 9));
    p.setPen(blue);
    for (int line = 0; line < 3; ++line)
        p.drawLine(8, 9 + 2 * line, 12, 9 + 2 * line);

    // 4 Delete: a red cross.
    p.resetTransform();
    p.translate(64, 0);
    p.setPen(QPen(QColor(210, 30, 30), 2));
    p.drawLine(3, 3, 12, 12);
    p.drawLine(12, 3, 3, 12);

    // 5 Rename: a text field with a cursor.
    p.resetTransform();
    p.translate(80, 0);
    p.setPen(outline);
    p.setBrush(paper);
    p.drawRect(QRect(0, 4, 15, 8));
    p.setPen(blue);
    p.drawLine(2, 8, 7, 8);
    p.drawLine(2, 7, 2, 9);
    p.setPen(Qt::black);
    p.drawLine(10, 2, 10, 13);
    p.drawLine(9, 2, 11, 2);
    p.drawLine(9, 13, 11, 13);

    // 6 New folder: a folder with a spark.
    p.resetTransform();
    p.translate(96, 0);
    p.setPen(QColor(150, 110, 20));
    p.setBrush(folder);
    p.drawPolygon(
        QPolygon({QPoint(0, 5), QPoint(5, 5), QPoint(6, 6), QPoint(13, 6), QPoint(13, 14), QPoint(0, 14)}));
    p.setPen(QColor(230, 140, 0));
    p.drawLine(12, 0, 12, 4);
    p.drawLine(10, 2, 14, 2);
    p.drawPoint(10, 0);
    p.drawPoint(14, 0);
    p.drawPoint(10, 4);
    p.drawPoint(14, 4);
    p.end();
    return strip;
}

} // namespace

void RegisterBuiltInBitmaps()
{
    auto& table = Platform::BitmapTable::Instance();
    // A language pack may already have put its own picture under an id.
    if (!table.Contains(1312))
        table.Set(1312, DrawEditCommands());
    // The main window: icon, logo (normal and pressed), toolbar (normal and disabled).
    if (!table.Contains(10))
        table.Set(10, DrawProgramIcon());
    if (!table.Contains(140))
        table.Set(140, DrawLogo(false));
    if (!table.Contains(141))
        table.Set(141, DrawLogo(true));
    if (!table.Contains(142))
        table.Set(142, DrawToolbarImages());
    if (!table.Contains(1323))
        table.Set(1323, DrawToolbarDisabledImages());
}
