#pragma once
#include "device/VmDevice.h"

#include <QStringList>

namespace Device
{

// What the platform reports about itself.
struct SPlatformInfo
{
    SIdentity identity; // type name, application version, serial number
    QString hardwareRevision;
    uint32_t signature = 0;
    QString signatureText;
    QString osVersion;
    QString bootloaderVersion;
    QString multimediaVersion;
    QString localization;
    QString timezoneId;
};

// The seven fields of the "GPOW" answer: the battery voltage first, the power-line
// state ("AC_LINE_ONLINE" on a power adaptor) last.
struct SPowerInfo
{
    QStringList fields;
};

// The "Platform" device (type 10) over USB or Ethernet: ten identification fields,
// remote login, its power state, package checks against hardware revision, operating
// system and battery, and updates through the framed bootloader with 8192-byte frames;
// an update whose blocks end in certain modes closes the link at its end.
//
// Identification: an empty field reads "-" and counts as present (a multimedia version
// "-" is version 0.0.0.0), except the type name: empty, it fails the identification.
class CPlatformDevice : public CVmDevice
{
public:
    static constexpr uint32_t kFrameSize = 8192;
    // A battery at or below this many millivolts needs the power adaptor for an update.
    static constexpr uint32_t kLowBattery = 3699;

    CPlatformDevice();

    bool Login(SLoginInfo& login) override;
    bool Logout() override;
    bool Identify(SIdentity& identity) override;
    QString GetInfoText() override;
    QString GetSerialNumber() const override;
    bool GetVersions(CContents& contents) override;
    bool CanCheckPackage() const override;
    NError_code CheckPackage(const CContents& contents, const CPackageHeader& package,
                             uint32_t& value) override;
    bool WaitForRestart(SIdentity& identity, int32_t kind, uint32_t& waitMs) override;
    NError_code CheckUpdate(const CPackageHeader& package) override;
    NError_code EnterUpdateMode(const CPackageHeader& package, const SBlockHeader& block) override;
    NError_code TransferBlock(const SBlockHeader& block) override;
    NError_code ProgramBlock(const SBlockHeader& block) override;
    NError_code LeaveUpdateMode(const CPackageHeader& package, const SBlockHeader& block) override;
    NError_code FinishUpdate() override;

    virtual bool CopyInfo(SPlatformInfo& info) const;
    virtual bool GetPlatformInfo(SPlatformInfo& info) const;
    virtual bool QueryPowerState(SPowerInfo& power);

    bool ClosesAfterUpdate() const { return m_closeAfterUpdate; }

private:
    // Steps 1-5 of the update check: link, device code, identification, hardware.
    NError_code CheckDevice(const CPackageHeader& package);

    SPlatformInfo m_info;
    QString m_infoText;
    bool m_closeAfterUpdate = false;
};

} // namespace Device
