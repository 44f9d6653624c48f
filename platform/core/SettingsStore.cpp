#include "platform/core/SettingsStore.h"

#include "platform/core/StringTable.h"
#include "resources/StringIds.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace Platform
{

namespace
{
constexpr int kFormat = 1;
// How long a change waits for another window's change to finish; a lock held longer
// fails the change instead of hanging the program.
constexpr auto kLockWait = std::chrono::seconds(3);
constexpr auto kLockRetry = std::chrono::milliseconds(10);
constexpr int kMaxBackups = 10000;
constexpr double kLargestNumber = 4294967295.0;
// A settings file takes a few kilobytes and keys lie a handful of levels deep. A file
// beyond these limits (or whose keys, with the parents it leaves out, add up to more than
// the largest file) is not one the program wrote, and reading it could hold the start: it
// is treated as damaged, and no change makes the program write one.
constexpr qsizetype kMaxFileBytes = qsizetype{512} * 1024;
constexpr qsizetype kMaxKeyDepth = 32;

QString ErrnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString Arg(uint32_t id, const QString& detail)
{
    return LoadString(id).replace(QStringLiteral("%1"), detail);
}

// The levels of a normalised key path.
qsizetype Depth(const QString& path)
{
    return path.isEmpty() ? 0 : path.count(QLatin1Char('\\')) + 1;
}

// The lock that serialises changes of one settings file between windows (and stores).
class FileLock
{
public:
    explicit FileLock(const QString& path)
    {
        const QByteArray name = QFile::encodeName(path);
        m_fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_fd < 0)
        {
            m_error = errno;
            return;
        }
        const auto deadline = std::chrono::steady_clock::now() + kLockWait;
        while (::flock(m_fd, LOCK_EX | LOCK_NB) != 0)
        {
            if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() > deadline)
            {
                m_error = errno == EWOULDBLOCK ? EWOULDBLOCK : errno;
                ::close(m_fd);
                m_fd = -1;
                return;
            }
            std::this_thread::sleep_for(kLockRetry);
        }
    }
    ~FileLock()
    {
        if (m_fd >= 0)
            ::close(m_fd); // releases the lock
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool Held() const { return m_fd >= 0; }
    int Error() const { return m_error; }

private:
    int m_fd = -1;
    int m_error = 0;
};

bool WriteAll(int fd, const QByteArray& bytes)
{
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0)
    {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
        {
            if (n == 0)
                errno = EIO;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

// A rename is only durable once the folder that holds the name is synced.
void SyncFolder(const QString& folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}
} // namespace

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

bool SettingsStore::AddKeyPath(Tree& keys, const QString& path, qsizetype* budget)
{
    // The walk goes up from the key itself and stops at the first key that exists: a file
    // lists parents before their subkeys, so each key costs about its path's length.
    std::vector<qsizetype> missing;
    qsizetype chars = 0;
    for (qsizetype end = path.size(); end > 0; end = path.lastIndexOf(QLatin1Char('\\'), end - 1))
    {
        if (budget && chars + end > *budget)
        {
            *budget = -1;
            return false;
        }
        if (keys.contains(path.left(end).toLower()))
            break;
        missing.push_back(end);
        chars += end;
    }
    for (auto end = missing.rbegin(); end != missing.rend(); ++end)
    {
        const QString prefix = path.left(*end);
        keys.insert(prefix.toLower(), Key{prefix, {}});
    }
    if (budget)
        *budget -= chars;
    return !missing.empty();
}

bool SettingsStore::NeedsDefault(const QMap<QString, Entry>& values, const Entry& entry)
{
    const auto it = values.constFind(entry.name.toLower());
    if (it == values.constEnd())
        return true;
    // A value of another program version's type is left alone; one of a known type the
    // program cannot use (a text where it keeps a number) gives way to the default.
    return it->value && it->value->index() != entry.value->index();
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
    {
        std::lock_guard guard(m_lock);
        if (Depth(path) > kMaxKeyDepth)
        {
            m_lastError = m_path + QStringLiteral(": ") + ErrnoText(ENAMETOOLONG);
            return false;
        }
        if (m_damage)
        {
            // Nothing is written for a key alone while the user's file is damaged.
            if (AddKeyPath(m_keys, path))
                m_pendingKeys.append(path);
            return true;
        }
    }
    return Commit([path](Tree& keys) { return AddKeyPath(keys, path); });
}

bool SettingsStore::DeleteKey(const QString& key)
{
    const QString id = Normalize(key).toLower();
    {
        std::lock_guard guard(m_lock);
        if (!m_keys.contains(id))
            return false;
    }
    return Commit(
        [id](Tree& keys)
        {
            const QString childPrefix = id + QLatin1Char('\\');
            bool removed = false;
            for (auto it = keys.begin(); it != keys.end();)
            {
                if (it.key() == id || it.key().startsWith(childPrefix))
                {
                    it = keys.erase(it);
                    removed = true;
                }
                else
                {
                    ++it;
                }
            }
            return removed;
        });
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
    const QString path = Normalize(key);
    {
        std::lock_guard guard(m_lock);
        if (!m_keys.contains(path.toLower()))
            return false;
    }
    const Entry entry{name, value, {}};
    return Commit(
        [path, entry](Tree& keys)
        {
            AddKeyPath(keys, path);
            keys[path.toLower()].values.insert(entry.name.toLower(), entry);
            return true;
        });
}

bool SettingsStore::WriteDefault(const QString& key, const QString& name, const Value& value)
{
    const QString path = Normalize(key);
    const Entry entry{name, value, {}};
    {
        std::lock_guard guard(m_lock);
        const auto k = m_keys.find(path.toLower());
        if (k == m_keys.end())
            return false;
        if (m_damage)
        {
            if (NeedsDefault(k->values, entry))
            {
                k->values.insert(name.toLower(), entry);
                m_pendingDefaults.emplace_back(path, entry);
            }
            return true;
        }
    }
    return Commit(
        [path, entry](Tree& keys)
        {
            AddKeyPath(keys, path);
            auto& values = keys[path.toLower()].values;
            if (!NeedsDefault(values, entry))
                return false;
            values.insert(entry.name.toLower(), entry);
            return true;
        });
}

bool SettingsStore::Modify(const QString& key, const QString& name, const Update& change)
{
    const QString path = Normalize(key);
    {
        std::lock_guard guard(m_lock);
        if (!m_keys.contains(path.toLower()))
            return false;
    }
    return Commit(
        [&](Tree& keys)
        {
            AddKeyPath(keys, path);
            auto& values = keys[path.toLower()].values;
            const auto it = values.constFind(name.toLower());
            const std::optional<Value> stored = it == values.constEnd() ? std::nullopt : it->value;
            const std::optional<Value> next = change(stored);
            if (!next || next == stored)
                return false;
            values.insert(name.toLower(), Entry{name, next, {}});
            return true;
        });
}

std::optional<SettingsStore::Value> SettingsStore::ReadStored(const QString& key, const QString& name)
{
    const QString id = Normalize(key).toLower();
    std::optional<Value> stored;
    const bool read = Commit(
        [&](Tree& keys)
        {
            const auto k = keys.constFind(id);
            if (k != keys.constEnd())
            {
                const auto v = k->values.constFind(name.toLower());
                if (v != k->values.constEnd())
                    stored = v->value;
            }
            return false;
        });
    // Without the file (another window holds its lock too long) the store's memory answers.
    return read ? stored : Read(key, name);
}

bool SettingsStore::DeleteValue(const QString& key, const QString& name)
{
    const QString id = Normalize(key).toLower();
    {
        std::lock_guard guard(m_lock);
        const auto k = m_keys.constFind(id);
        if (k == m_keys.constEnd() || !k->values.contains(name.toLower()))
            return false;
    }
    return Commit(
        [id, name](Tree& keys)
        {
            const auto k = keys.find(id);
            return k != keys.end() && k->values.remove(name.toLower()) > 0;
        });
}

QStringList SettingsStore::ValueNames(const QString& key) const
{
    std::lock_guard guard(m_lock);
    QStringList names;
    const auto k = m_keys.constFind(Normalize(key).toLower());
    if (k != m_keys.constEnd())
        for (const Entry& e : k->values)
            if (e.value)
                names.append(e.name);
    return names;
}

void SettingsStore::Reload()
{
    std::optional<Damage> notice;
    {
        std::lock_guard guard(m_lock);
        LoadLocked();
        notice = NoticeLocked();
    }
    Report(notice);
}

QString SettingsStore::LastError() const
{
    std::lock_guard guard(m_lock);
    return m_lastError;
}

void SettingsStore::SetDamageReporter(DamageReporter reporter)
{
    std::optional<Damage> notice;
    {
        std::lock_guard guard(m_lock);
        m_reporter = std::move(reporter);
        notice = NoticeLocked();
    }
    Report(notice);
}

std::optional<SettingsStore::Damage> SettingsStore::NoticeLocked()
{
    if (!m_damage || m_damageReported || !m_reporter)
        return std::nullopt;
    m_damageReported = true;
    return m_damage;
}

void SettingsStore::Report(const std::optional<Damage>& damage)
{
    if (!damage)
        return;
    DamageReporter reporter;
    {
        std::lock_guard guard(m_lock);
        reporter = m_reporter;
    }
    if (reporter)
        reporter(*damage);
}

SettingsStore::FileContents SettingsStore::ReadFileLocked() const
{
    FileContents contents;
    QByteArray bytes;
    if (m_inMemory)
    {
        // An empty memory file is a store that was never written.
        if (m_memoryFile.isEmpty())
            return contents;
        bytes = m_memoryFile.left(kMaxFileBytes + 1);
    }
    else
    {
        const QByteArray name = QFile::encodeName(m_path);
        const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
        {
            if (errno == ENOENT || errno == ENOTDIR)
                return contents; // no settings yet (a change then fails to create the file)
            contents.damaged = true;
            contents.reason = Arg(StringId::IDS_SETTINGS_CANNOT_OPEN, ErrnoText(errno));
            return contents;
        }
        char buffer[65536];
        for (;;)
        {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
            {
                contents.damaged = true;
                contents.reason = Arg(StringId::IDS_SETTINGS_CANNOT_OPEN, ErrnoText(errno));
                ::close(fd);
                return contents;
            }
            if (n == 0)
                break;
            bytes.append(buffer, n);
            if (bytes.size() > kMaxFileBytes)
                break;
        }
        ::close(fd);
    }
    if (bytes.size() > kMaxFileBytes)
    {
        contents.damaged = true;
        contents.reason = Arg(StringId::IDS_SETTINGS_TOO_LARGE, QString::number(kMaxFileBytes / 1024));
        return contents;
    }
    if (!Parse(bytes, contents.keys, contents.reason))
    {
        contents.keys.clear();
        contents.damaged = true;
    }
    return contents;
}

void SettingsStore::LoadLocked()
{
    FileContents contents = ReadFileLocked();
    m_pendingKeys.clear();
    m_pendingDefaults.clear();
    if (contents.damaged)
    {
        m_keys.clear();
        if (!m_damage)
            m_damageReported = false;
        m_damage = Damage{m_path, contents.reason, FreeBackupNameLocked()};
        return;
    }
    m_keys = std::move(contents.keys);
    m_damage.reset();
    m_damageReported = false;
}

bool SettingsStore::Commit(const Change& change)
{
    std::optional<Damage> found;
    bool done = false;
    {
        std::lock_guard guard(m_lock);
        done = CommitLocked(change, found);
    }
    Report(found);
    return done;
}

bool SettingsStore::CommitLocked(const Change& change, std::optional<Damage>& found)
{
    std::optional<FileLock> lock;
    if (!m_inMemory)
    {
        if (!QDir().mkpath(QFileInfo(m_path).absolutePath()))
        {
            m_lastError = m_path + QStringLiteral(": ") + ErrnoText(errno ? errno : ENOTDIR);
            return false;
        }
        lock.emplace(m_path + QStringLiteral(".lock"));
        if (!lock->Held())
        {
            m_lastError = m_path + QStringLiteral(": ") +
                          (lock->Error() == EWOULDBLOCK ? LoadString(StringId::IDS_SETTINGS_LOCKED)
                                                        : ErrnoText(lock->Error()));
            return false;
        }
    }
    FileContents contents = ReadFileLocked();
    Tree keys;
    QString backup;
    if (contents.damaged)
    {
        // What the program holds in memory replaces the damaged file, which is kept.
        keys = m_keys;
        backup = FreeBackupNameLocked();
        if (!m_damage)
        {
            m_damage = Damage{m_path, contents.reason, backup};
            m_damageReported = false;
        }
        found = NoticeLocked();
    }
    else
    {
        keys = std::move(contents.keys);
        for (const QString& path : m_pendingKeys)
            AddKeyPath(keys, path);
        for (const auto& [path, entry] : m_pendingDefaults)
        {
            AddKeyPath(keys, path);
            auto& values = keys[path.toLower()].values;
            if (NeedsDefault(values, entry))
                values.insert(entry.name.toLower(), entry);
        }
    }
    const bool pending = !m_pendingKeys.isEmpty() || !m_pendingDefaults.empty();
    const bool changed = change(keys);
    if (!changed && (contents.damaged || !pending))
    {
        // Nothing to write; the memory learns what other windows wrote.
        if (!contents.damaged)
        {
            m_keys = std::move(keys);
            m_damage.reset();
        }
        m_lastError.clear();
        return true;
    }
    const QByteArray bytes = Serialize(keys);
    if (bytes.size() > kMaxFileBytes)
    {
        // The program would not read such a file again.
        m_lastError = m_path + QStringLiteral(": ") + ErrnoText(EFBIG);
        return false;
    }
    if (!WriteFileLocked(bytes, backup))
        return false;
    m_keys = std::move(keys);
    m_pendingKeys.clear();
    m_pendingDefaults.clear();
    m_damage.reset();
    m_damageReported = false;
    m_lastError.clear();
    return true;
}

QString SettingsStore::FreeBackupNameLocked() const
{
    const QString base = (m_inMemory ? QStringLiteral("registry.json") : m_path) + QStringLiteral(".bad");
    for (int n = 1; n < kMaxBackups; ++n)
    {
        if (m_inMemory)
        {
            if (size_t(n) > m_memoryBackups.size())
                return base + QString::number(n);
            continue;
        }
        struct stat st{};
        const QString candidate = base + QString::number(n);
        if (::lstat(QFile::encodeName(candidate).constData(), &st) != 0 && errno == ENOENT)
            return candidate;
    }
    return base + QString::number(kMaxBackups);
}

bool SettingsStore::WriteFileLocked(const QByteArray& bytes, const QString& backup)
{
    if (m_inMemory)
    {
        if (!backup.isEmpty())
            m_memoryBackups.push_back(m_memoryFile);
        m_memoryFile = bytes;
        return true;
    }
    // Changes are serialised by the file lock, so one fixed temporary name serves; a
    // temporary file left by a writer that was killed is simply written anew.
    const QString temp = m_path + QStringLiteral(".tmp");
    const QByteArray tempName = QFile::encodeName(temp);
    const QByteArray fileName = QFile::encodeName(m_path);
    auto fail = [&](int error)
    {
        m_lastError = m_path + QStringLiteral(": ") + ErrnoText(error);
        ::unlink(tempName.constData());
        return false;
    };
    const int fd = ::open(tempName.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return fail(errno);
    // The new file keeps the old one's permission bits, but stays readable and writable
    // by its owner: a file copied at mode 000 (the very reason it could not be read) would
    // lose this change at the next start.
    struct stat old{};
    if (::stat(fileName.constData(), &old) == 0 && S_ISREG(old.st_mode))
        ::fchmod(fd, (old.st_mode & 07777) | S_IRUSR | S_IWUSR);
    if (!WriteAll(fd, bytes) || ::fsync(fd) != 0)
    {
        const int error = errno;
        ::close(fd);
        return fail(error);
    }
    if (::close(fd) != 0)
        return fail(errno);
    const QByteArray backupName = QFile::encodeName(backup);
    if (!backup.isEmpty() && ::rename(fileName.constData(), backupName.constData()) != 0)
        return fail(errno);
    if (::rename(tempName.constData(), fileName.constData()) != 0)
    {
        const int error = errno;
        if (!backup.isEmpty())
            ::rename(backupName.constData(), fileName.constData());
        return fail(error);
    }
    SyncFolder(QFileInfo(m_path).absolutePath());
    return true;
}

bool SettingsStore::Parse(const QByteArray& bytes, Tree& keys, QString& reason)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
    {
        reason = Arg(StringId::IDS_SETTINGS_NOT_JSON, QString::number(error.offset));
        return false;
    }
    const auto layout = [&reason]
    {
        reason = LoadString(StringId::IDS_SETTINGS_WRONG_LAYOUT);
        return false;
    };
    if (!doc.isObject())
        return layout();
    const QJsonValue list = doc.object().value(QStringLiteral("keys"));
    if (!list.isUndefined() && !list.isArray())
        return layout();
    // A file lists each key once, its parents included; parents it leaves out are made
    // here, and their paths may not add up to more than a file can hold.
    qsizetype keyBudget = kMaxFileBytes;
    for (const QJsonValue& kv : list.toArray())
    {
        if (!kv.isObject())
            return layout();
        const QJsonObject ko = kv.toObject();
        const QJsonValue keyName = ko.value(QStringLiteral("key"));
        const QJsonValue values = ko.value(QStringLiteral("values"));
        const QString path = Normalize(keyName.toString());
        if (!keyName.isString() || path.isEmpty() || (!values.isUndefined() && !values.isArray()))
            return layout();
        if (Depth(path) > kMaxKeyDepth)
        {
            reason = Arg(StringId::IDS_SETTINGS_TOO_DEEP, QString::number(kMaxKeyDepth));
            return false;
        }
        AddKeyPath(keys, path, &keyBudget);
        if (keyBudget < 0)
        {
            reason = Arg(StringId::IDS_SETTINGS_TOO_LARGE, QString::number(kMaxFileBytes / 1024));
            return false;
        }
        Key& key = keys[path.toLower()];
        for (const QJsonValue& vv : values.toArray())
        {
            const QJsonObject vo = vv.toObject();
            const QJsonValue nameValue = vo.value(QStringLiteral("name"));
            const QJsonValue typeValue = vo.value(QStringLiteral("type"));
            if (!vv.isObject() || !nameValue.isString() || !typeValue.isString())
                return layout();
            const QString name = nameValue.toString();
            const QString type = typeValue.toString();
            const QJsonValue data = vo.value(QStringLiteral("data"));
            Entry entry{name, std::nullopt, {}};
            if (type == QLatin1String("string"))
            {
                if (data.isString())
                    entry.value = data.toString();
            }
            else if (type == QLatin1String("number"))
            {
                // A 32-bit number with the top bit set is stored as the unsigned value it is.
                const double d = data.toDouble(-1);
                if (data.isDouble() && d >= 0 && d <= kLargestNumber && std::floor(d) == d)
                    entry.value = uint32_t(d);
            }
            else if (type == QLatin1String("binary"))
            {
                const QByteArray hex = data.toString().toLatin1();
                const bool isHex = data.isString() && hex.size() % 2 == 0 &&
                                   std::all_of(hex.begin(), hex.end(), [](char c) { return std::isxdigit(uchar(c)); });
                if (isHex)
                    entry.value = QByteArray::fromHex(hex);
            }
            else
            {
                // A type of another program version: kept as it is.
                entry.raw = vo;
            }
            if (!entry.value && entry.raw.isEmpty())
            {
                reason = Arg(StringId::IDS_SETTINGS_BAD_VALUE, path + QLatin1Char('\\') + name);
                return false;
            }
            key.values.insert(name.toLower(), entry);
        }
    }
    return true;
}

QByteArray SettingsStore::Serialize(const Tree& keys)
{
    QJsonArray list;
    for (const Key& key : keys)
    {
        QJsonArray values;
        for (const Entry& e : key.values)
        {
            if (!e.value)
            {
                values.append(e.raw);
                continue;
            }
            QJsonObject vo;
            vo.insert(QStringLiteral("name"), e.name);
            if (const auto* s = std::get_if<QString>(&*e.value))
            {
                vo.insert(QStringLiteral("type"), QStringLiteral("string"));
                vo.insert(QStringLiteral("data"), *s);
            }
            else if (const auto* n = std::get_if<uint32_t>(&*e.value))
            {
                vo.insert(QStringLiteral("type"), QStringLiteral("number"));
                vo.insert(QStringLiteral("data"), static_cast<qint64>(*n));
            }
            else
            {
                vo.insert(QStringLiteral("type"), QStringLiteral("binary"));
                vo.insert(QStringLiteral("data"), QString::fromLatin1(std::get<QByteArray>(*e.value).toHex()));
            }
            values.append(vo);
        }
        QJsonObject ko;
        ko.insert(QStringLiteral("key"), key.path);
        ko.insert(QStringLiteral("values"), values);
        list.append(ko);
    }
    QJsonObject root;
    root.insert(QStringLiteral("format"), kFormat);
    root.insert(QStringLiteral("keys"), list);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

} // namespace Platform
