#include "export/core/GraphicExport.h"
#include "export/core/ExportImage.h"
#include "export/encoder/xImage.h"
#include "resources/BuiltInStrings.h"
#include "tests/export/FakeExportFeedback.h"
#include "tests/export/ImageReaders.h"
#include "tests/support/TempDir.h"

#include <QDir>
#include <QImage>
#include <QJsonArray>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <vector>

namespace
{
using NResult = CGraphicExport::NResult;

constexpr int kWidth = 6;
constexpr int kHeadingRows = 3;
const QRgb kHeadingColour = qRgb(200, 10, 10);

QRgb PartColour(int part)
{
    return qRgb(10, 40 * part + 20, 250 - 40 * part);
}

// A page of parts of different heights (2, 3, 4, ... rows), each a band of its own colour,
// below a heading band.
class FakePage final : public GraphicExportPage
{
public:
    explicit FakePage(int parts) : m_parts(parts) {}
    int GetPartCount() const override { return m_parts; }
    void ShowAllParts() override
    {
        m_shown.clear();
        for (int k = 0; k < m_parts; ++k)
            m_shown.push_back(k);
        m_headings = true;
        ++showAllCalls;
    }
    void ShowPart(int part, bool withHeadings) override
    {
        m_shown = {part};
        m_headings = withHeadings;
    }
    long long GetShownWidth() const override { return kWidth; }
    long long GetShownHeight() const override
    {
        long long h = m_headings ? kHeadingRows : 0;
        for (int k : m_shown)
            h += PartRows(k);
        return h;
    }
    bool Render(QImage* picture) override
    {
        if (failRender)
            return false;
        const int width = m_shown.size() == 1 && m_shown[0] == wrongWidthPart ? kWidth + 1 : kWidth;
        QImage image(width, int(GetShownHeight()), QImage::Format_RGB32);
        int y = 0;
        if (m_headings)
            for (; y < kHeadingRows; ++y)
                for (int x = 0; x < width; ++x)
                    image.setPixel(x, y, kHeadingColour);
        for (int k : m_shown)
            for (int r = 0; r < PartRows(k); ++r, ++y)
                for (int x = 0; x < width; ++x)
                    image.setPixel(x, y, PartColour(k));
        *picture = image;
        return true;
    }
    static int PartRows(int part) { return 2 + part; }

    bool failRender = false;
    int wrongWidthPart = -1;
    int showAllCalls = 0;

private:
    int m_parts;
    std::vector<int> m_shown;
    bool m_headings = true;
};

// The colour of every row of a picture file, read by Pillow (all pixels of a row alike).
std::vector<QRgb> RowColours(const QString& path, int* width = nullptr)
{
    const QJsonObject read = PillowRead(path);
    const QJsonArray size = read[QStringLiteral("size")].toArray();
    const QJsonArray pixels = read[QStringLiteral("pixels")].toArray();
    if (width)
        *width = size[0].toInt();
    std::vector<QRgb> rows;
    for (int y = 0; y < size[1].toInt(); ++y)
    {
        const QJsonArray p = pixels[y * size[0].toInt()].toArray();
        rows.push_back(qRgb(p[0].toInt(), p[1].toInt(), p[2].toInt()));
    }
    return rows;
}

std::vector<QRgb> Band(QRgb colour, int rows)
{
    return std::vector<QRgb>(size_t(rows), colour);
}

class GraphicExportTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { RegisterBuiltInStrings(); }
    QStringList Files() const { return QDir(dir.Path()).entryList(QDir::Files, QDir::Name); }

    TempDir dir;
    FakeExportFeedback feedback;
};
} // namespace

