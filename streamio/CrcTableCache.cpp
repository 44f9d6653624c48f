#include "streamio/CrcTableCache.h"

#include <algorithm>
#include <new>

CCrcTableCache& CCrcTableCache::Instance()
{
    // Never destroyed: engines in static objects release their tables after main returns.
    static CCrcTableCache* cache = new CCrcTableCache;
    return *cache;
}

const uint32_t* CCrcTableCache::Acquire(uint32_t polynomial)
{
    std::lock_guard guard(m_lock);
    for (const auto& node : m_inUse)
    {
        if (node->polynomial == polynomial)
        {
            ++node->references;
            return node->table;
        }
    }
    std::unique_ptr<Node> node;
    auto released = std::find_if(m_released.begin(), m_released.end(),
                                 [polynomial](const auto& n) { return n->polynomial == polynomial; });
    try
    {
        if (released != m_released.end())
        {
            node = std::move(*released);
            m_released.erase(released);
        }
        else
        {
            node.reset(new Node);
            node->polynomial = polynomial;
            for (uint32_t i = 0; i < 256; ++i)
            {
                uint32_t value = i;
                for (int bit = 0; bit < 8; ++bit)
                    value = (value & 1) ? (value >> 1) ^ polynomial : value >> 1;
                node->table[i] = value;
            }
        }
        node->references = 1;
        m_inUse.push_back(std::move(node));
    }
    catch (const std::bad_alloc&)
    {
        return nullptr;
    }
    return m_inUse.back()->table;
}

void CCrcTableCache::Release(uint32_t polynomial)
{
    std::lock_guard guard(m_lock);
    auto it = std::find_if(m_inUse.begin(), m_inUse.end(),
                           [polynomial](const auto& n) { return n->polynomial == polynomial; });
    if (it == m_inUse.end() || --(*it)->references > 0)
        return;
    std::unique_ptr<Node> node = std::move(*it);
    m_inUse.erase(it);
    if (m_released.size() >= kMaxReleased)
        m_released.erase(m_released.begin());
    m_released.push_back(std::move(node));
}

std::vector<uint32_t> CCrcTableCache::ReleasedPolynomials() const
{
    std::lock_guard guard(m_lock);
    std::vector<uint32_t> result;
    for (const auto& node : m_released)
        result.push_back(node->polynomial);
    return result;
}
