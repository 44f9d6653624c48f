#include "controls/ProgressWnd.h"
#include "controls/ProgressDlg.h"
#include "platform/gui/SystemLook.h"
#include "resources/BuiltInStrings.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace Platform;

namespace
{

QProgressBar* BarOf(const CProgressWnd& wnd)
{
    return wnd.GetWindow()->findChild<QProgressBar*>(QStringLiteral("bar"));
}

QPushButton* CancelOf(const CProgressWnd& wnd)
{
    return wnd.GetWindow()->findChild<QPushButton*>(QStringLiteral("cancel"));
}

void PostEscape(QWidget* target)
{
    QCoreApplication::postEvent(
        target, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, QStringLiteral("\x1b")));
}

// Counts the paint events a widget gets, and keeps what a bar or a text line showed when
// last painted.
class PaintCounter : public QObject
{
public:
    int count = 0;
    int lastBarValue = -1;
    QString lastText;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Paint)
            return false;
        ++count;
        if (auto* bar = qobject_cast<QProgressBar*>(watched))
            lastBarValue = bar->value();
        else if (watched->objectName() == QStringLiteral("text"))
            lastText = static_cast<QWidget*>(watched)->accessibleName();
        return false;
    }
};

} // namespace

TEST(ProgressWnd, CaptionShowsTheRoundedPercentageOnlyOnceItDiffersFromZero)
{
    struct Case
    {
        int lower;
        int upper;
        std::vector<const char*> captions; // after each step
    };
    const Case cases[] = {
        {0, 3, {"Job [33%]", "Job [67%]", "Job [100%]", "Job [133%]"}},
        {0, 300, {"Job", "Job [1%]"}},
        {0, 200, {"Job [1%]"}},
        {5, 5, {"Job", "Job"}},
    };
    for (const Case& c : cases)
    {
        CProgressWnd wnd(nullptr, QStringLiteral("Job"), QStringLiteral("Cancel"), true);
        ASSERT_NE(wnd.GetWindow(), nullptr);
        EXPECT_EQ(wnd.GetWindow()->windowTitle(), QStringLiteral("Job"));
        wnd.SetRange(c.lower, c.upper, 1);
        wnd.SetPos(c.lower);
        for (const char* caption : c.captions)
        {
            wnd.StepIt();
            EXPECT_EQ(wnd.GetWindow()->windowTitle(), QString::fromLatin1(caption))
                << c.lower << ".." << c.upper;
        }
    }
}

TEST(ProgressWnd, SetPosReturnsTheBarsPreviousPositionWhichStaysInRange)
{
    CProgressWnd wnd(nullptr, QStringLiteral("Job"), QStringLiteral("Cancel"), true);
    wnd.SetRange(0, 4, 2);
    EXPECT_EQ(wnd.StepIt(), 0);
    EXPECT_EQ(BarOf(wnd)->value(), 2);
    EXPECT_EQ(wnd.StepIt(), 2);
    EXPECT_EQ(wnd.SetPos(9), 4);
    EXPECT_EQ(BarOf(wnd)->value(), 4);
    EXPECT_EQ(wnd.GetWindow()->windowTitle(), QStringLiteral("Job [225%]"));
    EXPECT_EQ(wnd.SetPos(1), 4);
    EXPECT_EQ(BarOf(wnd)->value(), 1);
}

