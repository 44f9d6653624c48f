#include "export/ExportBmpDialog.h"
#include "export/ExportCsvDialog.h"
#include "platform/gui/DialogLayout.h"
#include "platform/gui/RecordingCanvas.h"
#include "resources/BuiltInBitmaps.h"
#include "resources/BuiltInStrings.h"
#include "tests/support/ExportOptionDriver.h"
#include "tests/support/FileDialogRecorder.h"
#include "tests/support/ModalDialogRunner.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMouseEvent>
#include <QTest>

#include <gtest/gtest.h>

#include <map>
#include <optional>

using namespace Platform;

namespace
{

constexpr ColorRef kHot = Rgb(216, 240, 250);
constexpr ColorRef kChosen = Rgb(153, 222, 253);
constexpr ColorRef kChosenHot = Rgb(182, 230, 251);
constexpr ColorRef kPlain = Rgb(255, 255, 255);

// Counts the paints a widget receives.
class PaintCounter : public QObject
{
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
    int paints = 0;
};

class ExportDialogs : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        RegisterBuiltInStrings();
        RegisterBuiltInBitmaps();
    }

    static Rect Client(const QWidget& dlg) { return {0, 0, dlg.width(), dlg.height()}; }

    static void ShowPainted(CExportOptionDlg& dlg) { ExportOptionDriver::ShowPainted(dlg); }
    static std::map<int, Rect> Boxes(const CExportOptionDlg& dlg) { return ExportOptionDriver::Boxes(dlg); }
    static QPoint Inside(const Rect& r, int dx = 0) { return ExportOptionDriver::Inside(r, dx); }

    static void Move(QWidget& w, QPoint at)
    {
        QMouseEvent move(QEvent::MouseMove, at, w.mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(&w, &move);
        QApplication::processEvents();
    }

    static void Click(QWidget& w, QPoint at) { ExportOptionDriver::Click(w, at); }
    static void ClickChoices(CExportOptionDlg& dlg, std::initializer_list<int> values)
    {
        ASSERT_TRUE(ExportOptionDriver::ClickChoices(dlg, values));
    }
    static void PressExport(QDialog& dlg) { ExportOptionDriver::PressExport(dlg); }

    // The outline colour of a box as the dialog shows it now: white when not highlighted.
    static ColorRef Outline(CExportOptionDlg& dlg, const Rect& box)
    {
        const QImage shot = dlg.Board()->grab().toImage();
        const QRgb c = shot.pixel(box.left + 1, box.top);
        return Rgb(qRed(c), qGreen(c), qBlue(c));
    }
};

TEST_F(ExportDialogs, OpenWithTheirDefaultsChosenAndShown)
{
    CExportBmpDialog bmp;
    EXPECT_EQ(bmp.windowTitle(), QStringLiteral("Export as graphic"));
    EXPECT_EQ(bmp.GetContent(), 2);
    EXPECT_EQ(bmp.GetTarget(), 0);
    EXPECT_FALSE(bmp.IsAllData());
    EXPECT_EQ(bmp.GetFormatIndex(), 1);
    EXPECT_TRUE(bmp.GetFilePath().isEmpty());

    CExportCsvDialog csv;
    EXPECT_EQ(csv.windowTitle(),
              QStringLiteral("Export to Microsoft Excel CSV (Comma separated values) file"));
    EXPECT_EQ(csv.GetTextFormat(), 0);
    EXPECT_EQ(csv.GetTarget(), 0);
    EXPECT_FALSE(csv.IsAllData());

    // Exactly the three default boxes carry the chosen highlight.
    for (CExportOptionDlg* dlg : {static_cast<CExportOptionDlg*>(&bmp), static_cast<CExportOptionDlg*>(&csv)})
    {
        ShowPainted(*dlg);
        int chosen = 0;
        for (const auto& [value, box] : Boxes(*dlg))
        {
            const ColorRef outline = Outline(*dlg, box);
            EXPECT_TRUE(outline == kChosen || outline == kPlain) << "choice " << value;
            chosen += outline == kChosen ? 1 : 0;
            if (value == dlg->GetChosen(0) || value == dlg->GetChosen(1) || value == dlg->GetChosen(2))
            {
                EXPECT_EQ(outline, kChosen) << "choice " << value;
            }
        }
        EXPECT_EQ(chosen, 3);
    }
}

