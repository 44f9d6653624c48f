#include "platform/core/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <cstdlib>

namespace Platform
{

namespace
{
constexpr int kFormat = 1;
}

QString SettingsStore::DefaultFilePath()
{
    QString dir = qEnvironmentVariable("VESKADOR_CONFIG_DIR");
    if (dir.isEmpty())
    {
        QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
        if (base.isEmpty())
            base = QDir::homePath() + QStringLiteral("/.config");
        dir = base + QStringLiteral("/Velmor");
    }
    return dir + QStringLiteral("/registry.json");
}

SettingsStore& SettingsStore::Instance()
{
    static SettingsStore store(DefaultFilePath());
    return store;
}

SettingsStore::SettingsStore(QString filePath) : m_path(std::move(filePath))
{
    std::lock_guard guard(m_lock);
    LoadLocked();
}

SettingsStore::SettingsStore(InMemory, QByteArray fileBytes)
    : m_inMemory(true), m_memoryFile(std::move(fileBytes))
{
    std::lock_guard guard(m_lock);
    LoadLocked();
}

QByteArray SettingsStore::FileBytes() const
{
    std::lock_guard guard(m_lock);
    return m_memoryFile;
}

QString SettingsStore::Normalize(const QString& key)
{
    const QStringList parts = key.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    return parts.join(QLatin1Char('\\'));
}

bool SettingsStore::KeyExists(const QString& key) const
{
    std::lock_guard guard(m_lock);
    return m_keys.contains(Normalize(key).toLower());
}

bool SettingsStore::CreateKey(const QString& key)
{
    const QString path = Normalize(key);
    if (path.isEmpty())
        return false;
    std::lock_guard guard(m_lock);
    const auto saved = m_keys;
    const QStringList parts = path.split(QLatin1Char('\\'));
    QString prefix;
    bool added = false;
    for (const QString& part : parts)
    {
        prefix = prefix.isEmpty() ? part : prefix + QLatin1Char('\\') + part;
        const QString id = prefix.toLower();
        if (!m_keys.contains(id))
        {
            m_keys.insert(id, Key{prefix, {}});
            added = true;
        }
    }
    if (added && !SaveLocked())
    {
        m_keys = saved;
        return false;
    }
    return true;
}

bool SettingsStore::DeleteKey(const QString& key)
{
    const QString id = Normalize(key).toLower();
    std::lock_guard guard(m_lock);
    if (!m_keys.contains(id))
        return false;
    const auto saved = m_keys;
    const QString childPrefix = id + QLatin1Char('\\');
    for (auto it = m_keys.begin(); it != m_keys.end();)
    {
        if (it.key() == id || it.key().startsWith(childPrefix))
            it = m_keys.erase(it);
        else
            ++it;
    }
    if (!SaveLocked())
    {
        m_keys = saved;
        return false;
    }
    return true;
}

std::optional<SettingsStore::Value> SettingsStore::Read(const QString& key, const QString& name) const
{
    std::lock_guard guard(m_lock);
    const auto k = m_keys.constFind(Normalize(key).toLower());
    if (k == m_keys.constEnd())
        return std::nullopt;
    const auto v = k->values.constFind(name.toLower());
    if (v == k->values.constEnd())
        return std::nullopt;
    return v->value;
}

std::optional<QString> SettingsStore::ReadString(const QString& key, const QString& name) const
{
    const auto v = Read(key, name);
    if (v && std::holds_alternative<QString>(*v))
        return std::get<QString>(*v);
    return std::nullopt;
}

std::optional<uint32_t> SettingsStore::ReadNumber(const QString& key, const QString& name) const
{
    const auto v = Read(key, name);
    if (v && std::holds_alternative<uint32_t>(*v))
        return std::get<uint32_t>(*v);
    return std::nullopt;
}

std::optional<QByteArray> SettingsStore::ReadBinary(const QString& key, const QString& name) const
{
    const auto v = Read(key, name);
    if (v && std::holds_alternative<QByteArray>(*v))
        return std::get<QByteArray>(*v);
    return std::nullopt;
}

bool SettingsStore::Write(const QString& key, const QString& name, const Value& value)
{
    std::lock_guard guard(m_lock);
    const auto k = m_keys.find(Normalize(key).toLower());
    if (k == m_keys.end())
        return false;
    const auto saved = m_keys;
    k->values.insert(name.toLower(), Entry{name, value});
    if (!SaveLocked())
    {
        m_keys = saved;
        return false;
    }
    return true;
}

bool SettingsStore::DeleteValue(const QString& key, const QString& name)
{
    std::lock_guard guard(m_lock);
    const auto k = m_keys.find(Normalize(key).toLower());
    if (k == m_keys.end() || !k->values.contains(name.toLower()))
        return false;
    const auto saved = m_keys;
    k->values.remove(name.toLower());
    if (!SaveLocked())
    {
        m_keys = saved;
        return false;
    }
    return true;
}

QStringList SettingsStore::ValueNames(const QString& key) const
{
    std::lock_guard guard(m_lock);
    QStringList names;
    const auto k = m_keys.constFind(Normalize(key).toLower());
    if (k != m_keys.constEnd())
        for (const Entry& e : k->values)
            names.append(e.name);
    return names;
}

void SettingsStore::Reload()
{
    std::lock_guard guard(m_lock);
    m_keys.clear();
    LoadLocked();
}

void SettingsStore::LoadLocked()
{
    if (m_inMemory)
    {
        ParseLocked(m_memoryFile);
        return;
    }
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = file.readAll();
    file.close();
    if (!ParseLocked(bytes))
    {
        // Keep the unreadable file for the user instead of overwriting it on the next save.
        QFile::remove(m_path + QStringLiteral(".bad"));
        QFile::rename(m_path, m_path + QStringLiteral(".bad"));
    }
}

bool SettingsStore::ParseLocked(const QByteArray& bytes)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return false;
    for (const QJsonValue& kv : doc.object().value(QStringLiteral("keys")).toArray())
    {
        const QJsonObject ko = kv.toObject();
        const QString path = Normalize(ko.value(QStringLiteral("key")).toString());
        if (path.isEmpty())
            continue;
        Key key{path, {}};
        for (const QJsonValue& vv : ko.value(QStringLiteral("values")).toArray())
        {
            const QJsonObject vo = vv.toObject();
            const QString name = vo.value(QStringLiteral("name")).toString();
            const QString type = vo.value(QStringLiteral("type")).toString();
            const QJsonValue data = vo.value(QStringLiteral("data"));
            if (type == QLatin1String("string"))
                key.values.insert(name.toLower(), Entry{name, data.toString()});
            else if (type == QLatin1String("number"))
                key.values.insert(name.toLower(),
                                  Entry{name, static_cast<uint32_t>(data.toInteger() & 0xFFFFFFFFu)});
            else if (type == QLatin1String("binary"))
                key.values.insert(name.toLower(),
                                  Entry{name, QByteArray::fromHex(data.toString().toLatin1())});
        }
        m_keys.insert(path.toLower(), key);
    }
    return true;
}