TEST(ProgressWnd, LayoutPutsTheBarUnderTheTextAndTheButtonAtTheBarsRightEdge)
{
    CProgressWnd wnd(nullptr, QStringLiteral("Deleting..."), QStringLiteral("Cancel"), true);
    QWidget* window = wnd.GetWindow();
    ASSERT_TRUE(window->isVisible());
    EXPECT_FALSE(window->windowFlags() & Qt::WindowCloseButtonHint);

    const Rect text = wnd.TextRect();
    const Rect bar = wnd.BarRect();
    const Rect button = wnd.ButtonRect();
    EXPECT_EQ(text.left, 20);
    EXPECT_EQ(text.top, 12);
    EXPECT_EQ(text.Width(), 390);
    EXPECT_GT(text.Height(), 0);
    EXPECT_EQ(bar, (Rect{20, text.bottom + 12, 410, text.bottom + 27}));
    EXPECT_EQ(wnd.SeparatorY(), bar.bottom + 12);
    EXPECT_EQ(button.right, bar.right);
    EXPECT_EQ(button.top, bar.bottom + 24);
    EXPECT_EQ(button.Height(), 24);
    EXPECT_EQ(button.Width(),
              QFontMetrics(CancelOf(wnd)->font()).horizontalAdvance(QStringLiteral("Cancel")) + 40);
    EXPECT_EQ(window->size(), QSize(430, text.Height() + 99));
    EXPECT_EQ(CancelOf(wnd)->geometry(), QRect(button.left, button.top, button.Width(), button.Height()));

    // White above the separator, the grey line one below it, button face further down.
    const QImage shot = window->grab().toImage();
    auto at = [&](int x, int y)
    {
        const QRgb p = shot.pixel(x, y);
        return Rgb(qRed(p), qGreen(p), qBlue(p));
    };
    const int sep = wnd.SeparatorY();
    EXPECT_EQ(at(5, sep - 1), Rgb(255, 255, 255));
    EXPECT_EQ(at(5, sep + 1), Rgb(223, 223, 223));
    EXPECT_EQ(at(5, sep + 4), GetSysColor(COLOR_BTNFACE));
}

// A job that steps faster than the eye can follow is not slowed by painting: text and bar
// change on every step but paint at most once per interval, and what the last step set
// shows once the interval is over.
TEST(ProgressWnd, AFastJobPaintsAtALowRateAndShowsItsLastStep)
{
    CProgressWnd wnd(nullptr, QStringLiteral("Job"), QStringLiteral("Cancel"), true);
    QWidget* window = wnd.GetWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    constexpr int kSteps = 1000;
    wnd.SetRange(0, kSteps, 1);
    PaintCounter paints;
    BarOf(wnd)->installEventFilter(&paints);
    window->findChild<QWidget*>(QStringLiteral("text"))->installEventFilter(&paints);

    QElapsedTimer running;
    running.start();
    for (int i = 0; i < kSteps; ++i)
    {
        wnd.SetText(QStringLiteral("Item %1").arg(i));
        wnd.StepIt();
        wnd.PumpMessages(true);
    }
    const qint64 ms = running.elapsed();
    // Text and bar paint together: two paints per interval, and one more round at the end.
    EXPECT_LE(paints.count, 2 * (ms / CProgressWnd::kMinPaintIntervalMs + 2)) << ms << " ms";

    QTest::qWait(3 * CProgressWnd::kMinPaintIntervalMs);
    EXPECT_EQ(paints.lastBarValue, kSteps);
    EXPECT_EQ(paints.lastText, QStringLiteral("Item %1").arg(kSteps - 1));
}

TEST(ProgressWnd, EscCancelsOnlyWhenItArrivesDuringAPumpThatAcceptsIt)
{
    {
        CProgressWnd wnd(nullptr, QStringLiteral("Job"), QStringLiteral("Cancel"), true);
        PostEscape(wnd.GetWindow());
        wnd.PumpMessages(false);
        EXPECT_FALSE(wnd.Cancelled());
        // Esc outside any pump is not seen either.
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, QStringLiteral("\x1b"));
        QApplication::sendEvent(wnd.GetWindow(), &esc);
        wnd.PumpMessages(true);
        EXPECT_FALSE(wnd.Cancelled());
    }
    {
        CProgressWnd wnd(nullptr, QStringLiteral("Job"), QStringLiteral("Cancel"), true);
        QWidget* window = wnd.GetWindow();
        PostEscape(window);
        wnd.PumpMessages(true);
        EXPECT_TRUE(wnd.Cancelled());
        EXPECT_FALSE(window->isVisible());
    }
}

TEST(ProgressWnd, ACancelHidesTheWindowWhichIsGoneOnceTheCloseIsHandled)
{
    CProgressWnd wnd(nullptr, QStringLiteral("Job"), QStringLiteral("Cancel"), true);
    wnd.SetRange(0, 10, 1);
    wnd.StepIt();
    QTest::mouseClick(CancelOf(wnd), Qt::LeftButton);
    EXPECT_TRUE(wnd.Cancelled());
    ASSERT_NE(wnd.GetWindow(), nullptr);
    EXPECT_FALSE(wnd.GetWindow()->isVisible());

    // Before the posted close is handled, a step shows the window again.
    wnd.StepIt();
    EXPECT_TRUE(wnd.GetWindow()->isVisible());

    QCoreApplication::processEvents();
    EXPECT_EQ(wnd.GetWindow(), nullptr);
    // Without a window the setters do nothing and the steps only report the position.
    wnd.SetText(QStringLiteral("ignored"));
    wnd.SetRange(0, 1000, 5);
    EXPECT_EQ(wnd.StepIt(), 2);
    EXPECT_EQ(wnd.SetPos(7), 2);
    wnd.PumpMessages(true);
    EXPECT_TRUE(wnd.Cancelled());
}

