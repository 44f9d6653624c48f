#include "export/encoder/xFile.h"
#include "export/encoder/xImage.h"
#include "export/encoder/xPngRowWriter.h"
#include "tests/export/ImageReaders.h"
#include "tests/support/TempDir.h"

#include <QCryptographicHash>
#include <QImage>
#include <QJsonArray>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace
{
// 3 x 2 pixels, top row first: red, green, blue / white, black, (16, 32, 48).
const QRgb SmallColours[6] = {qRgb(255, 0, 0),     qRgb(0, 255, 0), qRgb(0, 0, 255),
                              qRgb(255, 255, 255), qRgb(0, 0, 0),   qRgb(16, 32, 48)};

// The small picture filled the way the graphic export fills its combined image: rows
// copied in through GetBits, blue-green-red, bottom row first.
void FillSmall(CxImage& image)
{
    ASSERT_NE(image.Create(3, 2, 24), nullptr);
    for (int y = 0; y < 2; ++y)
    {
        std::uint8_t* row = image.GetBits(static_cast<std::uint32_t>(1 - y));
        for (int x = 0; x < 3; ++x)
        {
            const QRgb c = SmallColours[3 * y + x];
            row[3 * x] = static_cast<std::uint8_t>(qBlue(c));
            row[3 * x + 1] = static_cast<std::uint8_t>(qGreen(c));
            row[3 * x + 2] = static_cast<std::uint8_t>(qRed(c));
        }
    }
}

std::vector<std::uint8_t> EncodeBytes(CxImage& image, std::uint32_t format)
{
    CxMemFile::Buffer buffer;
    std::int64_t size = 0;
    if (!image.EncodeToMemory(&buffer, &size, format))
        return {};
    return {buffer.get(), buffer.get() + size};
}

QString WriteEncoded(CxImage& image, std::uint32_t format, const TempDir& dir, const QString& name)
{
    const std::vector<std::uint8_t> bytes = EncodeBytes(image, format);
    const QString path = dir.File(name);
    if (bytes.empty() || !WriteFile(path, bytes.data(), static_cast<std::int64_t>(bytes.size())))
        return {};
    return path;
}

QJsonArray Rgb(QRgb c)
{
    return QJsonArray{qRed(c), qGreen(c), qBlue(c)};
}

QJsonArray Ints(std::initializer_list<int> values)
{
    QJsonArray array;
    for (int v : values)
        array.append(v);
    return array;
}

// Expected file bytes, written field by field as the format lays them out.
struct LeBytes
{
    std::vector<std::uint8_t> bytes;
    LeBytes& Str(const char* text)
    {
        bytes.insert(bytes.end(), text, text + std::strlen(text));
        return *this;
    }
    LeBytes& U16(std::uint32_t v)
    {
        bytes.push_back(static_cast<std::uint8_t>(v));
        bytes.push_back(static_cast<std::uint8_t>(v >> 8));
        return *this;
    }
    LeBytes& U32(std::uint32_t v) { return U16(v).U16(v >> 16); }
    LeBytes& Raw(std::initializer_list<std::uint8_t> raw)
    {
        bytes.insert(bytes.end(), raw);
        return *this;
    }
};

// A stream that takes at most `room` bytes; a write that does not fit takes nothing.
class LimitedFile : public CxFile
{
public:
    explicit LimitedFile(std::size_t room, bool flushOk = true, int error = 0)
        : m_room(room), m_flushOk(flushOk), m_error(error)
    {
    }
    bool Close() override { return true; }
    std::size_t Read(void*, std::size_t, std::size_t) override { return 0; }
    std::size_t Write(const void*, std::size_t size, std::size_t count) override
    {
        if (size * count > m_room - m_written)
            return 0;
        m_written += size * count;
        return count;
    }
    bool Seek(std::int64_t, int) override { return false; }
    std::int64_t Tell() override { return static_cast<std::int64_t>(m_written); }
    std::int64_t Size() override { return static_cast<std::int64_t>(m_written); }
    bool Flush() override { return m_flushOk; }
    bool Eof() override { return true; }
    int Error() override { return m_error; }
    int GetC() override { return -1; }
    char* GetS(char*, int) override { return nullptr; }
    int Scanf(const char*, void*) override { return 0; }

private:
    std::size_t m_room;
    std::size_t m_written = 0;
    bool m_flushOk;
    int m_error;
};

// A picture with detail everywhere, so that JPEG output runs over several 4096-byte buffers.
QImage NoisyPicture(int width, int height)
{
    QImage picture(width, height, QImage::Format_RGB32);
    std::uint32_t state = 12345;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
        {
            state = state * 1103515245u + 12345u;
            picture.setPixel(x, y, 0xFF000000u | (state >> 8));
        }
    return picture;
}
} // namespace

