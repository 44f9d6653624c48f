#include "GridTestSupport.h"

#include "grid/PageText.h"
#include "platform/core/StringTable.h"
#include "platform/gui/PrintJob.h"
#include "tests/support/PdfReader.h"
#include "tests/support/PdfPrintDialog.h"
#include "tests/support/TempDir.h"

#include <QFile>
#include <QPrinter>
#include <QRegularExpression>

using namespace Platform;

namespace
{

class GridPrintTest : public GridFixture
{
protected:
    void SetUp() override
    {
        GridFixture::SetUp();
        StringTable::Instance().Set(0xE000, QStringLiteral("Veskador 3"));
        StringTable::Instance().Set(1021, QStringLiteral("Page %d of %d"));
        StringTable::Instance().Set(2001, QStringLiteral("dd.MM.yyyy"));
        StringTable::Instance().Set(2002, QStringLiteral("HH:mm"));
        texts.headerLeft = QStringLiteral("Velmor");
        texts.headerCentre = QStringLiteral("Measurement objects");
        texts.pageFormatId = 1021;
        texts.title = QStringLiteral("Project.v3p");
        texts.dateFormatId = 2001;
        texts.timeFormatId = 2002;
    }
    void TearDown() override { SetPrintDialogService(nullptr); }

    // 1 heading row and `rows` rows "Row n" of 22 pixels, 3 columns of 100.
    void Fill(int rows)
    {
        Build(rows + 1, 3, 1, 0, 22, 100);
        grid->SetItemText(0, 0, QStringLiteral("Name"));
        for (int r = 1; r <= rows; ++r)
            grid->SetItemText(r, 0, QStringLiteral("Row %1").arg(r));
    }

    QString Print(bool selection = false)
    {
        const QString path = dir.File(QStringLiteral("grid.pdf"));
        PdfPrintDialog dialog(path, selection);
        grid->Print(&texts);
        return path;
    }

    TempDir dir;
    GRIDPRINTTEXTS texts;
};
} // namespace

TEST_F(GridPrintTest, PagesByRowsWithHeadingsHeaderAndFooterOnEveryPage)
{
    Fill(60);
    const QString path = Print();
    const int pages = grid->GetPrintPageCount();
    ASSERT_GT(pages, 1);
    EXPECT_EQ(PdfPageCount(path), pages);

    int rowsSeen = 0;
    for (int page = 1; page <= pages; ++page)
    {
        const QString text = PdfText(path, page);
        SCOPED_TRACE(page);
        EXPECT_TRUE(text.contains(QStringLiteral("Velmor")));
        EXPECT_TRUE(text.contains(QStringLiteral("Measurement objects")));
        EXPECT_TRUE(text.contains(QStringLiteral("Veskador 3"))); // empty right header: the title
        EXPECT_TRUE(text.contains(QStringLiteral("Page %1 of %2").arg(page).arg(pages)));
        EXPECT_TRUE(text.contains(QStringLiteral("Project.v3p")));
        EXPECT_TRUE(
            text.contains(QRegularExpression(QStringLiteral("\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d"))));
        EXPECT_TRUE(text.contains(QStringLiteral("Name")));
        rowsSeen += static_cast<int>(text.count(QRegularExpression(QStringLiteral("Row \\d+"))));
    }
    // Every row printed once.
    EXPECT_EQ(rowsSeen, 60);
    EXPECT_TRUE(PdfText(path, pages).contains(QStringLiteral("Row 60")));
}

TEST_F(GridPrintTest, SelectionOnlyPrintsRowsWhoseSecondCellIsSelected)
{
    Fill(60);
    for (int row : {3, 40, 41})
        grid->SetItemState(row, 1, CELLSTATE_SELECTED);
    grid->SetItemState(5, 0, CELLSTATE_SELECTED); // column 0 does not count
    const QString path = Print(true);
    EXPECT_EQ(PdfPageCount(path), 1);
    const QString text = PdfText(path);
    EXPECT_TRUE(text.contains(QStringLiteral("Row 3")));
    EXPECT_TRUE(text.contains(QStringLiteral("Row 41")));
    EXPECT_FALSE(text.contains(QStringLiteral("Row 5\n")));
    EXPECT_EQ(text.count(QRegularExpression(QStringLiteral("Row \\d+"))), 3);
}

TEST_F(GridPrintTest, ARowTallerThanAPageGetsAPageOfItsOwn)
{
    Fill(3);
    grid->SetRowHeight(2, 5000);
    const QString path = Print();
    EXPECT_EQ(PdfPageCount(path), 3);
    EXPECT_TRUE(PdfText(path, 1).contains(QStringLiteral("Row 1")));
    EXPECT_TRUE(PdfText(path, 2).contains(QStringLiteral("Page 2 of 3")));
    EXPECT_TRUE(PdfText(path, 3).contains(QStringLiteral("Row 3")));

    // A heading taller than the page leaves no room for rows: each still gets a page.
    grid->SetRowHeight(2, 22);
    grid->SetRowHeight(0, 5000);
    const QString crowded = Print();
    EXPECT_EQ(grid->GetPrintPageCount(), 3);
    EXPECT_EQ(PdfPageCount(crowded), 3);
    EXPECT_TRUE(PdfText(crowded, 3).contains(QStringLiteral("Page 3 of 3")));
}

TEST_F(GridPrintTest, CancelledDialogPrintsNothing)
{
    Fill(3);
    const QString path = dir.File(QStringLiteral("none.pdf"));
    PdfPrintDialog dialog(path, false);
    dialog.accept = false;
    grid->Print(&texts);
    EXPECT_EQ(dialog.runs, 1);
    EXPECT_FALSE(QFile::exists(path));
}

TEST(PageText, TakesExactlyThePageAndThePageCount)
{
    struct Case
    {
        const char* format;
        const char* expected;
    } cases[] = {
        {"Page %d of %d", "Page 2 of 7"},
        {"%d/%d", "2/7"},
        {"Seite %i von %u (100%%)", "Seite 2 von 7 (100%)"},
        {"[%03d|%-3d]", "[002|7  ]"},
        {"Page %d", "2/7"},             // one field only
        {"Page %d of %d of %d", "2/7"}, // three
        {"Page %s of %d", "2/7"},       // a text field would read garbage
        {"Page %n%d", "2/7"},
        {"%d of %d%", "2/7"},
        {"", "2/7"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatPageText(QString::fromLatin1(c.format), 2, 7), QString::fromLatin1(c.expected))
            << c.format;
}
