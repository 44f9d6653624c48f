#pragma once
#include <QHash>
#include <QString>

#include <cstdint>
#include <mutex>

namespace Platform
{

// The user texts by id. The application fills it with the built-in English texts and
// replaces entries from a language pack; any thread may read it.
class StringTable
{
public:
    static StringTable& Instance();

    void Set(uint32_t id, const QString& text);
    void SetAll(const QHash<uint32_t, QString>& texts);
    // Empty when the id is unknown.
    QString Get(uint32_t id) const;
    bool Contains(uint32_t id) const;
    void Clear();

private:
    mutable std::mutex m_lock;
    QHash<uint32_t, QString> m_texts;
};

// Shorthand for StringTable::Instance().Get(id).
QString LoadString(uint32_t id);

} // namespace Platform
