#pragma once
#include "device/VmDevice.h"

#include <QStringList>

namespace Device
{

// The "Harrowind" instrument (type 11). It has no commands: it sends value lines (a line
// feed, a number, a carriage return) on its own, and four plausible values in its first
// 50 bytes identify it. It cannot be updated.
class CHarrowindDevice : public CVmDevice
{
public:
    static constexpr int kMaxBytes = 50;
    static constexpr int kValuesNeeded = 4;

    CHarrowindDevice();

    bool Identify(SIdentity& identity) override;
    QString GetInfoText() override;
    QString GetSerialNumber() const override;
    bool GetVersions(CContents& contents) override;
    bool QueryId(SIdentity& identity) override;
    int32_t GetDeviceCode() override;
    NError_code InitUpdate(const CPackageHeader& package) override;
    NError_code EnterUpdateMode(const CPackageHeader& package, const SBlockHeader& block) override;
    NError_code ProgramBlock(const SBlockHeader& block) override;
    NError_code LeaveUpdateMode(const CPackageHeader& package, const SBlockHeader& block) override;

    // The identification texts, which this instrument never reports (all empty).
    virtual bool CopyInfo(QStringList& info) const;
    // No bootloader to ask: false, nothing is sent.
    virtual bool ReadBootloaderInfo(QString& text);

    // How one value line reads: 1 a number from -1 to 99999, 0 no such number (the line
    // is skipped), -1 an empty line.
    static int ReadValueLine(const QByteArray& line);

private:
    SIdentity m_identity;
    QString m_hardwareRevision;
    QString m_signature;
    QString m_infoText;
};

} // namespace Device
