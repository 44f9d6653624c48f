#include "tests/support/LoopbackFtpOnly.h"

#include <QApplication>
#include <QFont>

#include <gtest/gtest.h>

// Widget tests run on the offscreen platform with one fixed font, so text metrics and
// rendered pixels are the same on every machine. No test reaches an FTP server beyond
// this machine (the main window asks the update server at start-up).
int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
    LoopbackFtpOnly::Install();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
