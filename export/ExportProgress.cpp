#include "export/ExportProgress.h"

#include "export/core/ExportTexts.h"
#include "platform/core/StringTable.h"
#include "platform/gui/Clipboard.h"
#include "platform/gui/MessageBox.h"
#include "resources/StringIds.h"

#include <QApplication>
#include <QDialog>

namespace
{
// How long the full bar stays before the dialog closes.
constexpr int kClosePauseMs = 300;
constexpr int kProgressEnd = 1000;
} // namespace

// The page is disabled while an export shows it differently; the dialog and the messages
// belong to its window, so that they take input.
CExportProgress::CExportProgress(QWidget* page)
    : m_owner(page ? page->window() : nullptr), m_progress(m_owner)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_progress.Create(m_owner);
    if (QDialog* dialog = m_progress.GetWindow())
    {
        // Like the progress of a transfer: over every window of the program.
        dialog->setWindowModality(Qt::ApplicationModal);
        m_job.AddOwnWindow(dialog);
    }
    // Every export starts with this text; the dialog shows no other before it.
    m_progress.SetText(Platform::LoadString(StringId::IDS_EXPORT_PREPARING));
    m_progress.ShowWindow(true);
    m_progress.SetPos(0);
}

CExportProgress::~CExportProgress()
{
    if (m_position == kProgressEnd)
        m_job.Pause(kClosePauseMs);
    QApplication::restoreOverrideCursor();
}

void CExportProgress::SetProgress(int position)
{
    m_position = position;
    m_progress.SetPos(position);
    m_job.KeepAnswering();
}

void CExportProgress::SetProgressText(const QString& text)
{
    m_progress.SetText(text);
    m_job.KeepAnswering();
}

void CExportProgress::KeepAnswering()
{
    m_job.KeepAnswering();
}

bool CExportProgress::RunAside(const std::function<bool()>& step)
{
    return m_job.RunAside(step);
}

int CExportProgress::Ask(const QString& text, uint32_t type)
{
    QDialog* dialog = m_progress.GetWindow();
    const bool shown = dialog && dialog->isVisible();
    if (shown)
        dialog->hide();
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    const int answer = Platform::ShowMessageBox(m_owner, text, QString(), type);
    QApplication::restoreOverrideCursor();
    if (shown)
        dialog->show();
    return answer;
}

bool CExportProgress::ConfirmReplace(const QStringList& existing)
{
    return Ask(ExportTexts::ReplaceFiles(existing), Platform::MB_YESNO | Platform::MB_ICONQUESTION) ==
           Platform::IDYES;
}

void CExportProgress::ShowError(const QString& text)
{
    Ask(text, Platform::MB_OK | Platform::MB_ICONSTOP);
}

void CExportProgress::ShowNotice(const QString& text)
{
    Ask(text, Platform::MB_OK | Platform::MB_ICONINFORMATION);
}

bool CExportProgress::SetClipboardText(const QString& text)
{
    return Platform::Clipboard().SetText(text);
}

bool CExportProgress::SetClipboardImage(const QImage& image)
{
    Platform::ClipboardService::Content content;
    content.image = image;
    return Platform::Clipboard().Set(content);
}
