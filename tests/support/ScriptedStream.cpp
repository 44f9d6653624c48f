#include "tests/support/ScriptedStream.h"

#include "platform/core/ErrorCodes.h"

#include <algorithm>
#include <cstring>

ScriptedStream::ScriptedStream(const QString& name) : CIoStream(name)
{
}

ScriptedStream::~ScriptedStream() = default;

void ScriptedStream::Expect(const QByteArray& expected, const QByteArray& reply)
{
    m_steps.append({expected, reply});
}

void ScriptedStream::Feed(const QByteArray& bytes)
{
    m_input += bytes;
}

bool ScriptedStream::Open(const QString& name, uint32_t openFlags)
{
    ClearError();
    if (m_open)
    {
        SetError(Err::NotSupported);
        return false;
    }
    SetName(name);
    SetOpenFlags(openFlags);
    m_open = true;
    return true;
}

void ScriptedStream::Close()
{
    ClearError();
    m_open = false;
    ++m_closes;
}

void ScriptedStream::DiscardInput()
{
    ClearError();
    m_input.clear();
    ++m_discards;
}

bool ScriptedStream::GetTimeouts(uint32_t& readMs, uint32_t& writeMs)
{
    ClearError();
    readMs = m_readMs;
    writeMs = m_writeMs;
    return true;
}

bool ScriptedStream::SetTimeouts(uint32_t readMs, uint32_t writeMs)
{
    ClearError();
    if (m_timeoutsFail)
    {
        SetError(Err::NotSupported);
        return false;
    }
    m_readMs = readMs;
    m_writeMs = writeMs;
    m_timeouts.emplace_back(readMs, writeMs);
    return true;
}

uint32_t ScriptedStream::Read(void* buffer, uint32_t n)
{
    ClearError();
    if (m_readsThrow)
        Raise(Err::ReadFault);
    const uint32_t count = std::min<uint32_t>(n, uint32_t(m_input.size()));
    std::memcpy(buffer, m_input.constData(), count);
    m_input.remove(0, count);
    if (count == 0 && n > 0)
        SetError(Err::Timeout);
    return count;
}

uint32_t ScriptedStream::Write(const void* data, uint32_t n)
{
    ClearError();
    const QByteArray bytes(static_cast<const char*>(data), qsizetype(n));
    m_written += bytes;
    m_pending += bytes;
    Match();
    return n;
}

void ScriptedStream::Match()
{
    while (m_mismatch.isEmpty() && !m_pending.isEmpty())
    {
        if (m_next >= m_steps.size())
        {
            m_mismatch = QStringLiteral("unexpected write %1").arg(QString::fromLatin1(m_pending.toHex(' ')));
            return;
        }
        const Step& step = m_steps.at(m_next);
        const qsizetype n = std::min(step.expected.size(), m_pending.size());
        if (m_pending.left(n) != step.expected.left(n))
        {
            m_mismatch = QStringLiteral("step %1: expected %2, got %3")
                             .arg(m_next)
                             .arg(QString::fromLatin1(step.expected.toHex(' ')),
                                  QString::fromLatin1(m_pending.toHex(' ')));
            return;
        }
        if (m_pending.size() < step.expected.size())
            return;
        m_pending.remove(0, step.expected.size());
        m_input += step.reply;
        ++m_next;
    }
}
