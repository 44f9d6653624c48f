#include "platform/core/ErrorCodes.h"
#include "platform/core/FileException.h"
#include "streamio/TransportStreams.h"

namespace StreamIO
{

// Serial ports are not built yet: the name is refused as an unsupported stream.
std::unique_ptr<CIoStream> OpenSerialStream(uint32_t port, uint32_t)
{
    throw CFileException(Err::NotSupported, QStringLiteral("COM%1:").arg(port));
}

} // namespace StreamIO
