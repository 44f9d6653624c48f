#pragma once
#include <QString>

// The status line of the window around a pane. The main window implements it, so that a
// pane it holds can speak there without knowing the window.
class StatusLine
{
public:
    virtual ~StatusLine() = default;
    virtual void SetMessageText(const QString& text) = 0;
};
