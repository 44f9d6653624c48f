#pragma once
#include "platform/gui/MessageBox.h"
#include "platform/gui/ModalDialog.h"

#include <QDialog>

#include <functional>

// Stands in for the modal loop of the program's dialogs: shows each dialog, lets one
// handler work it through events (read, type, click), and answers with its result; a
// dialog left open counts as cancelled. Installed for its lifetime. DialogDriver.h is the
// variant with a queue of handlers that must end the dialogs themselves.
class ModalDialogRunner final : public Platform::DialogService
{
public:
    explicit ModalDialogRunner(std::function<void(QDialog&)> handler) : m_handler(std::move(handler))
    {
        m_previous = Platform::SetDialogService(this);
    }
    ~ModalDialogRunner() override { Platform::SetDialogService(m_previous); }

    int Exec(QDialog& dialog) override
    {
        ++runs;
        dialog.setResult(QDialog::Rejected);
        dialog.show();
        if (m_handler)
            m_handler(dialog);
        if (dialog.isVisible())
            dialog.reject();
        return dialog.result();
    }

    int runs = 0;

private:
    std::function<void(QDialog&)> m_handler;
    Platform::DialogService* m_previous = nullptr;
};
