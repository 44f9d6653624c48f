#include "platform/gui/Canvas.h"
#include "platform/gui/DateTimePicture.h"
#include "platform/gui/ImageList.h"
#include "platform/gui/PainterCanvas.h"
#include "platform/gui/RecordingCanvas.h"
#include "platform/gui/SystemLook.h"

#include <QApplication>
#include <QStyle>

#include <gtest/gtest.h>

using namespace Platform;

namespace
{

constexpr QRgb kWhite = 0xFFFFFFFF;

QImage WhiteImage(int w = 40, int h = 40)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

// The pixels of one colour, as a bounding box with an exclusive right and bottom.
Rect InkBox(const QImage& image, QRgb background = kWhite)
{
    Rect box{image.width(), image.height(), 0, 0};
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != background)
            {
                box.left = std::min(box.left, x);
                box.top = std::min(box.top, y);
                box.right = std::max(box.right, x + 1);
                box.bottom = std::max(box.bottom, y + 1);
            }
    return box;
}

QRgb Px(const QImage& image, int x, int y)
{
    return image.pixel(x, y) | 0xFF000000;
}

} // namespace

TEST(CanvasPixels, RectanglesAndLinesLeaveOutTheirRightBottomAndEndPoint)
{
    QImage image = WhiteImage();
    {
        ImageCanvas dc(image);
        dc.FillRect({2, 2, 6, 5}, Brush::Solid(Rgb(255, 0, 0)));
    }
    EXPECT_EQ(InkBox(image), (Rect{2, 2, 6, 5}));
    EXPECT_EQ(Px(image, 2, 2), qRgb(255, 0, 0));

    struct LineCase
    {
        Point from, to;
        Rect ink;
    } lines[] = {
        {{3, 10}, {9, 10}, {3, 10, 9, 11}},  // rightwards: 3..8
        {{9, 10}, {3, 10}, {4, 10, 10, 11}}, // leftwards: 9..4
        {{5, 2}, {5, 7}, {5, 2, 6, 7}},
        {{2, 2}, {6, 6}, {2, 2, 6, 6}}, // diagonal: (2,2)..(5,5)
    };
    for (const LineCase& c : lines)
    {
        QImage img = WhiteImage(20, 20);
        {
            ImageCanvas dc(img);
            dc.SelectPen(Pen::Solid(1, 0));
            dc.MoveTo(c.from.x, c.from.y);
            dc.LineTo(c.to.x, c.to.y);
            EXPECT_EQ(dc.GetCurrentPosition(), c.to);
        }
        EXPECT_EQ(InkBox(img), c.ink) << c.from.x << "," << c.from.y << " -> " << c.to.x << "," << c.to.y;
    }
}

TEST(CanvasPixels, RectangleFrameAndNullPenRule)
{
    QImage image = WhiteImage();
    {
        ImageCanvas dc(image);
        dc.SelectPen(Pen::Solid(1, Rgb(0, 0, 255)));
        dc.SelectBrush(Brush::Solid(Rgb(0, 255, 0)));
        dc.Rectangle({2, 2, 8, 7});
        dc.SelectPen(Pen::Null());
        dc.Rectangle({20, 20, 26, 25});
        dc.FrameRect({10, 30, 16, 36}, Brush::Solid(Rgb(255, 0, 0)));
    }
    // Outline on the outer pixels, brush inside.
    EXPECT_EQ(Px(image, 2, 2), qRgb(0, 0, 255));
    EXPECT_EQ(Px(image, 7, 6), qRgb(0, 0, 255));
    EXPECT_EQ(Px(image, 3, 3), qRgb(0, 255, 0));
    EXPECT_EQ(Px(image, 8, 7), kWhite);
    // Without a pen the fill stops one pixel short on the right and bottom.
    EXPECT_EQ(Px(image, 24, 23), qRgb(0, 255, 0));
    EXPECT_EQ(Px(image, 25, 23), kWhite);
    EXPECT_EQ(Px(image, 24, 24), kWhite);
    // FrameRect: a one-pixel border inside the rectangle.
    EXPECT_EQ(Px(image, 10, 30), qRgb(255, 0, 0));
    EXPECT_EQ(Px(image, 15, 35), qRgb(255, 0, 0));
    EXPECT_EQ(Px(image, 11, 31), kWhite);
    EXPECT_EQ(Px(image, 16, 35), kWhite);
}

