#pragma once
#include <QString>
#include <QStringList>

#include <cstdint>

namespace Device
{

// Fills the "%s" and "%d" markers of a string-table text in order with the given
// values ("%%" is a percent sign); markers without a value stay as they are.
QString FormatDeviceText(const QString& format, const QStringList& values);

// A device text by id, filled as above.
QString DeviceText(uint32_t id, const QStringList& values = {});

// String ids of the device library's texts.
namespace Ids
{
inline constexpr uint32_t Serial = 20000;
inline constexpr uint32_t Usb = 20001;
inline constexpr uint32_t Ethernet = 20002;
inline constexpr uint32_t SearchDevice = 20003;
inline constexpr uint32_t CouldNotOpenPort = 20004;
inline constexpr uint32_t TransferBlock = 20005;
inline constexpr uint32_t NoDeviceFound = 20006;
inline constexpr uint32_t DeviceFound = 20007;
inline constexpr uint32_t WriteBlock = 20008;
inline constexpr uint32_t EnterMode = 20009;
inline constexpr uint32_t DeviceChecks = 20010;
inline constexpr uint32_t DeviceInit = 20011;
inline constexpr uint32_t LeaveMode = 20012;
inline constexpr uint32_t UpdateFinished = 20013;
inline constexpr uint32_t BlockSuffix = 20014;
inline constexpr uint32_t UpdateError = 20015;
inline constexpr uint32_t CommunicationError = 20016;
inline constexpr uint32_t SiblingInfo = 20017;
inline constexpr uint32_t PortableInfo = 20018;
inline constexpr uint32_t WrongDeviceType = 20019;
inline constexpr uint32_t CouldNotOpenUsb = 20020;
inline constexpr uint32_t WrongHardware = 20021;
inline constexpr uint32_t RestartHint = 20022;
inline constexpr uint32_t UploadError = 20023;
inline constexpr uint32_t ProgramError = 20024;
inline constexpr uint32_t ModeChangeError = 20025;
inline constexpr uint32_t FileReadError = 20026;
inline constexpr uint32_t Aborted = 20027;
inline constexpr uint32_t WrongOsVersion = 20028;
inline constexpr uint32_t NoRemoteLogin = 20029;
inline constexpr uint32_t IndentationInfo = 20030;
inline constexpr uint32_t EraseMemory = 20031;
inline constexpr uint32_t PlatformInfo = 20032;
inline constexpr uint32_t AwaitReconnect = 20033;
inline constexpr uint32_t PowerSupply = 20034;
} // namespace Ids

} // namespace Device
