#pragma once
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

// The CRC-32 tables of polynomials other than the standard one, computed on demand and
// shared while any engine uses them. Up to four released tables stay for reuse, so a
// polynomial used again soon is not computed again. Any thread may use it.
class CCrcTableCache
{
public:
    static constexpr size_t kMaxReleased = 4;

    static CCrcTableCache& Instance();

    // The table of a reflected polynomial with one more reference; null when memory ran out.
    const uint32_t* Acquire(uint32_t polynomial);
    // Drops one reference; the last one moves the table to the released list.
    void Release(uint32_t polynomial);

    // Polynomials of the released tables, oldest first.
    std::vector<uint32_t> ReleasedPolynomials() const;

private:
    struct Node
    {
        uint32_t polynomial;
        uint32_t references;
        uint32_t table[256];
    };

    mutable std::mutex m_lock;
    std::vector<std::unique_ptr<Node>> m_inUse;
    std::vector<std::unique_ptr<Node>> m_released; // oldest first
};
