#pragma once
#include <memory>

class CMainFrame;

// The application object: starts the program's services, creates the main window and
// stops everything again at the end. There is one, reached through theApp().
class CVeskador3SEApp
{
public:
    CVeskador3SEApp();
    ~CVeskador3SEApp();

    // Start-up; false ends the program (ExitInstance still runs).
    bool InitInstance(int argc, char** argv);
    // Shutdown; returns the process exit code.
    int ExitInstance();

    CMainFrame* MainWindow() const { return m_mainFrame.get(); }

private:
    std::unique_ptr<CMainFrame> m_mainFrame;
};

CVeskador3SEApp& theApp();
