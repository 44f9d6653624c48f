#pragma once
#include "device/DeviceTypes.h"

#include <QDialog>

class QLineEdit;

namespace Device
{
class CVmDevice;
}

// "Remote Login": asks for user name and password of the tester's protected profile
// and logs in with them; OK only after a successful login.
class CRemoteLoginDlg : public QDialog
{
    Q_OBJECT
public:
    // The dialog does not own the device.
    explicit CRemoteLoginDlg(Device::CVmDevice* device, QWidget* parent = nullptr);

    // Without a device the dialog ends with Cancel at once.
    int DoModal();
    // The record of the last login attempt, with the rights the device reported.
    const Device::SLoginInfo& LoginInfo() const { return m_login; }

public slots:
    void accept() override;

private:
    Device::CVmDevice* m_device;
    Device::SLoginInfo m_login;
    QLineEdit* m_userName = nullptr;
    QLineEdit* m_password = nullptr;
};