TEST_F(ExportDialogs, ClicksChooseWithinEachColumn)
{
    CExportBmpDialog bmp;
    ShowPainted(bmp);
    ClickChoices(bmp, {0, 6, 3});
    EXPECT_EQ(bmp.GetContent(), 0);
    EXPECT_EQ(bmp.GetTarget(), 1);
    EXPECT_TRUE(bmp.IsAllData());
    ClickChoices(bmp, {1, 7, 4});
    EXPECT_EQ(bmp.GetContent(), 1);
    EXPECT_EQ(bmp.GetTarget(), 2);
    EXPECT_FALSE(bmp.IsAllData());

    CExportCsvDialog csv;
    ShowPainted(csv);
    ClickChoices(csv, {1, 5, 2});
    EXPECT_EQ(csv.GetTextFormat(), 1);
    EXPECT_EQ(csv.GetTarget(), 1);
    EXPECT_TRUE(csv.IsAllData());
    ClickChoices(csv, {0, 6});
    EXPECT_EQ(csv.GetTextFormat(), 0);
    EXPECT_EQ(csv.GetTarget(), 2);

    // A click beside every box changes nothing.
    Click(*csv.Board(), {3, 3});
    EXPECT_EQ(csv.GetTarget(), 2);
    EXPECT_TRUE(csv.IsAllData());
}

TEST_F(ExportDialogs, HoverHighlightsRepaintingOnlyWhenTheBoxChanges)
{
    CExportBmpDialog dlg;
    ShowPainted(dlg);
    const auto boxes = Boxes(dlg);
    PaintCounter counter(dlg.Board());
    // Paints caused by one mouse event, before the test looks at the dialog.
    const auto paintsOf = [&](auto&& action)
    {
        const int before = counter.paints;
        action();
        return counter.paints - before;
    };

    EXPECT_EQ(paintsOf([&] { Move(*dlg.Board(), Inside(boxes.at(1))); }), 1);
    EXPECT_EQ(dlg.GetHotChoice(), 1);
    EXPECT_EQ(Outline(dlg, boxes.at(1)), kHot);

    // Within the same box: no repaint.
    EXPECT_EQ(paintsOf([&] { Move(*dlg.Board(), Inside(boxes.at(1), 20)); }), 0);

    // Over a chosen box both states show.
    EXPECT_EQ(paintsOf([&] { Move(*dlg.Board(), Inside(boxes.at(2))); }), 1);
    EXPECT_EQ(Outline(dlg, boxes.at(2)), kChosenHot);
    EXPECT_EQ(Outline(dlg, boxes.at(1)), kPlain);

    // Off every box.
    EXPECT_EQ(paintsOf([&] { Move(*dlg.Board(), {3, 3}); }), 1);
    EXPECT_EQ(dlg.GetHotChoice(), -1);

    // A click chooses and drops the hover until the mouse moves again.
    Move(*dlg.Board(), Inside(boxes.at(0)));
    Click(*dlg.Board(), Inside(boxes.at(0)));
    EXPECT_EQ(dlg.GetHotChoice(), -1);
    EXPECT_EQ(dlg.GetContent(), 0);
    EXPECT_EQ(Outline(dlg, boxes.at(0)), kChosen);
    EXPECT_EQ(Outline(dlg, boxes.at(2)), kPlain);
    EXPECT_EQ(paintsOf([&] { Move(*dlg.Board(), Inside(boxes.at(0), 5)); }), 1);
    EXPECT_EQ(dlg.GetHotChoice(), 0);
    EXPECT_EQ(Outline(dlg, boxes.at(0)), kChosenHot);
}

