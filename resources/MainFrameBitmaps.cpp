#include "resources/MainFrameBitmaps.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygon>

namespace
{
constexpr int kButton = 37;

const QColor kOutline(52, 52, 60);
const QColor kBlue(30, 90, 200);
const QColor kGreen(40, 150, 60);
const QColor kFolder(232, 184, 56);
const QColor kPaper(250, 250, 250);
const QColor kRed(200, 40, 40);

void DrawArrowDown(QPainter& p, int cx, int top, int bottom, const QColor& colour)
{
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawRect(cx - 3, top, 7, bottom - top - 7);
    p.drawPolygon(QPolygon({QPoint(cx - 8, bottom - 8), QPoint(cx + 8, bottom - 8), QPoint(cx, bottom)}));
}

void DrawArrowUp(QPainter& p, int cx, int top, int bottom, const QColor& colour)
{
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPolygon(QPolygon({QPoint(cx - 8, top + 8), QPoint(cx + 8, top + 8), QPoint(cx, top)}));
    p.drawRect(cx - 3, top + 8, 7, bottom - top - 8);
}

// The handheld tester: a rounded body with a display.
void DrawTester(QPainter& p, QRect body)
{
    p.setPen(QPen(kOutline, 1.5));
    p.setBrush(QColor(90, 96, 110));
    p.drawRoundedRect(body, 3, 3);
    p.setBrush(QColor(170, 220, 180));
    p.drawRect(body.adjusted(3, 3, -3, -body.height() / 2));
}

void DrawPage(QPainter& p, QRect page)
{
    p.setPen(QPen(kOutline, 1.2));
    p.setBrush(kPaper);
    const int fold = 7;
    p.drawPolygon(QPolygon({page.topLeft(), QPoint(page.right() - fold, page.top()),
                            QPoint(page.right(), page.top() + fold), page.bottomRight(), page.bottomLeft()}));
}

// Each picture is drawn into its own 37 x 37 cell on white, the transparent colour.
void DrawButton(QPainter& p, int index)
{
    switch (index)
    {
    case 0: // download measurements from the tester
        DrawTester(p, QRect(4, 3, 15, 28));
        DrawArrowDown(p, 27, 5, 27, kGreen);
        p.setPen(QPen(kOutline, 1.5));
        p.drawLine(19, 32, 35, 32);
        break;
    case 1: // live measurement: the probe over a test piece
        p.setPen(QPen(kOutline, 1.5));
        p.setBrush(QColor(120, 126, 140));
        p.drawRoundedRect(QRect(13, 2, 11, 18), 2, 2);
        p.setBrush(QColor(210, 210, 215));
        p.drawPolygon(QPolygon({QPoint(15, 20), QPoint(22, 20), QPoint(18, 27)}));
        p.setBrush(QColor(150, 150, 160));
        p.drawRect(QRect(4, 28, 29, 6));
        p.setPen(QPen(kRed, 2));
        p.drawArc(QRect(26, 6, 8, 8), 0, 270 * 16);
        break;
    case 2: // upgrade the tester
        DrawTester(p, QRect(4, 5, 15, 28));
        DrawArrowUp(p, 27, 3, 26, kBlue);
        break;
    case 3: // open a project
        p.setPen(QPen(kOutline, 1.2));
        p.setBrush(kFolder.darker(115));
        p.drawPolygon(QPolygon(
            {QPoint(3, 9), QPoint(13, 9), QPoint(16, 12), QPoint(31, 12), QPoint(31, 30), QPoint(3, 30)}));
        p.setBrush(kFolder);
        p.drawPolygon(QPolygon({QPoint(7, 17), QPoint(35, 17), QPoint(31, 30), QPoint(3, 30)}));
        break;
    case 4: // save the project: a disk
        p.setPen(QPen(kOutline, 1.2));
        p.setBrush(kBlue);
        p.drawPolygon(QPolygon({QPoint(5, 4), QPoint(28, 4), QPoint(32, 8), QPoint(32, 32), QPoint(5, 32)}));
        p.setBrush(kPaper);
        p.drawRect(QRect(10, 4, 15, 10));
        p.setBrush(QColor(220, 220, 225));
        p.drawRect(QRect(9, 20, 19, 12));
        p.fillRect(QRect(20, 6, 3, 6), kOutline);
        break;
    case 5: // text export: a table page
        DrawPage(p, QRect(7, 3, 23, 30));
        p.setPen(QPen(kGreen, 1));
        for (int y = 12; y <= 28; y += 4)
            p.drawLine(10, y, 27, y);
        p.drawLine(16, 10, 16, 28);
        p.drawLine(22, 10, 22, 28);
        break;
    case 6: // graphic export: a picture
        p.setPen(QPen(kOutline, 1.2));
        p.setBrush(QColor(200, 230, 250));
        p.drawRect(QRect(3, 7, 30, 23));
        p.setPen(Qt::NoPen);
        p.setBrush(kGreen);
        p.drawPolygon(
            QPolygon({QPoint(4, 29), QPoint(13, 16), QPoint(20, 24), QPoint(25, 19), QPoint(32, 29)}));
        p.setBrush(QColor(240, 190, 40));
        p.drawEllipse(QPoint(25, 12), 3, 3);
        break;
    case 7: // print
        p.setPen(QPen(kOutline, 1.2));
        p.setBrush(kPaper);
        p.drawRect(QRect(10, 3, 17, 12));
        p.setBrush(QColor(150, 152, 160));
        p.drawRoundedRect(QRect(3, 14, 31, 13), 2, 2);
        p.setBrush(kPaper);
        p.drawRect(QRect(10, 22, 17, 11));
        p.setPen(QPen(kGreen, 2));
        p.drawPoint(29, 18);
        break;
    case 8: // help: a question mark in a circle
    {
        p.setPen(QPen(kBlue.darker(120), 1.5));
        p.setBrush(kBlue);
        p.drawEllipse(QRect(3, 3, 30, 30));
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(22);
        font.setBold(true);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(QRect(3, 3, 30, 30), Qt::AlignCenter, QStringLiteral("?"));
        break;
    }
    default:
        break;
    }
}

// A lighter, grey copy for the disabled state; white stays white, so it stays transparent.
QImage Grey(const QImage& image)
{
    QImage out = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < out.height(); ++y)
    {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
        {
            const QRgb c = line[x];
            if (c == qRgb(255, 255, 255))
                continue;
            const int g = 128 + qGray(c) / 3;
            line[x] = qRgb(g, g, g);
        }
    }
    return out;
}