TEST(ImageEncode, BmpOfA24BitImageMatchesTheFormatByteForByte)
{
    CxImage image;
    FillSmall(image);
    LeBytes expected;
    expected.Str("BM").U32(78).U16(0).U16(0).U32(54);             // file header
    expected.U32(40).U32(3).U32(2).U16(1).U16(24).U32(0).U32(24); // size ... image size
    expected.U32(3780).U32(3780).U32(0).U32(0);                   // 96 dpi, no palette
    expected.Raw({255, 255, 255, 0, 0, 0, 48, 32, 16, 0, 0, 0});  // bottom row, padded to 12
    expected.Raw({0, 0, 255, 0, 255, 0, 255, 0, 0, 0, 0, 0});     // top row
    EXPECT_EQ(EncodeBytes(image, CxImage::FormatBmp), expected.bytes);

    TempDir dir;
    const QString path = WriteEncoded(image, CxImage::FormatBmp, dir, QStringLiteral("small.bmp"));
    const QJsonObject read = PillowRead(path);
    EXPECT_EQ(read[QStringLiteral("format")].toString(), QStringLiteral("BMP"));
    QJsonArray pixels;
    for (QRgb c : SmallColours)
        pixels.append(Rgb(c));
    EXPECT_EQ(read[QStringLiteral("pixels")].toArray(), pixels);
}

TEST(ImageEncode, BmpOfAMonochromeImageCarriesItsPalette)
{
    QImage mono(3, 2, QImage::Format_Mono);
    mono.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    mono.fill(0);
    mono.setPixel(0, 0, 1); // top left white
    mono.setPixel(2, 1, 1); // bottom right white
    CxImage image;
    ASSERT_TRUE(image.CreateFromHBITMAP(mono));
    LeBytes expected;
    expected.Str("BM").U32(70).U16(0).U16(0).U32(62);           // file header
    expected.U32(40).U32(3).U32(2).U16(1).U16(1).U32(0).U32(8); // size ... image size
    expected.U32(3780).U32(3780).U32(2).U32(0);                 // 96 dpi, 2 colours
    expected.Raw({0, 0, 0, 0, 255, 255, 255, 0});               // palette: black, white
    expected.Raw({0x20, 0, 0, 0});                              // bottom row: pixel 2 set
    expected.Raw({0x80, 0, 0, 0});                              // top row: pixel 0 set
    EXPECT_EQ(EncodeBytes(image, CxImage::FormatBmp), expected.bytes);
}

TEST(ImageEncode, PngShowsTheTopRowFirstInRgbWithWhiteBackgroundAnd96Dpi)
{
    CxImage image;
    FillSmall(image);
    const std::vector<std::uint8_t> dibBefore(image.GetBits(0), image.GetBits(0) + 24);
    TempDir dir;
    const QString path = WriteEncoded(image, CxImage::FormatPng, dir, QStringLiteral("small.png"));
    ASSERT_FALSE(path.isEmpty()) << image.GetLastError();
    // The DIB itself stays blue-green-red.
    EXPECT_EQ(std::vector<std::uint8_t>(image.GetBits(0), image.GetBits(0) + 24), dibBefore);

    const ToolResult check = RunTool(QStringLiteral("pngcheck"), {QStringLiteral("-v"), path});
    EXPECT_EQ(check.exitCode, 0) << check.out.toStdString();

    const QJsonObject read = PillowRead(path);
    EXPECT_EQ(read[QStringLiteral("mode")].toString(), QStringLiteral("RGB"));
    QJsonArray pixels;
    for (QRgb c : SmallColours)
        pixels.append(Rgb(c));
    EXPECT_EQ(read[QStringLiteral("pixels")].toArray(), pixels);
    EXPECT_EQ(read[QStringLiteral("ihdr")].toArray(), Ints({3, 2, 8, 2, 0, 0, 0}));
    EXPECT_EQ(read[QStringLiteral("phys")].toArray(), Ints({3780, 3780, 1}));
    EXPECT_EQ(read[QStringLiteral("bkgd")].toArray(), Ints({0, 255, 0, 255, 0, 255}));
    const QJsonArray chunks = read[QStringLiteral("chunks")].toArray();
    EXPECT_FALSE(chunks.contains(QStringLiteral("tRNS")));
    EXPECT_EQ(chunks.first().toString(), QStringLiteral("IHDR"));
    EXPECT_EQ(chunks.last().toString(), QStringLiteral("IEND"));
}

