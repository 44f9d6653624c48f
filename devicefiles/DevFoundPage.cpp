#include "devicefiles/DevFoundPage.h"

#include "device/DeviceText.h"
#include "device/DeviceThread.h"
#include "device/VmDevice.h"
#include "devicefiles/DevSelectSheet.h"
#include "devicefiles/RemoteLoginDlg.h"
#include "platform/core/StringTable.h"
#include "platform/gui/MessageBox.h"
#include "resources/StringIds.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include <exception>

namespace
{
// How long a Cancel waits for the search to stop before it leaves it behind.
constexpr uint32_t kAbortWaitMs = 8000;
// A login that succeeds without the required rights is repeated this often at most.
constexpr int kMaxSilentLogins = 3;

// The port part of a list entry: the serial port or the address, none for USB.
QString PortText(const QString& streamName)
{
    const QString win32Prefix = QStringLiteral("\\\\.\\COM");
    if (streamName.startsWith(QLatin1String("COM")))
        return streamName;
    if (streamName.startsWith(QLatin1String("IP:")))
        return streamName.left(streamName.lastIndexOf(QLatin1Char(':')));
    if (streamName.startsWith(win32Prefix))
        return QStringLiteral("COM") + streamName.mid(win32Prefix.size());
    return {};
}

// Fills the entry format with type name, serial number and port text. A "%.0s" marker
// takes its value without printing it.
QString EntryText(const QString& typeName, const QString& serialNumber, const QString& portText)
{
    const QString format = Platform::LoadString(StringId::IDS_DEVICE_LINE_FORMAT);
    const QStringList values{typeName, serialNumber, portText};
    QString kept;
    QStringList keptValues;
    int next = 0;
    for (qsizetype i = 0; i < format.size(); ++i)
    {
        if (format.at(i) == QLatin1Char('%') && i + 1 < format.size())
        {
            if (format.mid(i, 4) == QLatin1String("%.0s"))
            {
                ++next;
                i += 3;
                continue;
            }
            const QChar kind = format.at(i + 1);
            if (kind == QLatin1Char('s') || kind == QLatin1Char('d'))
            {
                if (next < values.size())
                    keptValues << values.at(next);
                ++next;
            }
            kept += format.mid(i, 2);
            ++i;
            continue;
        }
        kept += format.at(i);
    }
    return Device::FormatDeviceText(kept, keptValues);
}

// Device texts end their lines with CR LF; the edit controls want LF.
QString ForDisplay(QString text)
{
    return text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
}
} // namespace

CDevFoundPage::CDevFoundPage(CDevSelectSheet& sheet) : m_sheet(sheet), m_guard(this)
{
    m_status = new QPlainTextEdit(this);
    m_status->setObjectName(QStringLiteral("statusEdit"));
    m_status->setReadOnly(true);
    m_status->setFixedHeight(m_status->fontMetrics().lineSpacing() * 5 + 12);
    m_devices = new QComboBox(this);
    m_devices->setObjectName(QStringLiteral("deviceList"));
    m_info = new QPlainTextEdit(this);
    m_info->setObjectName(QStringLiteral("infoEdit"));
    m_info->setReadOnly(true);
    m_info->setLineWrapMode(QPlainTextEdit::NoWrap);
    // One tab stop at 100 dialog units (a dialog unit is a quarter of the average
    // character width).
    m_info->setTabStopDistance(m_info->fontMetrics().averageCharWidth() * 25.0);
    m_info->setMinimumWidth(m_info->fontMetrics().averageCharWidth() * 60);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Status:"), this));
    layout->addWidget(m_status);
    layout->addWidget(new QLabel(QStringLiteral("Devices found:"), this));
    layout->addWidget(m_devices);
    layout->addWidget(new QLabel(QStringLiteral("Device information:"), this));
    layout->addWidget(m_info, 1);

    m_devices->setToolTip(Platform::LoadString(StringId::IDS_TIP_FOUND_DEVICES));
    m_status->setToolTip(Platform::LoadString(StringId::IDS_TIP_SEARCH_STATUS));
    m_info->setToolTip(Platform::LoadString(StringId::IDS_TIP_DEVICE_INFO));
    connect(m_devices, &QComboBox::activated, this, &CDevFoundPage::OnSelChange);
}

CDevFoundPage::~CDevFoundPage()
{
    // The job holds this page as its callback: it must be over before the page goes.
    if (m_searching)
        AbortSearch();
}

