#include "device/HarrowindDevice.h"

#include "device/DeviceText.h"
#include "device/ScanText.h"
#include "streamio/IoStream.h"

#include <exception>

namespace Device
{

CHarrowindDevice::CHarrowindDevice() : CVmDevice(typeHarrowind)
{
    m_serialSettings.baudRate = 9600;
    m_serialSettings.readTimeout = 1500;
    m_serialSettings.writeTimeout = 50;
}

int CHarrowindDevice::ReadValueLine(const QByteArray& line)
{
    const QString text = QString::fromLatin1(line);
    if (text.trimmed().isEmpty())
        return -1;
    const std::optional<double> value = ScanDouble(text);
    return (value && *value >= -1.0 && *value <= 99999.0) ? 1 : 0;
}

bool CHarrowindDevice::Identify(SIdentity&)
{
    if (!HasLink())
        return false;
    try
    {
        if (!m_stream->SetTimeouts(2000, 1000))
            return false;
        m_stream->DiscardInput();
        bool inLine = false;
        QByteArray line;
        int values = 0;
        for (int count = 0; count < kMaxBytes; ++count)
        {
            if (AbortRequested())
                return false;
            uint8_t b = 0;
            if (m_stream->Read(&b, 1) != 1)
                return false;
            if (!inLine)
            {
                if (b == 0x0A)
                {
                    inLine = true;
                    line.clear();
                }
                continue;
            }
            if (b != 0x0D)
            {
                line.append(char(b));
                continue;
            }
            const int read = ReadValueLine(line);
            if (read < 0)
                return false;
            inLine = false;
            line.clear();
            if (read > 0 && ++values == kValuesNeeded)
                return true;
        }
    }
    catch (const std::exception&)
    {
    }
    return false;
}

QString CHarrowindDevice::GetInfoText()
{
    m_infoText = DeviceText(Ids::IndentationInfo, {m_identity.typeName, m_identity.serialNumber,
                                                   m_identity.version, m_hardwareRevision, m_signature});
    return m_infoText;
}

QString CHarrowindDevice::GetSerialNumber() const
{
    return m_identity.serialNumber;
}

bool CHarrowindDevice::GetVersions(CContents&)
{
    return false;
}

bool CHarrowindDevice::QueryId(SIdentity&)
{
    return false;
}

int32_t CHarrowindDevice::GetDeviceCode()
{
    return 0;
}

NError_code CHarrowindDevice::InitUpdate(const CPackageHeader&)
{
    return errGeneral;
}

NError_code CHarrowindDevice::EnterUpdateMode(const CPackageHeader&, const SBlockHeader&)
{
    return errGeneral;
}

NError_code CHarrowindDevice::ProgramBlock(const SBlockHeader&)
{
    return errNone;
}

NError_code CHarrowindDevice::LeaveUpdateMode(const CPackageHeader&, const SBlockHeader&)
{
    return errNone;
}

bool CHarrowindDevice::CopyInfo(QStringList& info) const
{
    info = {m_identity.typeName, m_identity.version, m_identity.serialNumber, m_hardwareRevision,
            m_signature};
    return true;
}

bool CHarrowindDevice::ReadBootloaderInfo(QString&)
{
    return false;
}

} // namespace Device
