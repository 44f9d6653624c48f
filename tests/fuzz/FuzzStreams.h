#pragma once
#include "platform/core/CancelToken.h"
#include "platform/core/ErrorCodes.h"
#include "streamio/IoStream.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

// Streams that fuzz targets play devices and files with.
namespace Fuzz
{

// Everything the device answers, whatever the program wrote; optionally seekable, as a
// package file is.
class ReplyStream : public StreamIO::CIoStream
{
public:
    ReplyStream(const uint8_t* data, size_t size, bool seekable = false)
        : m_data(data), m_size(size), m_seekable(seekable)
    {
    }
    bool Open(const QString&, uint32_t) override { return true; }
    void Close() override { m_open = false; }
    bool IsOpen() const override { return m_open; }
    bool Reopen() override
    {
        m_open = true;
        return true;
    }
    bool GetTimeouts(uint32_t& r, uint32_t& w) override
    {
        r = w = 100;
        return true;
    }
    bool SetTimeouts(uint32_t, uint32_t) override { return true; }
    bool IsSeekable() const override { return m_seekable; }
    uint32_t GetLength() override { return uint32_t(m_size); }
    uint32_t GetPosition() override { return uint32_t(m_pos); }
    uint32_t Seek(int32_t offset, uint32_t origin) override
    {
        const int64_t base = origin == StreamIO::STREAM_SEEK_BEGIN ? 0
                             : origin == StreamIO::STREAM_SEEK_END ? int64_t(m_size)
                                                                   : int64_t(m_pos);
        m_pos = size_t(std::clamp<int64_t>(base + offset, 0, int64_t(m_size)));
        return uint32_t(m_pos);
    }
    uint32_t SetPosition(uint32_t offset) override
    {
        return Seek(int32_t(offset), StreamIO::STREAM_SEEK_BEGIN);
    }
    uint32_t Read(void* buffer, uint32_t n) override
    {
        ClearError();
        const size_t count = std::min<size_t>(n, m_size - m_pos);
        std::memcpy(buffer, m_data + m_pos, count);
        m_pos += count;
        if (count < n)
            SetError(Err::Timeout);
        if (m_pos >= m_size)
            m_exhausted.Cancel();
        return uint32_t(count);
    }
    uint32_t Write(const void*, uint32_t n) override { return n; }
    // Fired once the replies are used up: the waits that follow end as a user's abort
    // would end them. Until then they last as long as the program asks: targets that wait
    // link the virtual clock (VirtualClock.cpp), on which a wait costs no real time.
    void CancelWhenExhausted(const Platform::CancelToken& token) { m_exhausted = token; }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
    bool m_open = true;
    bool m_seekable;
    Platform::CancelToken m_exhausted;
};

// A device that accepts every S-record ('P') and every line; writes vanish.
class AcceptingStream : public StreamIO::CIoStream
{
public:
    bool Open(const QString&, uint32_t) override { return true; }
    void Close() override {}
    bool IsOpen() const override { return true; }
    uint32_t Read(void* buffer, uint32_t n) override
    {
        std::memset(buffer, 'P', n);
        return n;
    }
    uint32_t Write(const void*, uint32_t n) override { return n; }
};

} // namespace Fuzz
