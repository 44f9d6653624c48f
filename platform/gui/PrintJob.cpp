#include "platform/gui/PrintJob.h"

#include "platform/gui/PainterCanvas.h"

#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

namespace Platform
{
namespace
{

class StandardPrintDialog : public PrintDialogService
{
public:
    bool Run(QWidget* parent, QPrinter& printer, bool allowSelection, bool* selectionOnly) override
    {
        QPrintDialog dialog(&printer, parent);
        // No page range; copies are the printer's business. Printing to a PDF file stays
        // offered: it is how a printout is saved here, and it needs no printer at all.
        dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
        dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
        dialog.setOption(QAbstractPrintDialog::PrintSelection, allowSelection);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        if (selectionOnly)
            *selectionOnly = dialog.printRange() == QAbstractPrintDialog::Selection;
        return true;
    }
};

PrintDialogService* g_service = nullptr;

} // namespace

PrintDialogService& GetPrintDialogService()
{
    static StandardPrintDialog standard;
    return g_service ? *g_service : standard;
}

void SetPrintDialogService(PrintDialogService* service)
{
    g_service = service;
}

PrintJob::PrintJob(QPrinter& printer) : m_printer(printer)
{
}

PrintJob::~PrintJob()
{
    if (m_painter)
        AbortDoc();
}

bool PrintJob::StartDoc(const QString& documentName)
{
    if (m_painter)
        return false;
    m_printer.setDocName(documentName);
    auto painter = std::make_unique<QPainter>();
    if (!painter->begin(&m_printer))
        return false;
    m_painter = std::move(painter);
    const QRect page(0, 0, m_printer.width(), m_printer.height());
    m_canvas = std::make_unique<PainterCanvas>(*m_painter, page, QRegion(page), true);
    m_pages = 0;
    return true;
}

bool PrintJob::StartPage()
{
    if (!m_painter || m_inPage)
        return false;
    // The painter opened the first page already; later pages are asked for.
    if (m_pages > 0 && !m_printer.newPage())
        return false;
    m_inPage = true;
    ++m_pages;
    return true;
}

int PrintJob::EndPage()
{
    if (!m_painter || !m_inPage)
        return -1;
    m_inPage = false;
    return m_printer.printerState() == QPrinter::Error ? -1 : 1;
}

bool PrintJob::EndDoc()
{
    if (!m_painter)
        return false;
    m_canvas.reset();
    const bool ok = m_painter->end();
    m_painter.reset();
    m_inPage = false;
    return ok && m_printer.printerState() != QPrinter::Error;
}

void PrintJob::AbortDoc()
{
    if (!m_painter)
        return;
    m_canvas.reset();
    m_printer.abort();
    m_painter->end();
    m_painter.reset();
    m_inPage = false;
}

Canvas* PrintJob::GetCanvas()
{
    return m_canvas.get();
}

} // namespace Platform
