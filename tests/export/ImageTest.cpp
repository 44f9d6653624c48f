#include "export/encoder/xImage.h"

#include <QImage>

#include <gtest/gtest.h>

#include <cstring>

namespace
{
std::uint32_t Le32(const std::uint8_t* p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t{p[3]} << 24;
}
} // namespace

TEST(Image, CreateRoundsTheDepthAndSizesTheDib)
{
    struct Case
    {
        std::uint32_t width, height, bppIn, bpp, colors, effWidth;
    } cases[] = {
        {3, 2, 24, 24, 0, 12}, {3, 2, 32, 24, 0, 12}, {4, 1, 9, 24, 0, 12},
        {33, 2, 0, 1, 2, 8},   {32, 1, 1, 1, 2, 4},   {9, 3, 2, 4, 16, 8},
        {8, 1, 4, 4, 16, 4},   {5, 2, 5, 8, 256, 8},  {4, 2, 8, 8, 256, 4},
    };
    for (const Case& c : cases)
    {
        CxImage image;
        std::uint8_t* dib = image.Create(c.width, c.height, c.bppIn);
        ASSERT_NE(dib, nullptr);
        EXPECT_EQ(image.GetBpp(), c.bpp) << c.bppIn;
        EXPECT_EQ(image.GetNumColors(), c.colors) << c.bppIn;
        EXPECT_EQ(image.GetEffWidth(), c.effWidth) << c.width << " x " << c.bppIn;
        const std::uint32_t size = 40 + 4 * c.colors + c.effWidth * c.height;
        EXPECT_EQ(image.GetSize(), size);

        // The header inside the DIB, a zeroed palette and zeroed pixels.
        const std::uint32_t header[] = {
            40, c.width, c.height, 1 | c.bpp << 16, 0, c.effWidth * c.height, 3780, 3780, c.colors, 0};
        for (int i = 0; i < 10; ++i)
            EXPECT_EQ(Le32(dib + 4 * i), header[i]) << "header field " << i;
        for (std::uint32_t i = 40; i < size; ++i)
            ASSERT_EQ(dib[i], 0) << "byte " << i;

        // Rows from the bottom, none past the last one.
        EXPECT_EQ(image.GetBits(0), dib + 40 + 4 * c.colors);
        EXPECT_EQ(image.GetBits(c.height - 1), dib + 40 + 4 * c.colors + (c.height - 1) * c.effWidth);
        EXPECT_EQ(image.GetBits(c.height), nullptr);
    }
}

TEST(Image, CreateFailuresLeaveNoDib)
{
    CxImage image;
    EXPECT_EQ(image.GetBits(), nullptr);
    ASSERT_NE(image.Create(4, 4, 24), nullptr);
    EXPECT_EQ(image.Create(0, 4, 24), nullptr);
    EXPECT_STREQ(image.GetLastError(), "CxImage::Create : width and height must be greater than zero");
    EXPECT_EQ(image.GetBits(), nullptr);
    EXPECT_EQ(image.Create(4, 0, 24), nullptr);

    // Sizes the header's 32-bit fields cannot describe are refused before any allocation.
    struct
    {
        std::uint32_t width, height;
    } huge[] = {{70000, 70000}, {0x80000000u, 1}, {1, 0x80000000u}, {0xFFFFFFFFu, 0xFFFFFFFFu}};
    for (const auto& h : huge)
    {
        ASSERT_NE(image.Create(4, 4, 24), nullptr);
        EXPECT_EQ(image.Create(h.width, h.height, 24), nullptr) << h.width << " x " << h.height;
        EXPECT_STREQ(image.GetLastError(), "CxImage::Create can't allocate memory");
        EXPECT_EQ(image.GetBits(), nullptr);
    }
}