TEST(CanvasPixels, AnisotropicMappingScalesShapesButNotHairlines)
{
    QImage image = WhiteImage(100, 100);
    {
        ImageCanvas dc(image);
        dc.SetMapMode(MM_ANISOTROPIC);
        dc.SetWindowExt({10, 10});
        dc.SetViewportExt({40, 20});
        dc.SetWindowOrg({-2, 0});
        EXPECT_EQ(dc.LPtoDP(Point{1, 1}), (Point{12, 2}));
        EXPECT_EQ(dc.DPtoLP(Point{12, 2}), (Point{1, 1}));
        dc.FillRect({0, 0, 2, 2}, Brush::Solid(Rgb(255, 0, 0)));
        dc.SelectPen(Pen::Solid(0, 0));
        dc.MoveTo(0, 10);
        dc.LineTo(5, 10);
    }
    Rect red{100, 100, 0, 0};
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x)
            if (Px(image, x, y) == qRgb(255, 0, 0))
                red = {std::min(red.left, x), std::min(red.top, y), std::max(red.right, x + 1),
                       std::max(red.bottom, y + 1)};
    EXPECT_EQ(red, (Rect{8, 0, 16, 4}));
    // Width 0 stays one device pixel: the line at logical y 10 is device row 20 only.
    EXPECT_EQ(Px(image, 10, 20), qRgb(0, 0, 0));
    EXPECT_EQ(Px(image, 10, 21), kWhite);
    EXPECT_EQ(Px(image, 28, 20), kWhite);
}

TEST(CanvasState, ClippingAndSaveRestore)
{
    QImage image = WhiteImage();
    {
        ImageCanvas dc(image);
        Rect box;
        EXPECT_EQ(dc.GetClipBox(&box), SIMPLEREGION);
        EXPECT_EQ(box, (Rect{0, 0, 40, 40}));

        const int level = dc.SaveDC();
        EXPECT_EQ(level, 1);
        dc.SetTextColor(0x123456);
        dc.SelectPen(Pen::Null());
        dc.SetWindowOrg({-5, -5});
        EXPECT_EQ(dc.IntersectClipRect({0, 0, 10, 10}), SIMPLEREGION);
        EXPECT_EQ(dc.ExcludeClipRect({0, 0, 10, 2}), SIMPLEREGION);
        dc.GetClipBox(&box);
        EXPECT_EQ(box, (Rect{0, 2, 10, 10}));
        dc.FillRect({-5, -5, 35, 35}, Brush::Solid(0));
        EXPECT_TRUE(dc.RestoreDC(-1));
        EXPECT_FALSE(dc.RestoreDC(-1));
        EXPECT_EQ(dc.GetTextColor(), 0u);
        EXPECT_EQ(dc.GetPen(), Pen::Black());
        EXPECT_EQ(dc.GetWindowOrg(), (Point{0, 0}));
        dc.GetClipBox(&box);
        EXPECT_EQ(box, (Rect{0, 0, 40, 40}));

        // Restoring to an absolute level drops the levels above it.
        dc.SaveDC();
        dc.SetBkMode(TRANSPARENT);
        dc.SaveDC();
        dc.SetBkMode(OPAQUE);
        dc.SaveDC();
        EXPECT_TRUE(dc.RestoreDC(2));
        EXPECT_EQ(dc.GetBkMode(), TRANSPARENT);
        EXPECT_TRUE(dc.RestoreDC(1));
        EXPECT_EQ(dc.GetBkMode(), OPAQUE);
        EXPECT_FALSE(dc.RestoreDC(1));
    }
    EXPECT_EQ(InkBox(image), (Rect{5, 7, 15, 15}));
}

