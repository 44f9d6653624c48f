#pragma once

class QDialog;

namespace Platform
{

// Runs a dialog modally. Tests install their own service and drive the dialog through
// its widgets, so no test waits on a modal loop.
class DialogService
{
public:
    virtual ~DialogService() = default;
    // Runs the dialog until it ends and returns its result (the code given to done()).
    virtual int Exec(QDialog& dialog) = 0;
};

// Installs a service (null: the built-in one, QDialog::exec); returns the previous one.
DialogService* SetDialogService(DialogService* service);

// Runs the dialog through the installed service. UI thread only.
int ExecDialog(QDialog& dialog);
// The same for dialogs that only end with OK or Cancel: IDOK when accepted, else IDCANCEL.
int RunModalDialog(QDialog& dialog);

} // namespace Platform
