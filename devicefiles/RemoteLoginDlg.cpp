#include "devicefiles/RemoteLoginDlg.h"

#include "device/VmDevice.h"
#include "platform/core/StringTable.h"
#include "platform/gui/MessageBox.h"
#include "platform/gui/ModalDialog.h"
#include "resources/StringIds.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include <exception>

CRemoteLoginDlg::CRemoteLoginDlg(Device::CVmDevice* device, QWidget* parent)
    : QDialog(parent), m_device(device)
{
    setWindowTitle(QStringLiteral("Remote Login"));
    m_userName = new QLineEdit(this);
    m_userName->setObjectName(QStringLiteral("userName"));
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("password"));
    m_password->setEchoMode(QLineEdit::Password);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CRemoteLoginDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CRemoteLoginDlg::reject);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("User name:"), m_userName);
    form->addRow(QStringLiteral("Password:"), m_password);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    setMinimumWidth(fontMetrics().averageCharWidth() * 45);

    if (m_device)
        m_userName->setText(m_device->GetLogin().userName);
    m_password->setFocus();
}

int CRemoteLoginDlg::DoModal()
{
    if (!m_device)
        return QDialog::Rejected;
    return Platform::ExecDialog(*this);
}

void CRemoteLoginDlg::accept()
{
    if (!m_device)
    {
        reject();
        return;
    }
    m_login = Device::SLoginInfo();
    m_login.userName = m_userName->text();
    m_login.password = m_password->text();
    bool loggedIn = false;
    try
    {
        loggedIn = m_device->Login(m_login);
    }
    catch (const std::exception&)
    {
        loggedIn = false;
    }
    if (loggedIn)
    {
        QDialog::accept();
        return;
    }
    if (Platform::ShowMessageBox(Platform::LoadString(StringId::IDS_LOGIN_FAILED),
                                 Platform::MB_RETRYCANCEL | Platform::MB_ICONEXCLAMATION) ==
        Platform::IDCANCEL)
        reject();
}
