// Printing and the exports as the user reaches them: a project opened in the main window, a
// folder chosen in the tree, series selected on the series page, and File > Print, Export
// as graphic and Export as CSV file(s) through their dialogs.
#include "app/LeftView.h"
#include "app/LocalTree.h"
#include "app/MainFrm.h"
#include "app/RightView.h"
#include "app/ToolBarExt.h"
#include "export/ExportOptionDlg.h"
#include "export/TabGridExport.h"
#include "export/core/TextExport.h"
#include "grid/GridCtrl.h"
#include "platform/gui/PrintJob.h"
#include "seriesview/ColorScheme.h"
#include "seriesview/TabGrid.h"
#include "tests/app/AppTestSupport.h"
#include "tests/app/SeriesPageWindow.h"
#include "tests/export/ImageReaders.h"
#include "tests/support/ExportOptionDriver.h"
#include "tests/support/FileDialogRecorder.h"
#include "tests/support/MemoryClipboard.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/PdfPrintDialog.h"
#include "tests/support/ModalDialogRunner.h"
#include "tests/support/PdfReader.h"
#include "tests/support/SampleProject.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QPrinter>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace
{
const QString kHall = QStringLiteral("\\Hall\\");
const QString kEmpty = QStringLiteral("\\Empty\\");

// Choice values of the option dialogs.
constexpr int kGraphicAsIs = 1;
constexpr int kGraphicAllData = 3;
constexpr int kGraphicSeparateFiles = 6;
constexpr int kGraphicClipboard = 7;
constexpr int kTextReport = 1;
constexpr int kTextAllData = 2;
constexpr int kTextOneFile = 4;

// What the page shows, to compare before and after an export.
struct SPageState
{
    std::vector<int> heights;
    std::vector<bool> expandedFlags;
    std::vector<bool> selected;
    bool enabled = false;
    bool redraw = false;
    bool operator==(const SPageState&) const = default;
};

class PrintExport : public ::testing::Test, public SeriesPageWindow
{
protected:
    void SetUp() override
    {
        path = env.Dir().File(QStringLiteral("Run.v3p"));
        out = env.Dir().Path() + QStringLiteral("/out");
        QDir().mkpath(out);
    }
    void TearDown() override { frame.reset(); }

    // Saves a project with the folder of `count` series (and an empty folder), opens it in
    // the main window and shows the folder.
    void Open(int count, const QString& folder = kHall)
    {
        {
            CVeskDoc doc;
            SampleProject::FillFolder(doc, kHall, count);
            doc.AddMeasurementFile(kEmpty, nullptr);
            ASSERT_TRUE(doc.SaveProject(path));
        }
        OpenWindow(path, boxes, folder);
    }

    // Selects the series' summary rows, the first by a click, the others by Ctrl + click.
    void Select(std::initializer_list<int> series)
    {
        bool first = true;
        for (int i : series)
        {
            Grid().EnsureVisible(2 * i + 1, CTabGrid::COL_NAME);
            Platform::Rect r;
            ASSERT_TRUE(Grid().GetCellRect(2 * i + 1, CTabGrid::COL_NAME, &r));
            QTest::mouseClick(Grid().viewport(), Qt::LeftButton,
                              first ? Qt::KeyboardModifiers() : Qt::ControlModifier,
                              QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2));
            Flush();
            first = false;
        }
    }
    void Expand(int series)
    {
        Page().SetSeriesOpen(series, true);
        Flush();
    }

    bool Enabled(uint32_t id)
    {
        frame->UpdateCommandUI();
        return frame->Action(id)->isEnabled();
    }

    // Runs a command whose option dialog gets these choices and, unless the target is the
    // clipboard, the file name from the Save As dialog.
    void RunExport(uint32_t command, std::initializer_list<int> choices, const QString& file = {})
    {
        FileDialogRecorder files;
        files.Answer(file);
        ModalDialogRunner runner(
            [&](QDialog& d)
            {
                auto& dlg = static_cast<CExportOptionDlg&>(d);
                ExportOptionDriver::ShowPainted(dlg);
                ASSERT_TRUE(ExportOptionDriver::ClickChoices(dlg, choices));
                ExportOptionDriver::PressExport(dlg);
            });
        ASSERT_TRUE(Enabled(command));
        frame->Action(command)->trigger();
        Flush();
        ASSERT_EQ(runner.runs, 1);
    }

    SPageState State()
    {
        SPageState s;
        for (int row = 0; row < Grid().GetRowCount(); ++row)
        {
            s.heights.push_back(Grid().GetRowHeight(row));
            s.selected.push_back(Grid().IsCellSelected(row, CTabGrid::COL_NAME));
        }
        for (int i = 0; i < Doc().GetSeriesCount(); ++i)
            s.expandedFlags.push_back(Doc().IsSeriesExpanded(i));
        s.enabled = Page().isEnabled();
        s.redraw = Grid().IsRedrawAllowed();
        return s;
    }

    QStringList OutFiles() const { return QDir(out).entryList(QDir::Files, QDir::Name); }

    AppEnvironment env;
    MessageBoxRecorder boxes;
    MemoryClipboard clipboard;
    QString path;
    QString out;
};
} // namespace

