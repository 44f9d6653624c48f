#include "platform/core/ErrorCodes.h"

#include <cerrno>

uint32_t ErrorFromErrno(int e)
{
    switch (e)
    {
    case 0:
        return Err::Success;
    case ENOENT:
        return Err::FileNotFound;
    case ENOTDIR:
        return Err::PathNotFound;
    case EMFILE:
    case ENFILE:
        return Err::TooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return Err::AccessDenied;
    case EBADF:
        return Err::InvalidHandle;
    case ENOMEM:
        return Err::NotEnoughMemory;
    case EBUSY:
    case EWOULDBLOCK:
        return Err::SharingViolation;
    case EEXIST:
        return Err::FileExists;
    case EINVAL:
        return Err::InvalidParameter;
    case EPIPE:
        return Err::BrokenPipe;
    case ENOSPC:
    case EDQUOT:
        return Err::DiskFull;
    case ENAMETOOLONG:
        return Err::InvalidName;
    case ESPIPE:
        return Err::SeekOnDevice;
    case ENOTSUP:
    case ENOTTY:
        return Err::NotSupported;
    case ECANCELED:
    case EINTR:
        return Err::OperationAborted;
    case ENODEV:
    case ENXIO:
        return Err::DeviceNotConnected;
    case ETIMEDOUT:
        return Err::Timeout;
    case EIO:
        return Err::GenFailure;
    default:
        return Err::GenFailure;
    }
}

uint32_t SocketErrorFromErrno(int e)
{
    switch (e)
    {
    case 0:
        return Err::Success;
    case EINVAL:
        return Err::WsaInvalidArgument;
    case EADDRINUSE:
        return Err::WsaAddressInUse;
    case ENETDOWN:
        return Err::WsaNetworkDown;
    case ENETUNREACH:
        return Err::WsaNetworkUnreachable;
    case ENETRESET:
        return Err::WsaNetworkReset;
    case ECONNABORTED:
        return Err::WsaConnectionAborted;
    case ECONNRESET:
    case EPIPE:
        return Err::WsaConnectionReset;
    case ENOTCONN:
        return Err::WsaNotConnected;
    case ETIMEDOUT:
        return Err::WsaTimedOut;
    case ECONNREFUSED:
        return Err::WsaConnectionRefused;
    case EHOSTUNREACH:
        return Err::WsaHostUnreachable;
    default:
        return ErrorFromErrno(e);
    }
}
