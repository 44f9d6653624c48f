#include "app/MainFrm.h"

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Veskador 3"));
    resize(1024, 700);
}
