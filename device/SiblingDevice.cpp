#include "device/SiblingDevice.h"

#include "device/Contents.h"
#include "device/DeviceText.h"
#include "device/VmCommands.h"
#include "platform/core/Codepage.h"
#include "streamio/IoStream.h"

#include <exception>

namespace Device
{

CSiblingDevice::CSiblingDevice(NTypes type, const STraits& traits) : CVmDevice(type), m_traits(traits)
{
}

void CSiblingDevice::SetSerialLine(uint32_t baud, uint8_t handshake, uint32_t readMs, uint32_t writeMs)
{
    m_serialSettings.baudRate = baud;
    m_serialSettings.handshake = handshake;
    m_serialSettings.readTimeout = readMs;
    m_serialSettings.writeTimeout = writeMs;
}

bool CSiblingDevice::ReadBootloaderInfo(QString&)
{
    return false;
}

bool CSiblingDevice::Identify(SIdentity& identity)
{
    if (!HasLink())
        return false;
    IdentifyPrelude();
    QString text;
    QByteArray answer;
    if (m_commands->QueryIdentity(answer, m_traits.identifyTimeoutMs))
    {
        OnApplicationAnswer();
        text = DecodeCp1252(answer);
    }
    else
    {
        if (!ReadBootloaderInfo(text))
            return false;
        m_idMode = kBootloader;
    }
    // Empty fields keep their places (they read "-", but for the type name).
    const QStringList fields = SplitIdentityFields(text, NEmptyFirst::keepEmpty);
    QString* const targets[6] = {&m_info.identity.typeName,     &m_info.hardwareRevision,
                                 &m_info.identity.serialNumber, &m_info.signatureText,
                                 &m_info.identity.version,      &m_info.bootloaderVersion};
    for (int i = 0; i < m_traits.fieldCount; ++i)
    {
        if (i < fields.size())
        {
            *targets[i] = fields.at(i);
            continue;
        }
        targets[i]->clear();
        if (i < 5)
            return false;
    }
    if (m_traits.defaultSerial && m_info.identity.serialNumber == QLatin1String("-"))
        m_info.identity.serialNumber = QString::fromLatin1(m_traits.defaultSerial);
    m_info.identity.typeName = MapTypeName(m_info.identity.typeName);
    identity = m_info.identity;
    uint32_t signature = 0;
    if (!ParseSignature(m_info.signatureText, signature))
        return false;
    if (identity.typeName.isEmpty() || identity.version.isEmpty() || identity.serialNumber.isEmpty() ||
        m_info.hardwareRevision.isEmpty() || m_info.signatureText.isEmpty())
        return false;
    return (signature >> 24) == GetSignatureClass();
}

QString CSiblingDevice::GetInfoText()
{
    const SIdentity& id = m_info.identity;
    if (m_traits.infoTextId == Ids::IndentationInfo)
        m_infoText = DeviceText(m_traits.infoTextId, {id.typeName, id.serialNumber, id.version,
                                                      m_info.hardwareRevision, m_info.signatureText});
    else
        m_infoText = DeviceText(m_traits.infoTextId,
                                {id.typeName, id.serialNumber, id.version, m_info.hardwareRevision,
                                 m_info.bootloaderVersion, m_info.signatureText});
    return m_infoText;
}

QString CSiblingDevice::GetSerialNumber() const
{
    return m_info.identity.serialNumber;
}

bool CSiblingDevice::GetVersions(CContents& contents)
{
    const QString& key = m_traits.versionsNeedSignature ? m_info.signatureText : m_info.identity.version;
    if (key.isEmpty())
    {
        SIdentity scratch;
        if (!Identify(scratch))
            return false;
    }
    contents.Clear();
    contents.m_identity = m_info.identity;
    SContentEntry application;
    application.flags = 1;
    application.component = 1;
    application.kind = 1;
    application.version = CVersion(m_info.identity.version);
    contents.Add(application);
    if (m_traits.versionEntries == 2)
    {
        SContentEntry bootloader;
        bootloader.kind = 3;
        bootloader.version = CVersion(m_info.bootloaderVersion);
        contents.Add(bootloader);
    }
    return true;
}

int32_t CSiblingDevice::GetDeviceCode()
{
    if (!m_traits.codeFromSignature)
        return CVmDevice::GetDeviceCode();
    if (!m_commands)
        return 0;
    SIdentity scratch;
    uint32_t signature = 0;
    if (!Identify(scratch) || !ParseSignature(m_info.signatureText, signature))
        return 0;
    return int32_t(signature);
}

bool CSiblingDevice::QueryId(SIdentity& identity)
{
    if (!m_traits.shortIdentification)
        return CVmDevice::QueryId(identity);
    if (!m_commands)
        return false;
    if (m_commands->QueryId(identity))
    {
        OnApplicationAnswer();
        return true;
    }
    return Identify(identity);
}

bool CSiblingDevice::CopyInfo(QStringList& info) const
{
    info = {m_info.identity.typeName, m_info.identity.version, m_info.identity.serialNumber,
            m_info.hardwareRevision, m_info.signatureText};
    if (m_traits.fieldCount == 6)
        info.append(m_info.bootloaderVersion);
    return true;
}

int32_t CSiblingDevice::SendLongFrameCommand(uint8_t command, int32_t paramCount, uint8_t* buffer,
                                             uint32_t bufferSize, int32_t timeoutMs, int32_t threshold)
{
    if (!m_commands || !buffer || bufferSize == 0 || paramCount < 0)
        return 0;
    if (timeoutMs < 0)
        timeoutMs = 1000;
    if (paramCount < threshold)
        return m_commands->SendBinaryCommand(command, paramCount, buffer, bufferSize, timeoutMs);
    // The parameters come from the caller's buffer: it must hold them all.
    if (uint32_t(paramCount) > bufferSize)
        return 0;
    if (m_commands->IsAborted())
        return CVmCommands::kCommFailure;
    try
    {
        m_commands->DropStaleInput();
        const uint8_t head[2] = {0xC1, command};
        if (m_stream->Write(head, 2) != 2)
            return CVmCommands::kCommFailure;
        if (!m_stream->SetTimeouts(uint32_t(timeoutMs), uint32_t(timeoutMs)))
            return CVmCommands::kCommFailure;
        if (m_stream->Write(buffer, uint32_t(paramCount)) != uint32_t(paramCount))
            return CVmCommands::kCommFailure;
        uint8_t answer = 0;
        if (m_commands->ReadFully(&answer, 1) != 1)
            return CVmCommands::kCommFailure;
        return (answer == 0 || answer >= 0xF0) ? answer : CVmCommands::kCommFailure;
    }
    catch (const std::exception&)
    {
        return CVmCommands::kCommFailure;
    }
}

bool CSiblingDevice::RecoverIntoApplication()
{
    if (!m_stream || !m_commands)
        return false;
    if (!m_commands->Resync())
        return false;
    bool changed = false;
    m_commands->ChangeMode(0x18, changed, nullptr, 100);
    return true;
}

} // namespace Device
