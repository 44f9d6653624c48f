#include "devicefiles/VeskamonConnection.h"

#include "device/DeviceTypes.h"
#include "device/VmDevice.h"
#include "devicefiles/VeskoraConnection.h"

CVeskamonConnection& CVeskamonConnection::Instance()
{
    static CVeskamonConnection instance;
    return instance;
}

CVeskamonConnection::~CVeskamonConnection()
{
    // The main window disconnected the tester; at process exit the stream layer may be
    // closed already.
    (void)m_device.release();
}

bool CVeskamonConnection::Connect()
{
    // The port of a tester let go a moment ago is free before the wizard looks at it.
    FinishDisconnect();
    if (m_device && !TesterConnection::IsDeviceAlive(m_device))
        TesterConnection::DropDevice(m_device);
    if (m_device)
        return true;
    m_device = TesterConnection::RunWizard(QStringLiteral("\\ConnWizard\\Veskamon\\"), QString(),
                                           Device::typeVeskamon3);
    return m_device != nullptr;
}

void CVeskamonConnection::Disconnect()
{
    m_release.Start(std::move(m_device));
}

void CVeskamonConnection::FinishDisconnect()
{
    m_release.Finish();
}
