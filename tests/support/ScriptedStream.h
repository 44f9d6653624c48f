#pragma once
#include "streamio/IoStream.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <utility>
#include <vector>

// A stream that plays a device by script, for byte-exact transcripts: each step expects
// the program to write certain bytes and then makes the device's reply readable. Reads
// never wait: what has not been released by a matching write is simply not there (a
// read then returns 0 and records a time-out, as a quiet line would). Everything written
// is kept, and the first write that departs from the script is recorded.
class ScriptedStream : public StreamIO::CIoStream
{
public:
    explicit ScriptedStream(const QString& name = QStringLiteral("\\\\.\\COM9"));
    ~ScriptedStream() override;

    // After the program wrote `expected`, `reply` becomes readable.
    void Expect(const QByteArray& expected, const QByteArray& reply = {});
    // Makes bytes readable now (stale input, or a reply that needs no request).
    void Feed(const QByteArray& bytes);

    // Everything the program wrote, in order.
    const QByteArray& Written() const { return m_written; }
    // Empty while the program kept to the script; else what went wrong.
    const QString& Mismatch() const { return m_mismatch; }
    // True when every expected step has been written.
    bool Done() const { return m_next == m_steps.size(); }
    // Unread reply bytes.
    qsizetype Pending() const { return m_input.size(); }
    int Discards() const { return m_discards; }
    int Closes() const { return m_closes; }
    const std::vector<std::pair<uint32_t, uint32_t>>& TimeoutHistory() const { return m_timeouts; }
    uint32_t ReadTimeout() const { return m_readMs; }

    void SetBytesPerSecond(uint32_t bps) { m_bps = bps; }
    void SetTimeoutsFail(bool fail) { m_timeoutsFail = fail; }
    // Reads raise a stream exception from now on.
    void SetReadsThrow(bool raise) { m_readsThrow = raise; }

    bool Open(const QString& name, uint32_t openFlags) override;
    void Close() override;
    bool IsOpen() const override { return m_open; }
    void DiscardInput() override;
    uint32_t GetBytesPerSecond() override { return m_bps; }
    bool GetTimeouts(uint32_t& readMs, uint32_t& writeMs) override;
    bool SetTimeouts(uint32_t readMs, uint32_t writeMs) override;
    bool CancelPending() override { return true; }
    uint32_t Read(void* buffer, uint32_t n) override;
    uint32_t Write(const void* data, uint32_t n) override;

private:
    void Match();

    struct Step
    {
        QByteArray expected;
        QByteArray reply;
    };
    QList<Step> m_steps;
    qsizetype m_next = 0;
    QByteArray m_pending; // written, not yet matched
    QByteArray m_written;
    QByteArray m_input;
    QString m_mismatch;
    bool m_open = true;
    int m_discards = 0;
    int m_closes = 0;
    uint32_t m_bps = 0;
    bool m_timeoutsFail = false;
    bool m_readsThrow = false;
    uint32_t m_readMs = 500;
    uint32_t m_writeMs = 10;
    std::vector<std::pair<uint32_t, uint32_t>> m_timeouts;
};
