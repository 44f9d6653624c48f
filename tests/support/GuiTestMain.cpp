#include <QApplication>
#include <QFont>

#include <gtest/gtest.h>

// Widget tests run on the offscreen platform with one fixed font, so text metrics and
// rendered pixels are the same on every machine.
int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
