#pragma once
#include "device/SiblingDevice.h"

namespace Device
{

// The instruments whose serial bootloader is driven by short control lines shaped like
// S-records ("SC030102F9\r\n": a command letter, a count, two data bytes and the one's
// complement check byte) and takes new firmware as S-record text, each record answered
// by 'P'. Some of them also keep a programming state (0 or 2) that the bootloader must
// be in before it programs.
class CSRecordDevice : public CSiblingDevice
{
public:
    struct SBootTraits
    {
        uint8_t entryCommand = 0xD2; // the byte command that starts the bootloader
        bool entryParameter = true;  // with the one parameter byte 0x01
        int entryLines = 5;          // "SC030000FC" lines that follow it
        uint32_t eraseTimeoutMs = 15000;
        bool programmingStates = false;
    };

    // The control lines, as sent.
    static constexpr const char* kLineInfoState = "SC030102F9\r\n";
    static constexpr const char* kLineEnter = "SC030000FC\r\n";
    static constexpr const char* kLineErase = "SE030000FC\r\n";
    static constexpr const char* kLineExit = "SX030000FC\r\n";
    static constexpr const char* kLineIdent = "SI030000FC\r\n";
    static constexpr const char* kLineState2 = "SC030202F8\r\n";
    static constexpr const char* kLineState0 = "SC030200FA\r\n";
    static constexpr const char* kLineState1To0 = "SC030100FB\r\n";
    // The bootloader's identification answer is read into this many bytes at most.
    static constexpr uint32_t kBootInfoSize = 66;

    CSRecordDevice(NTypes type, const STraits& traits, const SBootTraits& boot);

    bool ReadBootloaderInfo(QString& text) override;
    NError_code InitUpdate(const CPackageHeader& package) override;
    NError_code EnterUpdateMode(const CPackageHeader& package, const SBlockHeader& block) override;
    NError_code TransferBlock(const SBlockHeader& block) override;
    NError_code ProgramBlock(const SBlockHeader& block) override;
    NError_code LeaveUpdateMode(const CPackageHeader& package, const SBlockHeader& block) override;
    NError_code FinishUpdate() override;

    // Programming-state instruments: programming state 2, only while the bootloader runs.
    virtual bool EnterProgramming();

    uint8_t GetProgrammingState() const { return m_progState; }

    // A control line of command letter and two data bytes with its check byte.
    static QByteArray ControlLine(char letter, uint8_t first, uint8_t second);

protected:
    void OnApplicationAnswer() override;
    // Sends a control line; awaits the answer byte unless it is 0.
    bool SendLine(const char* line, char answer);
    // Reads the bootloader's identification answer (more than 3 bytes, text up to the
    // first zero byte).
    bool ReadBootAnswer(QString& text);
    // Starts the bootloader (the entry command and its lines); no-op when it runs.
    NError_code StartBootloader();
    // The base init step, then time-outs of at least 3000 ms and the bootloader.
    NError_code PrepareUpdate(const CPackageHeader& package);

    SBootTraits m_boot;
    uint8_t m_progState = 0;
};

} // namespace Device
