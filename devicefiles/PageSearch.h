#pragma once
#include "devicefiles/core/ProgramVersionCheck.h"
#include "devicefiles/core/UpdateJob.h"
#include "platform/gui/WizardSheet.h"

class CAutoUpdate;
class QLabel;

// The update wizard's first page: connects to the update server and looks for an
// installer newer than the running program. Next (offered only when one was found)
// leads to the download; otherwise only Finish remains.
class CPageSearch : public Platform::WizardPage
{
    Q_OBJECT
public:
    explicit CPageSearch(CAutoUpdate& sheet);
    ~CPageSearch() override;

    // Stops a search still running; nothing it found arrives afterwards.
    void CancelJob() { m_job.Cancel(); }

protected:
    void OnInitDialog() override;
    void OnSetActive() override;

private:
    void OnSearched(const SUpdateSearch& search);

    CAutoUpdate& m_sheet;
    QLabel* m_title = nullptr;
    QLabel* m_status = nullptr;
    QLabel* m_result = nullptr;
    CUpdateJob m_job;
};
