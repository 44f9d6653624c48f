#pragma once
#include "tests/support/sim/SRecordInstrumentSim.h"

namespace Sim
{

// The cover meter: an S-record instrument whose command 0xD2 also carries its
// instrument commands (text request '3', '1', '2', text pair '0', "4060...", status
// 0x13, 0x06, the 0x02/0x05 run-and-poll pair, raw-line mode 0x04 and the downloads
// 0x12 binary and 0x10 text), and which switches its line with "BR nnn" (4 MHz / nnn).
class CoverMeterSim : public SRecordInstrumentSim
{
public:
    CoverMeterSim();

    // The answers to the downloads; empty: the status 0xF3 (nothing stored).
    void SetBinaryData(const QByteArray& block);
    void SetTextData(const QByteArray& text);
    // The 44 bytes a raw read from 0x1000 returns.
    void SetRawBlock(const QByteArray& block);
    int Divider() const;
    std::vector<int> Dividers() const;
    // Answer "?" to "BR ?" (a meter without the baud switch).
    void SetRefuseBaud(bool refuse);

    void OnText(const QByteArray& command, Session& session) override;

protected:
    BinaryReply OnInstrumentCommand(uint8_t command, const QByteArray& params, Session& session) override;
    void OnRawWord(const QByteArray& word, Session& session) override;

private:
    QByteArray m_binary;
    QByteArray m_text;
    QByteArray m_rawBlock;
    int m_divider = 208;
    std::vector<int> m_dividers;
    bool m_refuseBaud = false;
    int m_polls = 0;
    QByteArray m_address;
};

} // namespace Sim
