#include "tests/support/sim/FrameEngine.h"

#include <zlib.h>

#include <chrono>
#include <utility>

namespace Sim
{

namespace
{
constexpr int kByteTimeoutMs = 3000;
constexpr int kMaxLine = 1 << 16;
const QByteArray kResyncParams("\x00\x05\x55\x5A\xAA\xAF\xFF\xF0", 8);
} // namespace

uint8_t SimCrc8(const QByteArray& data)
{
    uint8_t crc = 0;
    for (const char ch : data)
    {
        crc ^= uint8_t(ch);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? uint8_t((crc >> 1) ^ 0x8C) : uint8_t(crc >> 1);
    }
    return crc;
}

uint16_t SimCrc16(const QByteArray& data)
{
    uint16_t crc = 0;
    for (const char ch : data)
    {
        crc ^= uint8_t(ch);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0xA001) : uint16_t(crc >> 1);
    }
    return crc;
}

uint32_t SimCrc32(const QByteArray& data)
{
    return uint32_t(::crc32(0L, reinterpret_cast<const Bytef*>(data.constData()), uInt(data.size())));
}

QByteArray SimCheckValue(const QByteArray& data, uint8_t kind)
{
    switch (kind)
    {
    case 1:
        return Le(SimCrc8(data), 1);
    case 2:
        return Le(SimCrc16(data), 2);
    case 4:
        return Le(SimCrc32(data), 4);
    default:
        return {};
    }
}

uint32_t ReadLe(const QByteArray& bytes, int offset, int size)
{
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | uint8_t(bytes.at(offset + i));
    return value;
}

QByteArray Le(uint32_t value, int size)
{
    QByteArray out;
    for (int i = 0; i < size; ++i)
        out.append(char((value >> (8 * i)) & 0xFF));
    return out;
}

void Session::ReplyLine(const QByteArray& payload)
{
    if (!m_engine.WaitBeforeReply(m_faults))
        return;
    QByteArray line;
    if (Crlf())
        line = m_commandWord + ' ' + payload + "\r\n";
    else
        line = payload + '\r';
    if (m_faults.partialLine)
        line.truncate(qMax<qsizetype>(1, line.size() / 2));
    if (m_silent || m_engine.GetFaults().silent)
        return;
    // Stale bytes travel with the answer, so they are on the line before the program
    // sends its next command.
    m_link.Write(line + m_faults.junkAfterReply);
    CloseIfAsked();
}

void Session::CloseIfAsked()
{
    // The faults as they were when the frame came: a switch set after the answer went
    // out is for a later one.
    if (!m_faults.closeAfterReply)
        return;
    m_engine.UpdateFaults([](Faults& f) { f.closeAfterReply = false; });
    CutLink();
}

void Session::CutLink()
{
    if (m_faults.cutDelayMs > 0 && !m_engine.Pause(m_faults.cutDelayMs))
        return;
    if (m_faults.orderlyClose)
        m_link.Close();
    else
        m_link.Drop();
}

bool Session::WriteRaw(const QByteArray& bytes)
{
    if (m_silent || m_engine.GetFaults().silent)
        return true;
    if (m_faults.stallAfterBytes >= 0)
    {
        const qsizetype keep = qMin<qsizetype>(bytes.size(), qsizetype(m_faults.stallAfterBytes));
        m_link.Write(bytes.left(keep));
        m_engine.UpdateFaults(
            [](Faults& f)
            {
                f.stallAfterBytes = -1;
                f.silent = true;
            });
        return false;
    }
    if (m_faults.dropAfterBytes >= 0)
    {
        const qsizetype keep = qMin<qsizetype>(bytes.size(), qsizetype(m_faults.dropAfterBytes));
        m_engine.UpdateFaults([](Faults& f) { f.dropAfterBytes = -1; });
        m_link.Write(bytes.left(keep));
        CutLink();
        return false;
    }
    const bool written = m_link.Write(bytes);
    CloseIfAsked();
    return written;
}

QByteArray Session::ReadRaw(int n, int timeoutMs)
{
    QByteArray out;
    out.resize(n);
    int got = 0;
    while (got < n)
    {
        const int r = m_link.Read(reinterpret_cast<uint8_t*>(out.data()) + got, size_t(n - got), timeoutMs);
        if (r <= 0)
            break;
        got += r;
    }
    out.truncate(got);
    return out;
}

bool Session::Crlf() const
{
    return m_engine.Crlf();
}

void Session::SetCrlf(bool crlf)
{
    m_engine.SetCrlf(crlf);
}

FrameEngine::FrameEngine(Profile& profile) : m_profile(profile)
{
}

FrameEngine::~FrameEngine()
{
    Stop();
}