TEST_F(GraphicExportTest, OnePngPerSeriesIsNumberedBeforeTheSuffixWithTheHeadingsInEach)
{
    FakePage page(2);
    ASSERT_EQ(CGraphicExport::Run(page, CGraphicExport::TargetFilePerSeries, 1,
                                  dir.File(QStringLiteral("x.png")), feedback),
              NResult::Done);
    EXPECT_EQ(Files(), (QStringList{QStringLiteral("x1.png"), QStringLiteral("x2.png")}));
    for (int k = 0; k < 2; ++k)
    {
        const QString path = dir.File(QStringLiteral("x%1.png").arg(k + 1));
        const ToolResult check = RunTool(QStringLiteral("pngcheck"), {path});
        EXPECT_EQ(check.exitCode, 0) << check.out.toStdString();
        int width = 0;
        std::vector<QRgb> expected = Band(kHeadingColour, kHeadingRows);
        const std::vector<QRgb> part = Band(PartColour(k), FakePage::PartRows(k));
        expected.insert(expected.end(), part.begin(), part.end());
        EXPECT_EQ(RowColours(path, &width), expected);
        EXPECT_EQ(width, kWidth);
    }
    EXPECT_TRUE(feedback.errors.empty());
    EXPECT_EQ(feedback.positions.back(), 1000);
}

TEST_F(GraphicExportTest, JpegNamesKeepTheirLongSuffix)
{
    FakePage page(2);
    ASSERT_EQ(CGraphicExport::Run(page, CGraphicExport::TargetFilePerSeries, 2,
                                  dir.File(QStringLiteral("x.jpeg")), feedback),
              NResult::Done);
    EXPECT_EQ(Files(), (QStringList{QStringLiteral("x1.jpeg"), QStringLiteral("x2.jpeg")}));
    EXPECT_EQ(PillowRead(dir.File(QStringLiteral("x1.jpeg")))[QStringLiteral("format")].toString(),
              QStringLiteral("JPEG"));
}

TEST_F(GraphicExportTest, OneFileStacksThePartsWithTheHeadingsOnceAtTheTop)
{
    FakePage page(3);
    const QString path = dir.File(QStringLiteral("all.bmp"));
    ASSERT_EQ(CGraphicExport::Run(page, CGraphicExport::TargetOneFile, 0, path, feedback), NResult::Done);
    std::vector<QRgb> expected = Band(kHeadingColour, kHeadingRows);
    for (int k = 0; k < 3; ++k)
    {
        const std::vector<QRgb> part = Band(PartColour(k), FakePage::PartRows(k));
        expected.insert(expected.end(), part.begin(), part.end());
    }
    EXPECT_EQ(RowColours(path), expected);
    EXPECT_EQ(PillowRead(path)[QStringLiteral("format")].toString(), QStringLiteral("BMP"));
}

TEST_F(GraphicExportTest, ClipboardGetsOnePictureAndNoFileIsWritten)
{
    FakePage page(3);
    ASSERT_EQ(CGraphicExport::Run(page, CGraphicExport::TargetClipboard, 1, QString(), feedback),
              NResult::Done);
    ASSERT_EQ(feedback.clipboardImages.size(), 1u);
    EXPECT_EQ(feedback.clipboardImages[0].height(), kHeadingRows + 2 + 3 + 4);
    EXPECT_TRUE(Files().isEmpty());

    feedback = FakeExportFeedback();
    feedback.clipboardFails = true;
    EXPECT_EQ(CGraphicExport::Run(page, CGraphicExport::TargetClipboard, 1, QString(), feedback),
              NResult::Failed);
    EXPECT_EQ(feedback.errors, std::vector<QString>{QStringLiteral("Copy to Clipboard failed!")});
}

