#pragma once
#include "streamio/IoStream.h"

#include <QString>

#include <cstdint>
#include <memory>

namespace StreamIO
{

// What a stream name denotes, tested in this order: "COMn:" with n = 1..256 (one to
// three digits, any case, anything may follow the colon), a "RAM:" prefix, an "IP:"
// prefix (both any case); anything else is a path on the local file system.
enum NStreamNameKind
{
    streamNameSerial,
    streamNameRam,
    streamNameIp,
    streamNameFile
};

struct SStreamName
{
    NStreamNameKind kind = streamNameFile;
    uint32_t port = 0; // the port number of a serial name
};

SStreamName ClassifyStreamName(const QString& name);

// Opens the stream a name denotes. The caller owns the stream, closes and deletes it.
// A failure to open raises the stream's CFileException (the half-built stream is gone).
std::unique_ptr<CIoStream> OpenStreamByName(const QString& name, uint32_t openFlags);

} // namespace StreamIO
