#include "tests/support/sim/SRecordInstrumentSim.h"

namespace Sim
{

namespace
{
int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Hexadecimal pairs into bytes; false for a character that is no digit.
bool HexBytes(const QByteArray& text, QByteArray& out)
{
    if (text.size() % 2 != 0)
        return false;
    out.clear();
    for (qsizetype i = 0; i < text.size(); i += 2)
    {
        const int hi = HexValue(text.at(i));
        const int lo = HexValue(text.at(i + 1));
        if (hi < 0 || lo < 0)
            return false;
        out.append(char(hi * 16 + lo));
    }
    return true;
}

// The one's complement of the byte sum.
bool SumChecks(const QByteArray& bytes)
{
    uint8_t sum = 0;
    for (qsizetype i = 0; i + 1 < bytes.size(); ++i)
        sum = uint8_t(sum + uint8_t(bytes.at(i)));
    return uint8_t(0xFF - sum) == uint8_t(bytes.at(bytes.size() - 1));
}
} // namespace

QByteArray MakeSRecords(const QByteArray& data, uint16_t address)
{
    QByteArray text;
    for (qsizetype at = 0; at < data.size(); at += 16)
    {
        const QByteArray chunk = data.mid(at, 16);
        const uint32_t a = address + uint32_t(at);
        QByteArray bytes;
        bytes.append(char(chunk.size() + 3));
        bytes.append(char((a >> 8) & 0xFF));
        bytes.append(char(a & 0xFF));
        bytes += chunk;
        uint8_t sum = 0;
        for (const char c : bytes)
            sum = uint8_t(sum + uint8_t(c));
        bytes.append(char(0xFF - sum));
        text += "S1" + bytes.toHex().toUpper() + "\r\n";
    }
    text += "S9030000FC\r\n";
    return text;
}

SRecordInstrumentSim::SRecordInstrumentSim(const Config& config) : m_config(config), m_engine(*this)
{
}

SRecordInstrumentSim::~SRecordInstrumentSim()
{
    m_engine.Stop();
}

void SRecordInstrumentSim::StartInBootloader()
{
    SetBootloader(true);
}

void SRecordInstrumentSim::SetBootloader(bool on)
{
    {
        std::lock_guard guard(m_lock);
        m_bootloader = on;
        if (on)
            m_state = 0;
    }
    // The bootloader does not take text frames.
    m_engine.UpdateFaults([on](Faults& f) { f.noAck = on; });
}

bool SRecordInstrumentSim::InBootloader() const
{
    std::lock_guard guard(m_lock);
    return m_bootloader;
}

int SRecordInstrumentSim::ProgrammingState() const
{
    std::lock_guard guard(m_lock);
    return m_state;
}

std::vector<QByteArray> SRecordInstrumentSim::Lines() const
{
    std::lock_guard guard(m_lock);
    return m_lines;
}

std::vector<QByteArray> SRecordInstrumentSim::RawWords() const
{
    std::lock_guard guard(m_lock);
    return m_rawWords;
}

int SRecordInstrumentSim::Erases() const
{
    std::lock_guard guard(m_lock);
    return m_erases;
}

int SRecordInstrumentSim::BadLines() const
{
    std::lock_guard guard(m_lock);
    return m_badLines;
}

int SRecordInstrumentSim::Records() const
{
    std::lock_guard guard(m_lock);
    return m_records;
}

std::map<uint32_t, uint8_t> SRecordInstrumentSim::Memory() const
{
    std::lock_guard guard(m_lock);
    return m_memory;
}

std::vector<QByteArray> SRecordInstrumentSim::Commands() const
{
    std::lock_guard guard(m_lock);
    return m_commands;
}

void SRecordInstrumentSim::SetInfoAnswer(char answer)
{
    std::lock_guard guard(m_lock);
    m_config.infoAnswer = answer;
}

void SRecordInstrumentSim::OnText(const QByteArray& command, Session& session)
{
    QByteArray answer;
    {
        std::lock_guard guard(m_lock);
        if (command == "@ID@")
            answer = m_config.idAnswer;
        else if (command == "ID")
            answer = m_config.shortId;
    }
    session.ReplyLine(answer.isEmpty() ? QByteArray("?") : answer);
}

BinaryReply SRecordInstrumentSim::OnBinary(uint8_t command, const QByteArray& params, Session& session)
{
    bool entry = false;
    {
        std::lock_guard guard(m_lock);
        if (m_bootloader)
            return BinaryReply::None();
        entry = command == m_config.entryCommand && params == m_config.entryParams;
        if (!entry)
            m_commands.push_back(QByteArray(1, char(command)) + params);
    }
    if (entry)
    {
        SetBootloader(true);
        return BinaryReply::Done();
    }
    return OnInstrumentCommand(command, params, session);
}

BinaryReply SRecordInstrumentSim::OnInstrumentCommand(uint8_t, const QByteArray&, Session&)
{
    return BinaryReply::Status(0xFE);
}

void SRecordInstrumentSim::OnRawWord(const QByteArray& word, Session&)
{
    std::lock_guard guard(m_lock);
    m_rawWords.push_back(word);
}

bool SRecordInstrumentSim::OnOtherByte(uint8_t first, Session& session)
{
    if (first == 'S' && InBootloader())
    {
        const QByteArray letter = session.ReadRaw(1, 1000);
        if (letter.isEmpty())
            return true;
        if (letter.at(0) >= '0' && letter.at(0) <= '9')
        {
            // A record runs to its line feed.
            QByteArray record = "S" + letter;
            while (!record.endsWith('\n') && record.size() < 600)
            {
                const QByteArray b = session.ReadRaw(1, 1000);
                if (b.isEmpty())
                    break;
                record += b;
            }
            HandleRecord(record, session);
            return true;
        }
        HandleControlLine("S" + letter + session.ReadRaw(10, 1000), session);
        return true;
    }
    if (first == '\r' || first == '\n')
        return false;
    OnRawWord(QByteArray(1, char(first)) + session.ReadRaw(4, 1000), session);
    return true;
}

void SRecordInstrumentSim::HandleControlLine(const QByteArray& line, Session& session)
{
    QByteArray bytes;
    const bool wellFormed = line.size() == 12 && line.endsWith("\r\n") && HexBytes(line.mid(2, 8), bytes) &&
                            uint8_t(bytes.at(0)) == 3 && SumChecks(bytes);
    std::unique_lock guard(m_lock);
    if (!wellFormed)
    {
        ++m_badLines;
        return;
    }
    m_lines.push_back(line.left(10));
    const char letter = line.at(1);
    const uint8_t a = uint8_t(bytes.at(1));
    const uint8_t b = uint8_t(bytes.at(2));
    QByteArray answer;
    if (letter == 'C')
    {
        if (a == 0 && b == 0)
            return; // the entry lines take no answer
        if (a == 1 && b == 2)
        {
            m_state = 1;
            answer = QByteArray(1, m_config.infoAnswer);
        }
        else
        {
            m_state = (b == 2) ? 2 : 0;
            answer = "G";
        }
    }
    else if (letter == 'E')
    {
        const int delay = m_config.eraseDelayMs;
        guard.unlock();
        if (delay > 0)
            m_engine.Pause(delay);
        guard.lock();
        ++m_erases;
        answer = "E";
    }
    else if (letter == 'X')
    {
        const bool leave = !m_config.exitFromState2Only || m_state == 2;
        guard.unlock();
        session.WriteRaw("X");
        if (leave)
            SetBootloader(false);
        return;
    }
    else if (letter == 'I')
    {
        // The bootloader answers from a buffer of 66 bytes, zero-filled after the text.
        answer = m_config.bootInfo.leftJustified(66, '\0', true);
    }
    guard.unlock();
    if (!answer.isEmpty())
        session.WriteRaw(answer);
}

void SRecordInstrumentSim::HandleRecord(const QByteArray& record, Session& session)
{
    QByteArray bytes;
    QByteArray body = record.mid(2);
    while (body.endsWith('\n') || body.endsWith('\r'))
        body.chop(1);
    bool ok = HexBytes(body, bytes) && bytes.size() >= 3 && uint8_t(bytes.at(0)) == bytes.size() - 1 &&
              SumChecks(bytes);
    {
        std::lock_guard guard(m_lock);
        if (m_config.programNeedsState2 && m_state != 2)
            ok = false;
        if (m_erases == 0)
            ok = false;
        if (ok)
        {
            ++m_records;
            if (record.at(1) == '1')
            {
                const uint32_t address = (uint32_t(uint8_t(bytes.at(1))) << 8) | uint8_t(bytes.at(2));
                for (qsizetype i = 3; i + 1 < bytes.size(); ++i)
                    m_memory[address + uint32_t(i - 3)] = uint8_t(bytes.at(i));
            }
        }
    }
    session.WriteRaw(ok ? "P" : "N");
}

} // namespace Sim