TEST_F(GraphicExportTest, FailuresAreReportedAndLeaveNoFile)
{
    const QString blocked = dir.File(QStringLiteral("missing/x.png"));
    const struct
    {
        const char* name;
        int target;
        QString path;
        bool failRender;
        int wrongWidthPart;
        const char* message;
    } cases[] = {
        {"folder missing", CGraphicExport::TargetOneFile, blocked, false, -1, "File could not be created"},
        {"folder missing, per series", CGraphicExport::TargetFilePerSeries, blocked, false, -1,
         "File could not be created"},
        {"render fails", CGraphicExport::TargetOneFile, dir.File(QStringLiteral("r.png")), true, -1,
         "Bitmap creation failed"},
        {"part of another width", CGraphicExport::TargetOneFile, dir.File(QStringLiteral("w.png")), false, 1,
         "did not fit together"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        FakePage page(3);
        page.failRender = c.failRender;
        page.wrongWidthPart = c.wrongWidthPart;
        feedback = FakeExportFeedback();
        EXPECT_EQ(CGraphicExport::Run(page, c.target, 1, c.path, feedback), NResult::Failed);
        ASSERT_EQ(feedback.errors.size(), 1u);
        EXPECT_TRUE(feedback.errors[0].contains(QLatin1String(c.message)))
            << feedback.errors[0].toStdString();
        EXPECT_TRUE(Files().isEmpty());
    }
    // The message of a file that cannot be created names it.
    FakePage page(1);
    feedback = FakeExportFeedback();
    CGraphicExport::Run(page, CGraphicExport::TargetOneFile, 1, blocked, feedback);
    ASSERT_EQ(feedback.errors.size(), 1u);
    EXPECT_TRUE(feedback.errors[0].contains(blocked));
}

TEST_F(GraphicExportTest, NothingToExportIsSaidAndNothingIsEncoded)
{
    FakePage page(0);
    EXPECT_EQ(CGraphicExport::Run(page, CGraphicExport::TargetOneFile, 1, dir.File(QStringLiteral("x.png")),
                                  feedback),
              NResult::NothingToExport);
    EXPECT_EQ(feedback.notices.size(), 1u);
    EXPECT_EQ(page.showAllCalls, 0);
    EXPECT_TRUE(Files().isEmpty());
}

TEST_F(GraphicExportTest, PerSeriesAsksOnlyAboutTheNumberedFilesThatExist)
{
    FakePage page(2);
    QFile existing(dir.File(QStringLiteral("x2.png")));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();
    QFile chosen(dir.File(QStringLiteral("x.png")));
    ASSERT_TRUE(chosen.open(QIODevice::WriteOnly));
    chosen.close();
    feedback.replace = false;
    EXPECT_EQ(CGraphicExport::Run(page, CGraphicExport::TargetFilePerSeries, 1,
                                  dir.File(QStringLiteral("x.png")), feedback),
              NResult::Declined);
    ASSERT_EQ(feedback.questions.size(), 1u);
    EXPECT_EQ(feedback.questions[0], QStringList{dir.File(QStringLiteral("x2.png"))});
    EXPECT_EQ(Files(), (QStringList{QStringLiteral("x.png"), QStringLiteral("x2.png")}));
}

TEST(ExportImage, PartsAreCopiedOnlyWhenTheyFit)
{
    CxImage combined;
    ASSERT_TRUE(combined.CreateUnfilled(4, 5, 24));
    QImage part(4, 3, QImage::Format_RGB32);
    part.fill(Qt::white);
    QImage narrow(3, 1, QImage::Format_RGB32);
    narrow.fill(Qt::white);
    QImage grey(4, 1, QImage::Format_Grayscale8);
    grey.fill(0);
    const QImage none;

    EXPECT_FALSE(combined.PasteRows(narrow, 0));
    EXPECT_FALSE(combined.PasteRows(grey, 0));
    EXPECT_FALSE(combined.PasteRows(none, 0));
    EXPECT_TRUE(combined.PasteRows(part, 0));
    // Three more rows do not fit into the two that are left.
    EXPECT_FALSE(combined.PasteRows(part, 3));
    // A picture of its own format cannot take the parts either.
    CxImage palette;
    ASSERT_TRUE(palette.Create(4, 5, 8));
    EXPECT_FALSE(palette.PasteRows(part, 0));
}
