#pragma once
#include "tests/support/sim/SimLink.h"

#include <QByteArray>
#include <QSet>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace Sim
{

// Ways the simulated device misbehaves; tests switch them on and off at any time.
struct Faults
{
    bool noAck = false;           // the 0x10 of a text frame gets no acknowledgement
    uint8_t ackByte = 0x06;       // what acknowledges a 0x10 otherwise
    int replyDelayMs = 0;         // wait before every answer
    bool partialLine = false;     // answer lines stop half way, without their end
    QSet<QByteArray> refuse;      // command words (e.g. "RLGI") answered with "?"
    uint8_t statusByte = 0;       // 0xF0-0xFF: every byte frame but the resync answers this status
    bool badCrc = false;          // checked replies carry a wrong check value
    QByteArray junkAfterReply;    // stale bytes sent after every answer
    int64_t dropAfterBytes = -1;  // the next raw data transfer cuts the link after this many bytes
    char saveAnswer = 'y';        // the answer after the data of a "SAVE"
    bool closeAfterReply = false; // the link is cut right after the next answer (a line, file data)
    bool orderlyClose = false;    // a cut TCP link is closed in order (end of data), not reset
    int delayNextReplyMs = 0;     // the next answer only comes this much later (on top of replyDelayMs)
    QByteArray lateAnswer;        // sent once, right before the next acknowledgement of a 0x10:
                                  // an earlier command's answer that comes after the quiet time
    QByteArray lateReply;         // sent once, in one write right in front of the next byte-coded
                                  // reply: an earlier frame's reply that comes after the quiet time
    // Once: the answer to the next text command whose line holds slowCommand waits
    // slowReplyMs (after the acknowledgement); the switch clears itself.
    QByteArray slowCommand;
    int slowReplyMs = 0;
    // Once: the link is cut (as orderlyClose says) right after the answer to the next text
    // command whose line holds cutAfterCommand; the switch clears itself.
    QByteArray cutAfterCommand;
    // Every cut waits this long after the answer before the link goes, as a tester that
    // closes its connection a moment after its last answer does: a frame the program sends
    // meanwhile goes into a connection that is about to end, and is never read.
    int cutDelayMs = 0;
    // Once: the next text command whose line holds cutBeforeAnswer is carried out, but the
    // link is cut (as orderlyClose says) instead of its answer; the switch clears itself.
    QByteArray cutBeforeAnswer;
    // The tester takes frames in but sends nothing: no acknowledgement, no reply, no file
    // data (it hangs, or the far end of its serial line went dead without a hang-up). An
    // answer under way when the switch comes stops there.
    bool silent = false;
    // Once: the next raw data transfer (a file) stops after this many bytes and the tester
    // falls silent (sets silent); the switch clears itself.
    int64_t stallAfterBytes = -1;
};

// A byte-coded answer as the device frames it.
struct BinaryReply
{
    enum Kind
    {
        none,    // nothing is sent
        done,    // the byte 0
        data,    // count byte 1-238, then the bytes
        checked, // 0xEF, check kind, 24-bit length, data, check value
        status,  // one status byte 0xF0-0xFF
        raw      // the bytes as they are
    };
    Kind kind = none;
    QByteArray bytes;
    uint8_t checkKind = 0;
    uint8_t statusByte = 0;

    static BinaryReply None() { return {}; }
    static BinaryReply Done() { return {done, {}, 0, 0}; }
    static BinaryReply Data(QByteArray b) { return {data, std::move(b), 0, 0}; }
    static BinaryReply Checked(QByteArray b, uint8_t kind) { return {checked, std::move(b), kind, 0}; }
    static BinaryReply Status(uint8_t s) { return {status, {}, 0, s}; }
    static BinaryReply Raw(QByteArray b) { return {raw, std::move(b), 0, 0}; }
};

// Device-side checksums, computed bit by bit (independent of the program's tables).
uint8_t SimCrc8(const QByteArray& data);
uint16_t SimCrc16(const QByteArray& data);
uint32_t SimCrc32(const QByteArray& data);
// The little-endian check value of a kind (1, 2, 4; anything else: none).
QByteArray SimCheckValue(const QByteArray& data, uint8_t kind);

class FrameEngine;

// What a device profile uses while it answers one frame.
class Session
{
public:
    Session(FrameEngine& engine, Link& link, const Faults& faults)
        : m_engine(engine), m_link(link), m_faults(faults)
    {
    }
    // One answer line in the device's line-end mode: "payload\r" with CR only, or
    // "<command word> payload\r\n" with CR LF.
    void ReplyLine(const QByteArray& payload);
    // Bytes as they are (file data); the disconnect fault applies here.
    bool WriteRaw(const QByteArray& bytes);
    // Exactly n bytes, or fewer when they do not come within timeoutMs of each other.
    QByteArray ReadRaw(int n, int timeoutMs = 3000);
    const Faults& GetFaults() const { return m_faults; }
    // Cuts the link the way the faults ask (reset, or closed in order).
    void CutLink();
    // After an answer: cuts the link once when closeAfterReply asks for it.
    void CloseIfAsked();
    bool Crlf() const;
    void SetCrlf(bool crlf);
    // The command word of the line being answered (for the CR LF echo).
    QByteArray m_commandWord;
    // Nothing of the answer goes out (the command is carried out all the same).
    bool m_silent = false;

private:
    FrameEngine& m_engine;
    Link& m_link;
    const Faults& m_faults;
};

// A device's commands. The engine calls it on its serving thread, one frame at a time.
class Profile
{
public:
    virtual ~Profile() = default;
    // A text command without its 0x10 and CR; answer through the session.
    virtual void OnText(const QByteArray& command, Session& session) = 0;
    // A byte-coded frame; the answer is framed by the engine.
    virtual BinaryReply OnBinary(uint8_t command, const QByteArray& params, Session& session) = 0;
    // A byte that starts neither a text nor a byte frame (bootloader lines, S-records,
    // raw lines); the profile reads the rest through the session. False: stray input.
    virtual bool OnOtherByte(uint8_t, Session&) { return false; }
};

// The device end of the protocol: reads text frames (0x10, command, CR) and byte frames
// (0xC0 + n, command, n parameters) from a link, answers them through a profile, and
// applies the faults. It handles the line-end commands "EC?", "EC0", "EC1" and the
// resynchronisation frame itself.
class FrameEngine
{
public:
    explicit FrameEngine(Profile& profile);
    ~FrameEngine();
    FrameEngine(const FrameEngine&) = delete;
    FrameEngine& operator=(const FrameEngine&) = delete;

    // Serves one link on a thread of its own until the link is gone or Stop.
    void ServeLink(std::unique_ptr<Link> link);
    // Listens on address:port and serves one peer after the other; false when the
    // address cannot be bound.
    bool ServeTcp(const QString& address, uint16_t port = 3728);
    void Stop();

    Faults GetFaults() const;
    void SetFaults(const Faults& faults);
    void UpdateFaults(const std::function<void(Faults&)>& change);

    bool Crlf() const { return m_crlf.load(); }
    void SetCrlf(bool crlf) { m_crlf.store(crlf); }

    // What the device received, in order: text command lines, and byte frames as
    // [0xC0 + n, command, parameters].
    std::vector<QByteArray> TextCommands() const;
    std::vector<QByteArray> BinaryFrames() const;
    int CountText(const QByteArray& prefix) const;
    void ClearLog();
    int JunkBytes() const { return m_junk.load(); }
    // How many text frames (0x10) began, answered or not.
    int TextFrameStarts() const { return m_textStarts.load(); }
    // Waits until a text command with this prefix has arrived (false after timeoutMs).
    bool WaitForText(const QByteArray& prefix, int timeoutMs) const;
    // The same for a byte frame (as BinaryFrames records it), answered or not.
    bool WaitForFrame(const QByteArray& prefix, int timeoutMs) const;
    // Waits until the serving threads have taken a connection (TCP) this many times.
    int Connections() const { return m_connections.load(); }

    // Sleeps up to ms unless the engine stops; false when it stopped.
    bool Pause(int ms);
    // The wait before an answer: replyDelayMs, plus delayNextReplyMs once; false when
    // the engine stopped meanwhile.
    bool WaitBeforeReply(const Faults& faults);
    bool Stopping() const { return m_stop.load(); }

private:
    friend class Session;
    void Serve(Link& link);
    void HandleText(Link& link);
    void HandleBinary(Link& link, uint8_t first);
    void HandleOther(Link& link, uint8_t first);
    void SendBinary(Link& link, const BinaryReply& reply, const Faults& faults);
    void LogText(const QByteArray& line);
    void LogBinary(const QByteArray& frame);
    // Waits until `log` holds an entry with this prefix.
    bool WaitForLogged(const std::vector<QByteArray>& log, const QByteArray& prefix, int timeoutMs) const;

    Profile& m_profile;
    mutable std::mutex m_lock;
    mutable std::condition_variable m_changed;
    Faults m_faults;
    std::vector<QByteArray> m_text;
    std::vector<QByteArray> m_binary;
    std::atomic<bool> m_crlf{false};
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_junk{0};
    std::atomic<int> m_textStarts{0};
    std::atomic<int> m_connections{0};
    std::vector<std::thread> m_threads;
    std::vector<Link*> m_links;
    std::unique_ptr<TcpListener> m_listener;
};

// Reads a 16/24/32-bit little-endian value.
uint32_t ReadLe(const QByteArray& bytes, int offset, int size);
QByteArray Le(uint32_t value, int size);

} // namespace Sim