void CDevFoundPage::OnSetActive()
{
    ClearFound();
    m_info->clear();
    const bool morePages = m_sheet.ActiveIndex() + 1 < m_sheet.PageCount();
    if (m_sheet.Settings().express && morePages)
    {
        m_goOn = Platform::PSWIZB_NEXT;
        m_stuck = 0;
    }
    else
    {
        m_goOn = Platform::PSWIZB_FINISH;
        m_stuck = Platform::PSWIZB_DISABLEDFINISH;
    }
    m_sheet.SetWizardButtons(Platform::PSWIZB_BACK | m_stuck);
    PostStartSearch();
}

void CDevFoundPage::PostStartSearch()
{
    QMetaObject::invokeMethod(this, &CDevFoundPage::OnStartSearch, Qt::QueuedConnection);
}

void CDevFoundPage::OnStartSearch()
{
    // A start that was posted before the user left the page or the wizard is stale.
    if (m_searching || m_sheet.ActivePage() != this || !m_sheet.isVisible())
        return;
    m_devices->setEnabled(false);
    m_sheet.SetWizardButtons(m_stuck);

    const CDevSelectSheet::SSettings& s = m_sheet.Settings();
    Device::SConnectParams params;
    params.type = m_sheet.GetDevice() ? m_sheet.GetDevice()->GetType() : Device::typeCount;
    params.portKind = s.portKind;
    params.scanAll = s.scanAll > 0 ? 1 : 0;
    params.stopAtFirst = s.stopAfterFirst > 0 ? 1 : 0;
    params.comPort = int32_t(s.comPort);
    params.skipComPort = -1;
    params.ipAddress = s.ipAddress;
    params.reconnectTimeoutMs = 0;
    m_searching = true;
    // A job that cannot be queued ends like a search that found nothing.
    if (!Device::PostConnectJob(this, &params))
        OnSearchOver();
}

void CDevFoundPage::OnDeviceFound(Device::CVmDevice* device)
{
    // The device travels in a holder that deletes it unless the page takes it, so it is
    // freed whether the call is dropped, comes too late, or cannot be posted at all.
    auto holder = std::make_shared<std::unique_ptr<Device::CVmDevice>>(device);
    QObject* app = QCoreApplication::instance();
    const bool posted = app && QMetaObject::invokeMethod(
                                   app,
                                   [page = m_guard, holder]
                                   {
                                       if (page)
                                           page->OnFoundMessage(std::move(*holder));
                                   },
                                   Qt::QueuedConnection);
    if (!posted)
        holder->reset();
}

void CDevFoundPage::OnStatusText(const QString& text)
{
    QObject* app = QCoreApplication::instance();
    if (!app)
        return;
    QMetaObject::invokeMethod(
        app,
        [page = m_guard, text]
        {
            if (page)
                page->OnStatusMessage(text);
        },
        Qt::QueuedConnection);
}

void CDevFoundPage::OnJobFinished(const QString&, int32_t)
{
}

void CDevFoundPage::OnProgress(int32_t, int32_t, uint32_t)
{
}

void CDevFoundPage::OnFoundMessage(std::unique_ptr<Device::CVmDevice> device)
{
    if (!m_searching)
        return; // a report of an aborted search: the device goes
    if (!device)
    {
        OnSearchOver();
        return;
    }
    Device::SIdentity identity;
    bool answered = false;
    try
    {
        answered = device->QueryId(identity);
    }
    catch (const std::exception&)
    {
        answered = false;
    }
    if (!answered)
    {
        ShowStatus(m_statusText + Platform::LoadString(StringId::IDS_BAD_CONNECTION));
        return; // deleting the device closes its link
    }
    QString port = PortText(device->GetStreamName());
    if (!port.isEmpty())
        port.prepend(QStringLiteral("@ "));
    m_found.push_back(std::move(device));
    m_devices->addItem(EntryText(identity.typeName, identity.serialNumber, port));
    m_devices->setCurrentIndex(m_devices->count() - 1);
}

void CDevFoundPage::OnStatusMessage(const QString& text)
{
    if (m_searching)
        ShowStatus(text);
}

void CDevFoundPage::OnSearchOver()
{
    m_searching = false;
    if (!m_found.empty())
    {
        ShowStatus(Platform::LoadString(StringId::IDS_SEARCH_FOUND));
        m_devices->setEnabled(true);
        m_sheet.SetWizardButtons(Platform::PSWIZB_BACK | m_goOn);
        const int index = m_devices->currentIndex();
        if (index >= 0 && size_t(index) < m_found.size())
            ShowInfo(m_found[size_t(index)]->GetInfoText());
        return;
    }
    ShowStatus(Platform::LoadString(StringId::IDS_SEARCH_NONE_FOUND));
    if (Platform::ShowMessageBox(Platform::LoadString(StringId::IDS_NO_DEVICE_FOUND),
                                 Platform::MB_RETRYCANCEL) == Platform::IDRETRY)
        PostStartSearch();
    else
        m_sheet.SetWizardButtons(Platform::PSWIZB_BACK | m_stuck);
}

