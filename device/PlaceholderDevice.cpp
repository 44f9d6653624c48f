#include "device/PlaceholderDevice.h"

namespace Device
{

CPlaceholderDevice::CPlaceholderDevice(NTypes type, QString typeName, uint32_t portMask,
                                       uint8_t signatureClass, uint32_t baud)
    : CVmDevice(type, std::move(typeName), portMask, signatureClass), m_baud(baud)
{
    m_serialSettings.baudRate = baud;
}

std::unique_ptr<CVmDevice> CPlaceholderDevice::CreateInstance() const
{
    return std::make_unique<CPlaceholderDevice>(GetType(), GetTypeName(), GetPortMask(), GetSignatureClass(),
                                                m_baud);
}

bool CPlaceholderDevice::Identify(SIdentity&)
{
    return false;
}

QString CPlaceholderDevice::GetInfoText()
{
    return {};
}

QString CPlaceholderDevice::GetSerialNumber() const
{
    return {};
}

bool CPlaceholderDevice::GetVersions(CContents&)
{
    return false;
}

} // namespace Device
