#pragma once
#include "device/VmDevice.h"

#include <QStringList>

#include <memory>

namespace StreamIO
{
class CUsbHostProbeData;
}

namespace Device
{

// The indentation tester "Veskamon 3": a USB-HID probe. Commands go over the probe's
// control channel (the attached stream); samples arrive as 8-byte packets over its data
// channel, which this object opens on the first read.
//
// Identification: five fields (name, firmware version, serial number, signature,
// hardware revision). An empty name makes a tester without a name of its own
// (kNewDeviceName); every other empty field reads "-".
class CVeskamon2Device : public CVmDevice
{
public:
    // The name a tester without a name of its own is given.
    static const QString kNewDeviceName;

    CVeskamon2Device();
    ~CVeskamon2Device() override;

    bool Identify(SIdentity& identity) override;
    QString GetInfoText() override;
    QString GetSerialNumber() const override;
    bool GetVersions(CContents& contents) override;
    bool QueryId(SIdentity& identity) override;

    // Name, firmware version, serial number, hardware revision, signature.
    virtual bool CopyInfo(QStringList& info) const;
    // One 8-byte packet within timeoutMs; toggleBits receives the last report's toggle.
    virtual bool ReadSample(uint8_t packet[8], uint8_t& toggleBits, uint32_t timeoutMs);
    // Whether the last ReadSample failed because the data channel failed (the probe went
    // away), not because no packet came in time.
    bool IsDataLinkLost() const { return m_dataLinkLost; }
    // The probe identifier made from the serial number "VKaa-bbb-cccc".
    virtual void GetProbeId(uint8_t id[8]);
    // 1 for a name with "#2", 2 for one with "#5", else 0.
    virtual int GetProbeVariant() const;

    // The identifier bytes of three serial numbers (numbers the serial lacks are 0).
    static void MakeProbeId(const QString& serialNumber, uint8_t id[8]);

private:
    SIdentity m_identity;
    QString m_hardwareRevision;
    QString m_signature;
    QString m_infoText;
    std::unique_ptr<StreamIO::CUsbHostProbeData> m_data;
    bool m_dataLinkLost = false;
};

} // namespace Device
