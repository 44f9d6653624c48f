#pragma once
#include <QCursor>
#include <QGuiApplication>

namespace Platform
{

// Shows the wait cursor over the program's windows for its lifetime. Keep it off modal
// dialogs that the user works in.
class WaitCursor
{
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

} // namespace Platform
