#include "resources/BuiltInBitmaps.h"

#include "platform/gui/BitmapTable.h"
#include "resources/ExplorerBitmaps.h"
#include "resources/ExportDlgBitmaps.h"
#include "resources/MainFrameBitmaps.h"
#include "resources/SeriesPageBitmaps.h"

#include <QPainter>
#include <QPolygon>

namespace
{

// Two overlapping pages, the picture of Copy, in the 16 x 16 cell at the painter's origin.
void DrawCopy(QPainter& p)
{
    const QColor outline(64, 64, 64);
    const QColor paper(250, 250, 250);
    const QColor blue(30, 90, 200);
    for (const QPoint at : {QPoint(1, 1), QPoint(6, 5)})
    {
        p.setPen(outline);
        p.setBrush(paper);
        p.drawRect(QRect(at, QSize(8, 9)));
        p.setPen(blue);
        for (int line = 0; line < 3; ++line)
            p.drawLine(at.x() + 2, at.y() + 3 + 2 * line, at.x() + 6, at.y() + 3 + 2 * line);
    }
}

// An arrow through the middle of a 16 x 16 cell, pointing at the angle (degrees,
// counter-clockwise from the right, 270 = straight down).
void DrawArrow(QPainter& p, double degrees, const QColor& color)
{
    p.save();
    p.translate(7.5, 7.5);
    p.rotate(-degrees);
    p.setPen(QPen(color, 2));
    p.drawLine(QPointF(-6, 0), QPointF(3, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPolygon(QPolygonF({QPointF(7, 0), QPointF(2, -4), QPointF(2, 4)}));
    p.restore();
}

// The impact directions: automatic, vertical down, diagonal down, horizontal, diagonal
// up, vertical up, each 16 x 16 on white, from the cell at the painter's origin on.
void DrawDirections(QPainter& p)
{
    const QColor arrow(30, 90, 200);
    // 0 Automatic: a circle of arrows.
    p.save();
    p.setPen(QPen(QColor(40, 150, 60), 2));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRect(2, 2, 11, 11), 90 * 16, 270 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 150, 60));
    p.drawPolygon(QPolygon({QPoint(7, 0), QPoint(11, 2), QPoint(7, 5)}));
    p.restore();
    const double angles[] = {270, 315, 0, 45, 90};
    for (int i = 0; i < 5; ++i)
    {
        p.save();
        p.translate(16 * (i + 1), 0);
        DrawArrow(p, angles[i], arrow);
        p.restore();
    }
}

// The picture strip of the impact-direction popup.
QImage DrawDirectionStrip()
{
    QImage strip(6 * 16, 16, QImage::Format_RGB32);
    strip.fill(Qt::white);
    QPainter p(&strip);
    DrawDirections(p);
    p.end();
    return strip;
}

// The value-row popup: the six directions, then exclude (a barred circle) and copy.
QImage DrawValueRowStrip()
{
    QImage strip(8 * 16, 16, QImage::Format_RGB32);
    strip.fill(Qt::white);
    QPainter p(&strip);
    DrawDirections(p);
    p.translate(6 * 16, 0);
    p.setPen(QPen(QColor(210, 30, 30), 2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRect(2, 2, 11, 11));
    p.drawLine(4, 11, 11, 4);
    p.translate(16, 0);
    DrawCopy(p);
    p.end();
    return strip;
}

// The conversion standards: default (a grey square), Custom J (a blue J), ISO 18265 (a
// green globe), ASTM E140 (an orange shield), each 16 x 16 on white.
QImage DrawStandardStrip()
{
    QImage strip(4 * 16, 16, QImage::Format_RGB32);
    strip.fill(Qt::white);
    QPainter p(&strip);
    p.setRenderHint(QPainter::Antialiasing, false);

    p.setPen(QColor(64, 64, 64));
    p.setBrush(QColor(190, 190, 190));
    p.drawRect(QRect(3, 3, 9, 9));

    p.translate(16, 0);
    p.setPen(QPen(QColor(30, 90, 200), 2));
    p.setBrush(Qt::NoBrush);
    p.drawLine(10, 2, 10, 10);
    p.drawArc(QRect(4, 7, 6, 6), 180 * 16, 180 * 16);

    p.translate(16, 0);
    p.setPen(QColor(40, 150, 60));
    p.drawEllipse(QRect(2, 2, 11, 11));
    p.drawEllipse(QRect(5, 2, 5, 11));
    p.drawLine(2, 7, 13, 7);

    p.translate(16, 0);
    p.setPen(QColor(160, 80, 0));
    p.setBrush(QColor(240, 150, 40));
    p.drawPolygon(QPolygon({QPoint(2, 2), QPoint(13, 2), QPoint(13, 8), QPoint(7, 14), QPoint(2, 8)}));
    p.end();
    return strip;
}

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
    DrawCopy(p);

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
    if (!table.Contains(1303))
        table.Set(1303, DrawStandardStrip());
    if (!table.Contains(1304))
        table.Set(1304, DrawDirectionStrip());
    if (!table.Contains(1313))
        table.Set(1313, DrawValueRowStrip());
    RegisterExportDlgBitmaps(table);
    RegisterExplorerBitmaps(table);
    RegisterSeriesPageBitmaps(table);
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
