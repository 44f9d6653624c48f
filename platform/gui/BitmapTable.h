#pragma once
#include <QHash>
#include <QImage>

#include <cstdint>
#include <mutex>

namespace Platform
{

// The program's bitmap resources by id. The application fills it with the built-in
// pictures; a language pack may replace entries by id. Any thread may read it.
class BitmapTable
{
public:
    static BitmapTable& Instance();

    void Set(uint32_t id, const QImage& image);
    void Remove(uint32_t id);
    // A null image when the id is unknown.
    QImage Get(uint32_t id) const;
    bool Contains(uint32_t id) const;

private:
    mutable std::mutex m_lock;
    QHash<uint32_t, QImage> m_images;
};

} // namespace Platform
