#pragma once
#include "devicefiles/core/UpdateDownload.h"
#include "devicefiles/core/UpdateJob.h"
#include "platform/gui/WizardSheet.h"

#include <cstdint>

class CAutoUpdate;
class QLabel;
class QProgressBar;

// The update wizard's second page: downloads the chosen installer with a progress bar
// and the amount so far, checks it and keeps it. It ends with the place of the package
// and the command that installs it, or with the error; either way only Finish remains.
class CPageDownload : public Platform::WizardPage
{
    Q_OBJECT
public:
    explicit CPageDownload(CAutoUpdate& sheet);
    ~CPageDownload() override;

    // Stops a download still running; its partial file is removed.
    void CancelJob() { m_job.Cancel(); }

protected:
    void OnInitDialog() override;
    void OnSetActive() override;

private:
    void StartDownload(const QString& target, bool chosenByUser);
    void OnProgress(uint64_t done);
    void OnFetched(const UpdateDownload::SResult& result, const QString& target, bool chosenByUser);
    void DownloadError(const QString& text);

    CAutoUpdate& m_sheet;
    QLabel* m_title = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_amount = nullptr;
    CUpdateJob m_job;
};