TEST(CanvasText, ReferencePointAlignmentAndRotation)
{
    struct Case
    {
        unsigned align;
        int escapement;
    } cases[] = {{TA_LEFT | TA_TOP, 0},
                 {TA_RIGHT | TA_TOP, 0},
                 {TA_CENTER | TA_BOTTOM, 0},
                 {TA_LEFT | TA_BASELINE, 0},
                 {TA_LEFT | TA_TOP, 900}};
    for (const Case& c : cases)
    {
        QImage image = WhiteImage(200, 200);
        Size extent;
        {
            ImageCanvas dc(image);
            LogFont lf;
            lf.height = -16;
            lf.escapement = c.escapement;
            dc.SelectFont(Font(lf));
            dc.SetBkMode(TRANSPARENT);
            dc.SetTextAlign(c.align);
            extent = dc.GetTextExtent(u"Wide text");
            dc.TextOut(100, 100, u"Wide text");
        }
        const Rect ink = InkBox(image);
        ASSERT_FALSE(ink.IsEmpty());
        SCOPED_TRACE(testing::Message() << "align " << c.align << " escapement " << c.escapement);
        if (c.escapement == 900)
        {
            // Reads bottom to top: the text runs upwards from the reference point, and its
            // top edge, through the reference point, faces left.
            EXPECT_GT(ink.Height(), ink.Width());
            EXPECT_LE(ink.bottom, 101);
            EXPECT_GE(ink.left, 99);
            EXPECT_GE(ink.top, 100 - extent.cx - 1);
            continue;
        }
        EXPECT_GT(ink.Width(), ink.Height());
        if ((c.align & TA_CENTER) == TA_CENTER)
            EXPECT_NEAR((ink.left + ink.right) / 2, 100, 2);
        else if (c.align & TA_RIGHT)
            EXPECT_LE(ink.right, 101);
        else
            EXPECT_GE(ink.left, 100);
        if ((c.align & TA_BASELINE) == TA_BASELINE)
            EXPECT_NEAR(ink.bottom, 101, 2); // no descenders in "Wide text"
        else if (c.align & TA_BOTTOM)
            EXPECT_LE(ink.bottom, 100);
        else
            EXPECT_GE(ink.top, 100);
        EXPECT_LE(ink.Width(), extent.cx + 1);
    }
}

TEST(CanvasText, OpaqueBackgroundFillsTheTextCell)
{
    QImage image = WhiteImage(100, 40);
    Size extent;
    {
        ImageCanvas dc(image);
        dc.SetBkColor(Rgb(0, 255, 0));
        extent = dc.GetTextExtent(u"abc");
        dc.TextOut(10, 5, u"abc");
    }
    EXPECT_EQ(Px(image, 10, 5), qRgb(0, 255, 0));
    EXPECT_EQ(Px(image, 10 + extent.cx - 1, 5 + extent.cy - 1), qRgb(0, 255, 0));
    EXPECT_EQ(Px(image, 10 + extent.cx, 5), kWhite);
    EXPECT_EQ(Px(image, 9, 5), kWhite);
}

