#pragma once
#include "device/DeviceTypes.h"
#include "platform/core/CancelToken.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

namespace StreamIO
{
class CIoStream;
}

namespace Device
{

class CCallback;

// The device protocol over one attached stream: text frames (0x10, command, CR, one
// answer line), byte frames (0xC0 + n, command, n parameters, framed reply), the
// bootloader frames, and the commands built on them. Nothing here raises: the stream
// layer's exceptions become failure results. The cancel token (the device's) is asked
// before every exchange and between the steps of long transfers, and ends its waits.
class CVmCommands
{
public:
    // Results of SendBinaryCommand besides the reply length and the device's status bytes.
    static constexpr int32_t kCheckMismatch = 250;
    static constexpr int32_t kCommFailure = 252;
    static constexpr int32_t kBadArguments = 254;

    static constexpr uint32_t kAnswerSize = 1024;
    static constexpr uint32_t kMaxListing = 1000000;
    static constexpr uint32_t kMaxDownload = 0x5000000;
    static constexpr uint32_t kMaxUpload = 0x500000;
    static constexpr int kMaxPathLength = 256;
    // Waits that the device announces (mode switch, programming) are cut to this.
    static constexpr uint32_t kMaxDeviceWaitMs = 600000;
    // Settling the line after an abandoned exchange: how long the tester may stay silent
    // before the answer to the resynchronisation frame comes (the resynchronisation's own
    // time-out).
    static constexpr uint32_t kSettleAnswerMs = 2500;

    explicit CVmCommands(StreamIO::CIoStream* stream);
    virtual ~CVmCommands();
    CVmCommands(const CVmCommands&) = delete;
    CVmCommands& operator=(const CVmCommands&) = delete;

    // File commands (device paths such as "\Persistent Storage\vsm\A.vsm").
    virtual bool UploadFile(const QString& devicePath, StreamIO::CIoStream* source);
    virtual bool CreateFolder(const QString& devicePath);
    virtual bool MoveItem(const QString& oldPath, const QString& newPath);
    virtual bool DeleteItem(const QString& devicePath);

    void SetCancelToken(const Platform::CancelToken& token) { m_cancel = token; }
    // How the last command ended on the link (see NLinkStatus).
    NLinkStatus GetLinkStatus() const { return m_status; }
    bool IsAborted() const { return m_cancel.IsCancelled(); }
    StreamIO::CIoStream* GetStream() const { return m_stream; }
    // 1: the device ends lines with CR LF; 0: with CR alone.
    uint8_t GetLineEndMode() const { return m_lineEnd; }

