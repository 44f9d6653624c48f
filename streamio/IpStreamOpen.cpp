#include "streamio/IpSocket.h"
#include "streamio/IpStream.h"
#include "streamio/TransportStreams.h"
#include "streamio/UsbHostProbeManager.h"

namespace StreamIO
{

std::unique_ptr<CIoStream> OpenIpStream(const QString& name, uint32_t openFlags)
{
    return std::make_unique<CIpStream>(name, openFlags);
}

void StartTransports()
{
    InitWinsockLock();
    ResetProbeCloseEvent();
}

void ShutdownTransports()
{
    // Probe channels waiting for attach or detach give up at once from now on.
    SignalProbeCloseEvent();
    CleanupWinsock();
}

} // namespace StreamIO
