#include "platform/gui/ModalDialog.h"

#include "platform/gui/MessageBox.h"

#include <QDialog>

namespace Platform
{
namespace
{
class QtModalDialogs final : public ModalDialogService
{
public:
    int Run(QDialog& dialog) override { return dialog.exec() == QDialog::Accepted ? IDOK : IDCANCEL; }
};

QtModalDialogs g_builtIn;
ModalDialogService* g_service = &g_builtIn;
} // namespace

ModalDialogService* SetModalDialogService(ModalDialogService* service)
{
    ModalDialogService* previous = g_service;
    g_service = service ? service : &g_builtIn;
    return previous;
}

int RunModalDialog(QDialog& dialog)
{
    return g_service->Run(dialog);
}

} // namespace Platform
