#include "devicefiles/PageSearch.h"

#include "device/DeviceText.h"
#include "devicefiles/AutoUpdate.h"
#include "platform/core/StringTable.h"
#include "resources/StringIds.h"

#include <QLabel>
#include <QVBoxLayout>

namespace
{
QLabel* CentredText(const QString& name, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    return label;
}
} // namespace

CPageSearch::CPageSearch(CAutoUpdate& sheet) : m_sheet(sheet)
{
    m_title = CentredText(QStringLiteral("title"), this);
    m_status = CentredText(QStringLiteral("status"), this);
    m_result = CentredText(QStringLiteral("result"), this);
    auto* layout = new QVBoxLayout(this);
    layout->addStretch(1);
    layout->addWidget(m_title);
    layout->addWidget(m_status);
    layout->addWidget(m_result);
    layout->addStretch(1);
}

CPageSearch::~CPageSearch() = default;

void CPageSearch::OnInitDialog()
{
    m_sheet.SetWizardButtons(0);
    m_title->setText(Device::DeviceText(StringId::IDS_UPDATE_SEARCHING, {m_sheet.ProductName()}));
    m_status->setText(Platform::LoadString(StringId::IDS_UPDATE_CONNECTING));
    m_result->hide();
}

void CPageSearch::OnSetActive()
{
    m_sheet.SetWizardButtons(0);
    CUpdateFtpClient& client = m_sheet.Client();
    const QString product = m_sheet.ProductName();
    const CVersion running = m_sheet.RunningVersion();
    const bool started = m_job.Start(
        client, this,
        [this, &client, product, running](const CUpdateJob::Post& post) -> CUpdateJob::Report
        {
            const SUpdateSearch search = SearchUpdate(
                client, product, running,
                [this, post]
                { post([this] { m_status->setText(Platform::LoadString(StringId::IDS_UPDATE_RECEIVING)); }); });
            return [this, search] { OnSearched(search); };
        });
    if (!started)
        OnSearched(SUpdateSearch{false, Platform::LoadString(StringId::IDS_UPDATE_DOWNLOAD_ERROR), {}, false});
}

void CPageSearch::OnSearched(const SUpdateSearch& search)
{
    m_sheet.SetSearch(search);
    m_title->hide();
    if (!search.ok)
    {
        m_status->setText(CAutoUpdate::LabelText(search.error));
        m_sheet.SetWizardButtons(Platform::PSWIZB_FINISH);
        return;
    }
    m_status->hide();
    const QString product = m_sheet.ProductName();
    if (!search.choice.file.isEmpty())
    {
        m_result->setText(CAutoUpdate::LabelText(
            Device::DeviceText(StringId::IDS_UPDATE_FOUND, {product, search.choice.best.Format(3),
                                                            m_sheet.RunningVersion().Format(3)})));
        m_sheet.SetWizardButtons(Platform::PSWIZB_NEXT);
    }
    else
    {
        m_result->setText(CAutoUpdate::LabelText(Device::DeviceText(StringId::IDS_UPDATE_NONE, {product})));
        m_sheet.SetWizardButtons(Platform::PSWIZB_FINISH);
    }
    m_result->show();
}