TEST(Image, ResolutionBecomesPixelsPerMetreInTheDib)
{
    struct Case
    {
        std::int32_t dpi;
        std::uint32_t ppm;
    } cases[] = {{96, 3780}, {0, 3780}, {-5, 3780}, {72, 2835}, {300, 11811}, {1, 39}};
    for (const Case& c : cases)
    {
        CxImage image;
        std::uint8_t* dib = image.Create(2, 2, 24);
        ASSERT_NE(dib, nullptr);
        image.SetXDPI(c.dpi);
        EXPECT_EQ(Le32(dib + 24), c.ppm) << c.dpi;
        EXPECT_EQ(Le32(dib + 28), 3780u);
        image.SetYDPI(c.dpi);
        EXPECT_EQ(Le32(dib + 28), c.ppm) << c.dpi;
    }
    // Set before Create, the resolution carries into the new DIB.
    CxImage image;
    image.SetXDPI(300);
    std::uint8_t* dib = image.Create(2, 2, 8);
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(Le32(dib + 24), 11811u);
}

TEST(Image, JpegQualityRoundsFromItsStoredValue)
{
    CxImage image;
    EXPECT_EQ(image.GetJpegQuality(), 90);
    for (int quality : {0, 1, 75, 90, 100, 255})
    {
        image.SetJpegQuality(static_cast<std::uint8_t>(quality));
        EXPECT_EQ(image.GetJpegQuality(), quality);
    }
}

TEST(Image, CreateFromBitmapKeepsDibLayoutAndColours)
{
    // 3 x 2 pixels, top row first: red, green, blue / white, black, (16, 32, 48).
    const QRgb colours[6] = {qRgb(255, 0, 0),     qRgb(0, 255, 0), qRgb(0, 0, 255),
                             qRgb(255, 255, 255), qRgb(0, 0, 0),   qRgb(16, 32, 48)};
    QImage rgb(3, 2, QImage::Format_RGB32);
    for (int i = 0; i < 6; ++i)
        rgb.setPixel(i % 3, i / 3, colours[i]);

    // Every deeper format becomes 24 bits, blue-green-red, bottom row first.
    for (QImage::Format format :
         {QImage::Format_RGB32, QImage::Format_ARGB32, QImage::Format_ARGB32_Premultiplied,
          QImage::Format_RGB888, QImage::Format_RGBA8888, QImage::Format_BGR30})
    {
        CxImage image;
        ASSERT_TRUE(image.CreateFromHBITMAP(rgb.convertToFormat(format))) << format;
        ASSERT_EQ(image.GetBpp(), 24u);
        ASSERT_EQ(image.GetWidth(), 3u);
        ASSERT_EQ(image.GetHeight(), 2u);
        const std::uint8_t bottom[12] = {255, 255, 255, 0, 0, 0, 48, 32, 16, 0, 0, 0};
        const std::uint8_t top[12] = {0, 0, 255, 0, 255, 0, 255, 0, 0, 0, 0, 0};
        EXPECT_EQ(std::memcmp(image.GetBits(0), bottom, 12), 0) << format;
        EXPECT_EQ(std::memcmp(image.GetBits(1), top, 12), 0) << format;
    }

    // Indexed pictures keep their indices and palette.
    QImage indexed(3, 2, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(10, 20, 30), qRgb(200, 100, 50), qRgb(255, 255, 255)});
    for (int i = 0; i < 6; ++i)
        indexed.setPixel(i % 3, i / 3, static_cast<uint>(i % 3));
    CxImage image;
    ASSERT_TRUE(image.CreateFromHBITMAP(indexed));
    ASSERT_EQ(image.GetBpp(), 8u);
    ASSERT_EQ(image.GetNumColors(), 256u);
    EXPECT_FALSE(image.IsGrayScale());
    const std::uint8_t row[3] = {0, 1, 2};
    EXPECT_EQ(std::memcmp(image.GetBits(0), row, 3), 0);
    EXPECT_EQ(std::memcmp(image.GetBits(1), row, 3), 0);

    QImage grey(2, 2, QImage::Format_Grayscale8);
    grey.fill(77);
    ASSERT_TRUE(image.CreateFromHBITMAP(grey));
    EXPECT_EQ(image.GetBpp(), 8u);
    EXPECT_TRUE(image.IsGrayScale());
    EXPECT_EQ(image.GetBits(1)[1], 77);

    EXPECT_FALSE(image.CreateFromHBITMAP(QImage()));
}
