#include "devicefiles/AutoUpdate.h"

#include "devicefiles/PageDownload.h"
#include "devicefiles/PageSearch.h"
#include "devicefiles/WizardHelp.h"
#include "platform/core/StringTable.h"
#include "platform/gui/ModalDialog.h"
#include "resources/StringIds.h"
#include "streamio/FileVersionInfo.h"

#include <QPushButton>

namespace
{
constexpr int kMinimumWidth = 480;
constexpr int kMinimumHeight = 300;

CFileVersionInfo OwnVersionInfo()
{
    CFileVersionInfo info;
    info.ReadFromModule();
    return info;
}
} // namespace

CAutoUpdate::CAutoUpdate(QWidget* parent)
    : CAutoUpdate(parent, OwnVersionInfo().GetProductName(),
                  CVersion(QStringView(OwnVersionInfo().GetProductVersionText())))
{
}

CAutoUpdate::CAutoUpdate(QWidget* parent, const QString& productName, CVersion running)
    : Platform::WizardSheet(Platform::LoadString(StringId::IDS_UPDATE_CAPTION), parent),
      m_productName(productName), m_running(running)
{
    setObjectName(QStringLiteral("AutoUpdate"));
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    // The client runs on the steps' threads, where no box may be raised; the pages
    // report its failures on the UI thread.
    m_client.SetShowErrors(false);
    const struct
    {
        Platform::WizardButton button;
        uint32_t text;
    } labels[] = {{Platform::WizardButton::next, StringId::IDS_UPDATE_NEXT},
                  {Platform::WizardButton::back, StringId::IDS_UPDATE_BACK},
                  {Platform::WizardButton::finish, StringId::IDS_UPDATE_FINISH},
                  {Platform::WizardButton::cancel, StringId::IDS_UPDATE_CANCEL}};
    for (const auto& label : labels)
        Button(label.button)->setText(Platform::LoadString(label.text));
    SetWizardButtons(0);
    m_searchPage = new CPageSearch(*this);
    m_downloadPage = new CPageDownload(*this);
    AddPage(m_searchPage);
    AddPage(m_downloadPage);
    WizardHelp::Connect(*this);
}

CAutoUpdate::~CAutoUpdate()
{
    // The pages go with the widget, after the client: their steps stop now.
    StopEverything();
}

bool CAutoUpdate::RunWizard()
{
    Platform::ExecDialog(*this);
    return !m_savedPath.isEmpty();
}

QString CAutoUpdate::LabelText(QString text)
{
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

void CAutoUpdate::done(int result)
{
    StopEverything();
    Platform::WizardSheet::done(result);
}

void CAutoUpdate::StopEverything()
{
    m_searchPage->CancelJob();
    m_downloadPage->CancelJob();
    // No goodbye to wait for: the wizard is over.
    m_client.Abort();
    m_client.Close();
}
