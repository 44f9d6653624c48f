#include "platform/core/StringTable.h"

namespace Platform
{

StringTable& StringTable::Instance()
{
    static StringTable table;
    return table;
}

void StringTable::Set(uint32_t id, const QString& text)
{
    std::lock_guard guard(m_lock);
    m_texts.insert(id, text);
}

void StringTable::SetAll(const QHash<uint32_t, QString>& texts)
{
    std::lock_guard guard(m_lock);
    for (auto it = texts.begin(); it != texts.end(); ++it)
        m_texts.insert(it.key(), it.value());
}

QString StringTable::Get(uint32_t id) const
{
    std::lock_guard guard(m_lock);
    return m_texts.value(id);
}

bool StringTable::Contains(uint32_t id) const
{
    std::lock_guard guard(m_lock);
    return m_texts.contains(id);
}

void StringTable::Clear()
{
    std::lock_guard guard(m_lock);
    m_texts.clear();
}

QString LoadString(uint32_t id)
{
    return StringTable::Instance().Get(id);
}

} // namespace Platform
