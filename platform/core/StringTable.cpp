#include "platform/core/StringTable.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <algorithm>

namespace Platform
{

namespace
{
struct Placeholders
{
    QStringList printfStyle; // in order
    QList<int> numbered;     // sorted

    bool operator==(const Placeholders&) const = default;
};

bool IsDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// The length of the printf conversion at text[at] (the '%'), 0 when there is none: flags,
// width, precision and length modifier, then the conversion letter.
qsizetype PrintfLength(const QString& text, qsizetype at)
{
    qsizetype i = at + 1;
    const auto skip = [&](auto accept)
    {
        while (i < text.size() && accept(text.at(i)))
            ++i;
    };
    skip([](QChar c) { return QStringView(u"-+ #0").contains(c); });
    skip(IsDigit);
    if (i < text.size() && text.at(i) == QLatin1Char('.'))
    {
        ++i;
        skip(IsDigit);
    }
    skip([](QChar c) { return QStringView(u"hlLqjzt").contains(c); });
    if (i < text.size() && QStringView(u"diouxXeEfFgGaAcCsSpn").contains(text.at(i)))
        return i + 1 - at;
    return 0;
}

Placeholders PlaceholdersOf(const QString& text)
{
    Placeholders found;
    for (qsizetype i = 0; i + 1 < text.size(); ++i)
    {
        if (text.at(i) != QLatin1Char('%'))
            continue;
        if (text.at(i + 1) == QLatin1Char('%'))
        {
            ++i;
            continue;
        }
        if (const qsizetype length = PrintfLength(text, i))
        {
            found.printfStyle.append(text.mid(i, length));
            i += length - 1;
        }
        else if (IsDigit(text.at(i + 1)) && text.at(i + 1) != QLatin1Char('0'))
        {
            // QString::arg takes one or two digits.
            int number = text.at(i + 1).digitValue();
            ++i;
            if (i + 1 < text.size() && IsDigit(text.at(i + 1)))
            {
                number = number * 10 + text.at(i + 1).digitValue();
                ++i;
            }
            found.numbered.append(number);
        }
    }
    std::sort(found.numbered.begin(), found.numbered.end());
    return found;
}
} // namespace

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

int StringTable::ApplyPack(const QByteArray& table)
{
    const QJsonObject texts = QJsonDocument::fromJson(table).object();
    std::lock_guard guard(m_lock);
    int taken = 0;
    for (auto it = texts.begin(); it != texts.end(); ++it)
    {
        bool ok = false;
        const uint32_t id = it.key().toUInt(&ok);
        if (!ok || !it.value().isString())
            continue;
        const QString text = it.value().toString();
        if (!HasSamePlaceholders(text, m_texts.value(id)))
            continue;
        m_texts.insert(id, text);
        ++taken;
    }
    return taken;
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

bool HasSamePlaceholders(const QString& text, const QString& reference)
{
    return PlaceholdersOf(text) == PlaceholdersOf(reference);
}

} // namespace Platform
