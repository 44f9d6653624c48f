#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace StreamIO
{
class CIoStream;

// What the two probe channels share: the part of a report's payload that a caller has
// not taken yet. It lives apart from the report buffers, which the next poll
// overwrites, so a later Read continues exactly where the last one stopped.
class ProbePayloadRest
{
public:
    bool Empty() const { return m_pos >= m_bytes.size(); }
    void Clear()
    {
        m_bytes.clear();
        m_pos = 0;
    }
    void Keep(const uint8_t* bytes, size_t count)
    {
        m_bytes.assign(bytes, bytes + count);
        m_pos = 0;
    }
    // Copies up to n bytes; returns how many.
    uint32_t Take(uint8_t* out, uint32_t n);

private:
    std::vector<uint8_t> m_bytes;
    size_t m_pos = 0;
};

// Reads single bytes with both time-outs at 0 until none comes, then restores the
// time-outs; a failure ends it quietly. Bounded, so a probe that never stops talking
// cannot hold the caller.
void DiscardByReading(CIoStream& stream);

// Sleeps ms milliseconds.
void ProbePollSleep(uint32_t ms);

} // namespace StreamIO
