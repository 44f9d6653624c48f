#pragma once
#include "controls/ProgressDlg.h"
#include "export/LongJob.h"
#include "export/core/ExportFeedback.h"

#include <QPointer>

class QWidget;

// The feedback of an export as the user sees it: the progress dialog over the page, the
// wait cursor, message boxes owned by the page and the system clipboard. The dialog shows
// for the object's life; it stays a moment at its end position before it closes.
// Meanwhile the program keeps answering (CLongJob): the dialog is drawn and follows the
// export, and no window takes the user's input but the message boxes the export shows.
// The dialog offers no way out: closing it, or Esc, does nothing.
class CExportProgress final : public ExportFeedback
{
public:
    explicit CExportProgress(QWidget* page);
    ~CExportProgress() override;
    CExportProgress(const CExportProgress&) = delete;
    CExportProgress& operator=(const CExportProgress&) = delete;

    void SetProgress(int position) override;
    void SetProgressText(const QString& text) override;
    bool ConfirmReplace(const QStringList& existing) override;
    void ShowError(const QString& text) override;
    void ShowNotice(const QString& text) override;
    bool SetClipboardText(const QString& text) override;
    bool SetClipboardImage(const QImage& image) override;
    void KeepAnswering() override;
    bool RunAside(const std::function<bool()>& step) override;

private:
    // A message box must not sit behind the progress dialog or under the wait cursor.
    int Ask(const QString& text, uint32_t type);

    QPointer<QWidget> m_owner;
    CLongJob m_job;
    CProgressDlg m_progress;
    int m_position = 0;
};
