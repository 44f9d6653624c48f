#pragma once
#include "device/VmDevice.h"

#include <QStringList>

namespace Device
{

// The ten probe parameters of the portable tester's probe.
struct SProbeParameters
{
    float p1 = 0;
    float p2 = 0;
    float p3 = 0;
    uint32_t p4 = 0;
    uint32_t p5 = 0;
    uint32_t p6 = 0;
    uint32_t p7 = 0;
    uint32_t p8 = 0;
    uint32_t p9 = 0;
    float p10 = 0;
};

// The portable rebound tester "Veskora 3" over serial, USB or Ethernet.
//
// Identification: eight fields (type name, hardware revision, serial number, signature,
// application version, operating-system version, localization, time-zone ID). An empty
// field reads "-" and counts as present, except the type name: empty, it fails the
// identification.
class CVeskora3SeDevice : public CVmDevice
{
public:
    CVeskora3SeDevice();

    bool Login(SLoginInfo& login) override;
    bool Logout() override;
    bool Identify(SIdentity& identity) override;
    QString GetInfoText() override;
    QString GetSerialNumber() const override;
    bool GetVersions(CContents& contents) override;
    NError_code CheckUpdate(const CPackageHeader& package) override;
    NError_code ProgramBlock(const SBlockHeader& block) override;

    // Type name, application version, serial number, hardware revision, signature,
    // operating-system version, localization, time-zone ID.
    virtual bool CopyInfo(QStringList& info) const;
    virtual bool ReadProbeParameters(SProbeParameters& parameters);
    virtual bool WriteProbeParameters(const SProbeParameters& parameters);

    // The 20-byte block of ten little-endian words and the record, both ways.
    static SProbeParameters ParametersFromBlock(const uint8_t block[20]);
    // False when a value lies outside what the probe accepts.
    static bool BlockFromParameters(const SProbeParameters& parameters, uint8_t block[20]);

private:
    bool SwitchChannel(uint8_t channel, bool on, uint8_t answer[64]);
    void ChannelsOff(bool data, bool second, bool first);
    bool WaitForProbe();

    SIdentity m_identity;
    QString m_hardwareRevision;
    QString m_signature;
    QString m_osVersion;
    QString m_localization;
    QString m_timeZone;
    QString m_infoText;
};

} // namespace Device
