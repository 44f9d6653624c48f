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
    case EISDIR:
        return Err::AccessDenied;
    case EROFS:
        return Err::WriteProtect;
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
    case EFBIG:
        return Err::FileTooLarge;
    case EIO:
        return Err::GenFailure;
    default:
        return Err::GenFailure;
    }
}

int ErrnoFromError(uint32_t error)
{
    switch (error)
    {
    case Err::Success:
        return 0;
    case Err::FileNotFound:
    case Err::PathNotFound:
        return ENOENT;
    case Err::TooManyOpenFiles:
        return EMFILE;
    case Err::AccessDenied:
        return EACCES;
    case Err::WriteProtect:
        return EROFS;
    case Err::InvalidHandle:
        return EBADF;
    case Err::NotEnoughMemory:
    case Err::OutOfMemory:
        return ENOMEM;
    case Err::SharingViolation:
        return EBUSY;
    case Err::FileExists:
    case Err::AlreadyExists:
        return EEXIST;
    case Err::InvalidParameter:
        return EINVAL;
    case Err::DiskFull:
    case Err::HandleDiskFull:
        return ENOSPC;
    case Err::FileTooLarge:
        return EFBIG;
    case Err::InvalidName:
        return ENAMETOOLONG;
    case Err::NotSupported:
        return ENOTSUP;
    case Err::DeviceNotConnected:
        return ENODEV;
    case Err::Timeout:
        return ETIMEDOUT;
    default:
        return EIO;
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