TEST(ImageEncode, JpegShowsTheTopRowFirstAtQuality90And96Dpi)
{
    // Top half red, bottom half blue, in whole 16-pixel blocks so that colours survive.
    QImage picture(32, 32, QImage::Format_RGB32);
    picture.fill(qRgb(255, 0, 0));
    for (int y = 16; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            picture.setPixel(x, y, qRgb(0, 0, 255));
    CxImage image;
    ASSERT_TRUE(image.CreateFromHBITMAP(picture));
    image.SetJpegQuality(90);
    const std::vector<std::uint8_t> dibBefore(image.GetBits(0), image.GetBits(0) + image.GetSize() - 40);
    TempDir dir;
    const QString path = WriteEncoded(image, CxImage::FormatJpg, dir, QStringLiteral("halves.jpg"));
    ASSERT_FALSE(path.isEmpty()) << image.GetLastError();
    EXPECT_EQ(std::vector<std::uint8_t>(image.GetBits(0), image.GetBits(0) + image.GetSize() - 40),
              dibBefore);

    DecodedImage decoded;
    ASSERT_TRUE(DjpegDecode(path, &decoded));
    ASSERT_EQ(decoded.width, 32);
    ASSERT_EQ(decoded.height, 32);
    ASSERT_EQ(decoded.components, 3);
    const auto near = [&](int x, int y, QRgb c)
    {
        const std::uint8_t* s = &decoded.samples[3 * (32 * y + x)];
        return std::abs(s[0] - qRed(c)) <= 6 && std::abs(s[1] - qGreen(c)) <= 6 &&
               std::abs(s[2] - qBlue(c)) <= 6;
    };
    EXPECT_TRUE(near(4, 4, qRgb(255, 0, 0)));
    EXPECT_TRUE(near(27, 27, qRgb(0, 0, 255)));

    const QJsonObject read = PillowRead(path);
    EXPECT_EQ(read[QStringLiteral("jfif_unit")].toInt(), 1);
    EXPECT_EQ(read[QStringLiteral("jfif_density")].toArray(), Ints({96, 96}));
    EXPECT_EQ(read[QStringLiteral("sampling")].toArray(),
              QJsonArray({Ints({2, 2}), Ints({1, 1}), Ints({1, 1})}));
    // Quality 90 scales the standard luminance table by 20 %: its first entry 16 becomes 3.
    EXPECT_EQ(read[QStringLiteral("quant0")].toArray().first().toInt(), 3);
}

TEST(ImageEncode, PalettePicturesKeepTheirColoursInEveryFormat)
{
    struct Case
    {
        const char* name;
        QImage picture;
        const char* pngMode;
        bool jpegOk;
    };
    QImage indexed(4, 3, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(10, 20, 30), qRgb(200, 100, 50), qRgb(255, 255, 255)});
    QImage grey(4, 3, QImage::Format_Grayscale8);
    // A grey ramp of one bit: index 1 is (1, 1, 1), not white.
    QImage darkMono(4, 3, QImage::Format_Mono);
    darkMono.setColorTable({qRgb(0, 0, 0), qRgb(1, 1, 1)});
    QImage mono(4, 3, QImage::Format_MonoLSB);
    mono.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 128)});
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
        {
            indexed.setPixel(x, y, static_cast<uint>((x + y) % 3));
            grey.setPixel(x, y, static_cast<uint>(40 * x + 60 * y));
            darkMono.setPixel(x, y, static_cast<uint>((x + y) % 2));
            mono.setPixel(x, y, static_cast<uint>(x == y));
        }
    const Case cases[] = {{"indexed", indexed, "P", false},
                          {"grey", grey, "L", true},
                          {"dark mono", darkMono, "P", true},
                          {"mono", mono, "P", false}};
    TempDir dir;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        CxImage image;
        ASSERT_TRUE(image.CreateFromHBITMAP(c.picture));
        QJsonArray pixels;
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x)
                pixels.append(Rgb(c.picture.pixel(x, y)));

        for (std::uint32_t format : {CxImage::FormatBmp, CxImage::FormatPng})
        {
            const QString path = WriteEncoded(image, format, dir, QStringLiteral("palette.img"));
            ASSERT_FALSE(path.isEmpty()) << image.GetLastError();
            const QJsonObject read = PillowRead(path);
            EXPECT_EQ(read[QStringLiteral("pixels")].toArray(), pixels) << format;
            if (format == CxImage::FormatPng)
            {
                EXPECT_EQ(read[QStringLiteral("mode")].toString(), QString::fromLatin1(c.pngMode));
                EXPECT_EQ(RunTool(QStringLiteral("pngcheck"), {path}).exitCode, 0);
            }
        }

        CxMemFile::Buffer buffer;
        std::int64_t size = 0;
        EXPECT_EQ(image.EncodeToMemory(&buffer, &size, CxImage::FormatJpg), c.jpegOk);
        if (!c.jpegOk)
        {
            EXPECT_STREQ(image.GetLastError(), "JPEG can save only RGB or GreyScale images");
            EXPECT_FALSE(buffer);
            continue;
        }
        const QString path = dir.File(QStringLiteral("grey.jpg"));
        ASSERT_TRUE(WriteFile(path, buffer.get(), size));
        DecodedImage decoded;
        ASSERT_TRUE(DjpegDecode(path, &decoded));
        ASSERT_EQ(decoded.components, 1);
        ASSERT_EQ(decoded.width, 4);
        for (int i = 0; i < 12; ++i)
            EXPECT_NEAR(decoded.samples[i], qGray(c.picture.pixel(i % 4, i / 4)), 4) << "pixel " << i;
    }
}

