#include "platform/gui/MemDCExt.h"
#include "platform/gui/PainterCanvas.h"
#include "platform/gui/RecordingCanvas.h"

#include <gtest/gtest.h>

using namespace Platform;

namespace
{

constexpr QRgb kWhite = qRgb(255, 255, 255);
constexpr QRgb kRed = qRgb(255, 0, 0);

QImage Filled(int w, int h, QRgb color)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

// Pixels that differ from the background, as a bounding box (exclusive right and bottom).
Rect Changed(const QImage& image, QRgb background)
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

} // namespace

TEST(MemDCExt, ComposesOffScreenAndCopiesTheRectangleOnce)
{
    QImage image = Filled(60, 40, qRgb(0, 0, 0));
    {
        ImageCanvas target(image);
        // The target's logical coordinates start at (100, 50).
        target.SetWindowOrg({100, 50});
        target.SetBkColor(Rgb(0, 255, 0));
        const Rect rect{110, 55, 140, 75};
        {
            CMemDCExt memory(target, &rect);
            EXPECT_TRUE(memory.IsOffScreen());
            EXPECT_NE(&memory.Dc(), &target);
            memory->FillRect({120, 60, 125, 65}, Brush::Solid(Rgb(255, 0, 0)));
            // What is drawn outside the rectangle stays off the target.
            memory->FillRect({90, 50, 200, 57}, Brush::Solid(Rgb(0, 0, 255)));
            // Nothing reaches the target before the end of the paint.
            EXPECT_EQ(Changed(image, qRgb(0, 0, 0)), (Rect{60, 40, 0, 0}));
        }
        EXPECT_EQ(target.GetWindowOrg(), (Point{100, 50}));
    }
    // The rectangle lands at its device place, filled with the background colour.
    EXPECT_EQ(Changed(image, qRgb(0, 0, 0)), (Rect{10, 5, 40, 25}));
    EXPECT_EQ(image.pixel(12, 5), qRgb(0, 0, 255));
    EXPECT_EQ(image.pixel(12, 7), qRgb(0, 255, 0));
    EXPECT_EQ(image.pixel(20, 10), kRed);
    EXPECT_EQ(image.pixel(24, 14), kRed);
    EXPECT_EQ(image.pixel(25, 14), qRgb(0, 255, 0));
}

TEST(MemDCExt, WithoutRectangleCoversTheClipBox)
{
    QImage image = Filled(50, 50, kWhite);
    {
        ImageCanvas target(image);
        target.IntersectClipRect({5, 10, 25, 20});
        CMemDCExt memory(target);
        EXPECT_EQ(memory.GetRect(), (Rect{5, 10, 25, 20}));
        memory->FillRect({0, 0, 50, 50}, Brush::Solid(Rgb(255, 0, 0)));
    }
    EXPECT_EQ(Changed(image, kWhite), (Rect{5, 10, 25, 20}));
}

TEST(MemDCExt, KeepsTheTargetsScaledMapping)
{
    QImage image = Filled(100, 100, kWhite);
    {
        ImageCanvas target(image);
        target.SetBkColor(Rgb(0, 255, 0));
        target.SetMapMode(MM_ANISOTROPIC);
        target.SetWindowExt({100, 100});
        target.SetViewportExt({200, 200});
        const Rect rect{10, 10, 40, 40};
        CMemDCExt memory(target, &rect);
        memory->FillRect({20, 20, 30, 30}, Brush::Solid(Rgb(255, 0, 0)));
    }
    EXPECT_EQ(Changed(image, kWhite), (Rect{20, 20, 80, 80}));
    EXPECT_EQ(image.pixel(40, 40), kRed);
    EXPECT_EQ(image.pixel(59, 59), kRed);
    EXPECT_EQ(image.pixel(60, 60), qRgb(0, 255, 0));
    EXPECT_EQ(image.pixel(20, 20), qRgb(0, 255, 0));
}

