#include "app/Veskador3SE.h"

#include "app/MainFrm.h"

CVeskador3SEApp::CVeskador3SEApp() = default;
CVeskador3SEApp::~CVeskador3SEApp() = default;

bool CVeskador3SEApp::InitInstance(int argc, char** argv)
{
    (void)argc;
    (void)argv;
    m_mainFrame = std::make_unique<CMainFrame>();
    m_mainFrame->show();
    return true;
}

int CVeskador3SEApp::ExitInstance()
{
    m_mainFrame.reset();
    return 0;
}

CVeskador3SEApp& theApp()
{
    static CVeskador3SEApp app;
    return app;
}
