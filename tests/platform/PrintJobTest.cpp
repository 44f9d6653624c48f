#include "platform/gui/PrintJob.h"

#include "tests/support/PdfReader.h"
#include "tests/support/TempDir.h"

#include <QPrinter>

#include <gtest/gtest.h>

using namespace Platform;

TEST(PrintJob, WritesOnePdfPagePerStartedPage)
{
    TempDir dir;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.File(QStringLiteral("job.pdf")));

    PrintJob job(printer);
    EXPECT_EQ(job.GetCanvas(), nullptr);
    ASSERT_TRUE(job.StartDoc(QStringLiteral("Grid")));
    Canvas* dc = job.GetCanvas();
    ASSERT_NE(dc, nullptr);
    EXPECT_TRUE(dc->IsPrinting());
    EXPECT_EQ(dc->GetDeviceCaps(HORZRES), printer.width());
    EXPECT_EQ(dc->GetDeviceCaps(VERTRES), printer.height());
    for (int page = 1; page <= 3; ++page)
    {
        ASSERT_TRUE(job.StartPage());
        LogFont lf;
        lf.height = -120;
        dc->SelectFont(Font(lf));
        Rect rect{0, 0, dc->GetDeviceCaps(HORZRES), 400};
        dc->DrawText(QStringLiteral("Sheet number %1").arg(page), &rect, DT_SINGLELINE | DT_CENTER);
        EXPECT_GT(job.EndPage(), 0);
    }
    EXPECT_TRUE(job.EndDoc());
    EXPECT_EQ(job.GetCanvas(), nullptr);
    EXPECT_EQ(job.GetPageCount(), 3);

    const QString path = dir.File(QStringLiteral("job.pdf"));
    EXPECT_EQ(PdfPageCount(path), 3);
    EXPECT_TRUE(PdfText(path, 2).contains(QStringLiteral("Sheet number 2")));
    EXPECT_FALSE(PdfText(path, 2).contains(QStringLiteral("Sheet number 3")));
}

TEST(PrintJob, StepsOutOfOrderAreRefused)
{
    TempDir dir;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.File(QStringLiteral("abort.pdf")));
    PrintJob job(printer);
    EXPECT_FALSE(job.StartPage());
    EXPECT_LE(job.EndPage(), 0);
    EXPECT_FALSE(job.EndDoc());
    ASSERT_TRUE(job.StartDoc(QStringLiteral("Grid")));
    EXPECT_FALSE(job.StartDoc(QStringLiteral("Again")));
    ASSERT_TRUE(job.StartPage());
    EXPECT_FALSE(job.StartPage());
    job.AbortDoc();
    EXPECT_EQ(job.GetCanvas(), nullptr);
    EXPECT_FALSE(job.EndDoc());
}