TEST(ImageEncode, JpegBytesStayAsTheyWere)
{
    // Hashes of the files the writer gave when it still swapped every row to red-green-blue
    // itself: handing libjpeg the rows as they lie must not change a byte. They hold for
    // libjpeg-turbo's default encoder; should a new library version change its output,
    // check the pictures with djpeg and take the new hashes.
    QImage gradient(64, 40, QImage::Format_RGB32);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 64; ++x)
            gradient.setPixel(x, y, qRgb(4 * x, 6 * y, 255 - 2 * x - 3 * y));
    QImage grey(30, 17, QImage::Format_Grayscale8);
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 30; ++x)
            grey.setPixel(x, y, static_cast<uint>((x * 37 + y * 11) % 256));
    QImage darkMono(13, 5, QImage::Format_Mono);
    darkMono.setColorTable({qRgb(0, 0, 0), qRgb(1, 1, 1)});
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 13; ++x)
            darkMono.setPixel(x, y, static_cast<uint>((x + y) % 2));
    struct Case
    {
        const char* name;
        QImage picture;
        std::uint8_t quality;
        const char* sha256;
    };
    const Case cases[] = {
        {"noise, rows padded", NoisyPicture(37, 29), 90,
         "d276333ae784e2eb0237c426d6bbaf7af6f6b1e328ebf2cea28e95d3b602b073"},
        {"colour gradient", gradient, 75, "2a35ef884f17347bc1436b7cd86fc70ac16974466eb91c86d61874b3be4e70d4"},
        {"grey", grey, 90, "2af765494f011592039e7848d7b8bc510537e9c02002fd3f70ca2d4647ec5c98"},
        {"grey ramp of one bit", darkMono, 50,
         "b34b024dc1d069472e2240952f755730ef33eeb773d5909602ef4b4c8d705d3a"},
    };
    for (const Case& c : cases)
    {
        CxImage image;
        ASSERT_TRUE(image.CreateFromHBITMAP(c.picture)) << c.name;
        image.SetJpegQuality(c.quality);
        const std::vector<std::uint8_t> bytes = EncodeBytes(image, CxImage::FormatJpg);
        ASSERT_FALSE(bytes.empty()) << c.name;
        const QByteArray hash = QCryptographicHash::hash(
            QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())), QCryptographicHash::Sha256);
        EXPECT_EQ(hash.toHex().toStdString(), c.sha256) << c.name;
    }
}