TEST(CanvasText, DrawTextLayoutWithFixedMetrics)
{
    // Characters 6 wide, lines 12 high.
    struct Case
    {
        const char16_t* text;
        Rect rect;
        unsigned format;
        std::vector<std::pair<Point, QString>> lines;
        int result;
    } cases[] = {
        {u"abc", {10, 10, 100, 40}, DT_SINGLELINE | DT_VCENTER | DT_CENTER, {{{46, 19}, "abc"}}, 21},
        {u"abc", {10, 10, 100, 40}, DT_SINGLELINE | DT_BOTTOM | DT_RIGHT, {{{82, 28}, "abc"}}, 30},
        {u"one two three", {0, 0, 50, 100}, DT_WORDBREAK, {{{0, 0}, "one two"}, {{0, 12}, "three"}}, 24},
        {u"a\nb", {0, 0, 50, 100}, 0, {{{0, 0}, "a"}, {{0, 12}, "b"}}, 24},
        {u"abcdefghij", {0, 0, 40, 20}, DT_SINGLELINE | DT_END_ELLIPSIS, {{{0, 0}, "abc..."}}, 12},
        {u"a&&b&c", {0, 0, 100, 20}, DT_SINGLELINE, {{{0, 0}, "a&bc"}}, 12},
        {u"a&&b", {0, 0, 100, 20}, DT_SINGLELINE | DT_NOPREFIX, {{{0, 0}, "a&&b"}}, 12},
    };
    for (const Case& c : cases)
    {
        RecordingCanvas dc;
        Rect rect = c.rect;
        EXPECT_EQ(dc.DrawText(c.text, &rect, c.format), c.result) << QString::fromUtf16(c.text).toStdString();
        const auto lines = dc.OpsOf(CanvasOp::Kind::TextLine);
        ASSERT_EQ(lines.size(), c.lines.size()) << QString::fromUtf16(c.text).toStdString();
        for (size_t i = 0; i < lines.size(); ++i)
        {
            EXPECT_EQ(lines[i].points[0], c.lines[i].first) << lines[i].text.toStdString();
            EXPECT_EQ(lines[i].text, c.lines[i].second);
            // Clipped to the rectangle.
            EXPECT_EQ(lines[i].clipBox, c.rect);
        }
    }

    // Measuring only: the rectangle takes the text's size and nothing is drawn.
    RecordingCanvas dc;
    Rect rect{5, 5, 60, 5};
    EXPECT_EQ(dc.DrawText(u"one two three four", &rect, DT_WORDBREAK | DT_CALCRECT), 36);
    EXPECT_EQ(rect, (Rect{5, 5, 47, 41})); // "one two" is the widest line

    EXPECT_TRUE(dc.Ops().empty());
}

TEST(CanvasFills, GradientsAndAlphaBlend)
{
    QImage image = WhiteImage(100, 100);
    {
        ImageCanvas dc(image);
        TriVertex h[2] = {{0, 0, Rgb(255, 0, 0)}, {51, 10, Rgb(0, 0, 255)}};
        int pair[2] = {0, 1};
        dc.GradientFill(h, 2, pair, 1, GRADIENT_FILL_RECT_H);
        TriVertex v[2] = {{0, 20, Rgb(0, 0, 0)}, {10, 71, Rgb(200, 200, 200)}};
        dc.GradientFill(v, 2, pair, 1, GRADIENT_FILL_RECT_V);
        TriVertex q[4] = {{60, 60, Rgb(255, 0, 0)},
                          {100, 60, Rgb(0, 255, 0)},
                          {100, 100, Rgb(0, 0, 255)},
                          {60, 100, Rgb(255, 255, 0)}};
        int tris[6] = {0, 1, 2, 0, 2, 3};
        dc.GradientFill(q, 4, tris, 2, GRADIENT_FILL_TRIANGLE);

        QImage half(10, 10, QImage::Format_ARGB32);
        half.fill(qRgba(0, 0, 0, 255));
        dc.AlphaBlend(20, 20, 10, 10, half, 128);
    }
    EXPECT_EQ(Px(image, 0, 5), qRgb(255, 0, 0));
    EXPECT_EQ(Px(image, 50, 5), qRgb(0, 0, 255));
    EXPECT_EQ(Px(image, 25, 5), qRgb(128, 0, 128));
    EXPECT_EQ(Px(image, 51, 5), kWhite);
    EXPECT_EQ(Px(image, 5, 20), qRgb(0, 0, 0));
    EXPECT_EQ(Px(image, 5, 70), qRgb(200, 200, 200));
    // Four corners: each corner pixel is close to its colour, with no gap on the diagonal.
    auto near = [&](int x, int y, int r, int g, int b)
    {
        const QColor c = QColor(image.pixel(x, y));
        return std::abs(c.red() - r) < 16 && std::abs(c.green() - g) < 16 && std::abs(c.blue() - b) < 16;
    };
    EXPECT_TRUE(near(60, 60, 255, 0, 0));
    EXPECT_TRUE(near(99, 60, 0, 255, 0));
    EXPECT_TRUE(near(99, 99, 0, 0, 255));
    EXPECT_TRUE(near(60, 99, 255, 255, 0));
    for (int i = 60; i < 100; ++i)
        EXPECT_NE(Px(image, i, i), kWhite) << i;
    // Half of black over white.
    const QColor blended(image.pixel(25, 25));
    EXPECT_NEAR(blended.red(), 127, 2);
}

