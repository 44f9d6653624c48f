#include "streamio/StreamFactory.h"

#include "streamio/FileStream.h"
#include "streamio/RamStream.h"
#include "streamio/TransportStreams.h"

namespace StreamIO
{

SStreamName ClassifyStreamName(const QString& name)
{
    SStreamName result;
    if (name.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
    {
        qsizetype i = 3;
        uint32_t port = 0;
        while (i < name.size() && i < 7 && name[i] >= QLatin1Char('0') && name[i] <= QLatin1Char('9'))
            port = port * 10 + static_cast<uint32_t>(name[i++].unicode() - '0');
        const qsizetype digits = i - 3;
        if (digits >= 1 && digits <= 3 && i < name.size() && name[i] == QLatin1Char(':') && port >= 1 &&
            port <= 256)
        {
            result.kind = streamNameSerial;
            result.port = port;
            return result;
        }
    }
    if (name.startsWith(QLatin1String("RAM:"), Qt::CaseInsensitive))
        result.kind = streamNameRam;
    else if (name.startsWith(QLatin1String("IP:"), Qt::CaseInsensitive))
        result.kind = streamNameIp;
    return result;
}

std::unique_ptr<CIoStream> OpenStreamByName(const QString& name, uint32_t openFlags)
{
    const SStreamName parsed = ClassifyStreamName(name);
    switch (parsed.kind)
    {
    case streamNameSerial:
        return OpenSerialStream(parsed.port, openFlags);
    case streamNameRam:
    {
        auto stream = std::make_unique<CRamStream>();
        stream->Open(name, openFlags);
        return stream;
    }
    case streamNameIp:
        return OpenIpStream(name, openFlags);
    case streamNameFile:
        break;
    }
    return std::make_unique<CFileStream>(name, openFlags);
}

} // namespace StreamIO
