#pragma once
#include "platform/gui/Canvas.h"

#include <QString>

#include <memory>

class QPainter;
class QPrinter;
class QWidget;

namespace Platform
{

class PainterCanvas;

// The print dialog as a service, so that tests can print without a modal loop.
class PrintDialogService
{
public:
    virtual ~PrintDialogService() = default;
    // Lets the user choose printer and options; false when cancelled. With allowSelection
    // the dialog offers to print only the selection, and *selectionOnly tells the choice.
    virtual bool Run(QWidget* parent, QPrinter& printer, bool allowSelection, bool* selectionOnly) = 0;
};

// The service in use: the standard print dialog unless one was set. Setting null restores
// the standard one; the caller keeps ownership.
PrintDialogService& GetPrintDialogService();
void SetPrintDialogService(PrintDialogService* service);

// One print job on a printer: a document of pages drawn through a canvas.
// StartDoc - (StartPage - drawing - EndPage)* - EndDoc, or AbortDoc at any point.
class PrintJob
{
public:
    explicit PrintJob(QPrinter& printer);
    ~PrintJob();
    PrintJob(const PrintJob&) = delete;
    PrintJob& operator=(const PrintJob&) = delete;

    bool StartDoc(const QString& documentName);
    bool StartPage();
    // Greater than 0 when the page was completed.
    int EndPage();
    bool EndDoc();
    void AbortDoc();

    // The printer's canvas, from StartDoc to EndDoc; null outside.
    Canvas* GetCanvas();
    int GetPageCount() const { return m_pages; }

private:
    QPrinter& m_printer;
    std::unique_ptr<QPainter> m_painter;
    std::unique_ptr<PainterCanvas> m_canvas;
    int m_pages = 0;
    bool m_inPage = false;
};

} // namespace Platform
