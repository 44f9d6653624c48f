// The progress dialog of the series page's exports as a user sees it on a real X server:
// while a graphic export and a text export of a large folder run, the dialog's text and
// bar are on the screen, grabbed from the screen itself rather than asked of the widgets
// (which draw fine into a picture of their own even when nothing reaches the screen, as
// when the export held the thread from start to end). Run under Xvfb (ctest
// whole.export_screen); on another platform the tests are skipped.
#include "app/MainFrm.h"
#include "export/ExportOptionDlg.h"
#include "tests/app/AppTestSupport.h"
#include "tests/app/SeriesPageWindow.h"
#include "tests/support/ExportOptionDriver.h"
#include "tests/support/FileDialogRecorder.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/ModalDialogRunner.h"
#include "tests/support/SampleProject.h"
#include "tests/support/ScreenShare.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <vector>

namespace
{

const QString kFolder = QStringLiteral("\\Hall\\");
// How long the dialog is up before the screen is looked at: time enough for the window
// system to map it and for the first paints.
constexpr int kShownMs = 200;
constexpr int kProgressEnd = 1000;

struct Export
{
    const char* what;
    int series; // enough that the export takes a second in the test build
    uint32_t command;
    std::vector<int> choices;
    const char* file;
};

void PrintTo(const Export& e, std::ostream* os)
{
    *os << e.what;
}

class ExportOnScreen : public ::testing::TestWithParam<Export>, public SeriesPageWindow
{
protected:
    void SetUp() override
    {
        if (QGuiApplication::platformName() != QStringLiteral("xcb"))
            GTEST_SKIP() << "needs an X server (runs under xvfb-run)";
        path = env.Dir().File(QStringLiteral("Large.v3p"));
        {
            CVeskDoc doc;
            SampleProject::FillFolder(doc, kFolder, GetParam().series);
            ASSERT_TRUE(doc.SaveProject(path));
        }
        OpenWindow(path, boxes, kFolder);
    }
    void TearDown() override { frame.reset(); }

    // Every 20 ms while the export runs: once its dialog has been up for a while, and until
    // its bar is full, the text and the bar on the screen are compared with what they draw.
    void Watch()
    {
        QObject::connect(&watch, &QTimer::timeout,
                         [this]
                         {
                             QWidget* dialog = nullptr;
                             for (QWidget* w : QApplication::topLevelWidgets())
                                 if (w->isVisible() && w->findChild<QProgressBar*>(
                                                           QStringLiteral("bar"), Qt::FindDirectChildrenOnly))
                                     dialog = w;
                             if (!dialog)
                                 return;
                             if (!shown.isValid())
                                 shown.start();
                             auto* bar = dialog->findChild<QProgressBar*>(QStringLiteral("bar"));
                             auto* text = dialog->findChild<QLabel*>(QStringLiteral("text"));
                             if (shown.elapsed() < kShownMs || bar->value() >= kProgressEnd)
                                 return;
                             ++looks;
                             texts << text->text();
                             textShare = std::min(textShare, ShareOnScreen(dialog, text));
                             barShare = std::min(barShare, ShareOnScreen(dialog, bar));
                         });
        watch.start(20);
    }

    AppEnvironment env;
    MessageBoxRecorder boxes;
    QString path;
    QTimer watch;
    QElapsedTimer shown;
    int looks = 0;
    QStringList texts;
    double textShare = 1;
    double barShare = 1;
};

TEST_P(ExportOnScreen, TextAndBarAreOnTheScreenWhileItRuns)
{
    const Export& e = GetParam();
    const QString file = env.Dir().File(QLatin1String(e.file));
    FileDialogRecorder files;
    files.Answer(file);
    ModalDialogRunner runner(
        [&](QDialog& d)
        {
            auto& dlg = static_cast<CExportOptionDlg&>(d);
            ExportOptionDriver::ShowPainted(dlg);
            for (int choice : e.choices)
                ASSERT_TRUE(ExportOptionDriver::ClickChoices(dlg, {choice}));
            ExportOptionDriver::PressExport(dlg);
            Watch();
        });
    frame->UpdateCommandUI();
    ASSERT_TRUE(frame->Action(e.command)->isEnabled());
    frame->Action(e.command)->trigger();
    watch.stop();

    ASSERT_EQ(runner.runs, 1);
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_TRUE(QFile::exists(file));
    // Looked at more than once while the bar moved; a few pixels may differ (a frame's
    // shade), a dialog that is not drawn shows whatever lay behind it.
    ASSERT_GT(looks, 1) << "the dialog was not seen while the export ran";
    EXPECT_GT(textShare, 0.95) << texts.join(u'|').toStdString();
    EXPECT_GT(barShare, 0.95);
    EXPECT_TRUE(texts.first().startsWith(QStringLiteral("Creating ")) ||
                texts.first() == QStringLiteral("Please wait while preparing for export..."))
        << texts.first().toStdString();
}

// Choice values of the option dialogs: the graphic export of all series' headers as one
// PNG, and the text export of all series as one file.
INSTANTIATE_TEST_SUITE_P(
    Exports, ExportOnScreen,
    ::testing::Values(Export{"graphic", 300, Cmd::ID_EXPORT_GRAPHIC, {0, 3, 5}, "all.png"},
                      Export{"text", 1000, Cmd::ID_EXPORT_TEXT, {0, 2, 4}, "all.csv"}),
    [](const ::testing::TestParamInfo<Export>& info) { return std::string(info.param.what); });

} // namespace

// On the platform the environment names (xcb under xvfb-run), with the fixed test font.
int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
