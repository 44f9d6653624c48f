#include "platform/core/FileException.h"
#include "streamio/Rs232Stream.h"
#include "streamio/TransportStreams.h"

namespace StreamIO
{

// "COMn:" keeps the port's present line settings: no settings record is applied.
std::unique_ptr<CIoStream> OpenSerialStream(uint32_t port, uint32_t openFlags)
{
    auto stream = std::make_unique<CRs232Stream>();
    if (!stream->OpenPort(port, openFlags, nullptr))
        throw CFileException(stream->GetError(), stream->GetName());
    return stream;
}

} // namespace StreamIO