TEST(MemDCExt, DrawsStraightOntoAPrinter)
{
    RecordingCanvas printer({0, 0, 500, 500}, 6, 12, true);
    const Rect rect{10, 10, 100, 100};
    {
        CMemDCExt memory(printer, &rect);
        EXPECT_FALSE(memory.IsOffScreen());
        EXPECT_EQ(&memory.Dc(), &printer);
        memory->TextOut(20, 20, u"page");
    }
    const auto& ops = printer.Ops();
    ASSERT_EQ(ops.size(), 2u);
    EXPECT_EQ(ops[0].kind, CanvasOp::Kind::FillRect);
    EXPECT_EQ(ops[0].rect, rect);
    EXPECT_EQ(ops[0].color, Rgb(255, 255, 255));
    EXPECT_EQ(ops[1].kind, CanvasOp::Kind::TextOut);
    // Nothing is copied back.
    EXPECT_TRUE(printer.OpsOf(CanvasOp::Kind::BitBlt).empty());

    // A screen target gets one copy of the whole rectangle at the end.
    RecordingCanvas screen;
    {
        CMemDCExt memory(screen, &rect);
        memory->TextOut(20, 20, u"screen");
    }
    ASSERT_EQ(screen.Ops().size(), 1u);
    EXPECT_EQ(screen.Ops()[0].kind, CanvasOp::Kind::BitBlt);
    EXPECT_EQ(screen.Ops()[0].rect, rect);
}

TEST(CanvasSmooth, AntiAliasedStrokesFollowTheClipAndThePixelCentres)
{
    QImage image = Filled(60, 60, kWhite);
    {
        ImageCanvas dc(image);
        // A horizontal stroke one unit wide on a whole coordinate fills that pixel row.
        const PointF row[] = {{5, 10}, {55, 10}};
        dc.SmoothPolyline(row, 2, Rgb(0, 0, 255), 1.0);
        // A slanted one is blended, and cut by the clip.
        dc.SaveDC();
        dc.IntersectClipRect({0, 20, 30, 60});
        const PointF slant[] = {{5, 25}, {55, 45.3}};
        dc.SmoothPolyline(slant, 2, Rgb(0, 0, 255), 1.6);
        dc.RestoreDC(-1);
        dc.SmoothEllipse({30, 30, 50, 50}, Rgb(255, 0, 0), 3.0);
    }
    EXPECT_EQ(image.pixel(30, 10), qRgb(0, 0, 255));
    EXPECT_EQ(image.pixel(30, 9), kWhite);
    EXPECT_EQ(image.pixel(30, 11), kWhite);
    bool blended = false;
    for (int y = 20; y < 60; ++y)
        for (int x = 0; x < 30; ++x)
        {
            const QRgb p = image.pixel(x, y);
            blended = blended || (qBlue(p) == 255 && qRed(p) > 0 && qRed(p) < 255);
        }
    EXPECT_TRUE(blended);
    for (int y = 16; y < 60; ++y)
        for (int x = 30; x < 60; ++x)
            ASSERT_LE(qBlue(image.pixel(x, y)), qRed(image.pixel(x, y))) << x << "," << y;
    // The circle's left edge at x = 30, its inside untouched.
    EXPECT_EQ(qRed(image.pixel(30, 40)), 255);
    EXPECT_LT(qGreen(image.pixel(30, 40)), 64);
    EXPECT_EQ(image.pixel(40, 40), kWhite);

    RecordingCanvas recorder;
    const PointF points[] = {{1.5, 2.25}, {3, 4}, {5, 6}};
    recorder.SmoothPolyline(points, 3, Rgb(0, 0, 255), 1.6);
    recorder.SmoothEllipse({1, 2, 41, 42}, Rgb(255, 0, 0), 3.0);
    ASSERT_EQ(recorder.Ops().size(), 2u);
    EXPECT_EQ(recorder.Ops()[0].kind, CanvasOp::Kind::SmoothPolyline);
    EXPECT_EQ(recorder.Ops()[0].pointsF, (std::vector<PointF>{{1.5, 2.25}, {3, 4}, {5, 6}}));
    EXPECT_EQ(recorder.Ops()[0].width, 1.6);
    EXPECT_EQ(recorder.Ops()[0].color, Rgb(0, 0, 255));
    EXPECT_EQ(recorder.Ops()[1].kind, CanvasOp::Kind::SmoothEllipse);
    EXPECT_EQ(recorder.Ops()[1].rect, (Rect{1, 2, 41, 42}));
}
