#pragma once
#include "platform/gui/MessageBox.h"
#include "platform/gui/ModalDialog.h"

#include <QDialog>

#include <functional>

// Stands in for the modal loop of the program's dialogs: the test's handler works the
// dialog (types, clicks) and the runner answers IDOK when the dialog was accepted.
// Installed for its lifetime.
class ModalDialogRunner final : public Platform::ModalDialogService
{
public:
    explicit ModalDialogRunner(std::function<void(QDialog&)> handler) : m_handler(std::move(handler))
    {
        m_previous = Platform::SetModalDialogService(this);
    }
    ~ModalDialogRunner() override { Platform::SetModalDialogService(m_previous); }

    int Run(QDialog& dialog) override
    {
        ++runs;
        dialog.setResult(QDialog::Rejected);
        if (m_handler)
            m_handler(dialog);
        return dialog.result() == QDialog::Accepted ? Platform::IDOK : Platform::IDCANCEL;
    }

    int runs = 0;

private:
    std::function<void(QDialog&)> m_handler;
    Platform::ModalDialogService* m_previous = nullptr;
};
