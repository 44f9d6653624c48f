#pragma once
#include <cstddef>
#include <cstdint>

// A CRC-32 with any reflected polynomial, start value and final XOR. The running value
// carries over between Update calls, so a long input may be fed in pieces; only
// SetParameters starts again.
class CCrc32Engine
{
public:
    static constexpr uint32_t kStandardPolynomial = 0xEDB88320u;

    // The standard CRC-32: polynomial 0xEDB88320, start and final XOR 0xFFFFFFFF.
    CCrc32Engine();
    CCrc32Engine(uint32_t polynomial, uint32_t start, uint32_t finalXor);
    ~CCrc32Engine();
    CCrc32Engine(const CCrc32Engine&) = delete;
    CCrc32Engine& operator=(const CCrc32Engine&) = delete;

    // Polynomial 0 selects the standard parameters. False (engine unchanged) when the
    // table could not be made.
    bool SetParameters(uint32_t polynomial, uint32_t start, uint32_t finalXor);
    // Feeds bytes; returns the running value XOR the final XOR (0 without a table).
    uint32_t Update(const void* data, size_t length);

    uint32_t GetPolynomial() const { return m_polynomial; }
    const uint32_t* GetTable() const { return m_table; }

private:
    void ReleaseTable();

    uint32_t m_polynomial = 0;
    uint32_t m_finalXor = 0;
    uint32_t m_running = 0;
    const uint32_t* m_table = nullptr;
};