TEST_F(PrintExport, CommandsActOnlyOnAFolderWithSeries)
{
    Open(3, kEmpty);
    for (uint32_t id : {Cmd::ID_PRINT, Cmd::ID_EXPORT_GRAPHIC, Cmd::ID_EXPORT_TEXT})
        EXPECT_FALSE(Enabled(id)) << id;
    ShowFolder(kHall);
    for (uint32_t id : {Cmd::ID_PRINT, Cmd::ID_EXPORT_GRAPHIC, Cmd::ID_EXPORT_TEXT})
        EXPECT_TRUE(Enabled(id)) << id;
}

TEST_F(PrintExport, PrintsAFolderOfThreePagesToPdfWithPageNumbers)
{
    // This many summary rows need three pages of the default paper.
    constexpr int kSeriesInThreePages = 165;
    Open(kSeriesInThreePages);
    const QString pdf = out + QStringLiteral("/series.pdf");
    PdfPrintDialog dialog(pdf);
    ASSERT_TRUE(Enabled(Cmd::ID_PRINT));
    frame->Action(Cmd::ID_PRINT)->trigger();
    Flush();
    ASSERT_EQ(PdfPageCount(pdf), 3);
    int named = 0;
    for (int page = 1; page <= 3; ++page)
    {
        SCOPED_TRACE(page);
        const QString text = PdfText(pdf, page);
        EXPECT_TRUE(text.contains(QStringLiteral("Page %1 of 3").arg(page)));
        EXPECT_TRUE(text.contains(QStringLiteral("Velmor")));
        EXPECT_TRUE(text.contains(QStringLiteral("Veskora 3 measurement objects")));
        EXPECT_TRUE(text.contains(QStringLiteral("Run.v3p"))); // the project file, without its folder
        EXPECT_TRUE(text.contains(QStringLiteral("Date & Time")));
        named += int(text.count(QRegularExpression(QStringLiteral("Series \\d+\\b"))));
    }
    EXPECT_EQ(named, kSeriesInThreePages);
}

