#include "streamio/ProbeReport.h"

#include "streamio/IoStream.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <exception>
#include <thread>

namespace StreamIO
{

uint32_t ProbePayloadRest::Take(uint8_t* out, uint32_t n)
{
    const auto count =
        static_cast<uint32_t>(std::min<size_t>(n, m_bytes.size() - std::min(m_pos, m_bytes.size())));
    if (count)
        std::memcpy(out, m_bytes.data() + m_pos, count);
    m_pos += count;
    if (Empty())
        Clear();
    return count;
}

void DiscardByReading(CIoStream& stream)
{
    // More than a probe holds in all its queues.
    constexpr int kMaxBytes = 65536;
    uint32_t readMs = 0;
    uint32_t writeMs = 0;
    stream.GetTimeouts(readMs, writeMs);
    stream.SetTimeouts(0, 0);
    try
    {
        uint8_t byte = 0;
        for (int i = 0; i < kMaxBytes && stream.Read(&byte, 1) == 1; ++i)
        {
        }
    }
    catch (const std::exception&)
    {
        // Whatever failed, there is nothing left to discard.
    }
    stream.SetTimeouts(readMs, writeMs);
}

void ProbePollSleep(uint32_t ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace StreamIO
