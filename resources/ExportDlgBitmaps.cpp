#include "resources/ExportDlgBitmaps.h"

#include "platform/gui/BitmapTable.h"

#include <QPainter>
#include <QPolygon>

#include <functional>

// The pictures of the export option dialogs: the choice pictures (56 or 94 x 48) and the
// schematic pieces of the series grid that the preview stacks (52 pixels wide). Every
// picture lies on pure white, the colour its top-left pixel gives for transparent
// drawing, so nothing inside a picture may be pure white.
namespace
{

const QColor kOutline(64, 64, 64);
const QColor kPaper(248, 248, 248);
const QColor kHeader(120, 140, 170);
const QColor kRow(200, 214, 232);
const QColor kSelected(120, 190, 240);
const QColor kDetail(236, 240, 246);
const QColor kBars(90, 150, 90);
const QColor kText(150, 150, 150);

QImage Picture(int width, int height, const std::function<void(QPainter&)>& draw)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    draw(p);
    p.end();
    return image;
}

// A series row of the grid: a filled band with a dark edge.
void Row(QPainter& p, int x, int y, int width, const QColor& fill)
{
    p.fillRect(QRect(x, y, width, 6), fill);
    p.setPen(kOutline);
    p.drawLine(x, y + 6, x + width - 1, y + 6);
}

// An expanded detail: a pale area with a small bar graph and lines of values.
void Detail(QPainter& p, int x, int y, int width, int height, bool selected)
{
    p.fillRect(QRect(x, y, width, height), selected ? kDetail : QColor(244, 244, 244));
    const QColor bars = selected ? kBars : QColor(170, 170, 170);
    for (int i = 0; i < 5; ++i)
    {
        const int h = 3 + (i * 7) % (height - 5);
        p.fillRect(QRect(x + 3 + 4 * i, y + height - 2 - h, 3, h), bars);
    }
    p.setPen(kText);
    for (int line = y + 3; line < y + height - 2; line += 3)
        p.drawLine(x + 26, line, x + width - 4, line);
}

void GridHeader(QPainter& p, int x, int y, int width)
{
    p.fillRect(QRect(x, y, width, 7), kHeader);
    p.setPen(QColor(230, 234, 240));
    for (int c = x + 12; c < x + width; c += 12)
        p.drawLine(c, y + 1, c, y + 5);
}

// A sheet of paper with a folded corner.
void Page(QPainter& p, int x, int y, int width, int height)
{
    p.setPen(kOutline);
    p.setBrush(kPaper);
    p.drawPolygon(QPolygon({QPoint(x, y), QPoint(x + width - 7, y), QPoint(x + width, y + 7),
                            QPoint(x + width, y + height), QPoint(x, y + height)}));
    p.drawLine(x + width - 7, y, x + width - 7, y + 7);
    p.drawLine(x + width - 7, y + 7, x + width, y + 7);
    p.setBrush(Qt::NoBrush);
}

// A page holding a small picture of the grid (image file) or of separated values (CSV).
void FilePage(QPainter& p, int x, int y, int width, int height, bool csv)
{
    Page(p, x, y, width, height);
    if (csv)
    {
        p.setPen(QColor(40, 140, 60));
        for (int line = y + 10; line < y + height - 3; line += 4)
            for (int c = x + 3; c + 5 < x + width - 2; c += 7)
                p.drawLine(c, line, c + 4, line);
    }
    else
    {
        p.fillRect(QRect(x + 3, y + 9, width - 6, 3), kHeader);
        for (int line = y + 14; line < y + height - 4; line += 5)
            p.fillRect(QRect(x + 3, line, width - 6, 3), kRow);
    }
}

void Clipboard(QPainter& p, int x, int y, int width, int height)
{
    p.setPen(kOutline);
    p.setBrush(QColor(170, 120, 60));
    p.drawRect(QRect(x, y + 2, width - 1, height - 3));
    p.setBrush(QColor(180, 180, 180));
    p.drawRect(QRect(x + width / 2 - 5, y, 10, 5));
    p.setBrush(kPaper);
    p.drawRect(QRect(x + 4, y + 7, width - 9, height - 11));
    p.setPen(kText);
    for (int line = y + 11; line < y + height - 6; line += 4)
        p.drawLine(x + 7, line, x + width - 8, line);
    p.setBrush(Qt::NoBrush);
}