TEST_F(PrintExport, ExportsTwoOfFiveSeriesAsOneImageEachAndPutsThePageBack)
{
    const struct
    {
        const char* chosen;
        const char* first;
        const char* second;
        const char* format;
    } cases[] = {{"x.png", "x1.png", "x2.png", "PNG"}, {"x.jpeg", "x1.jpeg", "x2.jpeg", "JPEG"}};
    Open(5);
    Expand(4);
    Select({1, 3});
    const SPageState before = State();
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.chosen);
        RunExport(Cmd::ID_EXPORT_GRAPHIC, {kGraphicSeparateFiles}, out + u'/' + QLatin1String(c.chosen));
        EXPECT_TRUE(boxes.boxes.empty());
        ASSERT_TRUE(QFile::exists(out + u'/' + QLatin1String(c.first)));
        ASSERT_TRUE(QFile::exists(out + u'/' + QLatin1String(c.second)));
        EXPECT_EQ(State(), before);

        // Each image: the column headings once, at the top, then its series with the
        // details open (the default content).
        std::vector<QJsonObject> images;
        for (const char* name : {c.first, c.second})
        {
            const QString file = out + u'/' + QLatin1String(name);
            images.push_back(PillowRead(file));
            EXPECT_EQ(images.back()[QStringLiteral("format")].toString(), QLatin1String(c.format));
            if (QLatin1String(c.format) == QLatin1String("PNG"))
            {
                const ToolResult check = RunTool(QStringLiteral("pngcheck"), {file});
                EXPECT_EQ(check.exitCode, 0) << check.out.toStdString();
            }
        }
        const QJsonArray size = images[0][QStringLiteral("size")].toArray();
        EXPECT_EQ(size[0].toInt(), int(Grid().GetVirtualWidth()));
        EXPECT_GT(size[1].toInt(), CTabGrid::kHeaderHeight + CTabGrid::kSummaryHeight + 50);
        if (QLatin1String(c.format) == QLatin1String("PNG"))
        {
            const int width = size[0].toInt();
            const QVariantList a = images[0][QStringLiteral("pixels")].toArray().toVariantList();
            const QVariantList b = images[1][QStringLiteral("pixels")].toArray().toVariantList();
            const int headings = CTabGrid::kHeaderHeight * width;
            const int summary = CTabGrid::kSummaryHeight * width;
            EXPECT_TRUE(a.mid(0, headings) == b.mid(0, headings));
            EXPECT_FALSE(a.mid(headings, summary) == b.mid(headings, summary));
        }
    }
    EXPECT_EQ(OutFiles(), (QStringList{QStringLiteral("x1.jpeg"), QStringLiteral("x1.png"),
                                       QStringLiteral("x2.jpeg"), QStringLiteral("x2.png")}));
}

TEST_F(PrintExport, OneImageStacksTheSeriesAsTheyAreUnderOneHeading)
{
    Open(5);
    Expand(1);
    Select({0, 1, 3});
    const int detail = Grid().GetRowHeight(2 * 1 + 2);
    ASSERT_GT(detail, 0);
    const SPageState before = State();
    // BMP is stacked into one picture first, PNG encoded as each series renders: the same
    // picture either way.
    const struct
    {
        const char* name;
        const char* format;
    } files[] = {{"all.bmp", "BMP"}, {"all.png", "PNG"}};
    QImage pictures[2];
    for (int i = 0; i < 2; ++i)
    {
        SCOPED_TRACE(files[i].name);
        const QString file = out + u'/' + QLatin1String(files[i].name);
        RunExport(Cmd::ID_EXPORT_GRAPHIC, {kGraphicAsIs}, file);
        EXPECT_TRUE(boxes.boxes.empty());
        const QJsonObject image = PillowRead(file);
        EXPECT_EQ(image[QStringLiteral("format")].toString(), QLatin1String(files[i].format));
        // The headings once, three summary rows, and the one detail row that was open.
        EXPECT_EQ(image[QStringLiteral("size")].toArray()[1].toInt(),
                  CTabGrid::kHeaderHeight + 3 * CTabGrid::kSummaryHeight + detail);
        EXPECT_EQ(State(), before);
        pictures[i] = QImage(file).convertToFormat(QImage::Format_RGB32);
    }
    ASSERT_FALSE(pictures[0].isNull());
    EXPECT_TRUE(pictures[0] == pictures[1]);
}