    // --- Framing ---
    // Before a frame goes out: drops what waits on the link. After an exchange that was
    // left before its answer came whole (a time-out, a cancel, a reply cut short) the
    // tester may still be at work on it, however quiet the line is for now: the line is
    // settled first (SettleLine), so that the late answer is never taken for the
    // acknowledgement and reply of the next frame. On a connection that is new since the
    // last exchange nothing of an old answer can come, and nothing is waited for. A
    // network link whose peer closed it is connected anew first. True when the link is on
    // another connection than at the last exchange.
    //
    // A frame that the link lost before any byte of its answer came (the tester closed
    // the connection as the frame went out, so it was never read), on a link that the
    // stream connected anew meanwhile, goes out once more on the new connection: the
    // 0x10 of a text frame (its command line follows only the acknowledgement, so no
    // command is carried out twice), and a byte-coded frame that waits for a reply (these
    // read or set a state of the device, so the tester does the same once more). A text
    // command whose line went out is never sent again: the tester may have carried it
    // out (SAVE, DELF, MOVF), so it fails with NLinkStatus::lost and its caller decides.
    bool DropStaleInput();
    // Up to n bytes (several reads, until the line has nothing more); the count read. A
    // short read leaves the line unsettled for the next DropStaleInput.
    uint32_t ReadFully(void* buffer, uint32_t n);
    // One answer line of at most size - 1 bytes into buffer (terminated); the count.
    uint32_t ReadLine(char* buffer, uint32_t size);
    // The payload of the answer, at most bufferSize - 1 bytes in answer; returns the full
    // payload length, 0 on a failure, -1 when the device did not acknowledge or answer.
    int32_t QueryText(const QByteArray& command, QByteArray& answer, uint32_t bufferSize, uint32_t timeoutMs);
    // True when the device answered without '?'; the payload is in Answer().
    bool ExecuteTextCommand(const QByteArray& command, uint32_t timeoutMs);
    const QByteArray& Answer() const { return m_answer; }
    bool SetLineEndMode(bool crlfWanted, bool askDevice);
    // The reply length, 0 (done), a status byte 0xF0-0xFF, or kBadArguments,
    // kCommFailure, kCheckMismatch. A reply whose data does not fit the buffer is a
    // failure; the check value of a checked reply needs no room there.
    int32_t SendBinaryCommand(uint8_t command, int32_t paramCount, uint8_t* buffer, uint32_t bufferSize,
                              int32_t timeoutMs);
    NError_code ExchangeBinaryData(uint8_t command, uint8_t* buffer, int32_t paramCount, uint32_t& replyCount,
                                   uint32_t bufferSize, int32_t timeoutMs, int32_t totalTimeoutMs,
                                   CCallback* callback);
    // The number of reply bytes read, or -1.
    int32_t ExchangeShortBinary(uint8_t command, int32_t paramCount, uint8_t* buffer, int32_t expectedLength,
                                int32_t timeoutMs);
    bool Resync();
    bool SetTransferTimeouts(uint32_t byteCount, uint32_t factor);
    bool SendHeaderBlock(const uint8_t* block, uint32_t checkBits);
    uint32_t SendDataBlocks(StreamIO::CIoStream* source, uint32_t length, uint32_t checkBits,
                            uint32_t blockSize, CCallback* callback);
    bool ProgramFlash(CCallback* callback, int32_t progressMode, bool askTimeout);
    uint32_t SendSRecords(StreamIO::CIoStream* source, uint32_t length, CCallback* callback);
    bool SendRawLine(const uint8_t* bytes, uint32_t count, uint8_t acknowledge);

    // --- Commands ---
    bool QueryIdentity(QByteArray& text, uint32_t timeoutMs);
    bool QueryId(SIdentity& identity);
    bool QueryPower(QByteArray& text);
    bool Logout();
    bool ListDirectory(uint32_t kindMask, QString& listing);
    bool DownloadFile(StreamIO::CIoStream* destination, const QString& devicePath);
    bool Login(SLoginInfo& login);
    bool ReadDataBlock(uint8_t* buffer, uint32_t& size, uint8_t status[2]);
    int32_t ReadDeviceCode();
    bool KeepAlive(bool on, uint32_t milliseconds);
    bool SendControlRequest();
    bool ChangeMode(uint8_t modeByte, bool& changed, CCallback* callback, uint32_t delayPercent);

