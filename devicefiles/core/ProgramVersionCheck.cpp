#include "devicefiles/core/ProgramVersionCheck.h"

#include "devicefiles/core/UpdateFtpClient.h"
#include "platform/io/FtpBackend.h"
#include "streamio/FileVersionInfo.h"

#include <QMetaObject>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

CVersion VersionFromUpdateFileName(const QString& name)
{
    if (name.size() < 6 || !name.endsWith(QLatin1String(".exe"), Qt::CaseSensitive))
        return CVersion();
    const qsizetype marker = name.indexOf(QLatin1String("_V_"));
    if (marker < 0)
        return CVersion();
    const qsizetype from = marker + 3;
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    if (dot < from)
        return CVersion();
    QString text = name.mid(from, dot - from);
    text.replace(QLatin1Char('_'), QLatin1Char('.'));
    return CVersion(QStringView(text));
}

SUpdateChoice ChooseUpdate(const std::vector<Platform::FtpEntry>& files, CVersion running)
{
    SUpdateChoice choice;
    CVersion best = running;
    for (const Platform::FtpEntry& entry : files)
    {
        const CVersion v = VersionFromUpdateFileName(entry.name);
        if (v.GetValue() > best.GetValue())
        {
            best = v;
            choice.file = entry.name;
            choice.size = entry.size;
        }
    }
    if (!choice.file.isEmpty())
        choice.best = best;
    return choice;
}

struct CProgramVersionCheck::SShared
{
    QString productName;
    CVersion running;

    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    bool abandoned = false; // the owner stopped waiting: report nothing more
    SUpdateChoice result;
};

namespace
{
CFileVersionInfo OwnVersionInfo()
{
    CFileVersionInfo info;
    info.ReadFromModule();
    return info;
}
} // namespace

CProgramVersionCheck::CProgramVersionCheck(const QString& productName, CVersion running)
    : m_shared(std::make_shared<SShared>())
{
    m_shared->productName = productName;
    m_shared->running = running;
}

CProgramVersionCheck::CProgramVersionCheck()
    : CProgramVersionCheck(OwnVersionInfo().GetProductName(),
                           CVersion(QStringView(OwnVersionInfo().GetProductVersionText())))
{
}

CProgramVersionCheck::~CProgramVersionCheck()
{
    Stop(kStopWaitMs);
}

bool CProgramVersionCheck::Start(QObject* receiver, Report report)
{
    if (m_started)
        return false;
    m_started = true;
    std::shared_ptr<SShared> shared = m_shared;
    QPointer<QObject> guard(receiver);
    try
    {
        std::thread(
            [shared, guard, report = std::move(report)]
            {
                SUpdateChoice choice;
                bool found = false;
                try
                {
                    // Its own client: the wizard may need the server while this one still hangs.
                    CUpdateFtpClient client;
                    client.SetShowErrors(false);
                    if (Platform::FtpConnection* connection = client.ConnectUpdateFolder(shared->productName))
                    {
                        std::vector<Platform::FtpEntry> files;
                        if (connection->List(QStringLiteral("*"), files) == 0)
                        {
                            choice = ChooseUpdate(files, shared->running);
                            found = true;
                        }
                        client.Close();
                    }
                }
                catch (...)
                {
                    found = false;
                }
                std::lock_guard lock(shared->mutex);
                shared->done = true;
                shared->result = choice;
                if (found && !shared->abandoned && guard)
                {
                    const uint32_t w = UpdateVersionWParam(choice.best);
                    const uint32_t l = UpdateVersionLParam(choice.best);
                    QMetaObject::invokeMethod(
                        guard.data(),
                        [guard, report, w, l]
                        {
                            if (guard && report)
                                report(w, l);
                        },
                        Qt::QueuedConnection);
                }
                shared->ended.notify_all();
            })
            .detach();
    }
    catch (const std::system_error&)
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->done = true;
        return false;
    }
    return true;
}

bool CProgramVersionCheck::Stop(int waitMs)
{
    std::unique_lock lock(m_shared->mutex);
    if (!m_started)
        return true;
    const bool ended = m_shared->ended.wait_for(lock, std::chrono::milliseconds(std::max(waitMs, 0)),
                                                [this] { return m_shared->done; });
    if (!ended)
        m_shared->abandoned = true;
    return ended;
}

SUpdateChoice CProgramVersionCheck::Result() const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->done ? m_shared->result : SUpdateChoice();
}