TEST_F(ExportDialogs, PreviewShowsOneStackPerFile)
{
    struct Case
    {
        int target;
        int data;
        int files;
    };
    // Graphic values: 5 one file, 6 separate files, 7 clipboard; 3 all, 4 selection.
    const Case cases[] = {{5, 4, 1}, {5, 3, 1}, {6, 3, 3}, {6, 4, 2}, {7, 3, 1}};
    for (const Case& c : cases)
    {
        CExportBmpDialog dlg;
        ShowPainted(dlg);
        ClickChoices(dlg, {c.target, c.data});
        RecordingCanvas dc(Client(*dlg.Board()));
        dlg.Paint(dc, Client(*dlg.Board()));
        // Every stack starts with the grid's header row at y = 100.
        std::vector<Rect> headers;
        for (const CanvasOp& op : dc.OpsOf(CanvasOp::Kind::BitBlt))
            if (op.rect.top == 100)
                headers.push_back(op.rect);
        ASSERT_EQ(static_cast<int>(headers.size()), c.files) << "target " << c.target << " data " << c.data;
        for (size_t i = 1; i < headers.size(); ++i)
            EXPECT_EQ(headers[i].left - headers[i - 1].left, 65);
        // The clipboard icon is drawn transparent, the image-file icon opaque, 5 pixels left
        // of the stack.
        const auto kind = c.target == 7 ? CanvasOp::Kind::AlphaBlend : CanvasOp::Kind::BitBlt;
        int icons = 0;
        for (const CanvasOp& op : dc.OpsOf(kind))
            icons += op.rect.left == headers[0].left - 5 ? 1 : 0;
        EXPECT_EQ(icons, 1) << "target " << c.target;
    }
}

TEST_F(ExportDialogs, ClipboardTargetEndsWithoutAskingForAFile)
{
    FileDialogRecorder files;
    // A name refused first leaves its path behind; the clipboard target still has none.
    files.Answer(QStringLiteral("/tmp/data.txt"));
    CExportCsvDialog dlg;
    bool openAfterRefusedName = false;
    ModalDialogRunner runner(
        [&](QDialog& d)
        {
            auto& csv = static_cast<CExportCsvDialog&>(d);
            ShowPainted(csv);
            PressExport(csv);
            openAfterRefusedName = csv.isVisible();
            ClickChoices(csv, {6});
            PressExport(csv);
        });
    EXPECT_EQ(dlg.DoModal(), CExportOptionDlg::IDOK);
    EXPECT_TRUE(openAfterRefusedName);
    // Only the first press asked for a file.
    EXPECT_EQ(files.requests.size(), 1u);
    EXPECT_EQ(dlg.GetTarget(), 2);
    EXPECT_TRUE(dlg.GetFilePath().isEmpty());
}

