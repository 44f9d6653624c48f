#pragma once
#include <QString>

#include <cstdint>

class QWidget;

namespace Platform
{

// Button and icon flags and the answers, with the values the program's callers combine
// and compare.
enum MessageBoxFlags : uint32_t
{
    MB_OK = 0x00,
    MB_OKCANCEL = 0x01,
    MB_ABORTRETRYIGNORE = 0x02,
    MB_YESNOCANCEL = 0x03,
    MB_YESNO = 0x04,
    MB_RETRYCANCEL = 0x05,
    MB_ICONERROR = 0x10,
    MB_ICONSTOP = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONWARNING = 0x30,
    MB_ICONEXCLAMATION = 0x30,
    MB_ICONINFORMATION = 0x40,
    MB_DEFBUTTON2 = 0x100,
    MB_DEFBUTTON3 = 0x200,
};

enum MessageBoxAnswer : int
{
    IDOK = 1,
    IDCANCEL = 2,
    IDABORT = 3,
    IDRETRY = 4,
    IDIGNORE = 5,
    IDYES = 6,
    IDNO = 7,
};

// Shows a modal message box. Tests install their own service, so no test waits on a
// modal loop.
class MessageBoxService
{
public:
    virtual ~MessageBoxService() = default;
    virtual int Show(QWidget* owner, const QString& text, const QString& caption, uint32_t type) = 0;
};

// Installs a service (null: the built-in one); returns the previous one.
MessageBoxService* SetMessageBoxService(MessageBoxService* service);

// Callable from any thread: a box asked for off the UI thread is shown on it, and the
// caller waits for the answer. The caption defaults to the program's name.
int ShowMessageBox(QWidget* owner, const QString& text, const QString& caption, uint32_t type);
int ShowMessageBox(const QString& text, uint32_t type = MB_OK);

} // namespace Platform
