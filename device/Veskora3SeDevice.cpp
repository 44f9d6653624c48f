#include "device/Veskora3SeDevice.h"

#include "device/Contents.h"
#include "device/DeviceText.h"
#include "device/PackageHeader.h"
#include "device/UpdateChecks.h"
#include "device/VmCommands.h"
#include "platform/core/ByteOrder.h"
#include "platform/core/Codepage.h"

#include <cmath>

namespace Device
{

namespace
{
constexpr uint8_t kCmdChannel = 0xE0;
constexpr uint8_t kCmdProbeBlock = 0xF3;
constexpr uint8_t kChannelFirst = 0xF4;
constexpr uint8_t kChannelSecond = 0xF0;
constexpr uint8_t kChannelData = 0x09;

// Firmware before this version has no remote login.
const char* const kFirstLoginVersion = "0.2.13";

QString WithoutBlanks(QString text)
{
    text.remove(QLatin1Char(' '));
    return text;
}

uint16_t Word(const uint8_t* block, int index)
{
    return ReadLe16(block + 2 * index);
}

uint32_t Parallel(uint64_t a, uint64_t b)
{
    return a > b ? uint32_t(a * b / (a - b)) : 2u;
}
} // namespace

CVeskora3SeDevice::CVeskora3SeDevice() : CVmDevice(typeVeskora3)
{
}

bool CVeskora3SeDevice::Identify(SIdentity& identity)
{
    if (!HasLink())
        return false;
    if (!SettleLineEnd())
        return false;
    QByteArray answer;
    if (!m_commands->QueryIdentity(answer, 2000))
        return false;
    const QStringList fields = SplitIdentityFields(DecodeCp1252(answer), NEmptyFirst::keepEmpty);
    QString* const targets[8] = {&m_identity.typeName, &m_hardwareRevision, &m_identity.serialNumber,
                                 &m_signature,         &m_identity.version, &m_osVersion,
                                 &m_localization,      &m_timeZone};
    for (int i = 0; i < 8; ++i)
    {
        if (i >= fields.size())
            return false;
        *targets[i] = fields.at(i);
    }
    identity = m_identity;
    uint32_t signature = 0;
    if (!ParseSignature(m_signature, signature))
        return false;
    for (const QString* field : targets)
        if (field->isEmpty())
            return false;
    return (signature >> 24) == GetSignatureClass();
}

QString CVeskora3SeDevice::GetInfoText()
{
    m_infoText = DeviceText(Ids::PortableInfo,
                            {m_identity.typeName, m_identity.serialNumber, m_identity.version,
                             m_hardwareRevision, m_osVersion, m_localization, m_timeZone, m_signature});
    return m_infoText;
}

QString CVeskora3SeDevice::GetSerialNumber() const
{
    return m_identity.serialNumber;
}

bool CVeskora3SeDevice::GetVersions(CContents& contents)
{
    if (m_osVersion.isEmpty())
    {
        SIdentity scratch;
        if (!Identify(scratch))
            return false;
    }
    contents.Clear();
    contents.m_identity = m_identity;
    SContentEntry os;
    os.flags = 1;
    os.component = 2;
    os.kind = 2;
    os.version = CVersion(m_osVersion);
    contents.Add(os);
    SContentEntry app;
    app.flags = 1;
    app.component = 1;
    app.kind = 1;
    app.version = CVersion(m_identity.version);
    contents.Add(app);
    return true;
}

NError_code CVeskora3SeDevice::CheckUpdate(const CPackageHeader& package)
{
    if (!HasLink())
        return errGeneral;
    const NError_code base = CVmDevice::CheckUpdate(package);
    if (base != errNone)
        return base;
    if (m_osVersion.isEmpty())
    {
        SIdentity scratch;
        if (!Identify(scratch))
            return errCommunication;
    }
    if (m_hardwareRevision.isEmpty() || m_osVersion.isEmpty())
        return errGeneral;
    // Revision letters A to H; the bounds keep their low 11 bits. The stored text stays
    // as the tester reported it.
    QString revision = m_hardwareRevision;
    const NError_code hardware = CheckHardwareRevision(revision, package.LowRevision(),
                                                       package.HighRevision(), QLatin1Char('H'), 0x7FF);
    if (hardware != errNone)
        return hardware;
    return CheckOsVersion(CVersion(WithoutBlanks(m_osVersion)), package.RequiredOsVersion());
}

NError_code CVeskora3SeDevice::ProgramBlock(const SBlockHeader& block)
{
    return ProgramBlockByKind(block);
}

bool CVeskora3SeDevice::CopyInfo(QStringList& info) const
{
    info = {m_identity.typeName, m_identity.version, m_identity.serialNumber, m_hardwareRevision,
            m_signature,         m_osVersion,        m_localization,          m_timeZone};
    return true;
}

bool CVeskora3SeDevice::Login(SLoginInfo& login)
{
    if (!HasLink())
        return false;
    SIdentity scratch;
    if (m_commands->QueryId(scratch))
    {
        // Only a version that reads as one counts: an unreadable text (version 0) must
        // not open the tester without a login.
        const CVersion version(WithoutBlanks(scratch.version));
        if (version.GetValue() != 0 && version < CVersion(QString::fromLatin1(kFirstLoginVersion)))
        {
            login.rights = loginPasswordSet | loginSuperUser | loginAccepted;
            m_login = login;
            return true;
        }
    }
    if (!m_commands->Login(login))
        return false;
    m_login = login;
    return !(login.rights & loginPasswordSet) || (login.rights & loginAccepted);
}

bool CVeskora3SeDevice::Logout()
{
    return RemoteLogout();
}

SProbeParameters CVeskora3SeDevice::ParametersFromBlock(const uint8_t block[20])
{
    SProbeParameters p;
    p.p1 = float(Word(block, 0)) / 100.0f;
    p.p2 = float(Word(block, 1)) / 1000.0f;
    p.p3 = float(Word(block, 2)) / 1000.0f;
    p.p4 = 16u * Word(block, 3);
    p.p5 = Parallel(16u * uint64_t(Word(block, 4)), 16u * uint64_t(Word(block, 5)));
    p.p6 = 16u * Word(block, 4);
    p.p7 = 16u * Word(block, 6);
    p.p8 = Parallel(16u * uint64_t(Word(block, 6)), 16u * uint64_t(Word(block, 7)));
    p.p9 = 16u * Word(block, 8);
    p.p10 = float(double(Word(block, 9)) * 0.00001);
    return p;
}

bool CVeskora3SeDevice::BlockFromParameters(const SProbeParameters& p, uint8_t block[20])
{
    const auto nearest = [](double x) { return std::floor(x + 0.5); };
    // The series forms divide by p5 + p6 and p8 + p7; an empty pair gives 0, not a
    // division by zero.
    const auto series = [](double a, double b) { return a + b > 0 ? a * b / (a + b) : 0.0; };
    double w[10];
    w[0] = nearest(double(p.p1) * 100.0);
    w[1] = nearest(double(p.p2) * 1000.0);
    w[2] = nearest(double(p.p3) * 1000.0);
    w[3] = std::trunc((double(p.p4) + 8.0) / 16.0);
    w[4] = std::trunc((double(p.p6) + 8.0) / 16.0);
    w[5] = std::trunc((series(p.p5, p.p6) + 8.0) / 16.0);
    w[6] = std::trunc((double(p.p7) + 8.0) / 16.0);
    w[7] = std::trunc((series(p.p8, p.p7) + 8.0) / 16.0);
    w[8] = std::trunc((double(p.p9) + 8.0) / 16.0);
    w[9] = nearest(double(p.p10) * 100000.0);
    if (w[0] < 21000 || w[0] > 23000 || w[1] < 7000 || w[1] > 13000 || w[2] < 8000 || w[2] > 15000)
        return false;
    if (w[2] * 0.000001 - w[1] * 0.000001 < 0.0008)
        return false;
    for (int i = 3; i <= 8; ++i)
    {
        const double v = 16.0 * w[i];
        if (v != 0 && (v < 9800 || v > 500000))
            return false;
    }
    if (w[9] < 5000 || w[9] > 8000)
        return false;
    for (int i = 0; i < 10; ++i)
    {
        const auto word = uint16_t(w[i]);
        block[2 * i] = uint8_t(word & 0xFF);
        block[2 * i + 1] = uint8_t(word >> 8);
    }
    return true;
}

bool CVeskora3SeDevice::SwitchChannel(uint8_t channel, bool on, uint8_t answer[64])
{
    answer[0] = 0x0B;
    answer[1] = channel;
    answer[2] = on ? 1 : 0;
    answer[3] = 0;
    return SendBinaryCommand(kCmdChannel, 4, answer, 64, 1000) == 4;
}

void CVeskora3SeDevice::ChannelsOff(bool data, bool second, bool first)
{
    uint8_t answer[64];
    if (data)
        SwitchChannel(kChannelData, false, answer);
    if (second)
        SwitchChannel(kChannelSecond, false, answer);
    if (first)
        SwitchChannel(kChannelFirst, false, answer);
}

bool CVeskora3SeDevice::WaitForProbe()
{
    for (int attempt = 0; attempt < 6; ++attempt)
    {
        if (!Pause(500))
            return false;
        QByteArray answer;
        SendTextCommand("PNAM?", answer, 64, 1000);
        if (!answer.isEmpty() && answer.contains("TA"))
            return true;
    }
    return false;
}

bool CVeskora3SeDevice::ReadProbeParameters(SProbeParameters& parameters)
{
    if (!HasLink())
        return false;
    uint8_t answer[64];
    const auto allZero = [&] { return answer[0] == 0 && answer[1] == 0 && answer[2] == 0 && answer[3] == 0; };
    if (!SwitchChannel(kChannelFirst, true, answer) || !allZero())
        return false;
    if (!SwitchChannel(kChannelSecond, true, answer) || !allZero())
    {
        ChannelsOff(false, false, true);
        return false;
    }
    // A probe that never gets ready leaves no channel switched on.
    if (!WaitForProbe())
    {
        ChannelsOff(false, true, true);
        return false;
    }
    if (!SwitchChannel(kChannelData, true, answer))
    {
        ChannelsOff(false, true, true);
        return false;
    }
    uint8_t block[20] = {0x0A, kChannelSecond, 0x00, 0x14};
    if (SendBinaryCommand(kCmdProbeBlock, 4, block, 20, 4000) != 20)
    {
        ChannelsOff(true, true, true);
        return false;
    }
    parameters = ParametersFromBlock(block);
    ChannelsOff(true, true, true);
    return true;
}

bool CVeskora3SeDevice::WriteProbeParameters(const SProbeParameters& parameters)
{
    if (!HasLink())
        return false;
    uint8_t block[20];
    if (!BlockFromParameters(parameters, block))
        return false;
    uint8_t answer[64];
    if (!SwitchChannel(kChannelFirst, true, answer) ||
        !(answer[0] == 0 && answer[1] == 0 && answer[2] == 0 && answer[3] == 0))
        return false;
    if (!SwitchChannel(kChannelSecond, true, answer) || answer[0] != 0)
    {
        ChannelsOff(false, false, true);
        return false;
    }
    if (!WaitForProbe())
    {
        ChannelsOff(false, true, true);
        return false;
    }
    if (!SwitchChannel(kChannelData, true, answer))
    {
        ChannelsOff(false, true, true);
        return false;
    }
    uint8_t write[24] = {0x12, kChannelSecond, 0x00, 0x14};
    std::copy(block, block + 20, write + 4);
    bool ok = SendBinaryCommand(kCmdProbeBlock, 24, write, 24, 4000) == 1 && write[0] == 0x14;
    if (ok)
    {
        uint8_t store[24] = {0x1A, kChannelSecond};
        ok = SendBinaryCommand(kCmdProbeBlock, 2, store, 24, 4000) == 0;
    }
    ChannelsOff(true, true, true);
    return ok;
}

} // namespace Device
