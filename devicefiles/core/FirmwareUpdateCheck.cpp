#include "devicefiles/core/FirmwareUpdateCheck.h"

#include "device/Contents.h"
#include "device/VmDevice.h"
#include "devicefiles/core/UpdateFtpClient.h"
#include "devicefiles/core/VersionNoticeTarget.h"
#include "platform/core/SettingsStore.h"
#include "platform/core/StringTable.h"
#include "platform/gui/MessageBox.h"
#include "resources/StringIds.h"
#include "streamio/FileVersionInfo.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace
{
const QString kFallbackKey = QStringLiteral("AutoFwUpdate");

uint32_t LowWord(CVersion v)
{
    return uint32_t(v.GetPart(0)) | uint32_t(v.GetPart(1)) << 16;
}
uint32_t HighWord(CVersion v)
{
    return uint32_t(v.GetPart(2)) | uint32_t(v.GetPart(3)) << 16;
}

// On the UI thread.
void DeliverVersion(QObject* window, uint32_t message, CVersion version)
{
    auto* frame = dynamic_cast<VersionNoticeTarget*>(window);
    if (!frame)
        return;
    const uint32_t w = LowWord(version);
    const uint32_t l = HighWord(version);
    switch (message)
    {
    case WM_NEW_PROGRAM_VERSION:
        frame->OnNewProgramVersion(w, l);
        break;
    case WM_NEW_DEVICE_OS_VERSION:
        frame->OnNewDeviceOsVersion(w, l);
        break;
    case WM_NEW_DEVICE_APP_VERSION:
        frame->OnNewDeviceAppVersion(w, l);
        break;
    default:
        break;
    }
}

void SaveCounters(QString key, int32_t count, int32_t limit)
{
    if (key.isEmpty())
        key = kFallbackKey;
    auto& store = Platform::SettingsStore::Instance();
    if (!store.CreateKey(key))
        return;
    store.Write(key, QString::fromLatin1(CFirmwareUpdateCheck::kFailCountValue), QString::number(count));
    store.Write(key, QString::fromLatin1(CFirmwareUpdateCheck::kFailCountMaxValue), QString::number(limit));
}

struct SEntry
{
    uint32_t kind = 0;
    CVersion installed;
};
} // namespace

struct CFirmwareUpdateCheck::SShared
{
    mutable std::mutex lock;
    mutable std::condition_variable changed;
    bool running = false;
    std::atomic<bool> cancelled{false};
    int32_t failCount = 0;
    int32_t failLimit = 1;
};

void PostVersionMessage(const QPointer<QObject>& window, uint32_t message, CVersion version)
{
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [window, message, version] { DeliverVersion(window.data(), message, version); },
        Qt::QueuedConnection);
}

CFirmwareUpdateCheck::CFirmwareUpdateCheck(QObject* notifyWindow, const QString& registryKey)
    : m_notifyWindow(notifyWindow), m_registryKey(registryKey), m_shared(std::make_shared<SShared>())
{
}

CFirmwareUpdateCheck::~CFirmwareUpdateCheck()
{
    Stop();
}

void CFirmwareUpdateCheck::Stop()
{
    WaitFinished(kStopWaitMs);
    // A worker still busy (a slow server) ends by itself; it keeps its shared state and
    // nothing it reports from now on reaches the window.
    m_shared->cancelled = true;
}

bool CFirmwareUpdateCheck::WaitFinished(uint32_t timeoutMs) const
{
    std::unique_lock lock(m_shared->lock);
    return m_shared->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                      [&] { return !m_shared->running; });
}

int32_t CFirmwareUpdateCheck::FailCount() const
{
    std::lock_guard lock(m_shared->lock);
    return m_shared->failCount;
}

int32_t CFirmwareUpdateCheck::FailLimit() const
{
    std::lock_guard lock(m_shared->lock);
    return m_shared->failLimit;
}

void CFirmwareUpdateCheck::LoadFailCounters()
{
    const QString key = m_registryKey.isEmpty() ? kFallbackKey : m_registryKey;
    const auto& store = Platform::SettingsStore::Instance();
    if (!store.KeyExists(key))
        return;
    auto number = [&](const char* name) -> std::optional<int32_t>
    {
        const std::optional<QString> text = store.ReadString(key, QString::fromLatin1(name));
        if (!text || text->size() > 100)
            return std::nullopt;
        bool ok = false;
        const int32_t value = text->trimmed().toInt(&ok);
        return ok ? std::optional<int32_t>(value) : std::nullopt;
    };
    const std::optional<int32_t> count = number(kFailCountValue);
    const std::optional<int32_t> limit = number(kFailCountMaxValue);
    std::lock_guard lock(m_shared->lock);
    if (count)
        m_shared->failCount = *count;
    m_shared->failLimit = limit.value_or(kDefaultFailLimit);
}

void CFirmwareUpdateCheck::SaveFailCounters() const
{
    SaveCounters(m_registryKey, FailCount(), FailLimit());
}

