#include "device/VmCommands.h"

#include "device/Callback.h"
#include "platform/core/ByteOrder.h"
#include "platform/core/Clock.h"
#include "platform/core/Codepage.h"
#include "platform/core/ErrorCodes.h"
#include "platform/core/NumberText.h"
#include "streamio/Checksum.h"
#include "streamio/IoStream.h"
#include "streamio/PerfCounter.h"

#include <QList>
#include <QStringList>

#include <algorithm>
#include <exception>

namespace Device
{

namespace
{
constexpr uint8_t kTextStart = 0x10;
constexpr uint8_t kCr = 0x0D;
constexpr uint8_t kLf = 0x0A;
constexpr uint8_t kFrameBase = 0xC0;
constexpr uint8_t kFirstStatus = 0xF0;
constexpr uint8_t kMaxPlainReply = 238;

constexpr uint8_t kCmdBootloader = 0xF8;
constexpr uint8_t kCmdDeviceCode = 0xF1;
constexpr uint8_t kCmdControl = 0xF4;

constexpr uint32_t kCheckCrc16 = 0x01;
constexpr uint32_t kCheckCrc32 = 0x02;

const QByteArray kResyncFrame("\xC8\xF6\x00\x05\x55\x5A\xAA\xAF\xFF\xF0", 10);
// The write time-out of a resynchronisation frame.
constexpr uint32_t kResyncWriteMs = 500;

// Settling the line: how long it must stay quiet behind the sync answer, and how long
// the tester may go on sending what it owes (a refused or abandoned file) at most.
constexpr uint32_t kDrainQuietMs = 200;
constexpr uint64_t kDrainLimitMs = 30000;
// While an earlier answer is still owed, how long the line must stay quiet after an
// acknowledgement for the byte to count as one: on a slow line the rest of a stray
// answer trails its first byte by a few byte times.
constexpr uint32_t kStrayGapMs = 30;
// Late answers skipped before a frame's acknowledgement at most.
constexpr int kMaxStrayLines = 4;
// The answer of a LOAD (acknowledgement and length) comes within the time-out of the
// other file commands.
constexpr uint32_t kFileCommandMs = 6000;

void AppendLe(QByteArray& out, uint32_t value, int size)
{
    for (int i = 0; i < size; ++i)
        out.append(char((value >> (8 * i)) & 0xFF));
}

uint32_t StandardCrc32(const void* data, size_t length)
{
    return Crc32(data, length, 0xFFFFFFFFu) ^ 0xFFFFFFFFu;
}

// The check value of a byte-coded reply; kinds other than 1, 2 and 4 carry none.
int CheckSize(uint8_t kind)
{
    return (kind == 1 || kind == 2 || kind == 4) ? kind : 0;
}

bool CheckMatches(const uint8_t* data, uint32_t length, uint8_t kind, const uint8_t* check)
{
    switch (kind)
    {
    case 1:
        return Crc8(data, length, 0) == check[0];
    case 2:
        return Crc16(data, length, 0) == ReadLe16(check);
    case 4:
        return StandardCrc32(data, length) == ReadLe32(check);
    default:
        return true;
    }
}

QByteArray Frame(uint8_t command, const uint8_t* params, int32_t count)
{
    QByteArray frame;
    frame.append(char(kFrameBase + count));
    frame.append(char(command));
    if (count > 0)
        frame.append(reinterpret_cast<const char*>(params), count);
    return frame;
}

QByteArray Hex8(uint32_t value)
{
    return QByteArray::number(value, 16).toUpper().rightJustified(8, '0');
}

int HexDigit(char ch)
{
    if (ch >= '0' && ch <= '9')
        return ch - '0';
    if (ch >= 'A' && ch <= 'F')
        return ch - 'A' + 10;
    if (ch >= 'a' && ch <= 'f')
        return ch - 'a' + 10;
    return -1;
}

// A length taken from a package is only believed as far as the source holds data.
bool SourceHolds(StreamIO::CIoStream& source, uint32_t length)
{
    if (!source.IsSeekable())
        return true;
    const uint32_t size = source.GetLength();
    const uint32_t position = source.GetPosition();
    return position <= size && length <= size - position;
}

uint64_t NowCounter()
{
    uint64_t counter = 0;
    GetPerfCounter(counter);
    return counter;
}

uint64_t MsSince(uint64_t start)
{
    return GetElapsedMs(start, NowCounter());
}
} // namespace

CVmCommands::CVmCommands(StreamIO::CIoStream* stream) : m_stream(stream)
{
}

CVmCommands::~CVmCommands() = default;

std::optional<QByteArray> CVmCommands::QuotePath(const QString& path)
{
    if (path.contains(QLatin1Char('"')) || path.contains(QLatin1Char('\r')) ||
        path.contains(QLatin1Char('\n')))
        return std::nullopt;
    QByteArray bytes = EncodeCp1252(path);
    bytes.replace("\\", "\\\\");
    return bytes;
}

void CVmCommands::NoteStatus(NLinkStatus status)
{
    // The worst thing that happened in a command is what its caller learns.
    if (uint8_t(status) > uint8_t(m_status))
        m_status = status;
}

void CVmCommands::NoteShortTransfer(uint64_t elapsedMs)
{
    m_unsettled = true;
    m_owed = true;
    uint32_t error = 0;
    uint32_t readMs = 0;
    uint32_t writeMs = 0;
    bool haveTimeouts = false;
    try
    {
        error = m_stream->GetError();
        haveTimeouts = m_stream->GetTimeouts(readMs, writeMs);
    }
    catch (const std::exception&)
    {
    }
    if (IsAborted() || error == Err::OperationAborted)
    {
        NoteStatus(NLinkStatus::aborted);
        // Cut short by a cancel: a healthy tester may still answer up to the time-out of
        // the exchange it was given.
        if (haveTimeouts && readMs != StreamIO::STREAM_WAIT_FOREVER && elapsedMs < readMs)
            m_owedUntil = std::max(m_owedUntil, Platform::MonotonicMs() + (readMs - elapsedMs));
    }
    else if (error == Err::HandleEof && haveTimeouts && readMs != StreamIO::STREAM_WAIT_FOREVER &&
             elapsedMs * 2 < readMs)
        // Sockets and serial lines record a quiet line as a time-out and a link that
        // ended as end of data; a USB pipe records a read that timed out as end of data
        // too, so end of data counts as a lost link only long before the time-out.
        NoteStatus(NLinkStatus::lost);
    else if (error == Err::HandleEof || error == Err::Timeout || error == 0)
        NoteStatus(NLinkStatus::noAnswer);
    else
        NoteStatus(NLinkStatus::lost);
}

uint32_t CVmCommands::ReadLink(void* buffer, uint32_t n)
{
    const uint64_t start = NowCounter();
    uint32_t got = 0;
    try
    {
        got = m_stream->Read(buffer, n);
    }
    catch (const std::exception&)
    {
        NoteStatus(NLinkStatus::lost);
        m_unsettled = true;
        NoteStatus(NLinkStatus::lost);
        throw;
    }
    if (got > 0)
        m_settleUnanswered = false;
    if (got < n)
        NoteShortTransfer(MsSince(start));
    return got;
}

uint32_t CVmCommands::ReadFully(void* buffer, uint32_t n)
{
    const uint64_t start = NowCounter();
    uint32_t got = 0;
    try
    {
        uint32_t readMs = 0;
        uint32_t writeMs = 0;
        const bool limited =
            m_stream->GetTimeouts(readMs, writeMs) && readMs != StreamIO::STREAM_WAIT_FOREVER;
        auto* bytes = static_cast<uint8_t*>(buffer);
        while (got < n)
        {
            const uint64_t readStart = NowCounter();
            const uint32_t m = m_stream->Read(bytes + got, n - got);
            got += m;
            // A read that came back short only at its time-out (a serial line records no
            // time-out then) found the line quiet: another would wait as long again.
            if (m == 0 || m_stream->IsEndOrTimeout() || (limited && MsSince(readStart) >= readMs))
                break;
        }
    }
    catch (const std::exception&)
    {
        NoteStatus(NLinkStatus::lost);
        m_unsettled = true;
        NoteStatus(NLinkStatus::lost);
        throw;
    }
    if (got > 0)
        m_settleUnanswered = false;
    if (got < n)
        NoteShortTransfer(MsSince(start));
    return got;
}

bool CVmCommands::DropStaleInput()
{
    m_status = NLinkStatus::ok;
    bool newConnection = false;
    try
    {
        m_stream->DiscardInput();
        // A tester that closed the link in order (it rebooted) gets the frame on a new
        // connection rather than failing it on the dead one.
        m_stream->ReconnectIfClosed();
        const uint64_t connection = m_stream->GetConnectionId();
        newConnection = connection != m_connection;
        m_connection = connection;
    }
    catch (const std::exception&)
    {
        NoteStatus(NLinkStatus::lost);
        NoteStatus(NLinkStatus::lost);
        throw;
    }
    if (newConnection)
    {
        // Nothing of the old connection can still come.
        m_unsettled = false;
        m_owed = false;
        m_syncAnswersOwed = 0;
        m_owedUntil = 0;
        m_settleUnanswered = false;
    }
    if (!m_unsettled)
        return newConnection;
    // The last exchange ended without its whole answer, which may still be on its way
    // (a slow tester may not even have begun it): the line is settled first. Unless the
    // tester has sent nothing since a settling went unanswered: another would only wait
    // as long again, and what it owes is still dropped where a reply begins.
    m_unsettled = false;
    if (m_settleUnanswered)
        m_owed = true;
    else
        SettleLine();
    return false;
}

void CVmCommands::SettleLine()
{
    uint32_t readMs = 0;
    uint32_t writeMs = 0;
    const bool haveTimeouts = m_stream->GetTimeouts(readMs, writeMs);
    m_stream->SetTimeouts(kSettleAnswerMs, kResyncWriteMs);
    // A cancelled exchange may still be answered until its time-out; the sync answer
    // comes after that answer.
    const auto owedMs = [this]
    {
        const uint64_t now = Platform::MonotonicMs();
        return m_owedUntil > now ? m_owedUntil - now : 0;
    };
    const uint64_t limitMs = std::max(kDrainLimitMs, owedMs() + kSettleAnswerMs);
    bool synced = false;
    bool heard = false;
    const bool sent = m_stream->Write(kResyncFrame.constData(), uint32_t(kResyncFrame.size())) ==
                      uint32_t(kResyncFrame.size());
    if (sent)
    {
        // Everything up to the sync answer belongs to earlier exchanges. A 0xF0 inside
        // their data is followed by more of it; the sync answer is the last byte before
        // the line falls quiet.
        const uint64_t start = NowCounter();
        bool lastWasSync = false;
        uint8_t scratch[4096];
        while (!IsAborted() && MsSince(start) < limitMs)
        {
            const uint32_t available = m_stream->GetBytesAvailable();
            uint32_t n = 0;
            if (available > 0)
            {
                n = m_stream->Read(scratch, std::min<uint32_t>(available, sizeof scratch));
            }
            else
            {
                const uint64_t silenceMs = lastWasSync ? kDrainQuietMs : kSettleAnswerMs + owedMs();
                m_stream->SetTimeouts(uint32_t(std::min<uint64_t>(silenceMs, limitMs)), kResyncWriteMs);
                n = m_stream->Read(scratch, 1);
            }
            if (n == 0)
            {
                synced = lastWasSync && !IsAborted() && m_stream->GetError() != Err::OperationAborted;
                break;
            }
            heard = true;
            lastWasSync = scratch[n - 1] == kFirstStatus;
        }
    }
    m_settleUnanswered = sent && !heard && !IsAborted();
    if (haveTimeouts)
        m_stream->SetTimeouts(readMs, writeMs);
    if (synced)
    {
        m_owed = false;
        m_syncAnswersOwed = 0;
        m_owedUntil = 0;
        return;
    }
    // The tester said nothing in time (or the wait was cancelled): what it owes may
    // still come, the sync answer last.
    m_owed = true;
    if (sent)
        ++m_syncAnswersOwed;
    if (IsAborted())
        m_unsettled = true;
    else
        m_owedUntil = 0;
}

bool CVmCommands::SkipSyncAnswers(uint8_t& first)
{
    while (first == kFirstStatus && m_syncAnswersOwed > 0)
    {
        --m_syncAnswersOwed;
        if (ReadLink(&first, 1) != 1)
            return false;
    }
    return true;
}

bool CVmCommands::LinkReplaced(uint64_t connection)
{
    // However the short transfer was judged (a reconnect that took long reads as a quiet
    // line), a new connection means that the old one ended under the frame.
    if (m_status == NLinkStatus::aborted || IsAborted())
        return false;
    uint64_t now = 0;
    try
    {
        now = m_stream->GetConnectionId();
    }
    catch (const std::exception&)
    {
        return false;
    }
    if (now == connection)
        return false;
    m_status = NLinkStatus::ok;
    return true;
}

bool CVmCommands::StartByteFrame(const QByteArray& frame, uint32_t timeoutMs, bool lateTimeouts,
                                 bool readReply, uint8_t& first, bool& owed)
{
    for (int attempt = 0;; ++attempt)
    {
        owed = m_owed || m_unsettled;
        if (DropStaleInput())
            owed = false;
        const uint64_t connection = m_connection;
        if (!lateTimeouts && !m_stream->SetTimeouts(timeoutMs, timeoutMs))
            return false;
        if (!WriteAll(frame))
        {
            if (attempt == 0 && LinkReplaced(connection))
                continue;
            return false;
        }
        if (!readReply)
            return true;
        if (lateTimeouts && !m_stream->SetTimeouts(timeoutMs, timeoutMs))
            return false;
        if (ReadLink(&first, 1) == 1 && SkipSyncAnswers(first))
            return true;
        if (attempt == 0 && LinkReplaced(connection))
            continue;
        return false;
    }
}

void CVmCommands::Discard(uint32_t n)
{
    uint8_t scratch[256];
    while (n > 0)
    {
        const uint32_t m = ReadLink(scratch, std::min<uint32_t>(n, sizeof scratch));
        if (m == 0)
            break; // the rest may still come
        n -= m;
    }
}

bool CVmCommands::WriteAll(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return true;
    uint32_t sent = 0;
    try
    {
        sent = m_stream->Write(bytes.constData(), uint32_t(bytes.size()));
    }
    catch (const std::exception&)
    {
        NoteStatus(NLinkStatus::lost);
        NoteStatus(NLinkStatus::lost);
        throw;
    }
    if (sent == uint32_t(bytes.size()))
        return true;
    // Whatever the tester got of it, an answer may follow.
    NoteShortTransfer(0); // nothing waited for: end of data here is a link that ended
    return false;
}

QByteArray CVmCommands::CheckValue(const QByteArray& data, uint32_t checkBits) const
{
    QByteArray out;
    if (checkBits & kCheckCrc16)
        AppendLe(out, Crc16(data.constData(), size_t(data.size()), 0), 2);
    else if (checkBits & kCheckCrc32)
        AppendLe(out, StandardCrc32(data.constData(), size_t(data.size())), 4);
    return out;
}

void CVmCommands::DrainAndResync()
{
    try
    {
        SettleLine();
    }
    catch (const std::exception&)
    {
        NoteStatus(NLinkStatus::lost);
    }
}

// --- Framing ---

uint32_t CVmCommands::ReadLine(char* buffer, uint32_t size)
{
    if (!buffer || size == 0)
        return 0;
    buffer[0] = 0;
    if (size == 1)
        return 0;
    uint32_t n = 0;
    try
    {
        while (n < size - 1)
        {
            uint8_t b = 0;
            if (ReadLink(&b, 1) != 1)
            {
                if (n > 0 && uint8_t(buffer[n - 1]) == kCr)
                    break;
                buffer[0] = 0;
                return 0;
            }
            buffer[n++] = char(b);
            if (b == kLf || (m_lineEnd == 0 && b == kCr))
                break;
        }
    }
    catch (const std::exception&)
    {
        NoteStatus(NLinkStatus::lost);
        buffer[0] = 0;
        return 0;
    }
    buffer[n] = 0;
    return n;
}

int CVmCommands::SendTextFrame(const QByteArray& command, uint32_t timeoutMs)
{
    bool owed = false;
    uint8_t ack = 0;
    for (int attempt = 0;; ++attempt)
    {
        if (IsAborted())
        {
            m_status = NLinkStatus::aborted;
            return 0;
        }
        owed = m_owed || m_unsettled;
        if (DropStaleInput())
            owed = false;
        const uint64_t connection = m_connection;
        if (!m_stream->SetTimeouts(timeoutMs, timeoutMs))
            return 0;
        // Until the acknowledgement came only the 0x10 went out: on a connection that
        // ended under it the frame starts again on the new one.
        if (!WriteAll(QByteArray(1, char(kTextStart))))
        {
            if (attempt == 0 && LinkReplaced(connection))
                continue;
            return 0;
        }
        if (ReadLink(&ack, 1) == 1 && SkipSyncAnswers(ack))
            break;
        if (attempt == 0 && LinkReplaced(connection))
            continue;
        return -1;
    }
    for (int stray = 0; StrayAfterAck(owed); ++stray)
    {
        // The byte began a late answer to an earlier command, which came after the line
        // had been quiet. Its line is dropped; the byte after it is the acknowledgement.
        owed = true;
        if (stray >= kMaxStrayLines || !SkipLine(ack) || ReadLink(&ack, 1) != 1)
        {
            m_unsettled = m_owed = true;
            NoteStatus(NLinkStatus::noAnswer);
            return -1;
        }
    }
    // The tester answers in order: nothing of an earlier exchange comes after this.
    m_owed = false;
    m_syncAnswersOwed = 0;
    if (!WriteAll(command + char(kCr)))
        return 0;
    return 1;
}

bool CVmCommands::SkipLine(uint8_t first)
{
    uint8_t b = first;
    for (uint32_t n = 0; n < kAnswerSize; ++n)
    {
        if (b == kLf || (m_lineEnd == 0 && b == kCr))
            return true;
        if (ReadLink(&b, 1) != 1)
            return false;
    }
    return false;
}

bool CVmCommands::StrayAfterAck(bool owed)
{
    // The tester sends nothing after its acknowledgement until it has the command line.
    if (m_stream->GetBytesAvailable() > 0)
        return true;
    if (!owed)
        return false;
    uint32_t readMs = 0;
    uint32_t writeMs = 0;
    const bool haveTimeouts = m_stream->GetTimeouts(readMs, writeMs);
    m_stream->SetTimeouts(kStrayGapMs, writeMs);
    uint8_t b = 0;
    const bool more = m_stream->Read(&b, 1) == 1;
    if (haveTimeouts)
        m_stream->SetTimeouts(readMs, writeMs);
    return more;
}

bool CVmCommands::ReplyOverrun(bool owed)
{
    // A whole reply came. While an earlier answer was owed, more bytes right behind it
    // mean that what was read began with that late answer, not with this reply.
    if (owed && m_stream->GetBytesAvailable() > 0)
    {
        m_unsettled = m_owed = true;
        NoteStatus(NLinkStatus::noAnswer);
        return true;
    }
    m_owed = false;
    m_syncAnswersOwed = 0;
    return false;
}

std::optional<QByteArray> CVmCommands::TakePayload(const QByteArray& line)
{
    if (!line.contains(char(kLf)))
        return line;
    const qsizetype blank = line.indexOf(' ');
    if (blank < 0)
        return std::nullopt;
    QByteArray payload = line.mid(blank + 1);
    const qsizetype end = payload.indexOf(char(kCr));
    if ((end < 0 ? payload.indexOf(char(kLf)) : end) == 0 || payload.isEmpty())
        return std::nullopt;
    return payload;
}

int32_t CVmCommands::QueryText(const QByteArray& command, QByteArray& answer, uint32_t bufferSize,
                               uint32_t timeoutMs)
{
    answer.clear();
    if (bufferSize <= 1)
        return 0;
    try
    {
        const int sent = SendTextFrame(command, timeoutMs);
        if (sent <= 0)
            return sent;
        QByteArray scratch(qsizetype(bufferSize) + 20, '\0');
        const uint32_t n = ReadLine(scratch.data(), bufferSize + 19);
        if (n == 0)
            return -1;
        if (command.isEmpty())
        {
            answer = "?";
            return 1;
        }
        std::optional<QByteArray> payload = TakePayload(scratch.left(n));
        if (!payload)
            return 0;
        const qsizetype lastCr = payload->lastIndexOf(char(kCr));
        if (lastCr >= 0)
            payload->truncate(lastCr);
        answer = payload->left(qsizetype(bufferSize) - 1);
        return int32_t(payload->size());
    }
    catch (const std::exception&)
    {
        NoteStatus(NLinkStatus::lost);
        answer.clear();
        return 0;
    }
}

bool CVmCommands::ExecuteTextCommand(const QByteArray& command, uint32_t timeoutMs)
{
    m_answer.clear();
    try
    {
        if (SendTextFrame(command, timeoutMs) <= 0)
            return false;
        char line[kAnswerSize];
        const uint32_t n = ReadLine(line, kAnswerSize - 1);
        if (n == 0)
            return false;
        if (command.isEmpty())
            return true;
        std::optional<QByteArray> payload = TakePayload(QByteArray(line, n));
        if (!payload)
            return false;
        const qsizetype firstCr = payload->indexOf(char(kCr));
        if (firstCr >= 0)
            payload->truncate(firstCr);
        if (payload->size() >= qsizetype(kAnswerSize))
            return false;
        if (payload->isEmpty())
            return true;
        m_answer = *payload;
        return !m_answer.contains('?');
    }
    catch (const std::exception&)
    {
        NoteStatus(NLinkStatus::lost);
        return false;
    }
}

bool CVmCommands::SetLineEndMode(bool crlfWanted, bool askDevice)
{
    if (!askDevice)
    {
        m_lineEnd = crlfWanted ? 1 : 0;
        return true;
    }
    try
    {
        for (int attempt = 0;; ++attempt)
        {
            if (IsAborted() || !m_stream->SetTimeouts(8000, 4000))
                return false;
            // Stale bytes would be taken for the acknowledgement.
            DropStaleInput();
            const uint64_t connection = m_connection;
            if (!m_stream->SetTimeouts(8000, 4000))
                return false;
            uint8_t ack = 0;
            if (WriteAll(QByteArray(1, char(kTextStart))) && ReadLink(&ack, 1) == 1)
                break;
            // Only the 0x10 went out: on a replaced connection it goes out again.
            if (attempt > 0 || !LinkReplaced(connection))
                return false;
        }
        if (!WriteAll(QByteArray("EC?\r")))
            return false;
        m_lineEnd = 0;
        char line[64];
        const uint32_t n = ReadLine(line, sizeof line);
        if (n == 0)
            return false;
        if (n > 5 && QByteArray(line, n).contains(char(kCr)))
        {
            uint8_t lf = 0;
            if (ReadLink(&lf, 1) != 1 || lf != kLf)
                return false;
            m_lineEnd = 1;
        }
    }
    catch (const std::exception&)
    {
        NoteStatus(NLinkStatus::lost);
        return false;
    }
    if (crlfWanted && m_lineEnd == 0)
    {
        if (ExecuteTextCommand("EC1", 4000))
            m_lineEnd = 1;
    }
    else if (!crlfWanted && m_lineEnd == 1)
    {
        if (ExecuteTextCommand("EC0", 4000))
            m_lineEnd = 0;
    }
    return m_lineEnd == (crlfWanted ? 1 : 0);
}

int32_t CVmCommands::SendBinaryCommand(uint8_t command, int32_t paramCount, uint8_t* buffer,
                                       uint32_t bufferSize, int32_t timeoutMs)
{
    if (paramCount >= 48 || paramCount < 0 || timeoutMs < 0 || (paramCount > 0 && !buffer))
        return kBadArguments;
    if (IsAborted())
    {
        m_status = NLinkStatus::aborted;
        return kCommFailure;
    }
    try
    {
        bool owed = false;
        uint8_t r = 0;
        if (!StartByteFrame(Frame(command, buffer, paramCount), uint32_t(timeoutMs), false, true, r, owed))
            return kCommFailure;
        if (r == 0 || r >= kFirstStatus)
            return ReplyOverrun(owed) ? kCommFailure : int32_t(r);
        if (r <= kMaxPlainReply)
        {
            if (!buffer || bufferSize < r)
            {
                // The reply does not fit: take it off the line and report a failure
                // rather than a length beyond the caller's data.
                Discard(r);
                return kCommFailure;
            }
            if (ReadFully(buffer, r) != r || ReplyOverrun(owed))
                return kCommFailure;
            return int32_t(r);
        }
        uint8_t ext[4];
        if (ReadFully(ext, 4) != 4)
            return kCommFailure;
        const uint8_t kind = ext[0];
        const uint32_t d = ReadLe24(ext + 1);
        const uint32_t checkSize = uint32_t(CheckSize(kind));
        // The caller's buffer holds the data; the check value is verified and dropped.
        if (!buffer || bufferSize < d)
        {
            Discard(d + checkSize);
            return kCommFailure;
        }
        uint8_t check[4] = {};
        if (ReadFully(buffer, d) != d || ReadFully(check, checkSize) != checkSize)
            return kCommFailure;
        if (!CheckMatches(buffer, d, kind, check))
            return kCheckMismatch;
        return ReplyOverrun(owed) ? kCommFailure : int32_t(d);
    }
    catch (const std::exception&)
    {
        NoteStatus(NLinkStatus::lost);
        return kCommFailure;
    }
}

NError_code CVmCommands::ExchangeBinaryData(uint8_t command, uint8_t* buffer, int32_t paramCount,
                                            uint32_t& replyCount, uint32_t bufferSize, int32_t timeoutMs,
                                            int32_t totalTimeoutMs, CCallback* callback)
{
    if (paramCount >= 48 || paramCount < 0 || timeoutMs < 0 || !buffer || bufferSize == 0)
        return errGeneral;
    replyCount = 0;
    if (IsAborted())
    {
        m_status = NLinkStatus::aborted;
        return errCommunication;
    }
    try
    {
        bool owed = false;
        uint8_t r = 0;
        if (!StartByteFrame(Frame(command, buffer, paramCount), uint32_t(timeoutMs), false, true, r, owed))
            return errCommunication;
        if (r == 0)
            return ReplyOverrun(owed) ? errCommunication : errNone;
        if (r >= kFirstStatus)
        {
            buffer[0] = r;
            return errCommunication;
        }
        if (r <= kMaxPlainReply)
        {
            if (bufferSize < r)
            {
                const uint32_t got = ReadFully(buffer, bufferSize);
                if (got < bufferSize)
                {
                    replyCount = got;
                    return errCommunication;
                }
                Discard(r - bufferSize);
                replyCount = r;
                return errReplyOverflow;
            }
            replyCount = ReadFully(buffer, r);
            return replyCount == r && !ReplyOverrun(owed) ? errNone : errCommunication;
        }
        uint8_t ext[4];
        if (ReadFully(ext, 4) != 4)
            return errCommunication;
        const uint8_t kind = ext[0];
        const uint32_t d = ReadLe24(ext + 1);
        const uint32_t total = d + uint32_t(CheckSize(kind));
        if (bufferSize < total)
        {
            if (ReadFully(buffer, bufferSize) < bufferSize)
                return errCommunication;
            Discard(total - bufferSize);
            replyCount = total;
            return errReplyOverflow;
        }
        if (total == 0)
            return errNone;
        const bool watchTotal = totalTimeoutMs >= 0 && int64_t(totalTimeoutMs) >= 2 * int64_t(timeoutMs);
        uint64_t start = 0;
        uint32_t got = 0;
        while (got < total)
        {
            if (got == 0)
                start = NowCounter();
            uint32_t m = 0;
            try
            {
                m = m_stream->Read(buffer + got, total - got);
            }
            catch (const std::exception&)
            {
                m_unsettled = true;
                throw;
            }
            got += m;
            if (callback && callback->WantsFineProgress())
                callback->OnProgress(int32_t(uint64_t(got) * 100 / total), 1, 0);
            if (m == 0)
                break;
            if (watchTotal && int64_t(totalTimeoutMs) - int64_t(MsSince(start)) <= int64_t(timeoutMs))
                break;
        }
        replyCount = got;
        if (got < total)
        {
            NoteShortTransfer(MsSince(start));
            return errCommunication;
        }
        if (!CheckMatches(buffer, d, kind, buffer + d))
            return errChecksum;
        return ReplyOverrun(owed) ? errCommunication : errNone;
    }
    catch (const std::exception&)
    {
        NoteStatus(NLinkStatus::lost);
        return errCommunication;
    }
}

int32_t CVmCommands::ExchangeShortBinary(uint8_t command, int32_t paramCount, uint8_t* buffer,
                                         int32_t expectedLength, int32_t timeoutMs)
{
    if (paramCount > 30 || paramCount < 0 || expectedLength < 0 || expectedLength > 239 || timeoutMs < 0 ||
        ((paramCount > 0 || expectedLength > 0) && !buffer))
        return -1;
    if (IsAborted())
    {
        m_status = NLinkStatus::aborted;
        return -1;
    }
    bool lowered = false;
    try
    {
        bool owed = false;
        uint8_t c = 0;
        // The frame goes out with the time-outs it finds; those of the reply follow it.
        if (!StartByteFrame(Frame(command, buffer, paramCount), uint32_t(timeoutMs), true, expectedLength > 0,
                            c, owed))
            return -1;
        if (expectedLength == 0)
            return 0;
        if (c >= kFirstStatus)
            return -1;
        if (int32_t(c) != expectedLength)
        {
            // Not the reply to this frame (or not one we can read): whatever follows is
            // dropped before the next frame.
            m_unsettled = m_owed = true;
            NoteStatus(NLinkStatus::noAnswer);
            return -1;
        }
        int32_t got = 0;
        while (got < c)
        {
            if (ReadLink(buffer + got, 1) != 1)
                break;
            ++got;
            if (got == 1 && timeoutMs > 50)
            {
                // The rest of a short reply follows at once.
                m_stream->SetTimeouts(50, 50);
                lowered = true;
            }
        }
        if (lowered)
            m_stream->SetTimeouts(uint32_t(timeoutMs), uint32_t(timeoutMs));
        // A reply cut short is a failure, not a shorter answer.
        if (got != c || ReplyOverrun(owed))
            return -1;
        return got;
    }
    catch (const std::exception&)
    {
        NoteStatus(NLinkStatus::lost);
        if (lowered)
        {
            try
            {
                m_stream->SetTimeouts(uint32_t(timeoutMs), uint32_t(timeoutMs));
            }
            catch (const std::exception&)
            {
                NoteStatus(NLinkStatus::lost);
            }
        }
        return -1;
    }
}

bool CVmCommands::Resync()
{
    try
    {
        m_stream->SetTimeouts(kSettleAnswerMs, kResyncWriteMs);
        for (int attempt = 0; attempt < 3; ++attempt)
        {
            if (!WriteAll(kResyncFrame))
                return false;
            if (!m_cancel.Sleep(50))
                return false;
            for (int i = 0; i < 3; ++i)
            {
                uint8_t b = 0;
                if (m_stream->Read(&b, 1) != 1)
                    break;
                if (b == kFirstStatus)
                {
                    m_unsettled = false;
                    m_owed = false;
                    return true;
                }
            }
        }
    }
    catch (const std::exception&)
    {
        NoteStatus(NLinkStatus::lost);
    }
    return false;
}

uint32_t CVmCommands::TransferTimeoutMs(uint32_t byteCount, uint32_t factor)
{
    uint64_t bytesPerSecond = m_stream->GetBytesPerSecond();
    if (bytesPerSecond == 0)
        bytesPerSecond = 16000;
    const uint64_t t = uint64_t(byteCount) * factor * 1000 / bytesPerSecond + 200;
    // Never 0xFFFFFFFF, which would mean "no limit".
    return uint32_t(std::clamp<uint64_t>(t, 4000, 0xFFFFFFFEu));
}

bool CVmCommands::SetTransferTimeouts(uint32_t byteCount, uint32_t factor)
{
    try
    {
        const uint32_t t = TransferTimeoutMs(byteCount, factor);
        return m_stream->SetTimeouts(t, t);
    }
    catch (const std::exception&)
    {
        NoteStatus(NLinkStatus::lost);
        return false;
    }
}

bool CVmCommands::SendHeaderBlock(const uint8_t* block, uint32_t checkBits)
{
    if (!block)
        return false;
    const QByteArray data(reinterpret_cast<const char*>(block), 128);
    try
    {
        for (int attempt = 0; attempt < 3; ++attempt)
        {
            if (attempt > 0 && !Resync())
                continue;
            if (IsAborted())
                return false;
            DropStaleInput();
            m_stream->SetTimeouts(4000, 4000);
            if (!WriteAll(QByteArray("\xC1\xF8\x00", 3) + data) || !WriteAll(CheckValue(data, checkBits)))
                continue;
            uint8_t answer = 0xFF;
            if (ReadLink(&answer, 1) == 1 && answer == 0)
                return true;
        }
    }
    catch (const std::exception&)
    {
        NoteStatus(NLinkStatus::lost);
    }
    return false;
}

uint32_t CVmCommands::SendDataBlocks(StreamIO::CIoStream* source, uint32_t length, uint32_t checkBits,
                                     uint32_t blockSize, CCallback* callback)
{
    m_transfer.clear();
    if (!source || length == 0)
        return 0;
    const bool fine = callback && callback->WantsFineProgress();
    try
    {
        if (!source->IsOpen() || !SourceHolds(*source, length))
            return 0;
        // A retry starts again where this block's data begins in the source, which may
        // lie anywhere inside a package.
        const uint32_t startPosition = source->IsSeekable() ? source->GetPosition() : 0;
        const uint8_t checkFlag = checkBits ? 1 : 0;
        for (int attempt = 0; attempt < 3; ++attempt)
        {
            if (attempt > 0)
            {
                if (!Resync())
                    continue;
                if (blockSize > 0 && source->IsSeekable())
                    source->SetPosition(startPosition);
            }
            if (blockSize == 0)
            {
                if (m_transfer.isEmpty())
                {
                    m_transfer.resize(qsizetype(length));
                    if (source->Read(m_transfer.data(), length) != length)
                    {
                        m_transfer.clear();
                        return 0;
                    }
                }
                if (!SetTransferTimeouts(length, 2))
                {
                    m_transfer.clear();
                    return 0;
                }
                if (fine && length > 10000 &&
                    m_stream->GetName().startsWith(QLatin1String("IP:"), Qt::CaseInsensitive))
                    callback->OnProgress(0, 1, length / 250);
                QByteArray frame("\xC6\xF8\x01", 3);
                frame.append(char(checkFlag));
                AppendLe(frame, length, 4);
                if (IsAborted())
                {
                    m_transfer.clear();
                    return 0;
                }
                DropStaleInput();
                if (!WriteAll(frame) || !WriteAll(m_transfer) || !WriteAll(CheckValue(m_transfer, checkBits)))
                    continue;
                uint8_t answer = 0xFF;
                if (ReadLink(&answer, 1) == 1 && answer == 0)
                {
                    m_transfer.clear();
                    return length;
                }
                continue;
            }

            if (!SetTransferTimeouts(blockSize, 2))
                return 0;
            m_transfer.resize(qsizetype(blockSize));
            QByteArray frame("\xC9\xF8\x01", 3);
            frame.append(char(checkFlag));
            AppendLe(frame, length, 4);
            AppendLe(frame, blockSize, 3);
            DropStaleInput();
            if (!WriteAll(frame))
                continue;
            uint32_t remaining = length;
            int32_t lastPercent = -1;
            bool retry = false;
            while (remaining > 0)
            {
                if (IsAborted())
                {
                    m_transfer.clear();
                    return 0;
                }
                if (fine)
                {
                    const int32_t percent = int32_t(uint64_t(length - remaining) * 100 / length);
                    if (percent > lastPercent)
                    {
                        callback->OnProgress(percent, 1, 0);
                        lastPercent = percent;
                    }
                }
                const uint32_t chunk = std::min(remaining, blockSize);
                if (source->Read(m_transfer.data(), chunk) != chunk)
                {
                    m_transfer.clear();
                    return 0;
                }
                const QByteArray data(m_transfer.constData(), chunk);
                if (!WriteAll(data))
                {
                    retry = true;
                    break;
                }
                QByteArray check;
                if (checkBits & kCheckCrc16)
                    AppendLe(check, Crc16(data.constData(), size_t(data.size()), 0), 2);
                if (checkBits & kCheckCrc32)
                    AppendLe(check, StandardCrc32(data.constData(), size_t(data.size())), 4);
                if (!WriteAll(check))
                {
                    retry = true;
                    break;
                }
                uint8_t answer = 0xFF;
                if (ReadLink(&answer, 1) == 1 && answer == 0)
                {
                    remaining -= chunk;
                    continue;
                }
                if (!Resync())
                    Resync();
                retry = true;
                break;
            }
            if (retry)
                continue;
            m_transfer.clear();
            if (fine)
                callback->OnProgress(100, 1, 0);
            return length;
        }
    }
    catch (const std::exception&)
    {
        NoteStatus(NLinkStatus::lost);
    }
    m_transfer.clear();
    return 0;
}

bool CVmCommands::ProgramFlash(CCallback* callback, int32_t progressMode, bool askTimeout)
{
    uint8_t buffer[3] = {4, 0, 0};
    if (ExchangeShortBinary(kCmdBootloader, 1, buffer, 3, 4000) != 3)
        return false;
    const uint32_t duration = ReadLe24(buffer);
    uint32_t timeout = duration;
    if (askTimeout)
    {
        uint8_t ask[3] = {3, 0, 0};
        if (ExchangeShortBinary(kCmdBootloader, 1, ask, 3, 4000) == 3)
            timeout = ReadLe24(ask);
    }
    try
    {
        if (IsAborted())
            return false;
        DropStaleInput();
        if (!WriteAll(QByteArray("\xC1\xF8\x02", 3)))
            return false;
        uint32_t readMs = 0;
        uint32_t writeMs = 0;
        if (!m_stream->GetTimeouts(readMs, writeMs))
            writeMs = 4000;
        m_stream->SetTimeouts(std::min(std::max<uint32_t>(timeout, 10000), kMaxDeviceWaitMs), writeMs);
        if (callback && callback->WantsFineProgress())
            callback->OnProgress(0, progressMode, std::max<uint32_t>(duration, 2000));
        uint8_t answer = 0xFF;
        return ReadLink(&answer, 1) == 1 && answer == 0;
    }
    catch (const std::exception&)
    {
        NoteStatus(NLinkStatus::lost);
        return false;
    }
}

uint32_t CVmCommands::SendSRecords(StreamIO::CIoStream* source, uint32_t length, CCallback* callback)
{
    if (!source || length == 0)
        return 0;
    try
    {
        if (!source->IsOpen() || !SourceHolds(*source, length))
            return 0;
        QByteArray text(qsizetype(length), '\0');
        if (source->Read(text.data(), length) != length)
            return 0;
        const bool fine = callback && callback->WantsFineProgress();
        uint32_t accepted = 0;
        uint32_t sent = 0;
        int32_t lastPercent = -1;
        qsizetype begin = 0;
        while (begin < text.size())
        {
            qsizetype end = text.indexOf('S', begin + 1);
            if (end < 0)
                end = text.size();
            const QByteArray record = text.mid(begin, end - begin);
            if (IsAborted() || !WriteAll(record))
                return 0;
            sent += uint32_t(record.size());
            uint8_t answer = 0;
            if (ReadLink(&answer, 1) != 1 || answer != 'P')
                return accepted;
            accepted += uint32_t(record.size());
            if (fine)
            {
                const int32_t percent = int32_t(uint64_t(sent) * 100 / length);
                if (percent > lastPercent)
                {
                    callback->OnProgress(percent, 2, 0);
                    lastPercent = percent;
                }
            }
            begin = end;
        }
        return accepted;
    }
    catch (const std::exception&)
    {
        NoteStatus(NLinkStatus::lost);
        return 0;
    }
}

bool CVmCommands::SendRawLine(const uint8_t* bytes, uint32_t count, uint8_t acknowledge)
{
    try
    {
        if (count > 0 && (!bytes || m_stream->Write(bytes, count) != count))
            return false;
        if (acknowledge == 0)
            return true;
        uint8_t answer = 0;
        return ReadLink(&answer, 1) == 1 && answer == acknowledge;
    }
    catch (const std::exception&)
    {
        NoteStatus(NLinkStatus::lost);
        return false;
    }
}

// --- Commands ---

bool CVmCommands::QueryIdentity(QByteArray& text, uint32_t timeoutMs)
{
    if (!ExecuteTextCommand("@ID@", timeoutMs))
        return false;
    text = m_answer;
    return true;
}

bool CVmCommands::QueryId(SIdentity& identity)
{
    if (!ExecuteTextCommand("ID", 4000))
        return false;
    const QList<QByteArray> fields = m_answer.split(';');
    QStringList values;
    for (const QByteArray& field : fields)
        if (!field.isEmpty())
            values.append(DecodeCp1252(field));
    identity.typeName = values.value(0);
    identity.version = values.value(1);
    identity.serialNumber = values.value(2);
    return !identity.typeName.isEmpty() && !identity.version.isEmpty() && !identity.serialNumber.isEmpty();
}

bool CVmCommands::QueryPower(QByteArray& text)
{
    if (!ExecuteTextCommand("GPOW", 2000))
        return false;
    text = m_answer;
    return true;
}

bool CVmCommands::Logout()
{
    return ExecuteTextCommand("RLGO", 4000);
}

bool CVmCommands::ListDirectory(uint32_t kindMask, QString& listing)
{
    const QByteArray command =
        "DIRS " + QByteArray::number(kindMask & 0xFFFF, 16).toUpper().rightJustified(4, '0');
    QByteArray answer;
    int32_t length = 0;
    try
    {
        uint32_t readMs = 0;
        uint32_t writeMs = 0;
        const bool saved = m_stream->GetTimeouts(readMs, writeMs);
        length = QueryText(command, answer, kMaxListing, 120000);
        if (saved)
            m_stream->SetTimeouts(readMs, writeMs);
    }
    catch (const std::exception&)
    {
        NoteStatus(NLinkStatus::lost);
        return false;
    }
    if (length < 1 || uint32_t(length) > kMaxListing || answer.size() < 9 || answer.at(8) != ';')
        return false;
    uint32_t declared = 0;
    for (int i = 0; i < 8; ++i)
    {
        const int digit = HexDigit(answer.at(i));
        if (digit < 0)
            return false;
        declared = declared * 16 + uint32_t(digit);
    }
    const QByteArray body = answer.mid(9);
    listing = DecodeCp1252(body);
    if (uint32_t(body.size()) != declared)
        return false;
    if (listing.endsWith(QLatin1Char(';')))
        listing.chop(1);
    return true;
}

bool CVmCommands::DownloadFile(StreamIO::CIoStream* destination, const QString& devicePath)
{
    if (devicePath.isEmpty() || !destination)
        return false;
    const std::optional<QByteArray> path = QuotePath(devicePath);
    if (!path)
        return false;
    m_lineEnd = 0;
    try
    {
        if (!destination->IsOpen())
            return false;
        if (SendTextFrame("LOAD \"" + *path + "\"", kFileCommandMs) <= 0)
            return false;
        uint8_t lengthBytes[4];
        if (ReadFully(lengthBytes, 4) != 4)
            return false;
        const uint32_t length = ReadLe32(lengthBytes);
        if (length == 0 || length > kMaxDownload)
        {
            // The device sends the file all the same; take it off the line so that the
            // next command is not answered with file data.
            if (length != 0)
                DrainAndResync();
            return false;
        }
        if (!SetTransferTimeouts(length, 2))
        {
            DrainAndResync();
            return false;
        }
        // The buffer grows with the data that really comes, not with what the length
        // field claims.
        QByteArray data;
        constexpr uint32_t kChunk = 1 << 20;
        while (uint32_t(data.size()) < length)
        {
            const uint32_t want = std::min(kChunk, length - uint32_t(data.size()));
            const qsizetype at = data.size();
            data.resize(at + qsizetype(want));
            // A file cut short fails at its time-out: whatever the tester still sends is
            // taken off the line before the next frame.
            if (ReadFully(data.data() + at, want) != want)
                return false;
        }
        m_owed = false;
        try
        {
            return destination->Write(data.constData(), length) == length;
        }
        catch (const std::exception&)
        {
            return false; // the local file failed; the link is fine
        }
    }
    catch (const std::exception&)
    {
        NoteStatus(NLinkStatus::lost);
        return false;
    }
}

bool CVmCommands::UploadFile(const QString& devicePath, StreamIO::CIoStream* source)
{
    if (!source || devicePath.isEmpty())
        return false;
    const std::optional<QByteArray> path = QuotePath(devicePath);
    if (!path)
        return false;
    m_lineEnd = 0;
    try
    {
        if (!source->IsOpen())
            return false;
        // Length and data are checked before "SAVE" goes out: once the tester accepted
        // the line it waits for exactly that many bytes.
        const uint32_t length = source->GetLength();
        if (length == 0 || length > kMaxUpload)
            return false;
        QByteArray data(qsizetype(length), '\0');
        if (source->Read(data.data(), length) != length)
            return false;
        if (!ExecuteTextCommand("SAVE \"" + *path + "\"", 6000))
            return false;
        if (!SetTransferTimeouts(length, 2))
            return false;
        QByteArray out;
        AppendLe(out, length, 4);
        if (!WriteAll(out) || !WriteAll(data))
            return false;
        return ReadSaveAnswer();
    }
    catch (const std::exception&)
    {
        NoteStatus(NLinkStatus::lost);
        return false;
    }
}

bool CVmCommands::ReadSaveAnswer()
{
    // The tester answers a SAVE with two bytes, 'y' when it stored the data.
    uint8_t answer[2] = {0, 0};
    const bool came = ReadFully(answer, 2) == 2;
    const bool yes = came && (answer[0] == 'y' || answer[0] == 'Y');
    if (came && !yes && answer[0] != 'n' && answer[0] != 'N')
    {
        // Neither yes nor no: a stray answer to something else, dropped before the next frame.
        m_unsettled = m_owed = true;
        NoteStatus(NLinkStatus::noAnswer);
    }
    m_stream->SetTimeouts(4000, 4000);
    return yes;
}

bool CVmCommands::CreateFolder(const QString& devicePath)
{
    if (devicePath.isEmpty())
        return false;
    const std::optional<QByteArray> path = QuotePath(devicePath);
    if (!path)
        return false;
    m_lineEnd = 0;
    try
    {
        if (!ExecuteTextCommand("SAVE \"" + *path + "\"", 6000))
            return false;
        m_stream->SetTimeouts(6000, 6000);
        if (!WriteAll(QByteArray(4, '\0')))
            return false;
        return ReadSaveAnswer();
    }
    catch (const std::exception&)
    {
        NoteStatus(NLinkStatus::lost);
        return false;
    }
}

bool CVmCommands::MoveItem(const QString& oldPath, const QString& newPath)
{
    if (oldPath.isEmpty() || newPath.isEmpty() || oldPath.size() > kMaxPathLength ||
        newPath.size() > kMaxPathLength)
        return false;
    const std::optional<QByteArray> from = QuotePath(oldPath);
    const std::optional<QByteArray> to = QuotePath(newPath);
    if (!from || !to)
        return false;
    return ExecuteTextCommand("MOVF \"" + *from + "\";\"" + *to + "\"", 10000);
}

bool CVmCommands::DeleteItem(const QString& devicePath)
{
    if (devicePath.isEmpty())
        return false;
    const std::optional<QByteArray> path = QuotePath(devicePath);
    if (!path)
        return false;
    m_lineEnd = 0;
    return ExecuteTextCommand("DELF \"" + *path + "\"", 6000);
}

bool CVmCommands::Login(SLoginInfo& login)
{
    // A line end inside a field would end the command early.
    const auto breaksLine = [](const QString& s)
    { return s.contains(QLatin1Char('\r')) || s.contains(QLatin1Char('\n')); };
    if (breaksLine(login.userName) || breaksLine(login.password))
        return false;
    const QByteArray user = EncodeCp1252(login.userName);
    QByteArray password = EncodeCp1252(login.password);
    password.replace("\\", "\\\\");
    password.replace("\"", "\\\"");
    const QByteArray base = "RLGI \"" + user + "\"; \"" + password + "\"";
    if (!ExecuteTextCommand(base + "; " + Hex8(login.value), 4000) && !ExecuteTextCommand(base, 4000))
        return false;
    const QByteArray& answer = m_answer;
    const qsizetype separator = answer.indexOf(';');
    QByteArray rest;
    if (answer.startsWith(';'))
    {
        login.userName.clear();
        rest = answer.mid(1);
    }
    else
    {
        const QList<QByteArray> fields = answer.split(';');
        if (fields.isEmpty() || fields.first().isEmpty())
            return false;
        login.userName = DecodeCp1252(fields.first());
        if (separator < 0)
            return false;
        rest = answer.mid(separator + 1);
    }
    const QByteArray rightsField = rest.left(rest.indexOf(';') < 0 ? rest.size() : rest.indexOf(';'));
    const std::optional<long long> rights = Platform::ParseInteger(QString::fromLatin1(rightsField), 10);
    if (!rights)
        return false;
    login.rights = uint16_t(*rights);
    return true;
}

bool CVmCommands::ReadDataBlock(uint8_t* buffer, uint32_t& size, uint8_t status[2])
{
    if (!buffer || size < 6 || !status)
        return false;
    buffer[0] = 0;
    try
    {
        if (SendTextFrame("SS", TransferTimeoutMs(80000, 2)) <= 0)
            return false;
        if (ReadFully(status, 2) != 2)
            return false;
        if (status[0] != 0 || status[1] != 0)
        {
            const bool echo =
                (status[0] == 'S' && status[1] == 'S') || (status[0] == 's' && status[1] == 's');
            if (!echo || ReadFully(buffer, 1) != 1 || ReadFully(status, 2) != 2 || status[0] != 0 ||
                status[1] != 0)
                return false;
        }
        uint8_t lengthBytes[4];
        if (ReadFully(lengthBytes, 4) != 4)
            return false;
        const uint32_t length = ReadLe32(lengthBytes);
        if (length > size)
            return false;
        if (ReadFully(buffer, length) != length)
            return false;
        size = length;
        return true;
    }
    catch (const std::exception&)
    {
        NoteStatus(NLinkStatus::lost);
        return false;
    }
}

int32_t CVmCommands::ReadDeviceCode()
{
    uint8_t buffer[4] = {};
    if (ExchangeShortBinary(kCmdDeviceCode, 0, buffer, 4, 4000) != 4)
        return -1;
    return int32_t(ReadLe32(buffer));
}

bool CVmCommands::KeepAlive(bool on, uint32_t milliseconds)
{
    uint8_t buffer[2];
    if (on)
    {
        buffer[0] = 0x10;
        buffer[1] = uint8_t(((uint64_t(milliseconds) + 999) / 1000) % 255);
    }
    else
    {
        buffer[0] = 0x11;
        buffer[1] = 0;
    }
    return ExchangeShortBinary(kCmdControl, 2, buffer, 1, 4000) == 1;
}

bool CVmCommands::SendControlRequest()
{
    uint8_t buffer[2] = {0x12, 0xD0};
    return ExchangeShortBinary(kCmdControl, 2, buffer, 0, 4000) == 0;
}

bool CVmCommands::ChangeMode(uint8_t modeByte, bool& changed, CCallback* callback, uint32_t delayPercent)
{
    changed = false;
    const uint8_t mode = modeByte & 0x0F;
    const bool reopen = (modeByte & 0x10) != 0;
    uint8_t buffer[3] = {0x00, mode, 0};
    if (ExchangeShortBinary(kCmdControl, 2, buffer, 1, 4000) != 1 || buffer[0] != 1)
        return false;
    buffer[0] = 0x01;
    buffer[1] = mode;
    if (ExchangeShortBinary(kCmdControl, 2, buffer, 1, 4000) != 1)
        return false;
    if (buffer[0] == 1)
    {
        if (!reopen)
            return true;
        try
        {
            m_stream->Close();
            return m_stream->Reopen();
        }
        catch (const std::exception&)
        {
            NoteStatus(NLinkStatus::lost);
            return false;
        }
    }
    uint32_t duration = 0;
    if (mode != 0)
    {
        buffer[0] = 0x03;
        buffer[1] = mode;
        if (ExchangeShortBinary(kCmdControl, 2, buffer, 3, 4000) != 3)
            return false;
        duration = ReadLe24(buffer);
        if (duration == 0)
            return false;
    }
    buffer[0] = 0x02;
    buffer[1] = mode;
    if (ExchangeShortBinary(kCmdControl, 2, buffer, 0, 4000) != 0)
        return false;
    changed = true;
    if (mode == 0)
        return true;
    if ((modeByte & 0x2F) == 0x21)
        return true;
    if (callback && callback->WantsFineProgress() && duration > 100)
        callback->OnProgress(0, 1, duration + 100);
    try
    {
        if (reopen)
        {
            if (!m_cancel.Sleep(100))
                return false;
            m_stream->Close();
        }
        const uint32_t percent = delayPercent == 0 ? 100 : delayPercent;
        const uint64_t wait = std::min<uint64_t>(uint64_t(duration) * percent / 100, kMaxDeviceWaitMs);
        const bool slept = m_cancel.Sleep(uint32_t(wait));
        if (reopen && !m_stream->Reopen())
            return false;
        if (!slept)
            return false;
    }
    catch (const std::exception&)
    {
        NoteStatus(NLinkStatus::lost);
        return false;
    }
    buffer[0] = 0x01;
    buffer[1] = (modeByte & 0x1F) == 0x14 ? 12 : mode;
    return ExchangeShortBinary(kCmdControl, 2, buffer, 1, 4000) == 1 && buffer[0] == 1;
}

} // namespace Device
