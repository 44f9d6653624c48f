#include "platform/gui/ModalDialog.h"

#include "platform/gui/MessageBox.h"

#include <QDialog>

#include <utility>

namespace Platform
{

namespace
{
class EventLoopDialogs final : public ModalDialogService
{
public:
    int Run(QDialog& dialog) override { return dialog.exec() == QDialog::Accepted ? IDOK : IDCANCEL; }
};

EventLoopDialogs g_builtIn;
ModalDialogService* g_service = &g_builtIn;
} // namespace

ModalDialogService* SetModalDialogService(ModalDialogService* service)
{
    return std::exchange(g_service, service ? service : &g_builtIn);
}

int RunModalDialog(QDialog& dialog)
{
    return g_service->Run(dialog);
}

} // namespace Platform
