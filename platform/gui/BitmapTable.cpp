#include "platform/gui/BitmapTable.h"

namespace Platform
{

BitmapTable& BitmapTable::Instance()
{
    static BitmapTable table;
    return table;
}

void BitmapTable::Set(uint32_t id, const QImage& image)
{
    std::lock_guard g(m_lock);
    m_images.insert(id, image);
}

void BitmapTable::Remove(uint32_t id)
{
    std::lock_guard g(m_lock);
    m_images.remove(id);
}

QImage BitmapTable::Get(uint32_t id) const
{
    std::lock_guard g(m_lock);
    return m_images.value(id);
}

bool BitmapTable::Contains(uint32_t id) const
{
    std::lock_guard g(m_lock);
    return m_images.contains(id);
}

} // namespace Platform
