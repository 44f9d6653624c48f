#pragma once
#include "device/DeviceTypes.h"
#include "platform/core/CancelToken.h"
#include "streamio/Rs232Stream.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>

namespace StreamIO
{
class CIoStream;
}

namespace Device
{

class CCallback;
class CContents;
class CPackageHeader;
class CVmCommands;
struct SBlockHeader;

// One tester or instrument. Holds the link (an attached stream and the command object
// on it), the serial settings a COM port is opened with, the last login, and the data
// source and callback of an update. A device object has no lock: one thread uses it at
// a time (the job thread while a job runs on it, then its receiver).
//
// Cancellation: the device, its command object and every wait on its link (reads,
// writes, connects) share one cancel token. A job lends the device its own token while
// it runs on it and takes it back at its end; outside a job the token can never fire, so
// an abort meant for a job never fails the user's own commands, on whatever thread they
// run. A fired token ends a wait in progress on the link within kCancelReactMs, and
// every later command fails at once (NLinkStatus::aborted).
//
// Time-outs: every command reads (and writes) with the time-out of its own, never with
// one a previous command left on the stream.
//
// Failures, and what the caller of a failed command may rely on (GetLinkStatus):
// - A reply later than its command's time-out fails that command alone (noAnswer). The
//   link stays usable: the next command first settles the line (a resynchronisation, and
//   whatever comes before its answer dropped), so the late reply is never taken for that
//   command's acknowledgement or answer. The same holds after a cancel: the tester may
//   still answer the abandoned command, and the next command (of another job, or the
//   keep-alive) does not read that answer as its own.
// - A reply that cannot belong to the command sent (text where an acknowledgement byte,
//   a 'y'/'n' or a framed reply is due) is a stray late answer: it is drained. A text
//   command then goes out on the acknowledgement that follows the stray answer; any
//   other command fails (noAnswer). A stray answer is never taken as success.
// - A link the tester closed in order (it rebooted, or shut the connection) is connected
//   again before the next frame goes out, so the first command after it succeeds and
//   reaches the tester once. Where the close overtakes the frame (it went into the dying
//   connection and was never read), the frame goes out once more on the new connection,
//   as long as nothing of its answer came: a text frame up to its acknowledgement (its
//   command line follows only that), a byte-coded frame that waits for a reply (these
//   read or set a state). A link that breaks once a command's line went out fails that
//   command (lost), and it is never sent again by itself: the tester may have carried it
//   out (SAVE, DELF, MOVF). The caller decides; Revive tells whether the tester is back.
// - Nothing here raises: stream exceptions become failure results.
class CVmDevice
{
public:
    // Type name, port mask and signature class come from the type's row of the type
    // table (DeviceFactory.h).
    explicit CVmDevice(NTypes type);
    virtual ~CVmDevice();
    CVmDevice(const CVmDevice&) = delete;
    CVmDevice& operator=(const CVmDevice&) = delete;

    // A new default object of the same class (the type table's factory of its type).
    virtual std::unique_ptr<CVmDevice> CreateInstance() const;
    // The message of an update result code.
    virtual QString GetErrorText(int32_t code) const;

