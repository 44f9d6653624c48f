#include "devicefiles/PortSelectPage.h"

#include "device/DeviceFactory.h"
#include "devicefiles/DevSelectSheet.h"
#include "platform/core/NumberText.h"
#include "platform/core/StringTable.h"
#include "platform/gui/MessageBox.h"
#include "resources/StringIds.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace
{
constexpr int kMinComPort = 1;
constexpr int kMaxComPort = 9999;
// One number of an IP address, 0-255 without leading zeros.
const QString kOctet = QStringLiteral("(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])");
// What the field lets the user type for one number.
const QString kTypedOctet = QStringLiteral("([0-9]{1,3})");

bool IsIpAddress(const QString& text)
{
    static const QRegularExpression whole(QStringLiteral("^%1(\\.%1){3}$").arg(kOctet));
    return whole.match(text).hasMatch();
}
} // namespace

CPortSelectPage::CPortSelectPage(CDevSelectSheet& sheet) : m_sheet(sheet)
{
    m_interfaces = new QComboBox(this);
    m_interfaces->setObjectName(QStringLiteral("interfaceList"));
    m_scan = new QCheckBox(QStringLiteral("Find device automatically (Scan ports)"), this);
    m_scan->setObjectName(QStringLiteral("scanCheck"));
    m_comPort = new QLineEdit(this);
    m_comPort->setObjectName(QStringLiteral("comPort"));
    m_comPort->setMaxLength(5);
    m_stop = new QCheckBox(QStringLiteral("Stop search after first device has been found."), this);
    m_stop->setObjectName(QStringLiteral("stopCheck"));
    m_ipAddress = new QLineEdit(this);
    m_ipAddress->setObjectName(QStringLiteral("ipAddress"));
    // Up to four numbers of up to three digits, as an address control takes them. What
    // the user typed stays as typed: a number over 255 is not shortened into another
    // address here, Next refuses it with the whole address.
    m_ipAddress->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("^%1(\\.%1){0,3}\\.?$").arg(kTypedOctet)), m_ipAddress));
    m_help = new QPushButton(QStringLiteral("Help"), this);
    m_help->setObjectName(QStringLiteral("helpButton"));
    m_help->setAutoDefault(false);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Interface:"), m_interfaces);
    form->addRow(m_scan);
    form->addRow(QStringLiteral("COM port:"), m_comPort);
    form->addRow(m_stop);
    form->addRow(QStringLiteral("IP address:"), m_ipAddress);
    auto* helpRow = new QHBoxLayout;
    helpRow->addStretch(1);
    helpRow->addWidget(m_help);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addStretch(1);
    layout->addLayout(helpRow);

    connect(m_interfaces, &QComboBox::currentIndexChanged, this, [this] { UpdateControls(); });
    connect(m_scan, &QCheckBox::clicked, this, [this] { UpdateControls(); });
    connect(m_help, &QPushButton::clicked, this, [this] { m_sheet.RequestHelp(HelpContextId()); });
}

void CPortSelectPage::OnInitDialog()
{
    const CDevSelectSheet::SSettings& s = m_sheet.Settings();
    if (!s.ipAddress.isEmpty())
        m_ipAddress->setText(s.ipAddress);
    m_comPort->setText(QString::number(s.comPort));
    m_scan->setChecked(s.scanAll != 0);
    m_stop->setChecked(s.stopAfterFirst != 0);
    m_help->setVisible(!m_sheet.HideHelpButton());

    m_scan->setToolTip(Platform::LoadString(StringId::IDS_TIP_SCAN_ALL_PORTS));
    m_ipAddress->setToolTip(Platform::LoadString(StringId::IDS_TIP_IP_ADDRESS));
    m_comPort->setToolTip(Platform::LoadString(StringId::IDS_TIP_COM_PORT));
    m_interfaces->setToolTip(Platform::LoadString(StringId::IDS_TIP_INTERFACE));
    m_stop->setToolTip(Platform::LoadString(StringId::IDS_TIP_STOP_AT_FIRST));
    m_help->setToolTip(Platform::LoadString(StringId::IDS_TIP_HELP));
}

void CPortSelectPage::OnSetActive()
{
    m_sheet.SetWizardButtons(Platform::PSWIZB_NEXT |
                             (m_sheet.StartMode() < 2 ? uint32_t(Platform::PSWIZB_BACK) : 0u));
    if (!m_sheet.GetDevice())
        m_sheet.SetDevice(Device::CreateDevice(m_sheet.Settings().deviceType));
    const uint32_t mask = m_sheet.GetDevice() ? m_sheet.GetDevice()->GetPortMask() : 0;

    struct Entry
    {
        uint32_t kind;
        uint32_t textId;
    };
    const Entry entries[] = {
        {Device::portUsb, 21041},
        {Device::portEthernet, 21042},
        {Device::portSerial, 21040},
    };
    const QSignalBlocker quiet(m_interfaces);
    m_interfaces->clear();
    int selected = 0;
    for (const Entry& e : entries)
    {
        if (!(mask & e.kind))
            continue;
        if (e.kind == m_sheet.Settings().portKind)
            selected = m_interfaces->count();
        m_interfaces->addItem(Platform::LoadString(e.textId), e.kind);
    }
    m_interfaces->setCurrentIndex(m_interfaces->count() ? selected : -1);
    UpdateControls();
}

int CPortSelectPage::OnWizardNext()
{
    const std::optional<long long> typed = Platform::ParseTypedInteger(m_comPort->text());
    const bool ok = typed.has_value();
    const long long comPort = typed.value_or(0);
    if (!ok || comPort < kMinComPort || comPort > kMaxComPort)
    {
        Platform::ShowMessageBox(ok ? QStringLiteral("Please enter an integer between %1 and %2.")
                                          .arg(kMinComPort)
                                          .arg(kMaxComPort)
                                    : QStringLiteral("Please enter an integer."),
                                 Platform::MB_OK | Platform::MB_ICONEXCLAMATION);
        m_comPort->setFocus();
        m_comPort->selectAll();
        return -1;
    }
    // An address the search could never reach would end in "No device found".
    const QString address = m_ipAddress->text().trimmed();
    if (SelectedPortKind() == Device::portEthernet && !IsIpAddress(address))
    {
        Platform::ShowMessageBox(Platform::LoadString(StringId::IDS_INVALID_IP_ADDRESS).arg(address),
                                 Platform::MB_OK | Platform::MB_ICONEXCLAMATION);
        m_ipAddress->setFocus();
        m_ipAddress->selectAll();
        return -1;
    }
    CDevSelectSheet::SSettings& s = m_sheet.Settings();
    s.portKind = SelectedPortKind();
    s.ipAddress = m_ipAddress->text().trimmed();
    s.comPort = uint32_t(comPort);
    s.scanAll = m_scan->isChecked() ? 1 : 0;
    s.stopAfterFirst = m_stop->isChecked() ? 1 : 0;
    return 0;
}

uint32_t CPortSelectPage::SelectedPortKind() const
{
    return m_interfaces->currentIndex() >= 0 ? m_interfaces->currentData().toUInt() : Device::portNone;
}

void CPortSelectPage::UpdateControls()
{
    const uint32_t kind = SelectedPortKind();
    const bool serial = kind == Device::portSerial;
    const bool scan = m_scan->isChecked();
    m_scan->setEnabled(serial);
    m_comPort->setEnabled(serial && !scan);
    m_stop->setEnabled(serial && scan);
    m_ipAddress->setEnabled(kind == Device::portEthernet);
}