QImage DrawLogoImage(bool pressed)
{
    QImage image(160, 40, QImage::Format_RGB32);
    image.fill(QColor(240, 240, 240));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    if (pressed)
        p.translate(1, 1);
    // A stylised impact: a dot and two rebound arcs.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 30, 40));
    p.drawEllipse(QPoint(18, 20), 6, 6);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(200, 30, 40), 2.5));
    p.drawArc(QRect(6, 8, 24, 24), 30 * 16, 120 * 16);
    p.drawArc(QRect(1, 3, 34, 34), 40 * 16, 100 * 16);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(19);
    font.setBold(true);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 1);
    p.setFont(font);
    p.setPen(QColor(40, 44, 60));
    p.drawText(QRect(38, 0, 120, 40), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("VELMOR"));
    p.end();
    return image;
}
} // namespace

QImage DrawToolbarImages()
{
    QImage strip(9 * kButton, kButton, QImage::Format_RGB32);
    strip.fill(Qt::white);
    QPainter p(&strip);
    p.setRenderHint(QPainter::Antialiasing, true);
    for (int i = 0; i < 9; ++i)
    {
        p.resetTransform();
        p.translate(i * kButton, 0);
        p.save();
        DrawButton(p, i);
        p.restore();
    }
    p.end();
    return strip;
}

QImage DrawToolbarDisabledImages()
{
    return Grey(DrawToolbarImages());
}

QImage DrawLogo(bool pressed)
{
    return DrawLogoImage(pressed);
}

QImage DrawProgramIcon()
{
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    QLinearGradient g(0, 0, 0, 32);
    g.setColorAt(0, QColor(60, 110, 210));
    g.setColorAt(1, QColor(20, 50, 130));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(QRect(1, 1, 30, 30), 6, 6);
    p.setBrush(QColor(200, 30, 40));
    p.drawEllipse(QPoint(16, 18), 5, 5);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, 2));
    p.drawArc(QRect(6, 8, 20, 20), 30 * 16, 120 * 16);
    p.end();
    return image;
}
