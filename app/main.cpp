#include "app/Veskador3SE.h"
#include "platform/core/AllocatorSettings.h"

#include <QApplication>

int main(int argc, char** argv)
{
    Platform::ApplyAllocatorSettings();
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Veskador 3"));

    CVeskador3SEApp& app = theApp();
    app.InitApplication();
    int rc = 0;
    if (app.InitInstance(QApplication::arguments()))
        rc = QApplication::exec();
    const int exitCode = app.ExitInstance();
    return rc != 0 ? rc : exitCode;
}