TEST_F(PrintExport, ClipboardGetsOnePictureOfTheSelectionAndNoFileIsWritten)
{
    Open(5);
    Select({0, 2});
    RunExport(Cmd::ID_EXPORT_GRAPHIC, {kGraphicAsIs, kGraphicClipboard});
    ASSERT_TRUE(clipboard.content.image);
    EXPECT_EQ(clipboard.content.image->width(), int(Grid().GetVirtualWidth()));
    // Headings and two closed series.
    EXPECT_EQ(clipboard.content.image->height(), CTabGrid::kHeaderHeight + 2 * CTabGrid::kSummaryHeight);
    EXPECT_TRUE(OutFiles().isEmpty());
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(PrintExport, AnUnwritableFileIsNamedAndThePageStaysAsItWas)
{
    Open(5);
    Expand(2);
    Select({2, 4});
    const SPageState before = State();
    const QString blocked = out + QStringLiteral("/missing/x.png");
    RunExport(Cmd::ID_EXPORT_GRAPHIC, {}, blocked);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].text.contains(blocked));
    EXPECT_EQ(boxes.boxes[0].type & 0xF0, uint32_t(Platform::MB_ICONSTOP));
    EXPECT_EQ(State(), before);
    EXPECT_TRUE(OutFiles().isEmpty());
}

TEST_F(PrintExport, ExportsTheSelectedSeriesAsTextToAFileAndToTheClipboard)
{
    Open(5);
    Select({3, 1});
    const QString file = out + QStringLiteral("/report.csv");
    RunExport(Cmd::ID_EXPORT_TEXT, {kTextReport, kTextOneFile}, file);
    EXPECT_TRUE(boxes.boxes.empty());
    QFile written(file);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray bytes = written.readAll();
    ASSERT_TRUE(bytes.startsWith("\xFF\xFE"));
    const QString text =
        QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData() + 2), (bytes.size() - 2) / 2);
    // The selected series in grid order.
    EXPECT_EQ(text, CTextExport(Doc(), CTextExport::LayoutReport).BuildText({1, 3}));
    EXPECT_LT(text.indexOf(QStringLiteral("Series 2")), text.indexOf(QStringLiteral("Series 4")));

    RunExport(Cmd::ID_EXPORT_TEXT, {kTextReport, 6});
    ASSERT_TRUE(clipboard.content.text);
    EXPECT_EQ(*clipboard.content.text, text);
}

TEST_F(PrintExport, TheSelectionOnlyExportsTakeTheSeriesTheUserSeesSelected)
{
    Open(5);
    // Everything, then Ctrl + click takes Series 3 out: its closed detail row goes with it.
    Select({0});
    Grid().EnsureVisible(5, CTabGrid::COL_NAME);
    Platform::Rect r;
    ASSERT_TRUE(Grid().GetCellRect(5, CTabGrid::COL_NAME, &r));
    QTest::keyClick(&Grid(), Qt::Key_A, Qt::ControlModifier);
    Flush();
    QTest::mouseClick(Grid().viewport(), Qt::LeftButton, Qt::ControlModifier, QPoint(r.left + 5, r.top + 5));
    Flush();
    RunExport(Cmd::ID_EXPORT_TEXT, {kTextReport, 6});
    ASSERT_TRUE(clipboard.content.text);
    EXPECT_EQ(*clipboard.content.text, CTextExport(Doc(), CTextExport::LayoutReport).BuildText({0, 1, 3, 4}));
    RunExport(Cmd::ID_EXPORT_GRAPHIC, {kGraphicAsIs, kGraphicClipboard});
    ASSERT_TRUE(clipboard.content.image);
    EXPECT_EQ(clipboard.content.image->height(), CTabGrid::kHeaderHeight + 4 * CTabGrid::kSummaryHeight);

    // Only an open detail row clicked: the graphic export takes its series alone.
    Expand(3);
    const int detail = Grid().GetRowHeight(8);
    ASSERT_GT(detail, 0);
    ASSERT_TRUE(Grid().GetCellRect(8, CTabGrid::COL_NAME, &r));
    QTest::mouseClick(Grid().viewport(), Qt::LeftButton, {}, QPoint(r.left + 3, r.bottom - 3));
    Flush();
    RunExport(Cmd::ID_EXPORT_GRAPHIC, {kGraphicAsIs, kGraphicClipboard});
    ASSERT_TRUE(clipboard.content.image);
    EXPECT_EQ(clipboard.content.image->height(), CTabGrid::kHeaderHeight + CTabGrid::kSummaryHeight + detail);
}

