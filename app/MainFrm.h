#pragma once
#include <QMainWindow>

// The program's single main window.
class CMainFrame : public QMainWindow
{
    Q_OBJECT
public:
    explicit CMainFrame(QWidget* parent = nullptr);
};
