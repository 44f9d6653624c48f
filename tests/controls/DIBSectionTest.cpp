#include "controls/DIBSectionLiteNP.h"
#include "platform/gui/BitmapTable.h"
#include "platform/gui/PainterCanvas.h"
#include "platform/gui/RecordingCanvas.h"

#include <gtest/gtest.h>

using Platform::Rgb;

namespace
{

constexpr uint32_t kPicture = 0x7F01;

// Registers a picture under a test id for the lifetime of the object.
struct Resource
{
    explicit Resource(const QImage& image) { Platform::BitmapTable::Instance().Set(kPicture, image); }
    ~Resource() { Platform::BitmapTable::Instance().Remove(kPicture); }
};

// 6 x 4, magenta background with a blue block and one red pixel, in the given format.
QImage Picture(QImage::Format format)
{
    QImage rgb(6, 4, QImage::Format_RGB32);
    rgb.fill(qRgb(255, 0, 255));
    for (int y = 1; y < 3; ++y)
        for (int x = 1; x < 4; ++x)
            rgb.setPixel(x, y, qRgb(0, 0, 255));
    rgb.setPixel(5, 3, qRgb(255, 0, 0));
    return rgb.convertToFormat(format);
}

QImage DrawOnGreen(CDIBSectionLiteNP& dib, bool transparent, bool* ok)
{
    QImage target(10, 8, QImage::Format_RGB32);
    target.fill(qRgb(0, 128, 0));
    {
        Platform::ImageCanvas dc(target);
        *ok = dib.Draw(dc, {2, 1}, transparent);
    }
    return target;
}

} // namespace

TEST(DIBSectionLiteNP, TrueColourPictureHasNoColourTableAndItsTopLeftColourIsTransparent)
{
    Resource res(Picture(QImage::Format_RGB888));
    CDIBSectionLiteNP dib;
    ASSERT_TRUE(dib.LoadBitmap(kPicture));
    const auto& h = dib.GetHeader();
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, 6);
    EXPECT_EQ(h.biHeight, 4);
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biBitCount, 24);
    EXPECT_EQ(h.biCompression, 0u);
    // Rows padded to 32 bits: 18 bytes of pixels take 20.
    EXPECT_EQ(h.biSizeImage, 20u * 4u);
    EXPECT_EQ(dib.GetColorCount(), 0u);

    bool ok = false;
    const QImage plain = DrawOnGreen(dib, false, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(plain.pixel(2, 1), qRgb(255, 0, 255));

    EXPECT_FALSE(dib.IsMasked());
    for (int pass = 0; pass < 2; ++pass)
    {
        const QImage keyed = DrawOnGreen(dib, true, &ok);
        EXPECT_TRUE(ok);
        EXPECT_TRUE(dib.IsMasked());
        EXPECT_EQ(keyed.pixel(2, 1), qRgb(0, 128, 0)) << "transparent corner";
        EXPECT_EQ(keyed.pixel(7, 1), qRgb(0, 128, 0)) << "same colour elsewhere";
        EXPECT_EQ(keyed.pixel(3, 2), qRgb(0, 0, 255));
        EXPECT_EQ(keyed.pixel(7, 4), qRgb(255, 0, 0));
        EXPECT_EQ(keyed.pixel(0, 0), qRgb(0, 128, 0)) << "outside the picture";
    }
}