namespace
{
// The columns of a picture that hold the colour of a bar within its limits, counted as runs
// of neighbouring columns: the bars of the bar graphs.
int BarsIn(const QImage& picture)
{
    const QRgb bar = qRgb(Platform::RValue(CColorScheme::kBarInside), Platform::GValue(CColorScheme::kBarInside),
                          Platform::BValue(CColorScheme::kBarInside));
    int bars = 0;
    bool inBar = false;
    for (int x = 0; x < picture.width(); ++x)
    {
        bool found = false;
        for (int y = 0; y < picture.height() && !found; ++y)
            found = (picture.pixel(x, y) & 0xFFFFFF) == (bar & 0xFFFFFF);
        bars += found && !inBar;
        inBar = found;
    }
    return bars;
}
} // namespace

// A reading without a value ("--") before the last one: the open details of print and of the
// graphic export show every reading the text export lists, the last one too.
TEST_F(PrintExport, PrintAndPictureShowTheReadingAfterOneWithoutAValue)
{
    {
        CVeskDoc doc;
        auto series = SampleProject::Rebound(SeriesFixture::kHRC, {640, 720, 704},
                                             QDateTime(QDate(2024, 5, 6), QTime(9, 30)));
        series->AddReading(MEAS_NO_VALUE, MEAS_NO_VALUE, 0, -1);
        series->IncludeReading(3, 7); // true only for a reading with a value
        ASSERT_FALSE(series->IsReadingExcluded(3, 7));
        series->AddReading(664, 664, 0, -1); // 53.0 HRC: no statistic of the series
        SampleProject::Add(doc, kHall, QStringLiteral("Gap"), std::move(series));
        ASSERT_TRUE(doc.SaveProject(path));
    }
    OpenWindow(path, boxes, kHall);
    Expand(0);
    Select({0});
    const QString text = CTextExport(Doc(), CTextExport::LayoutReport).BuildText({0});
    ASSERT_TRUE(text.contains(QStringLiteral("53.0"))) << text.toStdString();

    const QString pdf = out + QStringLiteral("/gap.pdf");
    PdfPrintDialog dialog(pdf);
    ASSERT_TRUE(Enabled(Cmd::ID_PRINT));
    frame->Action(Cmd::ID_PRINT)->trigger();
    Flush();
    EXPECT_TRUE(PdfText(pdf, 1).contains(QStringLiteral("53.0")));

    const QString png = out + QStringLiteral("/gap.png");
    RunExport(Cmd::ID_EXPORT_GRAPHIC, {kGraphicAsIs}, png);
    const QImage picture(png);
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(BarsIn(picture), 4);
}

