#include "devicefiles/PageDownload.h"

#include "device/DeviceText.h"
#include "devicefiles/AutoUpdate.h"
#include "platform/core/StringTable.h"
#include "platform/gui/FileDialog.h"
#include "resources/StringIds.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace
{
constexpr int kProgressRange = 100;
constexpr double kBytesPerMegabyte = 1048576.0;
// How often the progress is reported while the package arrives: in thousandths of it.
constexpr double kProgressSteps = 1000.0;
const QString kPackageFilter = QStringLiteral("(*.deb)|*.deb|");
const QString kPackageExtension = QStringLiteral("deb");
} // namespace

CPageDownload::CPageDownload(CAutoUpdate& sheet) : m_sheet(sheet)
{
    m_title = new QLabel(this);
    m_title->setObjectName(QStringLiteral("title"));
    m_title->setAlignment(Qt::AlignCenter);
    m_title->setWordWrap(true);
    // The path and the install command are there to be copied.
    m_title->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("progress"));
    m_progress->setRange(0, kProgressRange);
    m_progress->setValue(0);
    m_amount = new QLabel(this);
    m_amount->setObjectName(QStringLiteral("amount"));
    m_amount->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(this);
    layout->addStretch(1);
    layout->addWidget(m_title);
    layout->addWidget(m_progress);
    layout->addWidget(m_amount);
    layout->addStretch(1);
}

CPageDownload::~CPageDownload() = default;

void CPageDownload::OnInitDialog()
{
    m_title->setText(Device::DeviceText(StringId::IDS_UPDATE_DOWNLOADING, {m_sheet.Search().choice.file}));
}

void CPageDownload::OnSetActive()
{
    m_sheet.SetWizardButtons(0);
    StartDownload(QDir(UpdateDownload::DefaultFolder()).filePath(m_sheet.Search().choice.file), false);
}

void CPageDownload::StartDownload(const QString& target, bool chosenByUser)
{
    const SUpdateSearch& search = m_sheet.Search();
    UpdateDownload::SRequest request;
    request.productName = m_sheet.ProductName();
    request.file = search.choice.file;
    request.size = search.choice.size;
    if (search.checksumListed)
        request.checksumFile = search.choice.file + QLatin1String(kChecksumSuffix);
    request.target = target;
    m_progress->setValue(0);
    OnProgress(0);

    CUpdateFtpClient& client = m_sheet.Client();
    const bool started = m_job.Start(
        client, this,
        [this, &client, request, target, chosenByUser](const CUpdateJob::Post& post) -> CUpdateJob::Report
        {
            int reported = -1;
            const UpdateDownload::SResult result = UpdateDownload::Fetch(
                client, request,
                [&](uint64_t done)
                {
                    const int step = int(double(done) / double(request.size) * kProgressSteps);
                    if (step == reported)
                        return;
                    reported = step;
                    post([this, done] { OnProgress(done); });
                });
            client.Close();
            return [this, result, target, chosenByUser] { OnFetched(result, target, chosenByUser); };
        });
    if (!started)
        DownloadError(Platform::LoadString(StringId::IDS_UPDATE_DOWNLOAD_ERROR));
}

void CPageDownload::OnProgress(uint64_t done)
{
    const uint64_t size = m_sheet.Search().choice.size;
    if (size > 0)
        m_progress->setValue(int(double(done) / double(size) * kProgressRange));
    const QString text =
        Device::DeviceText(StringId::IDS_UPDATE_MB_DOWNLOADED, {QString::number(double(done) / kBytesPerMegabyte, 'f', 2)});
    if (m_amount->text() != text)
        m_amount->setText(text);
}

void CPageDownload::OnFetched(const UpdateDownload::SResult& result, const QString& target, bool chosenByUser)
{
    using UpdateDownload::NEnd;
    switch (result.end)
    {
    case NEnd::done:
        m_progress->setValue(kProgressRange);
        m_title->setText(CAutoUpdate::LabelText(Device::DeviceText(
            StringId::IDS_UPDATE_SAVED,
            {QDir::toNativeSeparators(target), UpdateDownload::InstallCommand(QFileInfo(target).fileName())})));
        m_sheet.SetSavedPath(target);
        m_sheet.SetWizardButtons(Platform::PSWIZB_FINISH);
        return;
    case NEnd::targetNotWritable:
        if (!chosenByUser)
        {
            // The downloads folder cannot take it: the user says where it goes.
            Platform::FileDialogRequest ask;
            ask.save = true;
            ask.initialFolder = UpdateDownload::DefaultFolder();
            ask.fileName = m_sheet.Search().choice.file;
            ask.filter = kPackageFilter;
            ask.defaultExtension = kPackageExtension;
            ask.flags = Platform::OFN_HIDEREADONLY | Platform::OFN_OVERWRITEPROMPT;
            const std::optional<QString> path = Platform::ShowFileDialog(this, ask);
            if (!path)
            {
                DownloadError(Platform::LoadString(StringId::IDS_UPDATE_NO_TARGET));
                return;
            }
            m_title->setText(Device::DeviceText(StringId::IDS_UPDATE_DOWNLOADING, {QFileInfo(*path).fileName()}));
            StartDownload(*path, true);
            return;
        }
        DownloadError(result.error);
        return;
    case NEnd::failed:
        DownloadError(result.error);
        return;
    case NEnd::cancelled:
        return;
    }
}

void CPageDownload::DownloadError(const QString& text)
{
    m_title->setText(CAutoUpdate::LabelText(text));
    m_amount->hide();
    m_progress->hide();
    m_sheet.SetWizardButtons(Platform::PSWIZB_FINISH);
}