bool CFirmwareUpdateCheck::Start(Device::CVmDevice* device, uint32_t appMessage, uint32_t osMessage)
{
    Stop();
    {
        // A fresh shared state: a worker left behind keeps its own.
        auto fresh = std::make_shared<SShared>();
        std::lock_guard lock(m_shared->lock);
        fresh->failCount = m_shared->failCount;
        fresh->failLimit = m_shared->failLimit;
        m_shared = std::move(fresh);
    }
    if (!device)
        return false;

    Device::SIdentity identity;
    if (!device->Identify(identity))
        return false;
    Device::CContents contents;
    if (!device->GetVersions(contents))
        return false;

    if (m_registryKey.isEmpty())
    {
        CFileVersionInfo version;
        version.ReadFromModule();
        m_registryKey = QStringLiteral("Software\\Velmor\\%1\\Settings").arg(version.GetProductName());
    }
    LoadFailCounters();
    m_deviceId = QStringLiteral("%1").arg(uint32_t(device->GetDeviceCode()), 8, 16, QLatin1Char('0'));

    std::vector<SEntry> entries;
    for (const Device::SContentEntry& e : contents.m_entries)
        entries.push_back({e.kind, e.version});

    const std::shared_ptr<SShared> shared = m_shared;
    shared->running = true;
    auto post = [shared, window = m_notifyWindow](uint32_t message, CVersion version)
    {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [shared, window, message, version]
            {
                if (!shared->cancelled)
                    DeliverVersion(window.data(), message, version);
            },
            Qt::QueuedConnection);
    };
    std::thread worker(
        [shared, post, entries = std::move(entries), deviceId = m_deviceId, key = m_registryKey,
         typeName = contents.m_identity.typeName, appMessage, osMessage]
        {
            try
            {
                CUpdateFtpClient ftp;
                ftp.SetShowErrors(false);
                Platform::FtpConnection* connection = ftp.ConnectUpdateFolder(deviceId);
                if (!connection)
                {
                    bool remind = false;
                    int32_t count = 0;
                    int32_t limit = 0;
                    {
                        std::lock_guard lock(shared->lock);
                        ++shared->failCount;
                        if (shared->failCount > shared->failLimit)
                        {
                            shared->failLimit = shared->failCount <= 10 ? 10 : shared->failLimit / 2;
                            shared->failCount = 0;
                            remind = true;
                        }
                        count = shared->failCount;
                        limit = shared->failLimit;
                    }
                    SaveCounters(key, count, limit);
                    if (remind && !shared->cancelled)
                        Platform::ShowMessageBox(Platform::LoadString(StringId::IDS_FIRMWARE_CHECK_REMINDER)
                                                     .replace(QStringLiteral("%s"), typeName),
                                                 Platform::MB_OK | Platform::MB_ICONINFORMATION);
                }
                else
                {
                    {
                        std::lock_guard lock(shared->lock);
                        shared->failCount = 0;
                        shared->failLimit = kDefaultFailLimit;
                    }
                    SaveCounters(key, 0, kDefaultFailLimit);
                    CVersion newestApp;
                    CVersion newestOs;
                    for (const SEntry& entry : entries)
                    {
                        if (entry.kind != 1 && entry.kind != 2)
                            continue;
                        std::vector<Platform::FtpEntry> files;
                        if (connection->List(QStringLiteral("*.lod"), files) != 0)
                            continue;
                        for (const Platform::FtpEntry& file : files)
                        {
                            const CVersion v = ParseLodVersion(file.name, entry.kind);
                            // The last newer one in the server's order is offered.
                            if (v.GetValue() != 0 && v.GetValue() > entry.installed.GetValue())
                                (entry.kind == 1 ? newestApp : newestOs) = v;
                        }
                    }
                    if (osMessage != 0)
                        post(osMessage, newestOs);
                    post(appMessage, newestApp);
                }
            }
            catch (...)
            {
                // A background check has nobody to tell.
            }
            std::lock_guard lock(shared->lock);
            shared->running = false;
            shared->changed.notify_all();
        });
    worker.detach();
    return true;
}

CVersion CFirmwareUpdateCheck::ParseLodVersion(const QString& name, uint32_t kind)
{
    if (name.size() <= 3 || !name.endsWith(QLatin1String("lod"), Qt::CaseSensitive))
        return CVersion();
    const qsizetype marker = name.indexOf(QLatin1String("-V"), 0, Qt::CaseSensitive);
    if (marker < 0)
        return CVersion();
    QString rest = name.mid(marker + 2);
    QString versionText;
    QString tag;
    for (;;)
    {
        qsizetype sep = -1;
        for (qsizetype i = 0; i < rest.size(); ++i)
            if (rest[i] == QLatin1Char('.') || rest[i] == QLatin1Char('_'))
            {
                sep = i;
                break;
            }
        if (sep < 0)
            break;
        const QString token = rest.left(sep);
        bool digits = true;
        for (QChar c : token)
            digits = digits && c >= QLatin1Char('0') && c <= QLatin1Char('9');
        if (!digits)
        {
            tag = token;
            break;
        }
        versionText += token + QLatin1Char('.');
        rest = rest.mid(sep + 1);
    }
    const bool fits = tag.isEmpty() ||
                      (kind == 1 && (tag == QLatin1String("FW") || tag == QLatin1String("APP"))) ||
                      (kind == 2 && tag == QLatin1String("OS"));
    if (!fits)
        return CVersion();
    while (versionText.endsWith(QLatin1Char('.')))
        versionText.chop(1);
    // Fewer than four parts count the missing ones as 0.
    const qsizetype parts = versionText.isEmpty() ? 0 : versionText.count(QLatin1Char('.')) + 1;
    for (qsizetype i = parts; i < 4 && parts > 0; ++i)
        versionText += QStringLiteral(".0");
    return CVersion(QStringView(versionText));
}
