#pragma once

class QDialog;

namespace Platform
{

// Runs the program's own modal dialogs. Tests install their own service, which works the
// dialog's controls and answers, so that no test waits on a modal loop.
class ModalDialogService
{
public:
    virtual ~ModalDialogService() = default;
    // Returns IDOK when the dialog was accepted, IDCANCEL otherwise.
    virtual int Run(QDialog& dialog) = 0;
};

// Installs a service (null: the built-in one, which runs the dialog's event loop); returns
// the previous one.
ModalDialogService* SetModalDialogService(ModalDialogService* service);

// UI thread only.
int RunModalDialog(QDialog& dialog);

} // namespace Platform