void FrameEngine::ServeLink(std::unique_ptr<Link> link)
{
    if (!link)
        return;
    std::lock_guard guard(m_lock);
    Link* raw = link.get();
    m_links.push_back(raw);
    ++m_connections;
    m_threads.emplace_back(
        [this, owned = std::move(link)]() mutable
        {
            Serve(*owned);
            std::lock_guard inner(m_lock);
            std::erase(m_links, owned.get());
        });
}

bool FrameEngine::ServeTcp(const QString& address, uint16_t port)
{
    auto listener = std::make_unique<TcpListener>(address, port);
    if (!listener->IsValid())
        return false;
    std::lock_guard guard(m_lock);
    m_listener = std::move(listener);
    TcpListener* lis = m_listener.get();
    m_threads.emplace_back(
        [this, lis]()
        {
            while (!m_stop.load())
            {
                std::unique_ptr<Link> link = lis->Accept(200);
                if (!link)
                    continue;
                ++m_connections;
                {
                    std::lock_guard inner(m_lock);
                    if (m_stop.load())
                        break;
                    m_links.push_back(link.get());
                }
                Serve(*link);
                std::lock_guard inner(m_lock);
                std::erase(m_links, link.get());
            }
        });
    return true;
}

void FrameEngine::Stop()
{
    std::vector<std::thread> threads;
    {
        std::lock_guard guard(m_lock);
        m_stop.store(true);
        for (Link* link : m_links)
            link->Stop();
        if (m_listener)
            m_listener->Stop();
        threads.swap(m_threads);
    }
    m_changed.notify_all();
    for (std::thread& t : threads)
        t.join();
}

Faults FrameEngine::GetFaults() const
{
    std::lock_guard guard(m_lock);
    return m_faults;
}

void FrameEngine::SetFaults(const Faults& faults)
{
    std::lock_guard guard(m_lock);
    m_faults = faults;
}

void FrameEngine::UpdateFaults(const std::function<void(Faults&)>& change)
{
    std::lock_guard guard(m_lock);
    change(m_faults);
}

std::vector<QByteArray> FrameEngine::TextCommands() const
{
    std::lock_guard guard(m_lock);
    return m_text;
}

std::vector<QByteArray> FrameEngine::BinaryFrames() const
{
    std::lock_guard guard(m_lock);
    return m_binary;
}

int FrameEngine::CountText(const QByteArray& prefix) const
{
    std::lock_guard guard(m_lock);
    int count = 0;
    for (const QByteArray& line : m_text)
        count += line.startsWith(prefix) ? 1 : 0;
    return count;
}

void FrameEngine::ClearLog()
{
    std::lock_guard guard(m_lock);
    m_text.clear();
    m_binary.clear();
    m_junk.store(0);
}

bool FrameEngine::WaitForLogged(const std::vector<QByteArray>& log, const QByteArray& prefix, int timeoutMs) const
{
    std::unique_lock guard(m_lock);
    return m_changed.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                              [&]
                              {
                                  for (const QByteArray& entry : log)
                                      if (entry.startsWith(prefix))
                                          return true;
                                  return m_stop.load();
                              }) &&
           !m_stop.load();
}

bool FrameEngine::WaitForText(const QByteArray& prefix, int timeoutMs) const
{
    return WaitForLogged(m_text, prefix, timeoutMs);
}

bool FrameEngine::WaitForFrame(const QByteArray& prefix, int timeoutMs) const
{
    return WaitForLogged(m_binary, prefix, timeoutMs);
}

bool FrameEngine::WaitBeforeReply(const Faults& faults)
{
    int ms = faults.replyDelayMs;
    {
        std::lock_guard guard(m_lock);
        ms += m_faults.delayNextReplyMs;
        m_faults.delayNextReplyMs = 0;
    }
    return ms <= 0 || Pause(ms);
}

bool FrameEngine::Pause(int ms)
{
    std::unique_lock guard(m_lock);
    return !m_changed.wait_for(guard, std::chrono::milliseconds(ms), [&] { return m_stop.load(); });
}

void FrameEngine::LogText(const QByteArray& line)
{
    {
        std::lock_guard guard(m_lock);
        m_text.push_back(line);
    }
    m_changed.notify_all();
}

void FrameEngine::LogBinary(const QByteArray& frame)
{
    {
        std::lock_guard guard(m_lock);
        m_binary.push_back(frame);
    }
    m_changed.notify_all();
}

void FrameEngine::Serve(Link& link)
{
    while (!m_stop.load())
    {
        uint8_t b = 0;
        const int r = link.Read(&b, 1, 100);
        if (r < 0)
            break;
        if (r == 0)
            continue;
        if (b == 0x10)
            HandleText(link);
        else if (b >= 0xC0 && b <= 0xEF)
            HandleBinary(link, b);
        else
            HandleOther(link, b);
    }
}

