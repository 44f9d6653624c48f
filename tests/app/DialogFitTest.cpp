// Every dialog of the program on a 1024 x 768 screen: its frame lies inside the screen's
// free area and every button it shows can be reached. Run once as it is and once with
// QT_SCALE_FACTOR=2 (ctest dialogfit.scale2), where the screen is half as large.
#include "app/AboutDlg.h"
#include "app/AppSettings.h"
#include "app/Veskador3SE.h"
#include "controls/CommentDlg.h"
#include "controls/DateTimeDlg.h"
#include "controls/ProgressDlg.h"
#include "controls/ProgressWnd.h"
#include "devicefiles/AutoUpdate.h"
#include "devicefiles/DevSelectSheet.h"
#include "devicefiles/DeviceFileCommands.h"
#include "devicefiles/FileManagerKinds.h"
#include "devicefiles/RemoteLoginDlg.h"
#include "devicefiles/Vesk3Explorer.h"
#include "devicefiles/Vesk3FileManager.h"
#include "devicefiles/VeskoraConnection.h"
#include "document/VeskDoc.h"
#include "export/ExportBmpDialog.h"
#include "export/ExportCsvDialog.h"
#include "platform/gui/MessageBox.h"
#include "seriesview/GuidanceDlg.h"
#include "seriesview/ShowCurveDlg.h"
#include "seriesview/SliderDlg.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/LoopbackFtpOnly.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QPushButton>
#include <QScreen>
#include <QSet>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <utility>

