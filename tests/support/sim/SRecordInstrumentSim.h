#pragma once
#include "tests/support/sim/FrameEngine.h"

#include <QByteArray>

#include <map>
#include <mutex>
#include <vector>

namespace Sim
{

// A serial instrument whose application answers "@ID@" and "ID", and whose bootloader
// is driven by control lines ("S" + letter + count 03 + two data bytes + check byte +
// CR LF) and takes firmware as S-record text, each record answered by 'P'. The entry
// command starts the bootloader; "SX" returns to the application. The programming
// state (0, 1, 2) follows the "SC" lines.
class SRecordInstrumentSim : public Profile
{
public:
    struct Config
    {
        QByteArray idAnswer; // the application's "@ID@" answer
        QByteArray shortId;  // the "ID" answer; empty: refused
        QByteArray bootInfo; // what the bootloader answers to "SI"
        uint8_t entryCommand = 0xD2;
        QByteArray entryParams = QByteArray(1, '\x01');
        bool programNeedsState2 = false; // records are refused unless in programming state 2
        int eraseDelayMs = 0;
        char infoAnswer = 'G'; // the answer to "SC030102F9"
        // "SX" leaves the bootloader only from programming state 2 (an instrument with two
        // regions closes the first one with it and stays).
        bool exitFromState2Only = false;
    };

    explicit SRecordInstrumentSim(const Config& config);
    ~SRecordInstrumentSim() override;

    FrameEngine& Engine() { return m_engine; }

    // Starts in the bootloader (the application does not answer).
    void StartInBootloader();
    bool InBootloader() const;
    int ProgrammingState() const;
    // Every control line received, as sent (without CR LF), and every 5-byte raw word.
    std::vector<QByteArray> Lines() const;
    std::vector<QByteArray> RawWords() const;
    int Erases() const;
    int BadLines() const;
    // Records accepted, and the bytes they wrote, by address.
    int Records() const;
    std::map<uint32_t, uint8_t> Memory() const;
    // Byte commands other than the entry command, as [command, parameters].
    std::vector<QByteArray> Commands() const;
    void SetInfoAnswer(char answer);

    void OnText(const QByteArray& command, Session& session) override;
    BinaryReply OnBinary(uint8_t command, const QByteArray& params, Session& session) override;
    bool OnOtherByte(uint8_t first, Session& session) override;

protected:
    // Byte commands of the application besides the entry command; the default refuses.
    virtual BinaryReply OnInstrumentCommand(uint8_t command, const QByteArray& params, Session& session);
    // Five-byte raw words (not S lines); the default records them.
    virtual void OnRawWord(const QByteArray& word, Session& session);
    void SetBootloader(bool on);

    mutable std::mutex m_lock;
    Config m_config;

private:
    void HandleControlLine(const QByteArray& line, Session& session);
    void HandleRecord(const QByteArray& record, Session& session);

    bool m_bootloader = false;
    int m_state = 0;
    int m_erases = 0;
    int m_badLines = 0;
    int m_records = 0;
    std::vector<QByteArray> m_lines;
    std::vector<QByteArray> m_rawWords;
    std::vector<QByteArray> m_commands;
    std::map<uint32_t, uint8_t> m_memory;

protected:
    FrameEngine m_engine; // last: stops before the state above goes away
};

// An S-record text: one S1 record per 16 bytes from the address, then S9.
QByteArray MakeSRecords(const QByteArray& data, uint16_t address);

} // namespace Sim
