#include "platform/core/ErrorCodes.h"
#include "platform/core/FileException.h"
#include "streamio/TransportStreams.h"

namespace StreamIO
{

// IP streams are not built yet: the name is refused as an unsupported stream.
std::unique_ptr<CIoStream> OpenIpStream(const QString& name, uint32_t)
{
    throw CFileException(Err::NotSupported, name);
}

void StartTransports()
{
}

void ShutdownTransports()
{
}

} // namespace StreamIO
