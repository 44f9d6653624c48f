#include "tests/support/sim/FramedInstrumentSim.h"

namespace Sim
{

FramedInstrumentSim::FramedInstrumentSim(const Config& config) : m_config(config), m_engine(*this)
{
}

FramedInstrumentSim::~FramedInstrumentSim()
{
    m_engine.Stop();
}

void FramedInstrumentSim::SetConfig(const Config& config)
{
    std::lock_guard guard(m_lock);
    m_config = config;
}

int FramedInstrumentSim::Mode() const
{
    std::lock_guard guard(m_lock);
    return m_mode;
}

std::vector<int> FramedInstrumentSim::ModeSwitches() const
{
    std::lock_guard guard(m_lock);
    return m_switches;
}

int FramedInstrumentSim::HeadersReceived() const
{
    std::lock_guard guard(m_lock);
    return m_headers;
}

QByteArray FramedInstrumentSim::HeaderBlock() const
{
    std::lock_guard guard(m_lock);
    return m_header;
}

QByteArray FramedInstrumentSim::Data() const
{
    std::lock_guard guard(m_lock);
    return m_data;
}

std::vector<int> FramedInstrumentSim::FrameSizes() const
{
    std::lock_guard guard(m_lock);
    return m_frames;
}

int FramedInstrumentSim::Programmed() const
{
    std::lock_guard guard(m_lock);
    return m_programmed;
}

int FramedInstrumentSim::BadChecks() const
{
    std::lock_guard guard(m_lock);
    return m_badChecks;
}

std::vector<QByteArray> FramedInstrumentSim::LongFrames() const
{
    std::lock_guard guard(m_lock);
    return m_long;
}

void FramedInstrumentSim::OnText(const QByteArray& command, Session& session)
{
    QByteArray answer;
    {
        std::lock_guard guard(m_lock);
        if (command == "@ID@")
            answer = m_config.idAnswer;
        else if (command == "ID")
            answer = m_config.shortId;
        else if (command == "GPOW")
            answer = m_config.powerAnswer;
        else if (command.startsWith("RLGI"))
            answer = m_config.loginAnswer;
        else if (command == "RLGO")
            answer = "OK";
    }
    session.ReplyLine(answer.isEmpty() ? QByteArray("?") : answer);
}

bool FramedInstrumentSim::CheckOk(const QByteArray& data, const QByteArray& check) const
{
    return SimCheckValue(data, uint8_t(m_config.checkBytes)) == check;
}

BinaryReply FramedInstrumentSim::OnBinary(uint8_t command, const QByteArray& params, Session& session)
{
    const auto p = [&](int i) { return i < params.size() ? uint8_t(params.at(i)) : uint8_t(0); };
    std::unique_lock guard(m_lock);
    const auto longFrame = m_config.longCommands.find(command);
    if (longFrame != m_config.longCommands.end() && params.size() == 1)
    {
        // The long frame carries no length: the instrument knows its commands.
        guard.unlock();
        const QByteArray rest = session.ReadRaw(longFrame->second - 1, 1000);
        guard.lock();
        m_long.push_back(QByteArray(1, char(command)) + params + rest);
        return BinaryReply::Raw(QByteArray(1, char(m_config.longAnswer)));
    }
    switch (command)
    {
    case 0xF1:
        return BinaryReply::Data(Le(m_config.deviceCode, 4));
    case 0xF4:
        switch (p(0))
        {
        case 0x00:
            return BinaryReply::Data(QByteArray(1, 1));
        case 0x01:
            return BinaryReply::Data(QByteArray(1, m_mode == p(1) ? 1 : 0));
        case 0x02:
            m_mode = p(1);
            m_switches.push_back(p(1));
            return BinaryReply::None();
        case 0x03:
            return BinaryReply::Data(Le(m_config.switchMs, 3));
        case 0x10:
        case 0x11:
            return BinaryReply::Data(QByteArray(1, 0));
        default:
            return BinaryReply::Status(0xFE);
        }
    case 0xF8:
        guard.unlock();
        return Bootloader(params, session);
    case 0xD0:
        if (p(0) == '0' && params.size() == 1)
            return BinaryReply::Raw(m_config.rawRead);
        return BinaryReply::Done();
    case 0xCD:
        if (p(0) == 0x04)
            return BinaryReply::Data(QByteArray("\x2A\x00", 2));
        return BinaryReply::Done();
    default:
        return BinaryReply::Status(0xFE);
    }
}

BinaryReply FramedInstrumentSim::Bootloader(const QByteArray& params, Session& session)
{
    const int checkBytes = [&]
    {
        std::lock_guard guard(m_lock);
        return m_config.checkBytes;
    }();
    const uint8_t sub = params.isEmpty() ? 0xFF : uint8_t(params.at(0));
    if (sub == 0x00 && params.size() == 1)
    {
        const QByteArray block = session.ReadRaw(128);
        const QByteArray check = session.ReadRaw(checkBytes);
        std::lock_guard guard(m_lock);
        if (block.size() != 128 || !CheckOk(block, check))
        {
            ++m_badChecks;
            return BinaryReply::Raw(QByteArray(1, 1));
        }
        if (m_config.refuseHeader)
            return BinaryReply::Raw(QByteArray(1, 1));
        ++m_headers;
        m_header = block;
        return BinaryReply::Done();
    }
    if (sub == 0x01 && (params.size() == 6 || params.size() == 9))
    {
        const uint32_t length = ReadLe(params, 2, 4);
        const uint32_t blockSize = params.size() == 9 ? ReadLe(params, 6, 3) : length;
        if (blockSize == 0)
            return BinaryReply::Raw(QByteArray(1, 1));
        uint32_t left = length;
        while (left > 0)
        {
            const uint32_t n = std::min(left, blockSize);
            const QByteArray data = session.ReadRaw(int(n));
            const QByteArray check = session.ReadRaw(checkBytes);
            bool ok = false;
            {
                std::lock_guard guard(m_lock);
                ok = data.size() == int(n) && CheckOk(data, check);
                if (!ok)
                    ++m_badChecks;
                else if (m_config.failDataFrames > 0)
                {
                    --m_config.failDataFrames;
                    ok = false;
                }
                if (ok)
                {
                    m_data += data;
                    m_frames.push_back(int(n));
                }
            }
            if (!ok)
                return BinaryReply::Raw(QByteArray(1, 1));
            left -= n;
            if (left > 0)
                session.WriteRaw(QByteArray(1, 0));
        }
        return BinaryReply::Done();
    }
    if (sub == 0x02)
    {
        uint32_t ms = 0;
        {
            std::lock_guard guard(m_lock);
            ms = m_config.programMs;
        }
        m_engine.Pause(int(ms));
        std::lock_guard guard(m_lock);
        ++m_programmed;
        return BinaryReply::Done();
    }
    if (sub == 0x03 || sub == 0x04)
    {
        std::lock_guard guard(m_lock);
        return BinaryReply::Data(Le(m_config.programMs, 3));
    }
    return BinaryReply::Status(0xFE);
}

} // namespace Sim