QByteArray SettingsStore::SerializeLocked() const
{
    QJsonArray keys;
    for (const Key& key : m_keys)
    {
        QJsonArray values;
        for (const Entry& e : key.values)
        {
            QJsonObject vo;
            vo.insert(QStringLiteral("name"), e.name);
            if (const auto* s = std::get_if<QString>(&e.value))
            {
                vo.insert(QStringLiteral("type"), QStringLiteral("string"));
                vo.insert(QStringLiteral("data"), *s);
            }
            else if (const auto* n = std::get_if<uint32_t>(&e.value))
            {
                vo.insert(QStringLiteral("type"), QStringLiteral("number"));
                vo.insert(QStringLiteral("data"), static_cast<qint64>(*n));
            }
            else
            {
                vo.insert(QStringLiteral("type"), QStringLiteral("binary"));
                vo.insert(QStringLiteral("data"),
                          QString::fromLatin1(std::get<QByteArray>(e.value).toHex()));
            }
            values.append(vo);
        }
        QJsonObject ko;
        ko.insert(QStringLiteral("key"), key.path);
        ko.insert(QStringLiteral("values"), values);
        keys.append(ko);
    }
    QJsonObject root;
    root.insert(QStringLiteral("format"), kFormat);
    root.insert(QStringLiteral("keys"), keys);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

bool SettingsStore::SaveLocked() const
{
    const QByteArray bytes = SerializeLocked();
    if (m_inMemory)
    {
        m_memoryFile = bytes;
        return true;
    }
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    // QSaveFile writes a temporary file beside the target and renames it on commit.
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size())
    {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace Platform
