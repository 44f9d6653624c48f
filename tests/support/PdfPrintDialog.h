#pragma once
#include "platform/gui/PrintJob.h"

#include <QPrinter>
#include <QString>

#include <utility>

// Stands in for the print dialog while it lives: prints into a PDF file instead of asking
// the user, and tells what the program offered. `accept = false` is a cancelled dialog.
class PdfPrintDialog final : public Platform::PrintDialogService
{
public:
    explicit PdfPrintDialog(QString path, bool selectionOnly = false)
        : m_path(std::move(path)), m_selectionOnly(selectionOnly)
    {
        Platform::SetPrintDialogService(this);
    }
    ~PdfPrintDialog() override { Platform::SetPrintDialogService(nullptr); }
    PdfPrintDialog(const PdfPrintDialog&) = delete;
    PdfPrintDialog& operator=(const PdfPrintDialog&) = delete;

    bool Run(QWidget*, QPrinter& printer, bool allowSelection, bool* selectionOnly) override
    {
        ++runs;
        if (!accept)
            return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(m_path);
        offeredSelection = allowSelection;
        *selectionOnly = m_selectionOnly;
        return true;
    }

    bool accept = true;
    bool offeredSelection = false;
    int runs = 0;

private:
    QString m_path;
    bool m_selectionOnly;
};
