#pragma once
#include <QByteArray>
#include <QJsonObject>
#include <QMap>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <variant>
#include <vector>

namespace Platform
{

// The user's settings, in place of the registry: keys with backslash paths, values
// that are strings, 32-bit numbers or binary blobs (kept apart: a number never reads
// as a string). Key and value names compare without regard to case.
//
// Every change is one transaction on the file, as the registry changes one value: under
// a lock on "<file>.lock" the file is read again, only the changed value (or key) is put
// into what it holds, and the result is written to a temporary file that is synced and
// renamed over the file. Values another program window wrote in the meantime survive,
// and a crash leaves either the old or the new file, never a torn one. After a change the
// store holds what the file holds.
//
// A file that cannot be read as settings (no permission, a folder, not JSON, another
// layout) is damaged: the store runs on what the program puts in memory, reports the
// damage once, and leaves the file alone until a value is really changed; that change
// renames the damaged file to a numbered backup (never one that exists) and writes a new
// file. Values of a type this program does not know are kept in the file as they are.
//
// Thread-safe; a reporter is called on the calling thread with no lock held.
class SettingsStore
{
public:
    using Value = std::variant<QString, uint32_t, QByteArray>;

    // Why the file could not be read.
    struct Damage
    {
        QString file;
        QString reason;
        // Where the damaged file goes when a setting is changed.
        QString backup;
    };
    using DamageReporter = std::function<void(const Damage&)>;

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
    // Creates the key and its parents; true when it exists afterwards. While the file is
    // damaged the key exists in memory only, until a value is written.
    bool CreateKey(const QString& key);
    // Removes the key, its values and its subkeys; false when it did not exist.
    bool DeleteKey(const QString& key);

    // Missing value: nullopt. The typed readers also give nullopt for another type.
    std::optional<Value> Read(const QString& key, const QString& name) const;
    std::optional<QString> ReadString(const QString& key, const QString& name) const;
    std::optional<uint32_t> ReadNumber(const QString& key, const QString& name) const;
    std::optional<QByteArray> ReadBinary(const QString& key, const QString& name) const;

    // The key must exist. False when it does not or the file could not be written;
    // then the store and the file are unchanged (LastError says why).
    bool Write(const QString& key, const QString& name, const Value& value);
    // A value the program starts with where none is stored: written into the file only
    // where the file has none (or one of another type), and while the file is damaged kept in memory only, so
    // that starting the program never replaces the user's file.
    bool WriteDefault(const QString& key, const QString& name, const Value& value);
    // Changes a value from what the file holds now, in one transaction: change gets the
    // stored value (nullopt when there is none) and gives the value to write, or nullopt to
    // write nothing. A value that packs several settings keeps what another program window
    // stored in the parts this one does not change. The key must exist.
    using Update = std::function<std::optional<Value>(const std::optional<Value>& stored)>;
    bool Modify(const QString& key, const QString& name, const Update& change);
    // The value as the file holds it now, which another program window may have written
    // since this store last read the file; the store then holds what the file holds.
    std::optional<Value> ReadStored(const QString& key, const QString& name);
    bool DeleteValue(const QString& key, const QString& name);
    QStringList ValueNames(const QString& key) const;

    // Drops what is in memory and reads the file again.
    void Reload();

    // The file and the reason of the last failed change; empty after a change that worked.
    QString LastError() const;
    // The damage found and not reported yet goes to the reporter at once, later damage
    // when it is found; each damaged file is reported once.
    void SetDamageReporter(DamageReporter reporter);

private:
    struct Entry
    {
        QString name;
        // None for a value of a type this program does not know: kept as it was read.
        std::optional<Value> value;
        QJsonObject raw;
    };
    struct Key
    {
        QString path;
        QMap<QString, Entry> values; // by lower-case name
    };
    using Tree = QMap<QString, Key>; // by lower-case normalised path
    // A change to the file's keys; false when nothing needs writing.
    using Change = std::function<bool(Tree&)>;

    struct FileContents
    {
        Tree keys;
        bool damaged = false;
        QString reason;
    };

    static QString Normalize(const QString& key);
    // Adds the key and its missing parents; true when one was missing. Given a budget, the
    // characters of the paths added come out of it, and a key whose paths would take more
    // than is left is not added: the budget is then below zero.
    static bool AddKeyPath(Tree& keys, const QString& path, qsizetype* budget = nullptr);
    // No usable value of the default's type is there.
    static bool NeedsDefault(const QMap<QString, Entry>& values, const Entry& entry);
    // False with a reason when the bytes are not a settings file.
    static bool Parse(const QByteArray& bytes, Tree& keys, QString& reason);
    static QByteArray Serialize(const Tree& keys);

    FileContents ReadFileLocked() const;
    void LoadLocked();
    // Runs the change on what the file holds now and writes the result; the memory then
    // holds the file. A damage found on the way is returned for reporting.
    bool CommitLocked(const Change& change, std::optional<Damage>& found);
    bool WriteFileLocked(const QByteArray& bytes, const QString& backup);
    QString FreeBackupNameLocked() const;
    // The damage to report now, if any, marked as reported.
    std::optional<Damage> NoticeLocked();
    bool Commit(const Change& change);
    void Report(const std::optional<Damage>& damage);

    QString m_path;
    const bool m_inMemory = false;
    mutable QByteArray m_memoryFile;
    std::vector<QByteArray> m_memoryBackups;
    mutable std::mutex m_lock;
    Tree m_keys;
    // Keys and defaults put in memory while the file is damaged; the next commit writes
    // them where the file has none.
    QStringList m_pendingKeys;
    std::vector<std::pair<QString, Entry>> m_pendingDefaults;
    std::optional<Damage> m_damage;
    bool m_damageReported = false;
    DamageReporter m_reporter;
    QString m_lastError;
};

} // namespace Platform
