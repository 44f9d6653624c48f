#include "device/VmDevice.h"

#include "device/BlockHeader.h"
#include "device/Callback.h"
#include "device/DeviceFactory.h"
#include "device/DeviceText.h"
#include "device/PackageHeader.h"
#include "device/VmCommands.h"
#include "platform/core/Clock.h"
#include "streamio/IoStream.h"

#include <algorithm>
#include <exception>

namespace Device
{

CVmDevice::CVmDevice(NTypes type) : m_type(type)
{
    if (const SDeviceDescriptor* row = FindDeviceType(type))
    {
        m_portMask = row->portMask;
        m_typeName = QString::fromLatin1(row->typeName);
        m_signatureClass = row->signatureClass;
    }
}

CVmDevice::~CVmDevice()
{
    // The command object refers to the stream: it goes first.
    m_commands.reset();
    m_stream.reset();
}

std::unique_ptr<CVmDevice> CVmDevice::CreateInstance() const
{
    return CreateDevice(m_type);
}

void CVmDevice::SetCancelToken(const Platform::CancelToken& token)
{
    m_cancel = token;
    if (m_commands)
        m_commands->SetCancelToken(m_cancel);
    WatchLink(true);
}

void CVmDevice::WatchLink(bool watch)
{
    if (!m_stream)
        return;
    if (watch && !(m_cancel == Platform::CancelToken()))
        m_stream->SetCancelHook([token = m_cancel] { return token.IsCancelled(); });
    else
        m_stream->SetCancelHook({});
}

NLinkStatus CVmDevice::GetLinkStatus() const
{
    return m_commands ? m_commands->GetLinkStatus() : NLinkStatus::lost;
}

bool CVmDevice::Revive()
{
    if (!m_stream || !m_commands || AbortRequested())
        return false;
    const uint64_t start = Platform::MonotonicMs();
    bool reopen = m_commands->GetLinkStatus() == NLinkStatus::lost;
    for (;;)
    {
        try
        {
            if (reopen || !m_stream->IsOpen())
            {
                if (m_stream->IsOpen())
                    m_stream->Abort();
                if (!m_stream->Reopen())
                    return false; // never opened: nothing to open again
            }
            SIdentity identity;
            if (QueryId(identity) || m_commands->GetLinkStatus() == NLinkStatus::ok)
                return true; // a refusal is an answer too
        }
        catch (const std::exception&)
        {
            // The link could not be opened (yet): a tester that reboots refuses it a while.
        }
        reopen = m_commands->GetLinkStatus() != NLinkStatus::noAnswer;
        if (AbortRequested() || Platform::MonotonicMs() - start >= kReviveMs || !Pause(kRevivePauseMs))
            return false;
    }
}

QString CVmDevice::GetErrorText(int32_t code) const
{
    const QString hint = DeviceText(Ids::RestartHint);
    switch (code)
    {
    case errUpload:
        return DeviceText(Ids::UploadError) + hint;
    case errProgram:
        return DeviceText(Ids::ProgramError) + hint;
    case errModeChange:
        return DeviceText(Ids::ModeChangeError) + hint;
    case errCommunication:
        return DeviceText(Ids::CommunicationError) + hint;
    case errFileRead:
        return DeviceText(Ids::FileReadError);
    case errDeviceType:
        return DeviceText(Ids::WrongDeviceType);
    case errAborted:
        return DeviceText(Ids::Aborted);
    case errHardwareRevision:
        return DeviceText(Ids::WrongHardware);
    case errOsVersion:
        return DeviceText(Ids::WrongOsVersion);
    case errPowerSupply:
        return DeviceText(Ids::PowerSupply);
    default:
        return DeviceText(Ids::UpdateError, {QString::number(code)}) + hint;
    }
}

bool CVmDevice::Attach(std::unique_ptr<StreamIO::CIoStream>& stream, uint32_t portKind)
{
    if (m_stream || m_portKind != portNone)
        return false;
    if ((portKind != portSerial && portKind != portUsb && portKind != portEthernet) || !stream)
        return false;
    try
    {
        if (!stream->IsOpen())
            return false;
    }
    catch (const std::exception&)
    {
        return false;
    }
    m_stream = std::move(stream);
    m_portKind = portKind;
    m_commands = std::make_unique<CVmCommands>(m_stream.get());
    m_commands->SetCancelToken(m_cancel);
    m_commands->SetLineEndMode(false, false);
    WatchLink(true);
    return true;
}

std::unique_ptr<StreamIO::CIoStream> CVmDevice::Detach()
{
    WatchLink(false);
    m_commands.reset();
    m_portKind = portNone;
    return std::move(m_stream);
}

StreamIO::CIoStream* CVmDevice::GetStream() const
{
    return m_stream.get();
}

QString CVmDevice::GetStreamName() const
{
    return m_stream ? m_stream->GetName() : QString();
}

uint32_t CVmDevice::GetPortKind() const
{
    return m_portKind;
}

bool CVmDevice::SetDataSource(StreamIO::CIoStream* source)
{
    if (m_dataSource || !source)
        return false;
    try
    {
        if (!source->IsOpen())
            return false;
    }
    catch (const std::exception&)
    {
        return false;
    }
    m_dataSource = source;
    return true;
}

StreamIO::CIoStream* CVmDevice::TakeDataSource()
{
    StreamIO::CIoStream* source = m_dataSource;
    m_dataSource = nullptr;
    return source;
}

bool CVmDevice::SetCallback(CCallback* callback)
{
    if (m_callback || !callback)
        return false;
    m_callback = callback;
    return true;
}

CCallback* CVmDevice::TakeCallback()
{
    CCallback* callback = m_callback;
    m_callback = nullptr;
    return callback;
}

uint32_t CVmDevice::GetMaxBlockSize() const
{
    return 0x8000;
}

uint32_t CVmDevice::GetChecksumFlags() const
{
    return 2;
}

const StreamIO::SRs232Settings& CVmDevice::GetSerialSettings() const
{
    return m_serialSettings;
}

bool CVmDevice::Login(SLoginInfo& login)
{
    m_login.userName = DeviceText(Ids::NoRemoteLogin);
    m_login.password.clear();
    m_login.rights = loginSuperUser | loginAccepted;
    login = m_login;
    return true;
}

bool CVmDevice::Logout()
{
    m_login.rights = 0;
    m_login.userName.clear();
    m_login.password.clear();
    return true;
}

bool CVmDevice::KeepAlive(bool on, uint32_t milliseconds)
{
    return m_commands && m_commands->KeepAlive(on, milliseconds);
}

bool CVmDevice::SendControlRequest()
{
    return m_commands && m_commands->SendControlRequest();
}

bool CVmDevice::ListDirectory(uint32_t kindMask, QString& listing)
{
    return m_commands && m_commands->ListDirectory(kindMask, listing);
}

bool CVmDevice::DownloadFile(StreamIO::CIoStream* destination, const QString& devicePath)
{
    return m_commands && m_commands->DownloadFile(destination, devicePath);
}

bool CVmDevice::UploadFile(const QString& devicePath, StreamIO::CIoStream* source)
{
    return m_commands && m_commands->UploadFile(devicePath, source);
}

bool CVmDevice::CreateFolder(const QString& devicePath)
{
    return m_commands && m_commands->CreateFolder(devicePath);
}

bool CVmDevice::MoveItem(const QString& oldPath, const QString& newPath)
{
    return m_commands && m_commands->MoveItem(oldPath, newPath);
}

bool CVmDevice::DeleteItem(const QString& devicePath)
{
    return m_commands && m_commands->DeleteItem(devicePath);
}

bool CVmDevice::Recover()
{
    if (!m_stream || !m_commands)
        return false;
    if (!m_commands->Resync())
        return false;
    bool changed = false;
    return m_commands->ChangeMode(12, changed, nullptr, 100);
}

bool CVmDevice::QueryId(SIdentity& identity)
{
    return m_commands && m_commands->QueryId(identity);
}

int32_t CVmDevice::GetDeviceCode()
{
    return m_commands ? m_commands->ReadDeviceCode() : 0;
}

bool CVmDevice::ReadDataBlock(uint8_t* buffer, uint32_t& size, uint8_t status[2])
{
    if (!HasLink() || !buffer)
        return false;
    return m_commands->ReadDataBlock(buffer, size, status);
}

int32_t CVmDevice::SendTextCommand(const QByteArray& command, QByteArray& answer, uint32_t bufferSize,
                                   int32_t timeoutMs)
{
    answer.clear();
    if (!m_commands || command.isEmpty())
        return 0;
    return m_commands->QueryText(command, answer, bufferSize, timeoutMs < 0 ? 1000u : uint32_t(timeoutMs));
}

NError_code CVmDevice::ExchangeBinaryData(uint8_t command, uint8_t* buffer, int32_t paramCount,
                                          uint32_t& answerCount, uint32_t bufferSize, int32_t timeoutMs,
                                          int32_t totalTimeoutMs)
{
    if (!m_commands || !buffer || bufferSize == 0)
        return errGeneral;
    return m_commands->ExchangeBinaryData(command, buffer, paramCount, answerCount, bufferSize,
                                          timeoutMs < 0 ? 2000 : timeoutMs, totalTimeoutMs, m_callback);
}

void CVmDevice::SetUpdateFlag(uint8_t flag)
{
    m_updateFlag = flag;
}

uint8_t CVmDevice::GetUpdateFlag() const
{
    return m_updateFlag;
}

int32_t CVmDevice::SendBinaryCommand(uint8_t command, int32_t paramCount, uint8_t* buffer,
                                     uint32_t bufferSize, int32_t timeoutMs)
{
    if (!m_commands || !buffer || bufferSize == 0)
        return 0;
    return m_commands->SendBinaryCommand(command, paramCount, buffer, bufferSize,
                                         timeoutMs < 0 ? 1000 : timeoutMs);
}

bool CVmDevice::WaitForRestart(SIdentity& identity, int32_t kind, uint32_t& waitMs)
{
    waitMs = 0;
    if (kind == 1)
    {
        try
        {
            if (!HasLink())
                return false;
            if (Identify(identity))
                return true;
            return Identify(identity);
        }
        catch (const std::exception&)
        {
            return false;
        }
    }
    if (kind == 2)
    {
        waitMs = 80000;
        return false;
    }
    return true;
}

bool CVmDevice::CanCheckPackage() const
{
    return false;
}

NError_code CVmDevice::CheckPackage(const CContents&, const CPackageHeader&, uint32_t&)
{
    return errGeneral;
}

void CVmDevice::ReportStatus(uint32_t textId, bool withSuffix) const
{
    if (m_callback)
        m_callback->OnStatusText(DeviceText(textId) + (withSuffix ? m_blockSuffix : QString()));
}

void CVmDevice::ReportProgress(int32_t value) const
{
    if (m_callback)
        m_callback->OnProgress(value, 1, 0);
}

bool CVmDevice::FineProgress() const
{
    return m_callback && m_callback->WantsFineProgress();
}

void CVmDevice::CloseLink()
{
    m_commands.reset();
    m_stream.reset();
    m_portKind = portNone;
}

NError_code CVmDevice::SkipBlock(const SBlockHeader& block)
{
    if (!m_commands || !m_dataSource)
        return errGeneral;
    if (!m_dataSource->IsOpen() || !m_dataSource->IsSeekable())
        return errGeneral;
    uint32_t left = block.Length();
    while (left > 0)
    {
        const uint32_t step = std::min<uint32_t>(left, 0x7FFFFFFF);
        m_dataSource->Seek(int32_t(step), StreamIO::STREAM_SEEK_CURRENT);
        left -= step;
    }
    return errNone;
}

NError_code CVmDevice::CheckUpdate(const CPackageHeader& package)
{
    if (AbortRequested())
        return errAborted;
    ReportStatus(Ids::DeviceChecks, false);
    const int32_t code = GetDeviceCode();
    if (code == -1)
        return errCommunication;
    return uint32_t(code) == package.DeviceCode() ? errNone : errDeviceType;
}

NError_code CVmDevice::InitUpdate(const CPackageHeader&)
{
    if (!m_commands)
        return errGeneral;
    if (AbortRequested())
        return errAborted;
    ReportStatus(Ids::DeviceInit, false);
    return errNone;
}

NError_code CVmDevice::EnterUpdateMode(const CPackageHeader& package, const SBlockHeader& block)
{
    if (AbortRequested())
        return errAborted;
    if (!m_commands)
        return errGeneral;
    ReportStatus(Ids::EnterMode);
    bool changed = false;
    if (!m_commands->ChangeMode(block.EnterMode(), changed, m_callback, 100))
        return errModeChange;
    if ((changed || !m_headerSent) && (block.EnterMode() & 0x01))
    {
        if (!m_commands->SendHeaderBlock(package.HeaderBlock(), GetChecksumFlags()))
            return errInfoBlock;
        m_headerSent = 1;
    }
    if (FineProgress())
        ReportProgress(100);
    return errNone;
}

NError_code CVmDevice::TransferBlock(const SBlockHeader& block)
{
    return TransferBlockInFrames(block, GetMaxBlockSize());
}

NError_code CVmDevice::TransferBlockInFrames(const SBlockHeader& block, uint32_t frameSize)
{
    if (!m_commands || !m_dataSource)
        return errGeneral;
    if (!m_dataSource->IsOpen())
        return errGeneral;
    ReportStatus(Ids::TransferBlock);
    const uint32_t length = block.Length();
    if (m_commands->SendDataBlocks(m_dataSource, length, GetChecksumFlags(), frameSize, m_callback) == length)
        return errNone;
    return AbortRequested() ? errAborted : errUpload;
}

NError_code CVmDevice::ProgramBlock(const SBlockHeader& block)
{
    if (!m_commands)
        return errGeneral;
    if (AbortRequested())
        return errAborted;
    if (!(block.LeaveMode() & 0x40))
        return errNone;
    ReportStatus(Ids::WriteBlock);
    return m_commands->ProgramFlash(m_callback, 2, false) ? errNone : errProgram;
}

NError_code CVmDevice::LeaveUpdateMode(const CPackageHeader& package, const SBlockHeader& block)
{
    return LeaveModeSteps(package, block, 100, false);
}

NError_code CVmDevice::LeaveModeSteps(const CPackageHeader& package, const SBlockHeader& block,
                                      uint32_t percent, bool headerAfterChange)
{
    if (AbortRequested())
        return errAborted;
    if (!m_commands)
        return errGeneral;
    ReportStatus(Ids::LeaveMode);
    const uint8_t leave = block.LeaveMode();
    bool changed = false;
    if ((leave & 0x0F) != (block.EnterMode() & 0x0F) || (leave & 0x10))
    {
        if (!m_commands->ChangeMode(leave, changed, m_callback, percent))
            return errModeChange;
    }
    if ((!m_headerSent || (headerAfterChange && changed)) && (leave & 0x01))
    {
        if (!m_commands->SendHeaderBlock(package.HeaderBlock(), GetChecksumFlags()))
            return errInfoBlock;
        m_headerSent = 1;
    }
    if (FineProgress())
        ReportProgress(100);
    return errNone;
}

NError_code CVmDevice::ProgramBlockByKind(const SBlockHeader& block)
{
    if (!m_commands)
        return errGeneral;
    if (AbortRequested())
        return errAborted;
    if (!(block.LeaveMode() & 0x40) || !m_callback)
        return errNone;
    ReportStatus(Ids::WriteBlock);
    const int32_t mode = (block.Kind() & 0x0F) == 2 ? 3 : 2;
    return m_commands->ProgramFlash(m_callback, mode, true) ? errNone : errProgram;
}

NError_code CVmDevice::FinishUpdate()
{
    if (AbortRequested())
        return errAborted;
    if (!m_callback)
        return errNone;
    ReportStatus(Ids::UpdateFinished, false);
    ReportProgress(100);
    return errNone;
}

bool CVmDevice::RemoteLogout()
{
    m_login.rights = 0;
    m_login.userName.clear();
    m_login.password.clear();
    if (!HasLink())
        return false;
    return m_commands->Logout();
}

bool CVmDevice::SettleLineEnd()
{
    return m_commands && (m_commands->SetLineEndMode(false, true) || m_commands->SetLineEndMode(false, true));
}

bool CVmDevice::HasLink() const
{
    if (!m_stream || !m_commands)
        return false;
    try
    {
        return m_stream->IsOpen();
    }
    catch (const std::exception&)
    {
        return false;
    }
}

QStringList SplitIdentityFields(const QString& answer, NEmptyFirst first)
{
    QStringList fields = answer.split(QLatin1Char(';'));
    if (fields.size() > 1 && fields.last().isEmpty())
        fields.removeLast();
    if (fields.size() == 1 && fields.first().isEmpty())
        return {};
    for (qsizetype i = first == NEmptyFirst::keepEmpty ? 1 : 0; i < fields.size(); ++i)
        if (fields[i].isEmpty())
            fields[i] = QStringLiteral("-");
    return fields;
}

bool ParseSignature(const QString& text, uint32_t& signature)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    if (i + 1 < text.size() && text.at(i) == QLatin1Char('0') &&
        (text.at(i + 1) == QLatin1Char('x') || text.at(i + 1) == QLatin1Char('X')) && i + 2 < text.size() &&
        QStringLiteral("0123456789abcdefABCDEF").contains(text.at(i + 2)))
        i += 2;
    uint64_t value = 0;
    int digits = 0;
    for (; i < text.size(); ++i)
    {
        const int digit = QStringLiteral("0123456789abcdef").indexOf(text.at(i).toLower());
        if (digit < 0)
            break;
        value = value * 16 + uint64_t(digit);
        if (value > 0xFFFFFFFFu)
            return false;
        ++digits;
    }
    if (digits == 0)
        return false;
    signature = uint32_t(value);
    return true;
}

} // namespace Device