TEST(ImageEncode, RefusalsNameTheirCause)
{
    CxImage empty;
    CxImage image;
    FillSmall(image);
    CxMemFile file;
    ASSERT_TRUE(file.Open());
    for (std::uint32_t format : {CxImage::FormatBmp, CxImage::FormatPng, CxImage::FormatJpg})
    {
        EXPECT_FALSE(image.Encode(nullptr, format));
        EXPECT_STREQ(image.GetLastError(), "null file handler") << format;
        EXPECT_FALSE(empty.Encode(&file, format));
        EXPECT_STREQ(empty.GetLastError(), "null image!!!") << format;
    }
    for (std::uint32_t format : {0u, 2u, 5u})
    {
        EXPECT_FALSE(image.Encode(&file, format));
        EXPECT_STREQ(image.GetLastError(), "Encode: Unknown format") << format;
    }
    EXPECT_EQ(file.Size(), 0);

    // A buffer that already holds something is neither used nor freed.
    CxMemFile::Buffer held(static_cast<std::uint8_t*>(std::malloc(4)));
    std::uint8_t* const before = held.get();
    std::int64_t size = 99;
    EXPECT_FALSE(image.EncodeToMemory(&held, &size, CxImage::FormatPng));
    EXPECT_STREQ(image.GetLastError(), "the buffer must be empty");
    EXPECT_EQ(held.get(), before);
    EXPECT_EQ(size, 99);

    CxMemFile::Buffer none;
    EXPECT_FALSE(empty.EncodeToMemory(&none, &size, CxImage::FormatBmp));
    EXPECT_FALSE(none);
    EXPECT_FALSE(image.EncodeToMemory(&none, &size, 2));
    EXPECT_FALSE(none);
}

TEST(ImageEncode, AStreamThatFailsMakesTheEncodeFail)
{
    CxImage small;
    FillSmall(small);
    CxImage noisy;
    ASSERT_TRUE(noisy.CreateFromHBITMAP(NoisyPicture(64, 64)));
    const char* const jpegWrite = "Output file write error --- out of disk space?";
    struct Case
    {
        const char* name;
        CxImage* image;
        std::uint32_t format;
        LimitedFile file;
        const char* error;
    } cases[] = {
        {"bmp header", &small, CxImage::FormatBmp, LimitedFile(10), "Write Error"},
        {"bmp pixels", &small, CxImage::FormatBmp, LimitedFile(70), "Write Error"},
        {"png start", &small, CxImage::FormatPng, LimitedFile(20), "Error saving PNG file"},
        {"png data", &noisy, CxImage::FormatPng, LimitedFile(4000), "Error saving PNG file"},
        {"jpeg rest", &small, CxImage::FormatJpg, LimitedFile(100), jpegWrite},
        {"jpeg full buffer", &noisy, CxImage::FormatJpg, LimitedFile(0), jpegWrite},
        {"jpeg stream error", &small, CxImage::FormatJpg, LimitedFile(1 << 20, true, 1), jpegWrite},
    };
    for (Case& c : cases)
    {
        EXPECT_FALSE(c.image->Encode(&c.file, c.format)) << c.name;
        EXPECT_STREQ(c.image->GetLastError(), c.error) << c.name;
    }
    // With room enough the same streams succeed.
    for (std::uint32_t format : {CxImage::FormatBmp, CxImage::FormatPng, CxImage::FormatJpg})
    {
        LimitedFile roomy(1 << 20);
        EXPECT_TRUE(noisy.Encode(&roomy, format)) << format << ": " << noisy.GetLastError();
    }
}

// Parts pasted into an unfilled picture one below the other make the same DIB as the whole
// picture converted at once, the bytes that pad each row included (a BMP file carries
// them); a part that does not fit changes nothing and is refused.
TEST(ImageEncode, PastedPartsMakeThePictureTheWholeConversionMakes)
{
    QImage whole(3, 5, QImage::Format_ARGB32);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 3; ++x)
            whole.setPixel(x, y, qRgb(40 * y + x, 200 - 30 * y, 7 * x + y));
    CxImage expected;
    ASSERT_TRUE(expected.CreateFromHBITMAP(whole));

    CxImage combined;
    ASSERT_NE(combined.CreateUnfilled(3, 5, 24), nullptr);
    // What an allocator may leave in the memory.
    std::memset(combined.GetBits(0), 0xA5, combined.GetEffWidth() * 5);
    EXPECT_TRUE(combined.PasteRows(whole.copy(0, 0, 3, 2), 0));
    // The second part in another 32-bit layout: converted as the whole is.
    EXPECT_TRUE(combined.PasteRows(whole.copy(0, 2, 3, 3).convertToFormat(QImage::Format_RGB32), 2));
    ASSERT_EQ(combined.GetSize(), expected.GetSize());
    EXPECT_EQ(std::memcmp(combined.GetBits(0), expected.GetBits(0), expected.GetEffWidth() * 5), 0);

    struct Refused
    {
        const char* name;
        QImage part;
        std::uint32_t top;
    };
    QImage indexed(3, 1, QImage::Format_Indexed8);
    indexed.setColorCount(1);
    indexed.fill(0);
    const Refused refused[] = {
        {"wider", QImage(4, 1, QImage::Format_RGB32), 0},
        {"narrower", QImage(2, 1, QImage::Format_RGB32), 0},
        {"past the last row", QImage(3, 2, QImage::Format_RGB32), 4},
        {"starts below the picture", QImage(3, 1, QImage::Format_RGB32), 6},
        {"palette picture", indexed, 0},
        {"no picture", QImage(), 0},
    };
    const std::vector<std::uint8_t> before(combined.GetBits(0),
                                           combined.GetBits(0) + combined.GetEffWidth() * 5);
    for (const Refused& r : refused)
    {
        EXPECT_FALSE(combined.PasteRows(r.part, r.top)) << r.name;
        EXPECT_EQ(
            std::vector<std::uint8_t>(combined.GetBits(0), combined.GetBits(0) + combined.GetEffWidth() * 5),
            before)
            << r.name;
    }
    CxImage none;
    EXPECT_FALSE(none.PasteRows(whole, 0));
}

