#include "device/PlatformDevice.h"

#include "device/BlockHeader.h"
#include "device/Callback.h"
#include "device/Contents.h"
#include "device/DeviceText.h"
#include "device/PackageHeader.h"
#include "device/UpdateChecks.h"
#include "device/VmCommands.h"
#include "platform/core/Codepage.h"
#include "streamio/IoStream.h"

#include <exception>

namespace Device
{

namespace
{
QString WithoutBlanks(QString text)
{
    text.remove(QLatin1Char(' '));
    return text;
}

// A number at the start of a text as "%d" reads it (blanks, a sign, digits), taken as
// unsigned 32 bits; nullopt without digits.
std::optional<uint32_t> LeadingNumber(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+')))
        negative = text.at(i++) == QLatin1Char('-');
    uint64_t value = 0;
    int digits = 0;
    for (; i < text.size() && text.at(i) >= QLatin1Char('0') && text.at(i) <= QLatin1Char('9'); ++i)
    {
        value = std::min<uint64_t>(value * 10 + uint64_t(text.at(i).unicode() - '0'), 0xFFFFFFFFu);
        ++digits;
    }
    if (digits == 0)
        return std::nullopt;
    return negative ? uint32_t(0u - uint32_t(value)) : uint32_t(value);
}
} // namespace

CPlatformDevice::CPlatformDevice() : CVmDevice(typePlatform)
{
    m_serialSettings.baudRate = 19200;
}

bool CPlatformDevice::Login(SLoginInfo& login)
{
    if (!HasLink())
        return false;
    if (!m_commands->Login(login))
        return false;
    m_login = login;
    return !(login.rights & loginPasswordSet) || (login.rights & loginAccepted);
}

bool CPlatformDevice::Logout()
{
    return RemoteLogout();
}

bool CPlatformDevice::Identify(SIdentity& identity)
{
    if (!HasLink())
        return false;
    if (!SettleLineEnd())
        return false;
    QByteArray answer;
    if (!m_commands->QueryIdentity(answer, 2000))
        return false;
    const QStringList fields = SplitIdentityFields(DecodeCp1252(answer), NEmptyFirst::keepEmpty);
    QString* const targets[10] = {&m_info.identity.typeName,     &m_info.hardwareRevision,
                                  &m_info.identity.serialNumber, &m_info.signatureText,
                                  &m_info.identity.version,      &m_info.osVersion,
                                  &m_info.bootloaderVersion,     &m_info.multimediaVersion,
                                  &m_info.localization,          &m_info.timezoneId};
    for (int i = 0; i < 10; ++i)
    {
        if (i < fields.size())
        {
            *targets[i] = fields.at(i);
            continue;
        }
        targets[i]->clear();
        if (i < 9)
            return false;
    }
    identity = m_info.identity;
    uint32_t signature = 0;
    if (!ParseSignature(m_info.signatureText, signature))
        return false;
    m_info.signature = signature;
    for (int i = 0; i < 9; ++i)
        if (targets[i]->isEmpty())
            return false;
    return (signature >> 24) == GetSignatureClass();
}

QString CPlatformDevice::GetInfoText()
{
    const SPlatformInfo& i = m_info;
    m_infoText =
        DeviceText(Ids::PlatformInfo, {i.identity.typeName, i.identity.serialNumber, i.identity.version,
                                       i.hardwareRevision, i.osVersion, i.bootloaderVersion,
                                       i.multimediaVersion, i.localization, i.timezoneId, i.signatureText});
    return m_infoText;
}

QString CPlatformDevice::GetSerialNumber() const
{
    return m_info.identity.serialNumber;
}

bool CPlatformDevice::GetVersions(CContents& contents)
{
    if (m_info.osVersion.isEmpty())
    {
        SIdentity scratch;
        if (!Identify(scratch))
            return false;
    }
    contents.Clear();
    contents.m_identity = m_info.identity;
    const auto add = [&](uint8_t component, uint32_t kind, const QString& text)
    {
        SContentEntry entry;
        entry.flags = 1;
        entry.component = component;
        entry.kind = kind;
        entry.version = CVersion(text);
        contents.Add(entry);
    };
    add(2, 2, m_info.osVersion);
    add(1, 1, m_info.identity.version);
    add(0, 8,
        m_info.multimediaVersion == QLatin1String("-") ? QStringLiteral("0.0.0.0")
                                                       : m_info.multimediaVersion);
    return true;
}

bool CPlatformDevice::CopyInfo(SPlatformInfo& info) const
{
    info = m_info;
    return true;
}

bool CPlatformDevice::GetPlatformInfo(SPlatformInfo& info) const
{
    info = m_info;
    return true;
}

bool CPlatformDevice::QueryPowerState(SPowerInfo& power)
{
    if (!HasLink())
        return false;
    QByteArray answer;
    if (!m_commands->QueryPower(answer))
        return false;
    const QStringList fields = SplitIdentityFields(DecodeCp1252(answer));
    power.fields.clear();
    for (int i = 0; i < 7; ++i)
    {
        if (i < fields.size())
        {
            power.fields.append(fields.at(i));
            continue;
        }
        power.fields.append(QString());
        if (i < 6)
            return false;
    }
    for (const QString& field : power.fields)
        if (field.isEmpty())
            return false;
    return true;
}

bool CPlatformDevice::CanCheckPackage() const
{
    return true;
}

NError_code CPlatformDevice::CheckDevice(const CPackageHeader& package)
{
    if (!HasLink())
        return errGeneral;
    const NError_code base = CVmDevice::CheckUpdate(package);
    if (base != errNone)
        return base;
    if (m_info.osVersion.isEmpty())
    {
        SIdentity scratch;
        if (!Identify(scratch))
            return errCommunication;
    }
    if (m_info.hardwareRevision.isEmpty() || m_info.osVersion.isEmpty())
        return errGeneral;
    // Revision letters A to Z; the bounds keep their low 13 bits. The stored revision
    // becomes upper case.
    return CheckHardwareRevision(m_info.hardwareRevision, package.LowRevision(), package.HighRevision(),
                                 QLatin1Char('Z'), 0x1FFF);
}

NError_code CPlatformDevice::CheckUpdate(const CPackageHeader& package)
{
    const NError_code device = CheckDevice(package);
    if (device != errNone)
        return device;
    const NError_code os =
        CheckOsVersion(CVersion(WithoutBlanks(m_info.osVersion)), package.RequiredOsVersion());
    if (os != errNone)
        return os;
    // A failed power query does not stop the update.
    SPowerInfo power;
    if (QueryPowerState(power) && power.fields.value(6) != QLatin1String("AC_LINE_ONLINE"))
    {
        const std::optional<uint32_t> voltage = LeadingNumber(power.fields.value(0));
        if (voltage && *voltage <= kLowBattery)
            return errPowerSupply;
    }
    return errNone;
}

NError_code CPlatformDevice::CheckPackage(const CContents& contents, const CPackageHeader& package, uint32_t&)
{
    const NError_code device = CheckDevice(package);
    if (device != errNone)
        return device;
    if (package.RequiredOsVersion().GetValue() == 0)
        return errNone;
    const SContentEntry* os = contents.FindKind(2);
    if (!os)
        return errGeneral;
    return CheckOsVersion(os->version, package.RequiredOsVersion());
}

bool CPlatformDevice::WaitForRestart(SIdentity& identity, int32_t kind, uint32_t& waitMs)
{
    waitMs = 0;
    if (kind == 2)
    {
        waitMs = 80000;
        return false;
    }
    if (kind != 1)
        return true;
    try
    {
        if (!HasLink())
            return false;
        // The restart takes its time; an abort cuts the waits short.
        if (!Pause(15000))
            return false;
        if (Identify(identity))
            return true;
        if (!Pause(10000))
            return false;
        return Identify(identity);
    }
    catch (const std::exception&)
    {
        return false;
    }
}

NError_code CPlatformDevice::EnterUpdateMode(const CPackageHeader& package, const SBlockHeader& block)
{
    if (AbortRequested())
        return errAborted;
    if (!m_commands)
        return errGeneral;
    if (m_callback)
    {
        ReportStatus(Ids::EnterMode);
        if (package.BlockCount() < 10)
            m_callback->m_fineProgress = 1;
    }
    try
    {
        m_stream->CancelPending();
        m_stream->DiscardInput();
    }
    catch (const std::exception&)
    {
    }
    bool changed = false;
    if (!m_commands->ChangeMode(block.EnterMode(), changed, m_callback, 100))
        return errModeChange;
    if ((changed || !m_headerSent) && (block.EnterMode() & 0x01))
    {
        if (!m_commands->SendHeaderBlock(package.HeaderBlock(), 2))
            return errInfoBlock;
        m_headerSent = 1;
    }
    if (FineProgress())
        ReportProgress(100);
    return errNone;
}

NError_code CPlatformDevice::TransferBlock(const SBlockHeader& block)
{
    return TransferBlockInFrames(block, kFrameSize);
}

NError_code CPlatformDevice::ProgramBlock(const SBlockHeader& block)
{
    return ProgramBlockByKind(block);
}

NError_code CPlatformDevice::LeaveUpdateMode(const CPackageHeader& package, const SBlockHeader& block)
{
    if (AbortRequested())
        return errAborted;
    if (!m_commands)
        return errGeneral;
    // Mode 0, and mode 1 with bit 0x20, end without the device answering again: the
    // link is closed when the update finishes.
    const uint8_t leave = block.LeaveMode();
    if ((leave & 0x0F) == 0 || (leave & 0x2F) == 0x21)
        m_closeAfterUpdate = true;
    return LeaveModeSteps(package, block, 100, false);
}

NError_code CPlatformDevice::FinishUpdate()
{
    if (AbortRequested())
        return errAborted;
    if (m_callback)
    {
        ReportStatus(Ids::UpdateFinished, false);
        ReportProgress(100);
    }
    if (m_closeAfterUpdate)
    {
        CloseLink();
        m_closeAfterUpdate = false;
    }
    return errNone;
}

} // namespace Device
