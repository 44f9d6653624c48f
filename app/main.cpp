#include "app/GraphicalDisplay.h"
#include "app/Veskador3SE.h"
#include "platform/core/AllocatorSettings.h"

#include <QApplication>

int main(int argc, char** argv)
{
    Platform::ApplyAllocatorSettings();
    const std::unique_ptr<QApplication> qapp = GraphicalDisplay::OpenApplication(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Veskador 3"));

    CVeskador3SEApp& app = theApp();
    app.InitApplication();
    int rc = 0;
    if (app.InitInstance(QApplication::arguments()))
        rc = QApplication::exec();
    const int exitCode = app.ExitInstance();
    return rc != 0 ? rc : exitCode;
}
