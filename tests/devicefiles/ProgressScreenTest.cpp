// The progress windows of tester transfers as a user sees them on a real X server: while
// the simulated tester holds an answer back, the window's text, bar and Cancel button are
// on the screen, grabbed from the screen itself rather than asked of the widgets (which
// draw fine into a picture of their own even when nothing reaches the screen). Run under
// Xvfb (ctest whole.progress_screen); on another platform the tests are skipped.
#include "tests/devicefiles/TesterCommandFixture.h"
#include "tests/support/LoopbackFtpOnly.h"
#include "tests/support/ScreenShare.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QScreen>
#include <QTimer>

#include <optional>
#include <ostream>

using namespace TesterCommands;

namespace
{

// How long the window is up before the screen is looked at: time enough for the window
// system to map it and for the first paints.
constexpr int kShownMs = 500;
constexpr int kSlowReplyMs = 4000;

// The share of the named child's pixels that reached the screen.
double ShareOnScreen(QWidget* window, const char* child)
{
    return ::ShareOnScreen(window, window->findChild<QWidget*>(QString::fromLatin1(child)));
}

struct Sighting
{
    QString title;
    double text = 0;
    double bar = 0;
    double cancel = 0;
};

class ProgressOnScreen : public Fixture
{
protected:
    void SetUp() override
    {
        if (QGuiApplication::platformName() != QStringLiteral("xcb"))
            GTEST_SKIP() << "needs an X server (runs under xvfb-run)";
        Fixture::SetUp();
        sim.ClearFiles();
        for (const char* name : {"a", "b"})
            sim.AddFile(kVsmRoot + "X.DIR\\" + name + ".vsm", QByteArray(100, char(name[0])));
        Serve(Link::tcp);
        QueueWizard();
    }

    // Once the tester holds back the answer to a line holding `slow`, waits for a visible
    // window whose title starts with `title`, looks at the screen, then cancels there.
    void WatchWhile(const QByteArray& slow, const QString& title)
    {
        sim.Engine().UpdateFaults(
            [slow](Sim::Faults& f)
            {
                f.slowCommand = slow;
                f.slowReplyMs = kSlowReplyMs;
            });
        QElapsedTimer shown;
        watch.disconnect();
        QObject::connect(
            &watch, &QTimer::timeout,
            [this, title, shown]() mutable
            {
                QWidget* window = nullptr;
                for (QWidget* w : QApplication::topLevelWidgets())
                    if (w->isVisible() && w->windowTitle().startsWith(title) && w->findChild<QProgressBar*>())
                        window = w;
                if (!window || seen)
                    return;
                if (!shown.isValid())
                    shown.start();
                if (shown.elapsed() < kShownMs)
                    return;
                seen = Sighting{window->windowTitle(), ShareOnScreen(window, "text"),
                                ShareOnScreen(window, "bar"), ShareOnScreen(window, "cancel")};
                QTest::mouseClick(window->findChild<QWidget*>(QStringLiteral("cancel")), Qt::LeftButton);
            });
        watch.start(20);
    }

    void ExpectSeenWhole(const QString& what)
    {
        watch.stop();
        ASSERT_TRUE(seen.has_value()) << what.toStdString() << ": no progress window came up";
        // A few pixels may differ (a focus frame); a window that is not drawn shows
        // whatever lay behind it.
        EXPECT_GT(seen->text, 0.95) << seen->title.toStdString();
        EXPECT_GT(seen->bar, 0.95) << seen->title.toStdString();
        EXPECT_GT(seen->cancel, 0.95) << seen->title.toStdString();
    }

    QTimer watch;
    std::optional<Sighting> seen;
};

struct Transfer
{
    const char* what;
    QByteArray slow;   // the line the tester answers late
    const char* title; // of the window that shows meanwhile
    bool download;     // or a rename of X\\a.vsm
};

void PrintTo(const Transfer& t, std::ostream* os)
{
    *os << t.what;
}

class ProgressOfTransfer : public ProgressOnScreen, public ::testing::WithParamInterface<Transfer>
{
};

TEST_P(ProgressOfTransfer, TextBarAndCancelAreOnTheScreenWhileTheTesterIsSlow)
{
    const Transfer& t = GetParam();
    QueueExplorer(
        [this, &t](CVesk3Explorer& explorer)
        {
            WatchWhile(t.slow, QString::fromLatin1(t.title));
            if (t.download)
            {
                Choose(explorer, {"X"});
                Click(explorer, "download");
            }
            else
            {
                DoubleClick(explorer, "X");
                Choose(explorer, {"a"});
                explorer.StartRename();
                auto* editor = explorer.List()->viewport()->findChild<QLineEdit*>();
                ASSERT_NE(editor, nullptr);
                editor->setText(QStringLiteral("z"));
                QTest::keyClick(editor, Qt::Key_Return);
                // The view commits, and the explorer renames, in queued calls.
                for (int round = 0; round < 3 && !seen; ++round)
                    QCoreApplication::processEvents();
            }
            if (explorer.isVisible())
                Click(explorer, "cancel");
        });
    frame->OnCmdMsg(Cmd::ID_DOWNLOAD);
    ExpectSeenWhole(QString::fromLatin1(t.what));
}

// A download's own progress window, and the window that a request of the explorer (here a
// rename) puts up once the tester keeps it waiting.
INSTANTIATE_TEST_SUITE_P(Transfers, ProgressOfTransfer,
                         ::testing::Values(Transfer{"download", "b.vsm", "Downloading from device", true},
                                           Transfer{"rename", "MOVF", "Waiting for the Veskora 3", false}),
                         [](const ::testing::TestParamInfo<Transfer>& info)
                         { return std::string(info.param.what); });

} // namespace

// On the platform the environment names (xcb under xvfb-run), with the fixed test font.
int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
    LoopbackFtpOnly::Install();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
