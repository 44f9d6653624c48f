#include "streamio/Crc32Engine.h"

#include "streamio/Checksum.h"
#include "streamio/CrcTableCache.h"

CCrc32Engine::CCrc32Engine()
{
    SetParameters(0, 0, 0);
}

CCrc32Engine::CCrc32Engine(uint32_t polynomial, uint32_t start, uint32_t finalXor)
{
    SetParameters(polynomial, start, finalXor);
}

CCrc32Engine::~CCrc32Engine()
{
    ReleaseTable();
}

void CCrc32Engine::ReleaseTable()
{
    if (m_polynomial != 0 && m_polynomial != kStandardPolynomial)
        CCrcTableCache::Instance().Release(m_polynomial);
    m_polynomial = 0;
    m_table = nullptr;
}

bool CCrc32Engine::SetParameters(uint32_t polynomial, uint32_t start, uint32_t finalXor)
{
    if (polynomial == 0)
    {
        polynomial = kStandardPolynomial;
        start = 0xFFFFFFFFu;
        finalXor = 0xFFFFFFFFu;
    }
    const uint32_t* table = GetCrc32Table();
    if (polynomial != kStandardPolynomial)
    {
        // Acquire before releasing the old table: the same polynomial keeps its table.
        table = CCrcTableCache::Instance().Acquire(polynomial);
        if (table == nullptr)
            return false;
    }
    ReleaseTable();
    m_polynomial = polynomial;
    m_table = table;
    m_running = start;
    m_finalXor = finalXor;
    return true;
}

uint32_t CCrc32Engine::Update(const void* data, size_t length)
{
    if (m_table == nullptr)
        return 0;
    // Crc32 takes the fast path for the built-in table and steps through any other.
    if (data != nullptr && length != 0)
        m_running = Crc32(data, length, m_running, m_table);
    return m_running ^ m_finalXor;
}