// What is highlighted is what the commands act on: Ctrl + click takes the only selected
// series out, and the focus frame it keeps marks nothing for the status line, Delete, Copy
// or the exports of the selection.
TEST_F(PrintExport, ASeriesCtrlClickedOutIsNotMarkedByItsFocusFrame)
{
    Open(5);
    Select({2});
    Platform::Rect r;
    ASSERT_TRUE(Grid().GetCellRect(5, CTabGrid::COL_NAME, &r));
    QTest::mouseClick(Grid().viewport(), Qt::LeftButton, Qt::ControlModifier, QPoint(r.left + 5, r.top + 5));
    Flush();
    ASSERT_EQ(Grid().GetFocusCell().row, 5);
    EXPECT_FALSE(Grid().IsCellSelected(5, CTabGrid::COL_NAME));
    EXPECT_EQ(frame->StatusText(), "Selected objects: 0      Total objects: 5        ");
    EXPECT_TRUE(Page().MarkedSeries().empty());
    EXPECT_FALSE(Enabled(Cmd::ID_EDIT_DELETE));
    EXPECT_FALSE(Enabled(Cmd::ID_EDIT_COPY));
    const struct
    {
        uint32_t command;
        std::initializer_list<int> choices;
    } cases[] = {
        {Cmd::ID_EXPORT_TEXT, {kTextReport, kTextOneFile}},
        {Cmd::ID_EXPORT_GRAPHIC, {kGraphicAsIs}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.command);
        boxes.boxes.clear();
        FileDialogRecorder files;
        files.Answer(out + QStringLiteral("/never"));
        ModalDialogRunner runner(
            [&](QDialog& d)
            {
                auto& dlg = static_cast<CExportOptionDlg&>(d);
                ExportOptionDriver::ShowPainted(dlg);
                ASSERT_TRUE(ExportOptionDriver::ClickChoices(dlg, c.choices));
                ExportOptionDriver::PressExport(dlg);
                ASSERT_EQ(boxes.boxes.size(), 1u);
                EXPECT_EQ(boxes.boxes[0].text, QStringLiteral("There are no measurement objects to export."));
                dlg.reject();
            });
        ASSERT_TRUE(Enabled(c.command));
        frame->Action(c.command)->trigger();
        Flush();
        EXPECT_EQ(runner.runs, 1);
        EXPECT_TRUE(files.requests.empty());
    }
    EXPECT_TRUE(OutFiles().isEmpty());
}

// A choice that gives nothing to export is told at Export, before any file dialog, and
// the dialog stays for another choice.
TEST_F(PrintExport, NothingToExportIsToldBeforeTheFileDialog)
{
    Open(3);
    // No series selected (the page keeps one selected wherever the mouse clicks, so the
    // grid is told directly).
    Grid().SetSelectedRange(-1, -1, -1, -1);
    Flush();
    ASSERT_EQ(CTabGridExport(Page(), Doc()).SelectedSeries(), std::vector<int>{});
    const QString file = out + QStringLiteral("/all.csv");
    FileDialogRecorder files;
    files.Answer(file);
    ModalDialogRunner runner(
        [&](QDialog& d)
        {
            auto& dlg = static_cast<CExportOptionDlg&>(d);
            ExportOptionDriver::ShowPainted(dlg);
            ASSERT_TRUE(ExportOptionDriver::ClickChoices(dlg, {kTextReport, kTextOneFile}));
            ExportOptionDriver::PressExport(dlg);
            ASSERT_EQ(boxes.boxes.size(), 1u);
            EXPECT_EQ(boxes.boxes[0].text, QStringLiteral("There are no measurement objects to export."));
            EXPECT_EQ(boxes.boxes[0].owner, &dlg);
            EXPECT_TRUE(files.requests.empty());
            EXPECT_TRUE(dlg.isVisible());
            ASSERT_TRUE(ExportOptionDriver::ClickChoices(dlg, {kTextAllData}));
            ExportOptionDriver::PressExport(dlg);
        });
    ASSERT_TRUE(Enabled(Cmd::ID_EXPORT_TEXT));
    frame->Action(Cmd::ID_EXPORT_TEXT)->trigger();
    Flush();
    EXPECT_EQ(files.requests.size(), 1u);
    EXPECT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(QFile::exists(file));
}

namespace
{
// Watches the program while a long job of the page runs (the wait cursor shows): the first
// time the job lets events in, it tries what a user might do meanwhile: Select all and
// Delete on the page, the toolbar's Export as CSV file(s), closing the main window.
class JobWatch
{
public:
    explicit JobWatch(SeriesPageWindow& window) : m_window(window)
    {
        m_timer.setInterval(0);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Look(); });
        m_timer.start();
    }

    int sightings = 0;
    // The progress dialog's text when first seen, empty when none showed.
    QString progressText;
    bool closed = true;