namespace
{

QString Text(const QRect& r)
{
    return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

// Checks every window shown since `old`: its frame lies in the area and so does every
// button it shows. Returns the number of such windows.
int ExpectNewWindowsFit(const QSet<QWidget*>& old, const QRect& area)
{
    int windows = 0;
    for (QWidget* window : QApplication::topLevelWidgets())
    {
        if (old.contains(window) || !window->isVisible())
            continue;
        ++windows;
        EXPECT_TRUE(area.contains(window->frameGeometry()))
            << "frame " << Text(window->frameGeometry()).toStdString() << " on " << Text(area).toStdString();
        for (QAbstractButton* button : window->findChildren<QAbstractButton*>())
        {
            if (!button->isVisibleTo(window))
                continue;
            const QRect place(button->mapToGlobal(QPoint(0, 0)), button->size());
            EXPECT_TRUE(area.contains(place))
                << "button \"" << button->text().toStdString() << "\" at " << Text(place).toStdString();
        }
    }
    return windows;
}

struct DialogCase
{
    const char* name;
    // Opens the dialog as the program does (shown, not modal); what it returns keeps it
    // alive until the checks are done.
    std::function<std::shared_ptr<void>()> open;
};

template <typename T> std::shared_ptr<void> Shown(std::shared_ptr<T> dialog)
{
    dialog->show();
    return dialog;
}

class DialogFit : public ::testing::Test
{
protected:
    AppEnvironment env;
};

TEST_F(DialogFit, EveryDialogFitsTheScreenWithItsButtonsOnIt)
{
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    // The screen is 1024 x 768 device pixels, whatever the scale.
    EXPECT_EQ(screen->geometry().size() * screen->devicePixelRatio(), QSize(1024, 768));
    const QRect area = screen->availableGeometry();

    const DialogCase cases[] = {
        {"settings", [] { return Shown(std::make_shared<CAppSettings>()); }},
        {"about",
         [] {
             return Shown(std::make_shared<CAboutDlg>(theApp().ProgramVersion(), theApp().LanguageVersion()));
         }},
        {"export graphic", [] { return Shown(std::make_shared<CExportBmpDialog>()); }},
        {"export text", [] { return Shown(std::make_shared<CExportCsvDialog>()); }},
        {"comment", [] { return Shown(std::make_shared<CCommentDlg>()); }},
        {"time stamp", [] { return Shown(std::make_shared<CDateTimeDlg>()); }},
        {"remote login", [] { return Shown(std::make_shared<CRemoteLoginDlg>(nullptr)); }},
        {"connection wizard", [] { return Shown(std::make_shared<CDevSelectSheet>(143, nullptr, 2, 0)); }},
        {"update wizard", []
         { return Shown(std::make_shared<CAutoUpdate>(nullptr, QStringLiteral("Veskador 3"), CVersion())); }},
        {"measurement explorer",
         [] {
             return Shown(
                 std::make_shared<CVesk3Explorer>(nullptr, QString(), CVeskoraConnection::Instance()));
         }},
        {"file manager",
         []
         {
             return Shown(std::make_shared<CVesk3FileManager>(nullptr, FileManagerKinds::Conversions(),
                                                              QString(), CVeskoraConnection::Instance()));
         }},
        {"curve", [] { return Shown(std::make_shared<CShowCurveDlg>()); }},
        {"guidance", [] { return Shown(std::make_shared<CGuidanceDlg>()); }},
        {"limits slider", [] { return Shown(std::make_shared<CSliderDlg>(nullptr)); }},
        {"progress",
         []
         {
             auto progress = std::make_shared<CProgressDlg>();
             progress->Create();
             progress->ShowWindow(true);
             return std::static_pointer_cast<void>(progress);
         }},
        {"progress window",
         [] {
             return std::static_pointer_cast<void>(
                 std::make_shared<CProgressWnd>(nullptr, "Copying", "Cancel"));
         }},
    };

    for (const DialogCase& c : cases)
    {
        SCOPED_TRACE(c.name);
        const QWidgetList before = QApplication::topLevelWidgets();
        const QSet<QWidget*> old(before.begin(), before.end());
        std::shared_ptr<void> dialog = c.open();
        QApplication::processEvents();
        EXPECT_GE(ExpectNewWindowsFit(old, area), 1);
        dialog.reset();
        QApplication::processEvents();
    }
}

// The file dialogs, opened by the commands that ask for a file: each is looked at while it
// waits for the user, then cancelled.
TEST_F(DialogFit, EveryFileDialogFitsTheScreenWithItsButtonsOnIt)
{
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    const QRect area = screen->availableGeometry();
    CVeskDoc doc;
    CDeviceFileCommands tester(nullptr, CVeskoraConnection::Instance());
    // The export dialogs write to a file, not the clipboard.
    auto exportTo = [](CExportOptionDlg& dialog)
    {
        dialog.show();
        for (QPushButton* button : dialog.findChildren<QPushButton*>())
            if (button->isDefault())
                button->click();
    };
    const std::pair<const char*, std::function<void()>> cases[] = {
        {"open project", [&] { doc.OpenProject(QString(), false); }},
        {"save project as", [&] { doc.SaveProjectAs(); }},
        {"export graphic as",
         [&]
         {
             CExportBmpDialog dialog;
             exportTo(dialog);
         }},
        {"export text as",
         [&]
         {
             CExportCsvDialog dialog;
             exportTo(dialog);
         }},
        {"LOG collection", [&] { tester.OnDownloadLogFiles(); }},
        {"profile backup", [&] { tester.OnBackupProfiles(); }},
    };
    for (const auto& [name, ask] : cases)
    {
        SCOPED_TRACE(name);
        const QWidgetList before = QApplication::topLevelWidgets();
        const QSet<QWidget*> old(before.begin(), before.end());
        int seen = 0;
        QTimer look;
        QObject::connect(&look, &QTimer::timeout,
                         [&]
                         {
                             auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
                             if (!dialog || !dialog->isVisible())
                                 return;
                             seen = ExpectNewWindowsFit(old, area);
                             dialog->reject();
                         });
        look.start(10);
        ask();
        EXPECT_GE(seen, 1) << "no file dialog";
        QApplication::processEvents();
    }
}

} // namespace

// The screen comes from the offscreen platform's configuration (QT_QPA_PLATFORM, set by
// ctest); the font is fixed as in every widget test.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
    LoopbackFtpOnly::Install();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
