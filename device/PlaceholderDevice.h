#pragma once
#include "device/VmDevice.h"

namespace Device
{

// Stands for the maker's other instruments until their protocols are built: it carries
// the type's name, port mask, signature class and baud, attaches like any device, and
// identifies nothing, so a search for it finds no device.
class CPlaceholderDevice : public CVmDevice
{
public:
    CPlaceholderDevice(NTypes type, QString typeName, uint32_t portMask, uint8_t signatureClass,
                       uint32_t baud);

    std::unique_ptr<CVmDevice> CreateInstance() const override;
    bool Identify(SIdentity& identity) override;
    QString GetInfoText() override;
    QString GetSerialNumber() const override;
    bool GetVersions(CContents& contents) override;

private:
    uint32_t m_baud;
};

} // namespace Device