    // Takes the stream (which must be open) for port kind 1, 2 or 4; on success the
    // pointer is moved from, on failure it stays with the caller.
    virtual bool Attach(std::unique_ptr<StreamIO::CIoStream>& stream, uint32_t portKind);
    // Gives the stream back (null when none) and drops the command object.
    virtual std::unique_ptr<StreamIO::CIoStream> Detach();
    virtual StreamIO::CIoStream* GetStream() const;
    virtual QString GetStreamName() const;
    virtual uint32_t GetPortKind() const;
    virtual bool SetDataSource(StreamIO::CIoStream* source);
    virtual StreamIO::CIoStream* TakeDataSource();
    virtual bool SetCallback(CCallback* callback);
    virtual CCallback* TakeCallback();
    virtual uint32_t GetMaxBlockSize() const;
    virtual uint32_t GetChecksumFlags() const;
    virtual const StreamIO::SRs232Settings& GetSerialSettings() const;
    virtual bool Login(SLoginInfo& login);
    virtual bool Logout();
    virtual bool KeepAlive(bool on, uint32_t milliseconds);
    virtual bool SendControlRequest();
    virtual bool ListDirectory(uint32_t kindMask, QString& listing);
    virtual bool DownloadFile(StreamIO::CIoStream* destination, const QString& devicePath);
    virtual bool UploadFile(const QString& devicePath, StreamIO::CIoStream* source);
    virtual bool CreateFolder(const QString& devicePath);
    virtual bool MoveItem(const QString& oldPath, const QString& newPath);
    virtual bool DeleteItem(const QString& devicePath);
    // Resynchronises and returns to normal operation (mode 12).
    virtual bool Recover();
    virtual bool Identify(SIdentity& identity) = 0;
    virtual QString GetInfoText() = 0;
    virtual QString GetSerialNumber() const = 0;
    virtual bool GetVersions(CContents& contents) = 0;
    virtual bool QueryId(SIdentity& identity);
    // The device's 32-bit code; -1 when it does not answer, 0 without a link.
    virtual int32_t GetDeviceCode();
    virtual bool ReadDataBlock(uint8_t* buffer, uint32_t& size, uint8_t status[2]);
    // The answer's full length (the answer holds at most bufferSize - 1 bytes); 0 or -1
    // on failure. A negative time-out means 1000 ms.
    virtual int32_t SendTextCommand(const QByteArray& command, QByteArray& answer, uint32_t bufferSize,
                                    int32_t timeoutMs);
    // A negative time-out means 2000 ms.
    virtual NError_code ExchangeBinaryData(uint8_t command, uint8_t* buffer, int32_t paramCount,
                                           uint32_t& answerCount, uint32_t bufferSize, int32_t timeoutMs,
                                           int32_t totalTimeoutMs);
    virtual void SetUpdateFlag(uint8_t flag);
    virtual uint8_t GetUpdateFlag() const;
    // A negative time-out means 1000 ms.
    virtual int32_t SendBinaryCommand(uint8_t command, int32_t paramCount, uint8_t* buffer,
                                      uint32_t bufferSize, int32_t timeoutMs);
    // Whether CheckPackage can judge a package before an update starts.
    virtual bool CanCheckPackage() const;
    virtual NError_code CheckPackage(const CContents& contents, const CPackageHeader& package,
                                     uint32_t& value);
    // kind 1: identify again (twice at most); kind 2: the caller waits 80 s itself.
    virtual bool WaitForRestart(SIdentity& identity, int32_t kind, uint32_t& waitMs);

    // The steps of a firmware update, in the order the update job calls them: check,
    // init, then per block enter, transfer, program, leave (or skip), then finish. Each
    // returns errNone or the error that ends the update.
    virtual NError_code SkipBlock(const SBlockHeader& block);
    virtual NError_code CheckUpdate(const CPackageHeader& package);
    virtual NError_code InitUpdate(const CPackageHeader& package);
    virtual NError_code EnterUpdateMode(const CPackageHeader& package, const SBlockHeader& block);
    virtual NError_code TransferBlock(const SBlockHeader& block);
    virtual NError_code ProgramBlock(const SBlockHeader& block);
    virtual NError_code LeaveUpdateMode(const CPackageHeader& package, const SBlockHeader& block);
    virtual NError_code FinishUpdate();

    // How the last command on the link ended; meaningful after a command failed. lost
    // without a link.
    NLinkStatus GetLinkStatus() const;
    // After a failed command, on the thread that ran it: drains what a late answer left,
    // opens a lost link again (a network link connects anew, a port is reopened; a tester
    // that is still rebooting is given up to kReviveMs to take the connection) and asks
    // the tester's identity (QueryId). True: the tester answers; a command that failed
    // with noAnswer failed alone, one that failed with lost may be sent once more. False:
    // the tester does not answer, the link cannot be opened again, or the cancel token
    // fired: the connection is lost. Every wait of it ends with the cancel token.
    virtual bool Revive();
    static constexpr uint32_t kReviveMs = 10000;
    static constexpr uint32_t kRevivePauseMs = 250;
    // How soon a fired cancel token ends a wait in progress on the link (at most).
    static constexpr uint32_t kCancelReactMs = 50;

    // The token every wait and every exchange of this device looks at; it reaches the
    // command object and the link. The default token (no job) never fires.
    void SetCancelToken(const Platform::CancelToken& token);
    const Platform::CancelToken& GetCancelToken() const { return m_cancel; }

