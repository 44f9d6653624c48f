#pragma once
#include "platform/gui/ModalDialog.h"

#include <QDialog>
#include <QStringList>

#include <gtest/gtest.h>

#include <deque>
#include <functional>

// Stands in for modal dialogs in tests. Each run shows the dialog without a modal loop,
// hands it to the next queued handler, which drives it through its widgets until it
// ends, and returns the dialog's result. A dialog with no handler queued is cancelled.
// Installed for its lifetime.
class DialogDriver final : public Platform::DialogService
{
public:
    using Handler = std::function<void(QDialog&)>;

    DialogDriver() { m_previous = Platform::SetDialogService(this); }
    ~DialogDriver() override { Platform::SetDialogService(m_previous); }

    void Queue(Handler handler) { m_handlers.push_back(std::move(handler)); }

    int Exec(QDialog& dialog) override
    {
        titles << dialog.windowTitle();
        dialog.setResult(QDialog::Rejected);
        dialog.show();
        if (m_handlers.empty())
        {
            dialog.reject();
        }
        else
        {
            Handler handler = std::move(m_handlers.front());
            m_handlers.pop_front();
            handler(dialog);
        }
        if (dialog.isVisible())
        {
            ADD_FAILURE() << "a driven dialog did not end: " << dialog.windowTitle().toStdString();
            dialog.reject();
        }
        return dialog.result();
    }

    QStringList titles;

private:
    std::deque<Handler> m_handlers;
    Platform::DialogService* m_previous = nullptr;
};