TEST_F(ExportDialogs, SaveAsAcceptsOnlyKnownEndings)
{
    struct Case
    {
        bool graphic;
        std::optional<QString> answer;
        bool accepted;
        int format; // graphic only
    };
    const Case cases[] = {
        {true, QStringLiteral("/tmp/x.jpg"), true, 2},
        {true, QStringLiteral("/tmp/x.JPEG"), true, 2},
        {true, QStringLiteral("/tmp/OUT.BMP"), true, 0},
        {true, QStringLiteral("/tmp/out.png"), true, 1},
        {true, QStringLiteral("a.png"), false, 1},
        {true, QStringLiteral("/tmp/out.gif"), false, 1},
        {true, std::nullopt, false, 1},
        {false, QStringLiteral("/tmp/DATA.CSV"), true, 0},
        {false, QStringLiteral("/tmp/data.txt"), false, 0},
        {false, std::nullopt, false, 0},
    };
    for (const Case& c : cases)
    {
        const QString name = c.answer.value_or(QStringLiteral("<cancel>"));
        FileDialogRecorder files;
        files.Answer(c.answer);
        std::unique_ptr<CExportOptionDlg> dlg;
        if (c.graphic)
            dlg = std::make_unique<CExportBmpDialog>();
        else
            dlg = std::make_unique<CExportCsvDialog>();
        bool openAfterExport = false;
        ModalDialogRunner runner(
            [&](QDialog& d)
            {
                PressExport(d);
                openAfterExport = d.isVisible();
            });
        EXPECT_EQ(dlg->DoModal() == CExportOptionDlg::IDOK, c.accepted) << name.toStdString();
        EXPECT_EQ(openAfterExport, !c.accepted) << name.toStdString();
        ASSERT_EQ(files.requests.size(), 1u);
        const FileDialogRequest& r = files.requests[0];
        EXPECT_TRUE(r.save);
        EXPECT_EQ(r.flags, uint32_t{OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT});
        if (c.graphic)
        {
            auto& bmp = static_cast<CExportBmpDialog&>(*dlg);
            EXPECT_EQ(bmp.GetFormatIndex(), c.format) << name.toStdString();
            if (c.accepted)
            {
                EXPECT_EQ(bmp.GetFilePath(), *c.answer);
            }
            EXPECT_EQ(r.defaultExtension, QStringLiteral("png"));
            EXPECT_EQ(r.fileName, QStringLiteral("Veskador 3 Graphic"));
            EXPECT_EQ(r.filter,
                      QStringLiteral("PNG graphic file (recommended) (*.png)|*.png|Bitmap graphic file "
                                     "(*.bmp)|*.bmp|JPG graphic file (*.jpg)|*.jpg|All files "
                                     "(*.*)|*.*||"));
        }
        else
        {
            auto& csv = static_cast<CExportCsvDialog&>(*dlg);
            if (c.accepted)
            {
                EXPECT_EQ(csv.GetFilePath(), *c.answer);
            }
            EXPECT_EQ(r.defaultExtension, QStringLiteral("csv"));
            EXPECT_EQ(r.fileName, QStringLiteral("Veskador 3 Data"));
            EXPECT_EQ(r.filter, QStringLiteral("CSV Comma separated values file (*.csv)|*.csv|All files "
                                               "(*.*)|*.*||"));
        }
    }
}

TEST_F(ExportDialogs, OneFilePerSeriesLeavesTheOverwriteQuestionToTheExport)
{
    // The chosen name itself is never written; the export asks about the numbered files.
    for (bool graphic : {true, false})
    {
        FileDialogRecorder files;
        files.Answer(graphic ? QStringLiteral("/tmp/x.png") : QStringLiteral("/tmp/x.csv"));
        std::unique_ptr<CExportOptionDlg> dlg;
        if (graphic)
            dlg = std::make_unique<CExportBmpDialog>();
        else
            dlg = std::make_unique<CExportCsvDialog>();
        ModalDialogRunner runner(
            [&](QDialog& d)
            {
                auto& option = static_cast<CExportOptionDlg&>(d);
                ShowPainted(option);
                ClickChoices(option, {graphic ? 6 : 5});
                PressExport(option);
            });
        EXPECT_EQ(dlg->DoModal(), CExportOptionDlg::IDOK);
        EXPECT_EQ(dlg->GetTarget(), 1);
        ASSERT_EQ(files.requests.size(), 1u);
        EXPECT_EQ(files.requests[0].flags, uint32_t{OFN_HIDEREADONLY});
    }
}

TEST(ExportCaption, SplitsAtWordsOnceTheLineIsLongEnough)
{
    struct Case
    {
        const char* caption;
        int limit;
        const char* first;
        const char* second;
    };
    const Case cases[] = {
        {"As is", 12, "As is", ""},
        {"Headers only", 12, "Headers only", ""},
        {"Headers and details", 12, "Headers and ", "details"},
        {"Each object to a separate file", 10, "Each object ", "to a separate file"},
        {"Selectiononly", 5, "Selec", "tiononly"},
        // A first word longer than the line still stays whole.
        {"Headers and details", 3, "Headers ", "and details"},
        {"Copy to clipboard", 0, "Copy ", "to clipboard"},
    };
    for (const Case& c : cases)
    {
        const auto [first, second] = CExportOptionDlg::SplitCaption(QString::fromUtf8(c.caption), c.limit);
        EXPECT_EQ(first, QString::fromUtf8(c.first)) << c.caption << " / " << c.limit;
        EXPECT_EQ(second, QString::fromUtf8(c.second)) << c.caption << " / " << c.limit;
    }
}

