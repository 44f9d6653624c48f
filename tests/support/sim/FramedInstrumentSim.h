#pragma once
#include "tests/support/sim/FrameEngine.h"

#include <QByteArray>

#include <map>
#include <mutex>
#include <set>
#include <vector>

namespace Sim
{

// An instrument with the framed bootloader: identification and the other text commands,
// the device code (0xF1), operation modes (0xF4) and the bootloader frames of 0xF8 (the
// 128-byte header block, data in one frame or in blocks, each with the check value the
// instrument expects, and programming). Long frames (0xC1, command, a fixed number of
// parameter bytes per command) and a few instrument commands complete it.
class FramedInstrumentSim : public Profile
{
public:
    struct Config
    {
        QByteArray idAnswer;
        QByteArray shortId;
        QByteArray powerAnswer;
        QByteArray loginAnswer = "Admin;6";
        uint32_t deviceCode = 0;
        int checkBytes = 4;                  // 2: CRC-16/ARC, 4: CRC-32 on header and data
        uint32_t switchMs = 30;              // what the instrument announces for a mode switch
        uint32_t programMs = 20;             // programming duration it announces
        std::map<uint8_t, int> longCommands; // parameter count of commands in long frames
        uint8_t longAnswer = 0;
        QByteArray rawRead;     // the answer to 0xD0 '0' (sent without frame)
        int failDataFrames = 0; // data frames answered with 0x01 before one is taken
        bool refuseHeader = false;
    };

    explicit FramedInstrumentSim(const Config& config);
    ~FramedInstrumentSim() override;

    FrameEngine& Engine() { return m_engine; }
    void SetConfig(const Config& config);

    int Mode() const;
    std::vector<int> ModeSwitches() const;
    int HeadersReceived() const;
    QByteArray HeaderBlock() const;
    // Everything received in data frames, in order, and the frame sizes.
    QByteArray Data() const;
    std::vector<int> FrameSizes() const;
    int Programmed() const;
    int BadChecks() const;
    // Long frames as [command, parameters].
    std::vector<QByteArray> LongFrames() const;

    void OnText(const QByteArray& command, Session& session) override;
    BinaryReply OnBinary(uint8_t command, const QByteArray& params, Session& session) override;

private:
    BinaryReply Bootloader(const QByteArray& params, Session& session);
    bool CheckOk(const QByteArray& data, const QByteArray& check) const;

    mutable std::mutex m_lock;
    Config m_config;
    int m_mode = 12;
    std::vector<int> m_switches;
    int m_headers = 0;
    QByteArray m_header;
    QByteArray m_data;
    std::vector<int> m_frames;
    int m_programmed = 0;
    int m_badChecks = 0;
    std::vector<QByteArray> m_long;
    FrameEngine m_engine; // last: stops before the state above goes away
};

} // namespace Sim