TEST(ProgressWnd, BlocksInputToTheMainWindowWhileItRunsAndAClosingWindowCancels)
{
    QMainWindow main;
    auto* central = new QWidget(&main);
    auto* layout = new QVBoxLayout(central);
    auto* command = new QPushButton(QStringLiteral("Disconnect"), central);
    layout->addWidget(command);
    main.setCentralWidget(central);
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    QSignalSpy clicked(command, &QPushButton::clicked);
    // Clicks through the window system, where a modal window blocks them.
    auto clickCommand = [&]
    {
        QTest::mouseClick(main.windowHandle(), Qt::LeftButton, {},
                          command->mapTo(&main, command->rect().center()));
    };

    {
        CProgressWnd wnd(&main, QStringLiteral("Downloading from device ..."), QStringLiteral("Cancel"),
                         true);
        wnd.SetRange(0, 3, 1);
        EXPECT_EQ(QApplication::activeModalWidget(), wnd.GetWindow());
        clickCommand();
        wnd.PumpMessages(true);
        EXPECT_EQ(clicked.count(), 0);
        EXPECT_FALSE(wnd.Cancelled());

        // The window manager's close request means Cancel, not a window gone under the
        // job's feet.
        wnd.GetWindow()->close();
        EXPECT_TRUE(wnd.Cancelled());
        QCoreApplication::processEvents();
        EXPECT_EQ(wnd.GetWindow(), nullptr);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }

    clickCommand();
    EXPECT_EQ(clicked.count(), 1);
}

TEST(ProgressWnd, SurvivesItsOwnerBeingDestroyedFirst)
{
    auto owner = std::make_unique<QWidget>();
    owner->show();
    CProgressWnd wnd(owner.get(), QStringLiteral("Job"), QStringLiteral("Cancel"), true);
    wnd.SetRange(0, 2, 1);
    wnd.StepIt();
    owner.reset();
    EXPECT_EQ(wnd.GetWindow(), nullptr);
    EXPECT_EQ(wnd.StepIt(), 1);
    wnd.PumpMessages(true);
}

TEST(ProgressDlg, PositionsAndTextsChangeTheDialogOnlyWhenTheyChange)
{
    RegisterBuiltInStrings();
    QWidget owner;
    CProgressDlg dlg(&owner);
    dlg.SetPos(100); // not created yet: nothing happens
    dlg.SetText(QStringLiteral("x"));
    ASSERT_TRUE(dlg.Create());
    dlg.ShowWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.GetWindow()));
    EXPECT_EQ(dlg.TextControl()->text(), QStringLiteral("Please wait while downloading..."));

    QSignalSpy values(dlg.Bar(), &QProgressBar::valueChanged);
    dlg.SetPos(0);
    EXPECT_EQ(dlg.Bar()->maximum(), 1000);
    dlg.SetPos(500);
    dlg.SetPos(500);
    dlg.SetPos(1000);
    dlg.SetPos(1000);
    std::vector<int> seen;
    for (const QList<QVariant>& args : values)
        seen.push_back(args.at(0).toInt());
    EXPECT_EQ(seen, (std::vector<int>{500, 999, 1000, 999, 1000}));

    PaintCounter paints;
    dlg.GetWindow()->installEventFilter(&paints);
    dlg.SetText(QStringLiteral("Exporting graph1.png ..."));
    dlg.SetText(QStringLiteral("Exporting graph1.png ..."));
    EXPECT_EQ(paints.count, 1);
    EXPECT_EQ(dlg.TextControl()->text(), QStringLiteral("Exporting graph1.png ..."));
    dlg.SetText(QStringLiteral("Exporting graph2.png ..."));
    EXPECT_EQ(paints.count, 2);
}