// The row writer takes a picture's rows exactly: a piece that does not fit is refused whole
// and leaves the rows before it to go on with; the file it ends is the one the whole picture
// gives. A file short of rows is not ended, and a stream that fails stops the writer.
TEST(ImageEncode, PngRowWriterTakesOnlyPiecesThatFit)
{
    const QImage whole = NoisyPicture(3, 5);
    CxImage image;
    ASSERT_TRUE(image.CreateFromHBITMAP(whole));
    const std::vector<std::uint8_t> expected = EncodeBytes(image, CxImage::FormatPng);

    CxMemFile file;
    ASSERT_TRUE(file.Open());
    CxPngRowWriter png;
    ASSERT_TRUE(png.Start(&file, CxPngRowWriter::Rgb(3, 5)));
    QImage indexed(3, 1, QImage::Format_Indexed8);
    indexed.setColorCount(1);
    indexed.fill(0);
    const struct
    {
        const char* name;
        QImage piece;
    } refused[] = {
        {"wider", QImage(4, 1, QImage::Format_RGB32)},
        {"narrower", QImage(2, 1, QImage::Format_RGB32)},
        {"more rows than the picture", QImage(3, 6, QImage::Format_RGB32)},
        {"palette picture", indexed},
        {"no picture", QImage()},
    };
    for (const auto& r : refused)
        EXPECT_EQ(png.AppendRows(r.piece), CxRowSink::NAppend::DoesNotFit) << r.name;
    EXPECT_EQ(png.AppendRows(whole.copy(0, 0, 3, 2)), CxRowSink::NAppend::Done);
    EXPECT_EQ(png.AppendRows(whole.copy(0, 2, 3, 4)), CxRowSink::NAppend::DoesNotFit);
    EXPECT_EQ(png.GetRowCount(), 2u);
    // Another 32-bit layout is read as the whole picture is.
    EXPECT_EQ(png.AppendRows(whole.copy(0, 2, 3, 3).convertToFormat(QImage::Format_ARGB32_Premultiplied)),
              CxRowSink::NAppend::Done);
    ASSERT_TRUE(png.Finish()) << png.GetLastError();
    EXPECT_EQ(std::vector<std::uint8_t>(file.GetBuffer(false), file.GetBuffer(false) + file.Size()),
              expected);

    CxMemFile shortFile;
    ASSERT_TRUE(shortFile.Open());
    CxPngRowWriter shortPng;
    ASSERT_TRUE(shortPng.Start(&shortFile, CxPngRowWriter::Rgb(3, 5)));
    EXPECT_EQ(shortPng.AppendRows(whole.copy(0, 0, 3, 4)), CxRowSink::NAppend::Done);
    const std::int64_t before = shortFile.Size();
    EXPECT_FALSE(shortPng.Finish());
    EXPECT_STREQ(shortPng.GetLastError(), "Error saving PNG file");
    EXPECT_EQ(shortFile.Size(), before);

    LimitedFile small(100);
    CxPngRowWriter stopped;
    ASSERT_TRUE(stopped.Start(&small, CxPngRowWriter::Rgb(64, 64)));
    EXPECT_EQ(stopped.AppendRows(NoisyPicture(64, 64)), CxRowSink::NAppend::Failed);
    EXPECT_STREQ(stopped.GetLastError(), "Error saving PNG file");
    EXPECT_EQ(stopped.AppendRows(NoisyPicture(64, 1)), CxRowSink::NAppend::Failed);
    EXPECT_FALSE(stopped.Finish());
}