    NTypes GetType() const { return m_type; }
    const QString& GetTypeName() const { return m_typeName; }
    uint32_t GetPortMask() const { return m_portMask; }
    uint8_t GetSignatureClass() const { return m_signatureClass; }
    bool IsHeaderSent() const { return m_headerSent != 0; }
    const SLoginInfo& GetLogin() const { return m_login; }
    CVmCommands* GetCommands() const { return m_commands.get(); }
    CCallback* GetCallback() const { return m_callback; }
    const QString& GetBlockSuffix() const { return m_blockSuffix; }
    void SetBlockSuffix(const QString& suffix) { m_blockSuffix = suffix; }

protected:
    // A stream is attached and open and the command object exists.
    bool HasLink() const;
    // Asks the device's line-end mode and switches it to CR only, asking once more when
    // the first try fails; false when it cannot be settled: an answer read in the wrong
    // mode would be garbled ("@ID@ Veskora 3" as the type name).
    bool SettleLineEnd();
    // Whether the device's cancel token fired (the job it works for was aborted).
    bool AbortRequested() const { return m_cancel.IsCancelled(); }
    // Sleeps up to ms; the cancel token ends the wait early (false). Every wait of a
    // device goes through here, so tests replace it to run an instrument's long polls
    // without their pauses.
    virtual bool Pause(uint32_t ms) const { return m_cancel.Sleep(ms); }
    // A status text of the update to the callback, when one is set; with the block
    // suffix when asked.
    void ReportStatus(uint32_t textId, bool withSuffix = true) const;
    // Overall progress (mode 1) to the callback, when one is set.
    void ReportProgress(int32_t value) const;
    bool FineProgress() const;
    // Leaving a block's mode: a mode change when the leave-mode byte names another mode
    // than the enter-mode byte or asks for a reopen (waiting percent of the announced
    // switch time), then the package's header block when the leave-mode byte asks for it
    // and it was not sent yet (or, with headerAfterChange, the mode was changed).
    NError_code LeaveModeSteps(const CPackageHeader& package, const SBlockHeader& block, uint32_t percent,
                               bool headerAfterChange);
    // Programming that tells an operating-system block (progress mode 3) from others
    // (mode 2), asking the device for its time-out; only with a callback set.
    NError_code ProgramBlockByKind(const SBlockHeader& block);
    // Deletes the command object and the attached stream (the link is closed).
    void CloseLink();
    // The base transfer step with data frames of the given size (0: one frame).
    NError_code TransferBlockInFrames(const SBlockHeader& block, uint32_t frameSize);
    // Clears the held login and, with a link, logs out of the device ("RLGO").
    bool RemoteLogout();

    StreamIO::CIoStream* m_dataSource = nullptr;
    std::unique_ptr<StreamIO::CIoStream> m_stream;
    uint32_t m_portKind = portNone;
    CCallback* m_callback = nullptr;
    StreamIO::SRs232Settings m_serialSettings;
    std::unique_ptr<CVmCommands> m_commands;
    SLoginInfo m_login;
    uint8_t m_headerSent = 0;
    uint8_t m_updateFlag = 0;
    QString m_blockSuffix;
    NTypes m_type;
    uint32_t m_portMask = portNone;
    QString m_typeName;
    uint8_t m_signatureClass = 0;
    Platform::CancelToken m_cancel;

private:
    // Lets the connect waits of a network link end with the token (watch), or with
    // nothing but their time-out.
    void WatchLink(bool watch);
};

// What an empty first field of an answer becomes.
enum class NEmptyFirst
{
    dash,     // "-", as every other empty field (the fields of the power state)
    keepEmpty // stays empty: an identification's type name, so that a device without a
              // name fails rather than passing as one called "-"
};

// Splits an answer at ';' keeping every field in its place: an empty field reads as "-"
// (the first one as `first` says), and one ';' at the end closes the last field rather
// than opening another.
QStringList SplitIdentityFields(const QString& answer, NEmptyFirst first = NEmptyFirst::dash);

// Reads a hexadecimal number at the start of text (blanks and "0x" allowed before it) as
// the device's 32-bit signature; false when no digit is there or it does not fit.
bool ParseSignature(const QString& text, uint32_t& signature);

} // namespace Device