    // A device path as it goes on the command line: 8-bit text with every backslash
    // doubled; nullopt for a path that would break the line ('"', CR, LF).
    static std::optional<QByteArray> QuotePath(const QString& path);

private:
    // The text frame up to the written command, with the command's time-out for both
    // directions. A stray late answer where the acknowledgement is due is skipped, and
    // the byte after it taken as the acknowledgement. 1 sent, 0 failed, -1 not
    // acknowledged.
    int SendTextFrame(const QByteArray& command, uint32_t timeoutMs);
    // The start of a byte-coded exchange: drops what waits on the link, sets both
    // time-outs (with lateTimeouts only after the frame went out), writes the frame and,
    // with readReply, reads the reply's first byte into first, sending the frame once more
    // on a replaced connection (see DropStaleInput). owed: whether an earlier answer may
    // still arrive in front of the reply. False when the frame failed.
    bool StartByteFrame(const QByteArray& frame, uint32_t timeoutMs, bool lateTimeouts, bool readReply,
                        uint8_t& first, bool& owed);
    // After a frame failed before any byte of its answer came: true when the link ended
    // under it and is on a new connection since `connection`, so that the frame may go
    // out once more (the link status is reset for it).
    bool LinkReplaced(uint64_t connection);
    // The payload of an answer line; nullopt when a CR LF line has nothing after its blank.
    static std::optional<QByteArray> TakePayload(const QByteArray& line);
    // One read of up to n bytes; a short one leaves the line unsettled and notes why.
    uint32_t ReadLink(void* buffer, uint32_t n);
    // Raises the command's link status to status (the worst of a command counts).
    void NoteStatus(NLinkStatus status);
    // A read or write that moved less than asked after elapsedMs: the answer is owed,
    // and the stream's error tells a time-out (noAnswer) from a broken link (lost).
    void NoteShortTransfer(uint64_t elapsedMs);
    // After the acknowledgement of a text frame: more input means the byte began a
    // stray late answer. owed: an earlier answer is still owed, so a short gap is waited.
    bool StrayAfterAck(bool owed);
    // Reads up to the end of the answer line that begins with first; false when it does
    // not end.
    bool SkipLine(uint8_t first);
    // After a whole byte-coded reply: whether it began with a stray late answer.
    bool ReplyOverrun(bool owed);
    // The time-out for moving byteCount bytes at the stream's rate.
    uint32_t TransferTimeoutMs(uint32_t byteCount, uint32_t factor);
    void Discard(uint32_t n);
    // Takes what the tester still sends for an abandoned exchange off the line: one
    // resynchronisation frame goes out, and everything up to its answer is dropped. The
    // tester answers frames in order, so once the answer came and the line stayed quiet
    // behind it, nothing of an earlier exchange can follow. Bounded: a tester that sends
    // nothing for kSettleAnswerMs (plus what is left of the time-out of an exchange that a
    // cancel cut short, which it may still answer) is not waited for any longer; its sync
    // answer, should it come later, is dropped where a reply begins. One that heard
    // nothing at all is not repeated before the next frame until the tester sends
    // something: on a dead line each command waits its own time-out alone. The time-outs
    // are put back.
    void SettleLine();
    // first is the byte where an acknowledgement or reply begins: a sync answer still
    // owed by an earlier SettleLine is dropped, and the byte after it read into first.
    // False when no byte follows.
    bool SkipSyncAnswers(uint8_t& first);
    bool WriteAll(const QByteArray& bytes);
    // SettleLine at once, for an answer refused half way whose rest the device sends
    // all the same.
    void DrainAndResync();
    // Reads the answer to a SAVE and puts the usual time-outs back.
    bool ReadSaveAnswer();
    QByteArray CheckValue(const QByteArray& data, uint32_t checkBits) const;

    StreamIO::CIoStream* m_stream;
    QByteArray m_answer;
    Platform::CancelToken m_cancel;
    uint8_t m_lineEnd = 1;
    // An answer may still be on its way (see DropStaleInput).
    bool m_unsettled = false;
    NLinkStatus m_status = NLinkStatus::ok;
    // An answer did not come whole and may still arrive, even after the line was quiet.
    bool m_owed = false;
    // Resynchronisation frames of SettleLine whose answer (0xF0) did not come in time.
    int m_syncAnswersOwed = 0;
    // Until when (Platform::MonotonicMs) the tester may still answer an exchange that a
    // cancel cut short; 0: none.
    uint64_t m_owedUntil = 0;
    // The last SettleLine heard nothing at all, and nothing has come since.
    bool m_settleUnanswered = false;
    QByteArray m_transfer;
    // The link's connection at the last exchange (GetConnectionId of the stream).
    uint64_t m_connection = 0;
};

} // namespace Device