private:
    void Look()
    {
        const QCursor* cursor = QApplication::overrideCursor();
        if (!cursor || cursor->shape() != Qt::WaitCursor || sightings++ > 0)
            return;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* text = w->findChild<QLabel*>(QStringLiteral("text")); text && w->isVisible())
                progressText = text->text();
        CGridCtrl& grid = m_window.Grid();
        QTest::keyClick(&grid, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(&grid, Qt::Key_Delete);
        QWidget* button =
            m_window.frame->ToolBar()->widgetForAction(m_window.frame->Action(Cmd::ID_EXPORT_TEXT));
        if (button)
            QTest::mouseClick(button, Qt::LeftButton);
        closed = m_window.frame->close();
    }

    SeriesPageWindow& m_window;
    QTimer m_timer;
};
} // namespace

// While printing or exporting, the program answers its events (here a timer) and the user
// can change nothing: the selection, the series, another command and the window's close
// all wait for the job, whose result is as without them.
TEST_F(PrintExport, LongJobsAnswerEventsAndTakeNoInput)
{
    constexpr int kSeries = 40;
    Open(kSeries);
    Select({1, 3});
    const SPageState before = State();
    const QString preparing = QStringLiteral("Please wait while preparing for export...");
    const struct
    {
        const char* what;
        uint32_t command;
        std::initializer_list<int> choices;
        const char* chosen;  // the file chosen, if any
        const char* written; // a file the job writes, if any
        QString firstText;   // of the progress dialog
    } cases[] = {
        {"one PNG", Cmd::ID_EXPORT_GRAPHIC, {kGraphicAllData}, "all.png", "all.png", preparing},
        {"clipboard",
         Cmd::ID_EXPORT_GRAPHIC,
         {kGraphicAllData, kGraphicClipboard},
         nullptr,
         nullptr,
         preparing},
        {"JPEG per series", Cmd::ID_EXPORT_GRAPHIC, {kGraphicSeparateFiles}, "s.jpg", "s2.jpg", preparing},
        {"text", Cmd::ID_EXPORT_TEXT, {kTextAllData, kTextOneFile}, "all.csv", "all.csv", preparing},
        {"print", Cmd::ID_PRINT, {}, "all.pdf", "all.pdf", QString()},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        const QString chosen = c.chosen ? out + u'/' + QLatin1String(c.chosen) : QString();
        JobWatch watch(*this);
        if (c.command == Cmd::ID_PRINT)
        {
            PdfPrintDialog dialog(chosen);
            ASSERT_TRUE(Enabled(Cmd::ID_PRINT));
            frame->Action(Cmd::ID_PRINT)->trigger();
            Flush();
        }
        else
        {
            RunExport(c.command, c.choices, chosen);
        }
        EXPECT_GT(watch.sightings, 0);
        EXPECT_EQ(watch.progressText.toStdString(), c.firstText.toStdString());
        EXPECT_FALSE(watch.closed);
        EXPECT_TRUE(frame->isVisible());
        EXPECT_TRUE(boxes.boxes.empty());
        EXPECT_EQ(Doc().GetSeriesCount(), kSeries);
        EXPECT_EQ(State(), before);
        if (c.written)
            EXPECT_TRUE(QFile::exists(out + u'/' + QLatin1String(c.written)));
    }
    // The same choices give the same picture in a file and on the clipboard.
    ASSERT_TRUE(clipboard.content.image);
    EXPECT_TRUE(clipboard.content.image->convertToFormat(QImage::Format_RGB32) ==
                QImage(out + QStringLiteral("/all.png")).convertToFormat(QImage::Format_RGB32));
    EXPECT_GT(PdfPageCount(out + QStringLiteral("/all.pdf")), 0);
}
