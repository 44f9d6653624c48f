#pragma once
#include "streamio/IoStream.h"

#include <QString>

#include <memory>

// How OpenStreamByName and the stream layer's start and shutdown reach the transports
// that live in their own files. Each returns an open stream or raises the open's
// CFileException.
namespace StreamIO
{

// "COMn:": the serial port n, opened with its present line settings.
std::unique_ptr<CIoStream> OpenSerialStream(uint32_t port, uint32_t openFlags);
// "IP:host:port": a TCP stream, or UDP with STREAM_UDP.
std::unique_ptr<CIoStream> OpenIpStream(const QString& name, uint32_t openFlags);

// Start and stop of what the transports share (socket layer, probe close event).
void StartTransports();
void ShutdownTransports();

} // namespace StreamIO
