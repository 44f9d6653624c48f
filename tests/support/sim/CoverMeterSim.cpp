#include "tests/support/sim/CoverMeterSim.h"

namespace Sim
{

namespace
{
SRecordInstrumentSim::Config MeterConfig()
{
    SRecordInstrumentSim::Config c;
    c.idAnswer = "Delvaquint;B2;DQ01-234-5678;06000102;1.2.3";
    c.shortId = "Delvaquint;1.2.3;DQ01-234-5678";
    c.bootInfo = "Delvaquint;B2;DQ01-234-5678;06000102;0.0.9";
    c.entryCommand = 0xD2;
    c.entryParams = QByteArray(1, '\x01');
    c.exitFromState2Only = true;
    return c;
}
} // namespace

CoverMeterSim::CoverMeterSim() : SRecordInstrumentSim(MeterConfig())
{
}

void CoverMeterSim::SetBinaryData(const QByteArray& block)
{
    std::lock_guard guard(m_lock);
    m_binary = block;
}

void CoverMeterSim::SetTextData(const QByteArray& text)
{
    std::lock_guard guard(m_lock);
    m_text = text;
}

void CoverMeterSim::SetRawBlock(const QByteArray& block)
{
    std::lock_guard guard(m_lock);
    m_rawBlock = block;
}

int CoverMeterSim::Divider() const
{
    std::lock_guard guard(m_lock);
    return m_divider;
}

std::vector<int> CoverMeterSim::Dividers() const
{
    std::lock_guard guard(m_lock);
    return m_dividers;
}

void CoverMeterSim::SetRefuseBaud(bool refuse)
{
    std::lock_guard guard(m_lock);
    m_refuseBaud = refuse;
}

void CoverMeterSim::OnText(const QByteArray& command, Session& session)
{
    if (!command.startsWith("BR "))
    {
        SRecordInstrumentSim::OnText(command, session);
        return;
    }
    QByteArray answer;
    {
        std::lock_guard guard(m_lock);
        if (m_refuseBaud)
            answer = "?";
        else if (command == "BR ?")
            answer = QByteArray::number(m_divider);
        else
        {
            m_divider = command.mid(3).trimmed().toInt();
            m_dividers.push_back(m_divider);
            answer = "OK";
        }
    }
    session.ReplyLine(answer);
}

BinaryReply CoverMeterSim::OnInstrumentCommand(uint8_t command, const QByteArray& params, Session&)
{
    if (command != 0xD2 || params.isEmpty())
        return BinaryReply::Status(0xFE);
    std::lock_guard guard(m_lock);
    switch (params.at(0))
    {
    case '3':
        return BinaryReply::Data("DQ ready");
    case '0':
    case '1':
    case '2':
    case '4':
        return BinaryReply::Done();
    case 0x13:
        return BinaryReply::Data(QByteArray(1, 0x21));
    case 0x06:
        return BinaryReply::Data(QByteArray(1, 0));
    case 0x02:
        m_polls = 0;
        return BinaryReply::Done();
    case 0x05:
        // Busy for two polls, then done.
        return BinaryReply::Data(QByteArray(1, ++m_polls >= 3 ? 0 : 1));
    case 0x04:
        return BinaryReply::None();
    case 0x12:
        return m_binary.isEmpty() ? BinaryReply::Status(0xF3) : BinaryReply::Checked(m_binary, 2);
    case 0x10:
        return m_text.isEmpty() ? BinaryReply::Status(0xF3) : BinaryReply::Checked(m_text, 4);
    default:
        return BinaryReply::Status(0xFE);
    }
}

void CoverMeterSim::OnRawWord(const QByteArray& word, Session& session)
{
    SRecordInstrumentSim::OnRawWord(word, session);
    QByteArray answer;
    {
        std::lock_guard guard(m_lock);
        if (word.endsWith('s'))
            m_address = word.left(4);
        else if (word == "002Cn" && m_address == "1000")
            answer = m_rawBlock.toHex().toUpper();
        else if (word == "0001n" && m_address == "1128")
            answer = "A4\r";
    }
    if (!answer.isEmpty())
        session.WriteRaw(answer);
}

} // namespace Sim
