#pragma once
#include "platform/gui/MessageBox.h"
#include "platform/gui/ModalDialog.h"

#include <QDialog>

#include <functional>

// Stands in for modal runs in tests: shows the dialog, lets the test drive it through
// events, and answers as the dialog was closed (a dialog left open counts as cancelled).
// Installed for its lifetime.
class DialogDriver final : public Platform::ModalDialogService
{
public:
    explicit DialogDriver(std::function<void(QDialog&)> act) : m_act(std::move(act))
    {
        m_previous = Platform::SetModalDialogService(this);
    }
    ~DialogDriver() override { Platform::SetModalDialogService(m_previous); }

    int Run(QDialog& dialog) override
    {
        ++runs;
        dialog.show();
        m_act(dialog);
        if (dialog.isVisible())
            dialog.reject();
        return dialog.result() == QDialog::Accepted ? Platform::IDOK : Platform::IDCANCEL;
    }

    int runs = 0;

private:
    std::function<void(QDialog&)> m_act;
    Platform::ModalDialogService* m_previous = nullptr;
};

// Sets the process time zone for its lifetime (a POSIX rule, so no zone files are
// needed) and restores the previous one.
class ScopedTimeZone
{
public:
    explicit ScopedTimeZone(const char* tz);
    ~ScopedTimeZone();

private:
    QByteArray m_previous;
    bool m_had;
};

// Central Europe: daylight-saving time from the last Sunday of March, 02:00, to the last
// Sunday of October, 03:00.
inline constexpr const char* kCentralEurope = "CET-1CEST,M3.5.0,M10.5.0/3";
