#include "app/Veskador3SE.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Veskador 3"));
    QApplication::setOrganizationName(QStringLiteral("Velmor"));

    CVeskador3SEApp& app = theApp();
    int rc = 0;
    if (app.InitInstance(argc, argv))
        rc = QApplication::exec();
    const int exitCode = app.ExitInstance();
    return rc != 0 ? rc : exitCode;
}
