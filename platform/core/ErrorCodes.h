#pragma once
#include <cstdint>

// The Windows error numbers that stored results, device replies and callers compare
// against. They keep their numeric values; the names are ours.
namespace Err
{
inline constexpr uint32_t Success = 0;
inline constexpr uint32_t InvalidFunction = 1;
inline constexpr uint32_t FileNotFound = 2;
inline constexpr uint32_t PathNotFound = 3;
inline constexpr uint32_t TooManyOpenFiles = 4;
inline constexpr uint32_t AccessDenied = 5;
inline constexpr uint32_t InvalidHandle = 6;
inline constexpr uint32_t NotEnoughMemory = 8;
inline constexpr uint32_t InvalidData = 13;
inline constexpr uint32_t OutOfMemory = 14;
inline constexpr uint32_t WriteProtect = 19;
inline constexpr uint32_t NotReady = 21;
inline constexpr uint32_t BadCommand = 22;
inline constexpr uint32_t Seek = 25;
inline constexpr uint32_t WriteFault = 29;
inline constexpr uint32_t ReadFault = 30;
inline constexpr uint32_t GenFailure = 31;
inline constexpr uint32_t SharingViolation = 32;
inline constexpr uint32_t LockViolation = 33;
inline constexpr uint32_t HandleEof = 38;
inline constexpr uint32_t HandleDiskFull = 39;
inline constexpr uint32_t NotSupported = 50;
inline constexpr uint32_t FileExists = 80;
inline constexpr uint32_t InvalidParameter = 87;
inline constexpr uint32_t BrokenPipe = 109;
inline constexpr uint32_t OpenFailed = 110;
inline constexpr uint32_t DiskFull = 112;
inline constexpr uint32_t InsufficientBuffer = 122;
inline constexpr uint32_t InvalidName = 123;
inline constexpr uint32_t NegativeSeek = 131;
inline constexpr uint32_t SeekOnDevice = 132;
inline constexpr uint32_t FileTooLarge = 223;
inline constexpr uint32_t AlreadyExists = 183;
inline constexpr uint32_t MoreData = 234;
inline constexpr uint32_t OperationAborted = 995;
inline constexpr uint32_t IoIncomplete = 996;
inline constexpr uint32_t IoPending = 997;
inline constexpr uint32_t NoAccess = 998;
inline constexpr uint32_t DeviceNotConnected = 1167;
inline constexpr uint32_t Timeout = 1460;
inline constexpr uint32_t WsaInvalidArgument = 10022;
inline constexpr uint32_t WsaAddressInUse = 10048;
inline constexpr uint32_t WsaNetworkDown = 10050;
inline constexpr uint32_t WsaNetworkUnreachable = 10051;
inline constexpr uint32_t WsaNetworkReset = 10052;
inline constexpr uint32_t WsaConnectionAborted = 10053;
inline constexpr uint32_t WsaConnectionReset = 10054;
inline constexpr uint32_t WsaNotConnected = 10057;
inline constexpr uint32_t WsaTimedOut = 10060;
inline constexpr uint32_t WsaConnectionRefused = 10061;
inline constexpr uint32_t WsaHostUnreachable = 10065;
inline constexpr uint32_t WsaVersionNotSupported = 10092;
inline constexpr uint32_t WsaNotInitialised = 10093;
inline constexpr uint32_t WsaHostNotFound = 11001;
} // namespace Err

// Maps a POSIX errno to the Windows error number the rest of the program expects.
// Unknown values map to GenFailure, never to Success.
uint32_t ErrorFromErrno(int posixErrno);

// The POSIX errno whose text describes a Windows error number (EIO for the unknown ones),
// for messages that name the reason of a failure.
int ErrnoFromError(uint32_t error);

// Socket calls report their own family of numbers (10000+).
uint32_t SocketErrorFromErrno(int posixErrno);
