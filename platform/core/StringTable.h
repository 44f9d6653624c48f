#pragma once
#include <QByteArray>
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
    // Puts a language pack's texts over the ones the table holds. `table` is the pack's
    // string table, a JSON object of string id -> text. A text whose placeholders are not
    // those of the text it would replace is left out, so the built-in one stays: the
    // program fills a text's placeholders as the built-in text has them. Returns the
    // number of texts taken.
    int ApplyPack(const QByteArray& table);
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

// Whether a text has the placeholders of another: the printf-style ones ("%s", "%d",
// "%.0s", "%-5.2f", ...) the same and in the same order, the numbered ones ("%1" to "%99")
// the same in any order. "%%" is a percent sign, not a placeholder.
bool HasSamePlaceholders(const QString& text, const QString& reference);

} // namespace Platform
