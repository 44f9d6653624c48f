#include "device/Veskamon2Device.h"

#include "device/Contents.h"
#include "device/DeviceText.h"
#include "device/VmCommands.h"
#include "platform/core/Codepage.h"
#include "streamio/IoStream.h"
#include "streamio/UsbHostProbeData.h"

#include <exception>
#include <optional>

namespace Device
{

const QString CVeskamon2Device::kNewDeviceName = QStringLiteral("New Veskamon 3");

namespace
{
// One "%0Nd" field of a scanf pattern: blanks, then at most width characters of an
// optional sign and digits.
std::optional<int> ScanNumber(const QString& text, qsizetype& pos, int width)
{
    while (pos < text.size() && text.at(pos).isSpace())
        ++pos;
    int sign = 1;
    int used = 0;
    if (pos < text.size() && (text.at(pos) == QLatin1Char('-') || text.at(pos) == QLatin1Char('+')))
    {
        sign = text.at(pos) == QLatin1Char('-') ? -1 : 1;
        ++pos;
        ++used;
    }
    int value = 0;
    int digits = 0;
    while (used < width && pos < text.size() && text.at(pos) >= QLatin1Char('0') &&
           text.at(pos) <= QLatin1Char('9'))
    {
        value = value * 10 + (text.at(pos).unicode() - '0');
        ++pos;
        ++used;
        ++digits;
    }
    if (digits == 0)
        return std::nullopt;
    return sign * value;
}

bool Expect(const QString& text, qsizetype& pos, QLatin1StringView literal)
{
    if (text.mid(pos, literal.size()) != literal)
        return false;
    pos += literal.size();
    return true;
}
} // namespace

CVeskamon2Device::CVeskamon2Device() : CVmDevice(typeVeskamon3)
{
}

CVeskamon2Device::~CVeskamon2Device()
{
    if (m_data)
    {
        try
        {
            if (m_data->IsOpen())
                m_data->Close();
        }
        catch (const std::exception&)
        {
        }
    }
}

bool CVeskamon2Device::Identify(SIdentity& identity)
{
    if (!HasLink())
        return false;
    QByteArray answer;
    if (!m_commands->QueryIdentity(answer, 2000))
        return false;
    QString text = DecodeCp1252(answer);
    if (text.startsWith(QLatin1Char(';')))
        text.prepend(kNewDeviceName);
    const QStringList fields = SplitIdentityFields(text, NEmptyFirst::keepEmpty);
    QString* const targets[5] = {&m_identity.typeName, &m_identity.version, &m_identity.serialNumber,
                                 &m_signature, &m_hardwareRevision};
    for (int i = 0; i < 5; ++i)
    {
        if (i >= fields.size())
            return false;
        *targets[i] = fields.at(i);
    }
    identity = m_identity;
    uint32_t signature = 0;
    if (!ParseSignature(m_signature, signature))
        return false;
    return !m_identity.version.isEmpty() && !m_signature.isEmpty() &&
           (signature >> 24) == GetSignatureClass();
}

QString CVeskamon2Device::GetInfoText()
{
    m_infoText = DeviceText(Ids::IndentationInfo, {m_identity.typeName, m_identity.serialNumber,
                                                   m_identity.version, m_hardwareRevision, m_signature});
    return m_infoText;
}

QString CVeskamon2Device::GetSerialNumber() const
{
    return m_identity.serialNumber;
}

bool CVeskamon2Device::QueryId(SIdentity& identity)
{
    if (!m_commands)
        return false;
    if (m_identity.typeName == kNewDeviceName)
    {
        identity = m_identity;
        return true;
    }
    return m_commands->QueryId(identity);
}

bool CVeskamon2Device::GetVersions(CContents& contents)
{
    if (m_identity.version.isEmpty())
    {
        SIdentity scratch;
        if (!Identify(scratch))
            return false;
    }
    contents.Clear();
    contents.m_identity = m_identity;
    SContentEntry firmware;
    firmware.flags = 1;
    firmware.component = 1;
    firmware.kind = 1;
    firmware.version = CVersion(m_identity.version);
    contents.Add(firmware);
    return true;
}

bool CVeskamon2Device::CopyInfo(QStringList& info) const
{
    info = {m_identity.typeName, m_identity.version, m_identity.serialNumber, m_hardwareRevision,
            m_signature};
    return true;
}

bool CVeskamon2Device::ReadSample(uint8_t packet[8], uint8_t& toggleBits, uint32_t timeoutMs)
{
    m_dataLinkLost = false;
    if (!HasLink() || !packet)
        return false;
    try
    {
        if (!m_data)
            m_data = std::make_unique<StreamIO::CUsbHostProbeData>();
        if (!m_data->IsOpen())
        {
            if (!m_data->Open(m_stream->GetName(), StreamIO::STREAM_READ))
            {
                m_dataLinkLost = true;
                return false;
            }
            m_data->DiscardInput();
        }
        if (!m_data->SetTimeouts(timeoutMs, timeoutMs))
            return false;
        if (!StreamIO::ReadExactly(*m_data, packet, 8))
            return false;
        toggleBits = m_data->GetToggleBits();
        return true;
    }
    catch (const std::exception&)
    {
        m_dataLinkLost = true;
        return false;
    }
}

void CVeskamon2Device::MakeProbeId(const QString& serialNumber, uint8_t id[8])
{
    // Numbers that the serial number does not give count as 0.
    int numbers[3] = {0, 0, 0};
    qsizetype pos = 0;
    const int widths[3] = {2, 3, 4};
    for (int i = 0; i < 3; ++i)
    {
        if (!Expect(serialNumber, pos, i == 0 ? QLatin1StringView("VK") : QLatin1StringView("-")))
            break;
        const std::optional<int> n = ScanNumber(serialNumber, pos, widths[i]);
        if (!n)
            break;
        numbers[i] = *n;
    }
    const uint32_t value = (uint32_t(numbers[1]) & 0x3FF) | ((uint32_t(numbers[2]) & 0x3FFF) << 10);
    id[0] = 0x90;
    id[1] = uint8_t(numbers[0] & 0xFF);
    id[2] = 0;
    id[3] = 0;
    id[4] = uint8_t(value & 0xFF);
    id[5] = uint8_t((value >> 8) & 0xFF);
    id[6] = uint8_t((value >> 16) & 0xFF);
    id[7] = 0x70;
}

void CVeskamon2Device::GetProbeId(uint8_t id[8])
{
    SIdentity scratch;
    QueryId(scratch);
    MakeProbeId(m_identity.serialNumber, id);
}

int CVeskamon2Device::GetProbeVariant() const
{
    if (m_identity.typeName.contains(QLatin1String("#2")))
        return 1;
    if (m_identity.typeName.contains(QLatin1String("#5")))
        return 2;
    return 0;
}

} // namespace Device