// The choice pictures of the content column: rows of the grid with and without details.
QImage GridPicture(const std::vector<bool>& details)
{
    return Picture(56, 48,
                   [&](QPainter& p)
                   {
                       GridHeader(p, 2, 2, 52);
                       int y = 10;
                       for (bool detail : details)
                       {
                           Row(p, 2, y, 52, kRow);
                           y += 7;
                           if (detail)
                           {
                               Detail(p, 2, y, 52, 10, true);
                               y += 11;
                           }
                       }
                   });
}

// A list of rows, those marked drawn as selected.
QImage SelectionPicture(const std::vector<bool>& selected)
{
    return Picture(56, 48,
                   [&](QPainter& p)
                   {
                       GridHeader(p, 2, 4, 52);
                       int y = 12;
                       for (bool s : selected)
                       {
                           Row(p, 2, y, 52, s ? kSelected : QColor(228, 228, 228));
                           y += 8;
                       }
                   });
}

// The target pictures are wider than the others: the preview column takes its width
// from one of them.
QImage FilesPicture(int count, bool csv)
{
    return Picture(94, 48,
                   [&](QPainter& p)
                   {
                       const int width = 30;
                       const int height = 38;
                       for (int i = 0; i < count; ++i)
                       {
                           const int offset = count == 1 ? 32 : 20 + 13 * i;
                           FilePage(p, offset, 2 + 3 * i, width, height, csv);
                       }
                   });
}

} // namespace

void RegisterExportDlgBitmaps(Platform::BitmapTable& table)
{
    const auto set = [&table](uint32_t id, const QImage& image)
    {
        // A language pack may already have put its own picture under an id.
        if (!table.Contains(id))
            table.Set(id, image);
    };

    // Content choices.
    set(1085, GridPicture({false, false, false, false}));
    set(1095, GridPicture({false, true, false}));
    set(1083, GridPicture({true, true}));
    // Targets.
    set(1094, FilesPicture(1, false));
    set(1091, FilesPicture(3, false));
    set(1131, FilesPicture(1, true));
    set(1132, FilesPicture(3, true));
    set(1080, Picture(94, 48, [](QPainter& p) { Clipboard(p, 33, 3, 28, 42); }));
    // Data choices.
    set(1100, SelectionPicture({true, true, true, true}));
    set(1102, SelectionPicture({false, true, false, true}));
    // Text formats: a table of values, a report of blocks.
    set(1321, Picture(56, 48,
                      [](QPainter& p)
                      {
                          p.setPen(kOutline);
                          p.setBrush(kPaper);
                          p.drawRect(QRect(4, 4, 47, 39));
                          p.fillRect(QRect(5, 5, 46, 6), kHeader);
                          p.setPen(kText);
                          for (int y = 16; y < 43; y += 6)
                              p.drawLine(5, y, 50, y);
                          for (int x = 16; x < 51; x += 12)
                              p.drawLine(x, 11, x, 42);
                      }));
    set(1322, Picture(56, 48,
                      [](QPainter& p)
                      {
                          Page(p, 12, 2, 32, 43);
                          for (int block = 0; block < 2; ++block)
                          {
                              const int y = 10 + 17 * block;
                              p.fillRect(QRect(15, y, 12, 3), kHeader);
                              p.setPen(kText);
                              for (int line = 0; line < 3; ++line)
                                  p.drawLine(15, y + 5 + 3 * line, 40, y + 5 + 3 * line);
                          }
                      }));

    // Preview pieces, 52 pixels wide.
    set(1130, Picture(52, 8, [](QPainter& p) { GridHeader(p, 0, 0, 52); }));
    set(1125, Picture(52, 7, [](QPainter& p) { Row(p, 0, 0, 52, kRow); }));
    set(1110, Picture(52, 7, [](QPainter& p) { Row(p, 0, 0, 52, QColor(228, 228, 228)); }));
    set(1124, Picture(52, 20, [](QPainter& p) { Detail(p, 0, 0, 52, 20, true); }));
    set(1114, Picture(52, 20, [](QPainter& p) { Detail(p, 0, 0, 52, 20, false); }));
    // Target icons of the preview.
    set(1123, Picture(20, 24, [](QPainter& p) { FilePage(p, 1, 1, 17, 21, false); }));
    set(1133, Picture(20, 24, [](QPainter& p) { FilePage(p, 1, 1, 17, 21, true); }));
    set(1122, Picture(20, 24, [](QPainter& p) { Clipboard(p, 2, 1, 16, 22); }));
}