void CDevFoundPage::OnSelChange(int index)
{
    if (index < 0 || size_t(index) >= m_found.size())
    {
        m_sheet.SetWizardButtons(Platform::PSWIZB_BACK | m_stuck);
        return;
    }
    m_sheet.SetWizardButtons(Platform::PSWIZB_BACK | m_goOn);
    ShowInfo(m_found[size_t(index)]->GetInfoText());
}

int CDevFoundPage::OnWizardNext()
{
    return TakeSelected() ? 0 : -1;
}

int CDevFoundPage::OnWizardBack()
{
    ClearFound();
    return 0;
}

bool CDevFoundPage::OnWizardFinish()
{
    return TakeSelected();
}

void CDevFoundPage::OnCancel()
{
    AbortSearch();
}

bool CDevFoundPage::TakeSelected()
{
    const int index = m_devices->currentIndex();
    if (m_searching || index < 0 || size_t(index) >= m_found.size())
        return false;
    if (!CheckLogin(*m_found[size_t(index)]))
        return false;
    std::unique_ptr<Device::CVmDevice> chosen = std::move(m_found[size_t(index)]);
    m_found.erase(m_found.begin() + index);
    {
        const QSignalBlocker quiet(m_devices);
        m_devices->removeItem(index);
    }
    m_sheet.SetDevice(std::move(chosen)); // the template device goes
    return true;
}

bool CDevFoundPage::CheckLogin(Device::CVmDevice& device)
{
    Device::SLoginInfo login;
    const uint16_t mask = m_sheet.RequiredRights();
    int silentLogins = 0;
    while ((login.rights & mask) != mask)
    {
        bool loggedIn = false;
        try
        {
            loggedIn = device.Login(login);
        }
        catch (const std::exception&)
        {
            loggedIn = false;
        }
        if (loggedIn)
        {
            bool asked = false;
            if ((mask & Device::loginSuperUser) && !(login.rights & Device::loginSuperUser))
            {
                asked = true;
                if (Platform::ShowMessageBox(Platform::LoadString(StringId::IDS_LOGIN_NO_SUPER_USER),
                                             Platform::MB_RETRYCANCEL | Platform::MB_ICONEXCLAMATION) ==
                    Platform::IDCANCEL)
                    return false;
            }
            if ((mask & Device::loginPasswordSet) && !(login.rights & Device::loginPasswordSet))
            {
                asked = true;
                if (Platform::ShowMessageBox(Platform::LoadString(StringId::IDS_LOGIN_NO_PASSWORD),
                                             Platform::MB_RETRYCANCEL | Platform::MB_ICONEXCLAMATION) ==
                    Platform::IDCANCEL)
                    return false;
            }
            // A tester that keeps reporting a login without the required rights, and
            // nothing the user could change, counts as a refused login.
            if (!asked && (login.rights & mask) != mask && ++silentLogins >= kMaxSilentLogins)
            {
                Platform::ShowMessageBox(Platform::LoadString(StringId::IDS_LOGIN_UNKNOWN_ERROR),
                                         Platform::MB_OK | Platform::MB_ICONSTOP);
                return false;
            }
        }
        else if (!(login.rights & Device::loginPasswordSet))
        {
            Platform::ShowMessageBox(Platform::LoadString(StringId::IDS_LOGIN_UNKNOWN_ERROR),
                                     Platform::MB_OK | Platform::MB_ICONSTOP);
            return false;
        }
        else
        {
            CRemoteLoginDlg dialog(&device, this);
            if (dialog.DoModal() != QDialog::Accepted)
                return false;
            // The rights of the password login decide; they may still lack a bit that
            // the caller requires (another profile is active).
            login = dialog.LoginInfo();
        }
    }
    return true;
}

void CDevFoundPage::ClearFound()
{
    m_found.clear();
    m_devices->clear();
}

void CDevFoundPage::AbortSearch()
{
    Device::AbortDeviceJobs(kAbortWaitMs);
    m_searching = false;
}

void CDevFoundPage::ShowStatus(const QString& text)
{
    m_statusText = text;
    m_status->setPlainText(ForDisplay(text));
}

void CDevFoundPage::ShowInfo(const QString& text)
{
    m_info->setPlainText(ForDisplay(text));
}
