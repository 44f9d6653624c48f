#pragma once
#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <mutex>
#include <optional>
#include <variant>

namespace Platform
{

// The user's settings, in place of the registry: keys with backslash paths, values
// that are strings, 32-bit numbers or binary blobs (kept apart: a number never reads
// as a string). Key and value names compare without regard to case. Every change is
// written through at once to a JSON file that is replaced atomically, so a crash
// leaves either the old or the new file, never a torn one.
class SettingsStore
{
public:
    using Value = std::variant<QString, uint32_t, QByteArray>;

    // The process-wide store: $VESKADOR_CONFIG_DIR, else $XDG_CONFIG_HOME/Velmor,
    // else ~/.config/Velmor; the file is "registry.json" there.
    static SettingsStore& Instance();
    static QString DefaultFilePath();

    explicit SettingsStore(QString filePath);

    // A store whose file lives in memory, begun with the given file contents: it reads and
    // writes them as a store on disk reads and writes its file, and touches no disk.
    struct InMemory
    {
    };
    SettingsStore(InMemory, QByteArray fileBytes);
    // The file contents of an in-memory store (empty for a store on disk).
    QByteArray FileBytes() const;

    QString FilePath() const { return m_path; }

    bool KeyExists(const QString& key) const;
    // Creates the key and its parents; true when it exists afterwards.
    bool CreateKey(const QString& key);
    // Removes the key, its values and its subkeys; false when it did not exist.
    bool DeleteKey(const QString& key);

    // Missing value: nullopt. The typed readers also give nullopt for another type.
    std::optional<Value> Read(const QString& key, const QString& name) const;
    std::optional<QString> ReadString(const QString& key, const QString& name) const;
    std::optional<uint32_t> ReadNumber(const QString& key, const QString& name) const;
    std::optional<QByteArray> ReadBinary(const QString& key, const QString& name) const;

    // The key must exist. False when it does not or the file could not be written;
    // then the store is unchanged.
    bool Write(const QString& key, const QString& name, const Value& value);
    bool DeleteValue(const QString& key, const QString& name);
    QStringList ValueNames(const QString& key) const;

    // Drops what is in memory and reads the file again.
    void Reload();

private:
    struct Entry
    {
        QString name;
        Value value;
    };
    struct Key
    {
        QString path;
        QMap<QString, Entry> values; // by lower-case name
    };

    static QString Normalize(const QString& key);
    void LoadLocked();
    // False, nothing loaded, when the bytes are not a settings file.
    bool ParseLocked(const QByteArray& bytes);
    bool SaveLocked() const;
    QByteArray SerializeLocked() const;

    QString m_path;
    const bool m_inMemory = false;
    mutable QByteArray m_memoryFile;
    mutable std::mutex m_lock;
    QMap<QString, Key> m_keys; // by lower-case normalised path
};

} // namespace Platform
