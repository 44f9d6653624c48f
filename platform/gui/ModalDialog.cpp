#include "platform/gui/ModalDialog.h"

#include "platform/gui/MessageBox.h"

#include <QDialog>

#include <atomic>

namespace Platform
{

namespace
{
class ExecDialogs final : public DialogService
{
public:
    int Exec(QDialog& dialog) override { return dialog.exec(); }
};

ExecDialogs g_builtIn;
std::atomic<DialogService*> g_service{&g_builtIn};
} // namespace

DialogService* SetDialogService(DialogService* service)
{
    return g_service.exchange(service ? service : &g_builtIn);
}

int ExecDialog(QDialog& dialog)
{
    return g_service.load()->Exec(dialog);
}

int RunModalDialog(QDialog& dialog)
{
    return ExecDialog(dialog) == QDialog::Accepted ? IDOK : IDCANCEL;
}

} // namespace Platform
