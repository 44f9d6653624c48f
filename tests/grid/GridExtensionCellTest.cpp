#include "GridTestSupport.h"

#include "grid/GridCellBarRange.h"
#include "grid/GridCellGradient.h"
#include "grid/GridCellMultiBmp.h"
#include "platform/gui/ImageList.h"
#include "platform/gui/PainterCanvas.h"
#include "platform/gui/RecordingCanvas.h"
#include "platform/gui/SystemLook.h"

#include <cmath>

using namespace Platform;
using Kind = CanvasOp::Kind;

namespace
{
class ExtensionCellTest : public GridFixture
{
protected:
    void SetUp() override
    {
        GridFixture::SetUp();
        Build(3, 3, 1, 0, 20, 50);
    }
    template <class T> T* Make(int row, int col)
    {
        EXPECT_TRUE(grid->SetCellType(row, col, &MakeGridCell<T>));
        return dynamic_cast<T*>(grid->GetCell(row, col));
    }
    // Draws the cell into a white image of the rectangle's extent.
    static QImage Render(CGridCellBase* cell, int row, int col, const Rect& rect)
    {
        QImage image(rect.right + 1, rect.bottom + 1, QImage::Format_RGB32);
        image.fill(Qt::white);
        ImageCanvas dc(image);
        cell->Draw(&dc, row, col, rect, false);
        return image;
    }
    static QImage Print(CGridCellBase* cell, int row, int col, const Rect& rect)
    {
        QImage image(rect.right + 1, rect.bottom + 1, QImage::Format_RGB32);
        image.fill(Qt::white);
        ImageCanvas dc(image);
        cell->PrintCell(&dc, row, col, rect);
        return image;
    }
};

// Each channel within one of the expected value.
::testing::AssertionResult Near(const QImage& image, int x, int y, double r, double g, double b)
{
    const QColor c = image.pixelColor(x, y);
    if (std::abs(c.red() - r) <= 1.0 && std::abs(c.green() - g) <= 1.0 && std::abs(c.blue() - b) <= 1.0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "pixel (" << x << ", " << y << ") is " << c.red() << "," << c.green() << "," << c.blue()
           << ", expected " << r << "," << g << "," << b;
}

::testing::AssertionResult Near(const QImage& image, int x, int y, ColorRef color)
{
    return Near(image, x, y, RValue(color), GValue(color), BValue(color));
}
} // namespace

TEST_F(ExtensionCellTest, GradientCellsFollowTheirCornerColours)
{
    CGridCellGradient* cell = Make<CGridCellGradient>(1, 1);
    const Rect rect{0, 0, 100, 20}; // pixels 0..99 and 0..19

    // New: red on the left to green on the right.
    QImage image = Render(cell, 1, 1, rect);
    for (int x : {0, 33, 50, 99})
        EXPECT_TRUE(Near(image, x, 10, 255.0 * (99 - x) / 99, 255.0 * x / 99, 0));
    EXPECT_EQ(cell->GetBackClr(), 0xFFFFFFu - 0x0000FFu);

    // Equal top and bottom pairs: vertical, blue at the top to white at the bottom.
    EXPECT_EQ(cell->SetTopRightColor(0xFF0000), 0x00FF00u);
    cell->SetTopLeftColor(0xFF0000);
    cell->SetBottomLeftColor(0xFFFFFF);
    cell->SetBottomRightColor(0xFFFFFF);
    image = Render(cell, 1, 1, rect);
    for (int y : {0, 7, 19})
        EXPECT_TRUE(Near(image, 60, y, 255.0 * y / 19, 255.0 * y / 19, 255));

    // Selected and highlighted: half intensity, and the background colour follows.
    grid->SetItemState(1, 1, grid->GetItemState(1, 1) | CELLSTATE_SELECTED);
    image = Render(cell, 1, 1, rect);
    EXPECT_TRUE(Near(image, 60, 0, 0, 0, 127));
    EXPECT_TRUE(Near(image, 60, 19, 127, 127, 127));
    EXPECT_EQ(cell->GetBackClr(), 0xFFFFFFu - 0x7F0000u);

    // Four equal colours: one solid fill, halved when selected.
    for (auto set : {&CGridCellGradient::SetTopLeftColor, &CGridCellGradient::SetTopRightColor,
                     &CGridCellGradient::SetBottomLeftColor, &CGridCellGradient::SetBottomRightColor})
        (cell->*set)(Rgb(200, 100, 50));
    image = Render(cell, 1, 1, rect);
    EXPECT_TRUE(Near(image, 5, 5, 100, 50, 25));
    grid->SetItemState(1, 1, grid->GetItemState(1, 1) & ~CELLSTATE_SELECTED);
    image = Render(cell, 1, 1, rect);
    EXPECT_TRUE(Near(image, 95, 15, 200, 100, 50));

    // Four different colours: two triangles meeting on the diagonal; never halved.
    cell->SetTopLeftColor(Rgb(255, 0, 0));
    cell->SetTopRightColor(Rgb(0, 255, 0));
    cell->SetBottomRightColor(Rgb(0, 0, 255));
    cell->SetBottomLeftColor(Rgb(255, 255, 255));
    grid->SetItemState(1, 1, grid->GetItemState(1, 1) | CELLSTATE_SELECTED);
    // Large enough that a corner pixel's centre is within one step of its corner's colour.
    image = Render(cell, 1, 1, {0, 0, 801, 401});
    EXPECT_TRUE(Near(image, 0, 0, 255, 0, 0));
    EXPECT_TRUE(Near(image, 800, 0, 0, 255, 0));
    EXPECT_TRUE(Near(image, 800, 400, 0, 0, 255));
    EXPECT_TRUE(Near(image, 0, 400, 255, 255, 255));
    EXPECT_TRUE(Near(image, 400, 200, 127.5, 0, 127.5)); // on the diagonal: half of each end

    const Size standard = CGridCell().GetCellExtent(nullptr);
    const Size extent = CGridCellGradient().GetCellExtent(nullptr);
    EXPECT_EQ(extent.cx, standard.cx + GetSystemMetrics(SM_CXVSCROLL));
    EXPECT_EQ(extent.cy, std::max(standard.cy, GetSystemMetrics(SM_CYHSCROLL)));
}

TEST_F(ExtensionCellTest, MultiImageCellsPlaceHideAndHitTheirImages)
{
    CGridCellMultiBmp* cell = Make<CGridCellMultiBmp>(1, 1);
    ImageList images(16, 16);
    QImage strip(64, 16, QImage::Format_ARGB32);
    strip.fill(Qt::darkBlue);
    ASSERT_EQ(images.Add(strip), 0);
    cell->SetImageList(&images);

    // Placements stay sorted by their keys; equal keys keep the insertion order.
    for (const auto& [id, order] : {std::pair{0, 5}, {1, 3}, {2, 5}, {3, 0}})
    {
        MULTIBMPINFO info;
        info.id = id;
        info.order = order;
        cell->InsertImage(info);
    }
    std::vector<int> ids;
    for (const MULTIBMPINFO& info : cell->GetImages())
        ids.push_back(info.id);
    EXPECT_EQ(ids, (std::vector<int>{3, 1, 0, 2}));

    struct Case
    {
        MULTIBMPINFO info;
        Point at;
    };
    auto info = [](double x, double y, bool fromLeft, bool fromTop, bool centreX, bool centreY, bool xPercent,
                   bool yPercent)
    {
        MULTIBMPINFO i;
        i.x = x;
        i.y = y;
        i.fromLeft = fromLeft;
        i.fromTop = fromTop;
        i.centreX = centreX;
        i.centreY = centreY;
        i.xPercent = xPercent;
        i.yPercent = yPercent;
        return i;
    };
    const Rect rect{10, 20, 110, 60};
    const Case cases[] = {
        {info(5, 1, true, true, false, false, false, false), {15, 21}},
        {info(5.9, -1.9, false, false, false, false, false, false), {10 - 16 + 5, 20 - 16 - 1}},
        // Centred on 50 percent: the image's middle on the cell's middle.
        {info(50, 50, true, true, true, true, true, true), {60 - 8, 40 - 8}},
        {info(25, 100, true, true, false, false, true, true), {35, 60}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CGridCellMultiBmp::PlaceImage(c.info, {16, 16}, rect), c.at);

    // The series page's button: two images at (5, 1), the second hidden.
    CGridCellMultiBmp* button = Make<CGridCellMultiBmp>(2, 1);
    button->SetImageList(&images);
    MULTIBMPINFO first = info(5, 1, true, true, false, false, false, false);
    first.print = false;
    MULTIBMPINFO second = first;
    second.id = 1;
    second.hidden = true;
    button->InsertImage(first);
    button->InsertImage(second);
    button->OnClick({10, 5});
    EXPECT_EQ(button->GetClickedImageId(), 0);
    button->SetImageHidden(0, true);
    button->SetImageHidden(1, false);
    button->OnClick({10, 5});
    EXPECT_EQ(button->GetClickedImageId(), 1);
    button->OnClick({30, 5});
    EXPECT_EQ(button->GetClickedImageId(), -1);

    // On screen every visible image is drawn over the background, selected ones lighter;
    // printing draws only those marked for print, and no background.
    grid->SetItemState(2, 1, grid->GetItemState(2, 1) | CELLSTATE_SELECTED);
    RecordingCanvas screen;
    ASSERT_TRUE(button->Draw(&screen, 2, 1, {0, 40, 49, 59}, false));
    const auto blends = screen.OpsOf(Kind::AlphaBlend);
    ASSERT_EQ(blends.size(), 1u);
    EXPECT_EQ(blends[0].rect, (Rect{5, 41, 21, 57}));
    EXPECT_EQ(blends[0].color, 128u);
    EXPECT_FALSE(screen.OpsOf(Kind::GradientFill).empty());
    RecordingCanvas printer({0, 0, 2000, 2000}, 6, 12, true);
    EXPECT_TRUE(button->PrintCell(&printer, 2, 1, {0, 40, 49, 59}));
    EXPECT_TRUE(printer.OpsOf(Kind::AlphaBlend).empty());
    EXPECT_TRUE(printer.OpsOf(Kind::GradientFill).empty());

    // Bitmaps with their own alpha: constant alpha 60 when selected.
    QImage bitmap(16, 16, QImage::Format_ARGB32_Premultiplied);
    bitmap.fill(Qt::transparent);
    MULTIBMPINFO blended = info(0, 0, true, true, false, false, false, false);
    blended.alphaBlend = true;
    blended.bitmap = &bitmap;
    blended.id = 2;
    button->InsertImage(blended);
    RecordingCanvas again;
    button->Draw(&again, 2, 1, {0, 40, 49, 59}, false);
    ASSERT_EQ(again.OpsOf(Kind::AlphaBlend).size(), 2u);
    EXPECT_EQ(again.OpsOf(Kind::AlphaBlend)[1].color, 60u);
    EXPECT_TRUE(button->Draw(nullptr, 2, 1, {}, true));

    const Size gradient = CGridCellGradient().GetCellExtent(nullptr);
    EXPECT_EQ(CGridCellMultiBmp().GetCellExtent(nullptr).cx, gradient.cx + GetSystemMetrics(SM_CXVSCROLL));
}

TEST_F(ExtensionCellTest, ValueBarsDrawBandsOverlapAndMarkerByTheirFormula)
{
    CGridCellBarRange* cell = Make<CGridCellBarRange>(1, 1);
    const ColorRef band1 = Rgb(0, 200, 0);
    const ColorRef band2 = Rgb(0, 0, 200);
    const ColorRef overlap = 0xFF4646;
    cell->SetBand1Colors(band1, Rgb(0, 50, 0));
    cell->SetBand2Colors(band2, Rgb(0, 0, 50));
    const Rect rect{0, 0, 101, 20}; // W = 101: a value v sits at trunc(1.01 v)
    auto at = [](double v) { return static_cast<int>(101 * v / 100); };

    // New cells show only the marker, on 50.
    QImage image = Render(cell, 1, 1, rect);
    EXPECT_TRUE(Near(image, at(50), 0, 0));
    EXPECT_TRUE(Near(image, at(50), 19, 0));
    EXPECT_TRUE(Near(image, at(50) - 5, 0, 0xFFFFFF));
    EXPECT_TRUE(Near(image, at(20), 10, 0xFFFFFF));

    // Band 1 (10..90) lies over band 2 (30..60); where they meet, the overlap colour.
    cell->SetBand1Hidden(false);
    cell->SetBand2Hidden(false);
    image = Render(cell, 1, 1, rect);
    EXPECT_TRUE(Near(image, at(20), 10, band1));
    EXPECT_TRUE(Near(image, at(40), 10, overlap));
    EXPECT_TRUE(Near(image, at(75), 10, band1));
    EXPECT_TRUE(Near(image, at(95), 10, 0xFFFFFF));

    // Disjoint bands: no overlap. Band 1 hidden: all of band 2 is overlap.
    cell->SetBand1High(20);
    image = Render(cell, 1, 1, rect);
    EXPECT_TRUE(Near(image, at(40), 10, band2));
    cell->SetBand1Hidden(true);
    image = Render(cell, 1, 1, rect);
    EXPECT_TRUE(Near(image, at(40), 10, overlap));
    EXPECT_TRUE(Near(image, at(20), 10, 0xFFFFFF));

    // Selected: the selected colours and an inverted marker; printing never selects.
    grid->SetItemState(1, 1, grid->GetItemState(1, 1) | CELLSTATE_SELECTED);
    image = Render(cell, 1, 1, rect);
    EXPECT_TRUE(Near(image, at(40), 10, 0x641E1E));
    EXPECT_TRUE(Near(image, at(50), 0, 0xFFFFFF));
    image = Print(cell, 1, 1, rect);
    EXPECT_TRUE(Near(image, at(40), 10, overlap));
    EXPECT_TRUE(Near(image, at(50), 0, 0));

    // A value outside the range sits at an edge; the triangles are cut at the cell's edge.
    grid->SetItemState(1, 1, grid->GetItemState(1, 1) & ~CELLSTATE_SELECTED);
    EXPECT_EQ(cell->SetValue(-20), 50.0);
    image = Render(cell, 1, 1, rect);
    EXPECT_TRUE(Near(image, 0, 0, 0));
    EXPECT_TRUE(Near(image, 4, 0, 0));
    cell->SetValue(500);
    EXPECT_EQ(cell->ValueToX(500, rect), 101);

    // A range without width: everything at the left edge, no division by zero.
    cell->SetMinValue(7);
    cell->SetMaxValue(7);
    cell->SetValue(7);
    EXPECT_EQ(cell->ValueToX(7, rect), 0);
    EXPECT_EQ(cell->ValueToX(1e300, rect, false), 0);
    image = Render(cell, 1, 1, rect);
    EXPECT_TRUE(Near(image, 0, 0, 0));

    RecordingCanvas dc;
    EXPECT_FALSE(cell->Draw(&dc, 1, 1, {5, 5, 5, 9}, false));
}

TEST_F(ExtensionCellTest, AlphaBlendBitmapDrawsWithPerPixelAlpha)
{
    QImage bitmap(4, 1, QImage::Format_ARGB32);
    bitmap.setPixel(0, 0, qRgba(255, 0, 0, 255));
    bitmap.setPixel(1, 0, qRgba(255, 0, 0, 0));
    bitmap.setPixel(2, 0, qRgba(255, 0, 0, 128));
    bitmap.setPixel(3, 0, qRgba(0, 0, 255, 255));
    QImage image(6, 2, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        ImageCanvas dc(image);
        EXPECT_TRUE(AlphaBlendBitmap(&dc, 1, 1, 4, 1, &bitmap, 255));
        EXPECT_FALSE(AlphaBlendBitmap(&dc, 0, 0, 4, 1, nullptr, 255));
    }
    EXPECT_TRUE(Near(image, 1, 1, 255, 0, 0));
    EXPECT_TRUE(Near(image, 2, 1, 255, 255, 255));
    EXPECT_TRUE(Near(image, 3, 1, 255, 127, 127));
    EXPECT_TRUE(Near(image, 4, 1, 0, 0, 255));
    EXPECT_TRUE(Near(image, 1, 0, 255, 255, 255));
}