TEST(DIBSectionLiteNP, PaletteSectionsTakeTheStandardColourTable)
{
    const auto table = CDIBSectionLiteNP::StandardColorTable(256);
    ASSERT_EQ(table.size(), 256u);
    EXPECT_EQ(table[0], Rgb(0, 0, 0));
    EXPECT_EQ(table[1], Rgb(255, 255, 255));
    EXPECT_EQ(table[4], Rgb(255, 255, 0));
    EXPECT_EQ(table[15], Rgb(192, 192, 192));
    // The cube: red fastest, blue slowest.
    EXPECT_EQ(table[17], Rgb(51, 0, 0));
    EXPECT_EQ(table[22], Rgb(0, 51, 0));
    EXPECT_EQ(table[52], Rgb(0, 0, 51));
    EXPECT_EQ(table[231], Rgb(255, 255, 255));
    // 24 grey levels, k * 255 / 23.
    EXPECT_EQ(table[233], Rgb(11, 11, 11));
    EXPECT_EQ(table[255], Rgb(255, 255, 255));

    struct Case
    {
        QImage picture;
        int bits;
        unsigned colours;
        uint32_t imageSize;
    };
    // An 8-bit picture with its own, slightly off palette.
    QImage indexed(6, 4, QImage::Format_Indexed8);
    QList<QRgb> own;
    for (int i = 0; i < 40; ++i)
        own.push_back(qRgb(250 - i, 3 * i, 5));
    indexed.setColorTable(own);
    indexed.fill(0);
    indexed.setPixel(1, 1, 39);
    // A 1-bit picture in dark blue and pale yellow.
    QImage mono(6, 4, QImage::Format_Mono);
    mono.setColorTable({qRgb(0, 0, 100), qRgb(250, 250, 200)});
    mono.fill(1);
    mono.setPixel(2, 2, 0);
    const Case cases[] = {
        {mono, 1, 2, 4 * 4},
        {Picture(QImage::Format_RGB32).convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither), 4, 16,
         4 * 4},
        {indexed, 8, 256, 8 * 4},
        {Picture(QImage::Format_RGB555), 16, 0, 12 * 4},
        {Picture(QImage::Format_RGB32), 32, 0, 24 * 4},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.bits);
        Resource res(c.picture);
        CDIBSectionLiteNP dib;
        ASSERT_TRUE(dib.LoadBitmap(kPicture));
        EXPECT_EQ(dib.GetHeader().biBitCount, c.bits);
        EXPECT_EQ(dib.GetColorCount(), c.colours);
        EXPECT_EQ(dib.GetHeader().biSizeImage, c.imageSize);
        if (c.colours == 0)
            continue;
        EXPECT_EQ(dib.GetColorTable(), CDIBSectionLiteNP::StandardColorTable(c.colours));
        // The copy maps each pixel to the nearest colour of that table.
        const QImage& s = dib.GetSection();
        if (c.bits == 8)
        {
            EXPECT_EQ(s.pixel(0, 0), qRgb(255, 0, 0)) << "(250, 0, 5) -> red";
            EXPECT_EQ(s.pixel(1, 1), qRgb(204, 102, 0)) << "(211, 117, 5) -> cube";
        }
        else if (c.bits == 4)
        {
            EXPECT_EQ(s.pixel(0, 0), qRgb(255, 0, 255));
            EXPECT_EQ(s.pixel(2, 2), qRgb(0, 0, 255));
        }
        else
        {
            EXPECT_EQ(s.pixel(2, 2), qRgb(0, 0, 0));
            EXPECT_EQ(s.pixel(0, 0), qRgb(255, 255, 255));
        }
    }
}

TEST(DIBSectionLiteNP, MissingResourceLoadsNothingAndDrawsNothing)
{
    Platform::BitmapTable::Instance().Remove(kPicture);
    CDIBSectionLiteNP dib;
    EXPECT_FALSE(dib.LoadBitmap(kPicture));
    EXPECT_TRUE(dib.IsEmpty());
    Platform::RecordingCanvas dc;
    EXPECT_FALSE(dib.Draw(dc, {0, 0}, true));
    EXPECT_FALSE(dib.Draw(dc, {0, 0}, false));
    EXPECT_TRUE(dc.Ops().empty());

    // Loading again empties first: a failed load leaves nothing of the earlier picture.
    {
        Resource res(Picture(QImage::Format_RGB32));
        ASSERT_TRUE(dib.LoadBitmap(kPicture));
    }
    EXPECT_FALSE(dib.LoadBitmap(kPicture));
    EXPECT_TRUE(dib.IsEmpty());
    EXPECT_EQ(dib.GetHeader().biSize, 0u);
}