TEST(CanvasFills, ImageListMakesTheKeyColourTransparent)
{
    QImage strip(8, 4, QImage::Format_RGB32);
    strip.fill(QColor(255, 0, 255));
    strip.setPixel(1, 1, qRgb(0, 0, 0));
    strip.setPixel(5, 2, qRgb(0, 0, 255));
    ImageList list(4, 4);
    EXPECT_EQ(list.Add(strip, Rgb(255, 0, 255)), 0);
    EXPECT_EQ(list.GetImageCount(), 2);

    QImage image = WhiteImage(20, 20);
    {
        ImageCanvas dc(image);
        EXPECT_TRUE(list.Draw(dc, 1, {10, 10}, ILD_NORMAL));
        EXPECT_TRUE(list.Draw(dc, 0, {0, 0}, ILD_NORMAL));
        EXPECT_FALSE(list.Draw(dc, 2, {0, 0}, ILD_NORMAL));
    }
    EXPECT_EQ(InkBox(image), (Rect{1, 1, 12, 13}));
    EXPECT_EQ(Px(image, 11, 12), qRgb(0, 0, 255));
}

TEST(SystemLook, FollowsTheApplicationStyle)
{
    EXPECT_EQ(GetSystemMetrics(SM_CXVSCROLL), QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    const QColor base = QApplication::palette().color(QPalette::Base);
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), Rgb(base.red(), base.green(), base.blue()));
    const LogFont lf = GetMessageFont();
    EXPECT_EQ(lf.faceName, QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(lf.height, -12); // 9 points at 96 dots per inch
    EXPECT_EQ(GetWheelScrollLines(), QApplication::wheelScrollLines());
}

TEST(DateTimePicture, ClassicPicturesInTheInvariantLocale)
{
    const QDate date(2026, 3, 5); // a Thursday
    struct DateCase
    {
        const char* picture;
        const char* expected;
    } dates[] = {{"dd.MM.yyyy", "05.03.2026"},
                 {"d/M/yy", "5/3/26"},
                 {"dddd, MMMM d", "Thursday, March 5"},
                 {"ddd MMM y", "Thu Mar 26"},
                 {"yyyy-MM-dd 'week' dd", "2026-03-05 week 05"},
                 {"''d''", "'5'"}};
    for (const DateCase& c : dates)
        EXPECT_EQ(FormatDatePicture(date, QString::fromLatin1(c.picture)), QString::fromLatin1(c.expected))
            << c.picture;

    const QTime afternoon(15, 4, 9);
    const QTime midnight(0, 30, 0);
    EXPECT_EQ(FormatTimePicture(afternoon, QStringLiteral("HH:mm:ss")), QStringLiteral("15:04:09"));
    EXPECT_EQ(FormatTimePicture(afternoon, QStringLiteral("h:mm tt")), QStringLiteral("3:04 PM"));
    EXPECT_EQ(FormatTimePicture(midnight, QStringLiteral("hh:mm t")), QStringLiteral("12:30 A"));
    EXPECT_EQ(FormatTimePicture(midnight, QStringLiteral("H.m")), QStringLiteral("0.30"));
    EXPECT_EQ(FormatDatePicture(QDate(), QStringLiteral("dd")), QString());
}