void FrameEngine::HandleText(Link& link)
{
    ++m_textStarts;
    m_changed.notify_all();
    const Faults faults = GetFaults();
    if (faults.noAck || faults.silent)
        return;
    QByteArray late;
    UpdateFaults([&](Faults& f) { late = std::exchange(f.lateAnswer, {}); });
    link.Write(late + char(faults.ackByte));
    QByteArray line;
    for (;;)
    {
        uint8_t b = 0;
        const int r = link.Read(&b, 1, kByteTimeoutMs);
        if (r <= 0)
            return; // the program gave up on the frame
        if (b == '\r')
            break;
        if (line.size() >= kMaxLine)
            return;
        line.append(char(b));
    }
    LogText(line);
    Session session(*this, link, faults);
    const qsizetype blank = line.indexOf(' ');
    session.m_commandWord = blank < 0 ? line : line.left(blank);
    if (faults.refuse.contains(session.m_commandWord))
    {
        session.ReplyLine("?");
        return;
    }
    if (line == "EC?")
    {
        session.ReplyLine(Crlf() ? "1" : "0");
        return;
    }
    if (line == "EC0" || line == "EC1")
    {
        // The answer still comes in the old mode.
        session.ReplyLine("OK");
        SetCrlf(line == "EC1");
        return;
    }
    if (!faults.slowCommand.isEmpty() && line.contains(faults.slowCommand))
    {
        UpdateFaults([](Faults& f) { f.slowCommand.clear(); });
        if (!Pause(faults.slowReplyMs))
            return;
    }
    const bool cutBefore = !faults.cutBeforeAnswer.isEmpty() && line.contains(faults.cutBeforeAnswer);
    if (cutBefore)
    {
        UpdateFaults([](Faults& f) { f.cutBeforeAnswer.clear(); });
        session.m_silent = true;
        m_profile.OnText(line, session);
        session.CutLink();
        return;
    }
    m_profile.OnText(line, session);
    if (!faults.cutAfterCommand.isEmpty() && line.contains(faults.cutAfterCommand))
    {
        UpdateFaults([](Faults& f) { f.cutAfterCommand.clear(); });
        session.CutLink();
    }
}

void FrameEngine::HandleOther(Link& link, uint8_t first)
{
    const Faults faults = GetFaults();
    Session session(*this, link, faults);
    if (!m_profile.OnOtherByte(first, session))
        ++m_junk;
}

void FrameEngine::HandleBinary(Link& link, uint8_t first)
{
    const int n = first - 0xC0;
    QByteArray frame(1, char(first));
    Faults faults = GetFaults();
    Session session(*this, link, faults);
    const QByteArray rest = session.ReadRaw(n + 1, kByteTimeoutMs);
    if (rest.size() != n + 1)
        return;
    frame += rest;
    LogBinary(frame);
    const uint8_t command = uint8_t(rest.at(0));
    const QByteArray params = rest.mid(1);
    if (faults.silent)
        return;
    if (command == 0xF6 && params == kResyncParams)
    {
        SendBinary(link, BinaryReply::Status(0xF0), faults);
        return;
    }
    if (faults.statusByte >= 0xF0)
    {
        SendBinary(link, BinaryReply::Status(faults.statusByte), faults);
        return;
    }
    SendBinary(link, m_profile.OnBinary(command, params, session), faults);
}

void FrameEngine::SendBinary(Link& link, const BinaryReply& reply, const Faults& faults)
{
    if (reply.kind == BinaryReply::none)
        return;
    if (!WaitBeforeReply(faults))
        return;
    QByteArray out;
    switch (reply.kind)
    {
    case BinaryReply::none:
        break;
    case BinaryReply::done:
        out.append(char(0));
        break;
    case BinaryReply::data:
        out.append(char(uint8_t(reply.bytes.size())));
        out += reply.bytes;
        break;
    case BinaryReply::checked:
    {
        out.append(char(0xEF));
        out.append(char(reply.checkKind));
        out += Le(uint32_t(reply.bytes.size()), 3);
        out += reply.bytes;
        QByteArray check = SimCheckValue(reply.bytes, reply.checkKind);
        if (faults.badCrc && !check.isEmpty())
            check[0] = char(check.at(0) ^ 0x5A);
        out += check;
        break;
    }
    case BinaryReply::status:
        out.append(char(reply.statusByte));
        break;
    case BinaryReply::raw:
        out = reply.bytes;
        break;
    }
    QByteArray late;
    bool silent = false;
    UpdateFaults(
        [&](Faults& f)
        {
            silent = f.silent;
            if (!silent)
                late = std::exchange(f.lateReply, {});
        });
    if (!silent)
        link.Write(late + out + faults.junkAfterReply);
}

} // namespace Sim
