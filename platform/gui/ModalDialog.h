#pragma once

class QDialog;

namespace Platform
{

// Runs a dialog modally and returns IDOK (accepted) or IDCANCEL. The built-in service
// runs the dialog's own loop; tests install one that drives the dialog instead, so no
// test waits on a modal loop.
class ModalDialogService
{
public:
    virtual ~ModalDialogService() = default;
    virtual int Run(QDialog& dialog) = 0;
};

// Installs a service (null: the built-in one); returns the previous one.
ModalDialogService* SetModalDialogService(ModalDialogService* service);

// UI thread only.
int RunModalDialog(QDialog& dialog);

} // namespace Platform