TEST_F(ExportDialogs, ColumnsWidenForTitlesWiderThanTheirBoxes)
{
    CExportBmpDialog dlg;
    // Wide fixed-width text: "1. What do you want to export?" is 30 x 8 pixels.
    RecordingCanvas dc(Client(dlg), 8, 12);
    dlg.Paint(dc, Client(dlg));
    std::vector<Rect> titles;
    for (const CanvasOp& op : dc.OpsOf(CanvasOp::Kind::Rectangle))
        if (op.brush.color == Rgb(221, 231, 238))
            titles.push_back(op.rect);
    ASSERT_EQ(titles.size(), 4u);
    EXPECT_EQ(titles[0].Width(), 30 * 8 + 2 * 4);
    EXPECT_EQ(titles[1].left, titles[0].right + 5);
    // "2. Select target" fits: picture, margin and column width decide.
    EXPECT_EQ(titles[1].Width(), 94 + 4 + 180 + 1);
}

TEST_F(ExportDialogs, KeysMoveAFocusFrameOverTheBoxesAndSpaceChooses)
{
    CExportBmpDialog dlg;
    ShowPainted(dlg);
    QApplication::setActiveWindow(&dlg);
    const auto boxes = Boxes(dlg);
    // The frame runs two pixels inside the box, in the titles' blue.
    auto framed = [&](int value)
    {
        const QImage shot = dlg.Board()->grab().toImage();
        const QRgb c = shot.pixel(boxes.at(value).left + 20, boxes.at(value).top + 2);
        return Rgb(qRed(c), qGreen(c), qBlue(c)) == Rgb(0, 21, 110);
    };
    auto key = [&](Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QTest::keyClick(QApplication::focusWidget(), k, mods);
        return dlg.GetFocusChoice();
    };
    // The dialog opens with the focus on the chosen box of the first column; moving the
    // frame chooses nothing.
    ASSERT_EQ(QApplication::focusWidget(), dlg.Board());
    EXPECT_EQ(dlg.GetFocusChoice(), 2);
    EXPECT_TRUE(framed(2));
    // Graphic values: 0-2 content, 5-7 target, 3-4 data.
    EXPECT_EQ(key(Qt::Key_Up), 1);
    EXPECT_EQ(key(Qt::Key_Up), 0);
    EXPECT_EQ(key(Qt::Key_Up), 0);
    EXPECT_TRUE(framed(0));
    EXPECT_FALSE(framed(2));
    EXPECT_EQ(dlg.GetContent(), 2);
    EXPECT_EQ(key(Qt::Key_Down), 1);
    EXPECT_EQ(key(Qt::Key_Right), 6);
    EXPECT_TRUE(framed(6));
    EXPECT_FALSE(framed(0));
    EXPECT_EQ(dlg.GetTarget(), 0);
    key(Qt::Key_Space);
    EXPECT_EQ(dlg.GetTarget(), 1);
    EXPECT_EQ(key(Qt::Key_Right), 4);
    EXPECT_EQ(key(Qt::Key_Right), 4);
    EXPECT_EQ(key(Qt::Key_Up), 3);
    key(Qt::Key_Space);
    EXPECT_TRUE(dlg.IsAllData());
    EXPECT_EQ(dlg.GetContent(), 2);
    // Tab and Shift+Tab run through the columns; past the last box the focus leaves.
    EXPECT_EQ(key(Qt::Key_Backtab), 7);
    EXPECT_EQ(key(Qt::Key_Tab), 3);
    EXPECT_EQ(key(Qt::Key_Tab), 4);
    key(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), GetDlgItemAs<QAbstractButton>(&dlg, CExportOptionDlg::IDOK));
    EXPECT_FALSE(framed(4));
}

} // namespace
