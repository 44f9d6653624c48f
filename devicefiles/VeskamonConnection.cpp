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
    if (m_device && !TesterConnection::IsDeviceAlive(m_device))
        Disconnect();
    if (m_device)
        return true;
    m_device = TesterConnection::RunWizard(QStringLiteral("\\ConnWizard\\Veskamon\\"), QString(),
                                           Device::typeVeskamon3);
    return m_device != nullptr;
}

void CVeskamonConnection::Disconnect()
{
    TesterConnection::DropDevice(m_device);
}
