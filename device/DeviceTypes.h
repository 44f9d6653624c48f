#pragma once
#include <QString>

#include <cstdint>

// Codes and small records that every device class, the job thread and the callers of
// the device library share.
namespace Device
{

// The maker's device types; typeCount stands for "no type".
enum NTypes : uint32_t
{
    typeVeskora3 = 0,
    typeMarbeli = 1,
    typeOrlanthe = 2,
    typeDelvaquint = 3,
    typeFennoray = 4,
    typeVeskamon3 = 5,
    typeCorvellLab = 6,
    typeTolvane = 7,
    typeAmbrelon = 8,
    typePx2 = 9,
    typePlatform = 10,
    typeHarrowind = 11,
    typeUsPulseEcho50kHz = 12,
    typeDelvarohne6 = 13,
    typeTestBox = 14,
    typeCount = 15
};

// Link kinds as bits; a device class's port mask combines them.
enum NPorts : uint32_t
{
    portNone = 0,
    portSerial = 1,
    portUsb = 2,
    portEthernet = 4
};

// How the last command on a device's link ended, for the caller of a failed command
// (CVmDevice::GetLinkStatus). A batch tells from it whether the tester failed this one
// command and is alive, or whether the link itself is gone.
enum class NLinkStatus : uint8_t
{
    // The tester answered. A refusal ('?', 'n', a status byte) is an answer: the command
    // failed, the link is fine.
    ok,
    // No answer within the command's own time-out, or a reply that cannot belong to the
    // command (a stray late answer to an earlier one; it has been drained). This command
    // failed; the link is open and the tester may well answer the next one.
    noAnswer,
    // The link broke: end of data (the tester closed it), a reset, a port that went
    // away, a write that could not go out. A network link may have connected anew by
    // itself already; Revive tells whether the tester is back.
    lost,
    // The cancel token the device carries fired; nothing more is sent until it is
    // replaced.
    aborted
};

// Results of the update steps and of the byte-coded exchanges.
enum NError_code : int32_t
{
    errNone = 0,
    errGeneral = 1,
    errInfoBlock = 2,
    errUpload = 3,
    errProgram = 4,
    errModeChange = 5,
    errCommunication = 6,
    errFileRead = 7,
    errDeviceType = 8,
    errAborted = 9,
    errHardwareRevision = 10,
    errOsVersion = 11,
    errReplyOverflow = 12,
    errChecksum = 13,
    errPowerSupply = 16
};

// Kinds of tester files a listing asks for, as a bit mask.
enum NFileKind : uint32_t
{
    fileMeasurement = 0x01,
    fileConversion = 0x02,
    fileLanguage = 0x04,
    fileHelp = 0x08,
    fileProfiles = 0x10,
    fileLog = 0x20
};

enum NJobType : int32_t
{
    jobNone = 0,
    jobSearch = 1,
    jobUpdate = 2,
    jobUpdateFlagged = 3,
    jobReconnect = 4
};

// Rights bits of a remote login.
enum NLoginRights : uint16_t
{
    loginPasswordSet = 0x01,
    loginSuperUser = 0x02,
    loginAccepted = 0x04
};

// The three identification strings of a device, as the device reports them.
struct SIdentity
{
    QString typeName;
    QString version;
    QString serialNumber;
};

// What the six-field instruments report about themselves (five-field ones leave the
// bootloader version empty).
struct SDeviceInfo
{
    SIdentity identity; // type name, application version, serial number
    QString hardwareRevision;
    QString signatureText;
    QString bootloaderVersion;
};

// A remote login request and its result.
struct SLoginInfo
{
    QString userName;
    QString password;
    uint16_t rights = 0;
    uint32_t value = 0; // sent with the login as eight hexadecimal digits
};

// What a search or reconnect job looks for and where.
struct SConnectParams
{
    NTypes type = typeCount;
    uint32_t portKind = portNone; // one NPorts value
    uint8_t scanAll = 0;          // serial: COM1 to COM256 instead of one port
    uint8_t stopAtFirst = 1;      // serial scan: stop after the first device found
    int32_t comPort = 1;
    int32_t skipComPort = -1;
    QString ipAddress;
    QString expectedSerial;         // what a reconnect job waits for
    int32_t reconnectTimeoutMs = 0; // 1 or more makes a posted job a reconnect job
};

} // namespace Device
