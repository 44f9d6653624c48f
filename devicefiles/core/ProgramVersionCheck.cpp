#include "devicefiles/core/ProgramVersionCheck.h"

#include "devicefiles/core/UpdateFtpClient.h"
#include "platform/io/FtpBackend.h"
#include "streamio/FileVersionInfo.h"

#include <algorithm>

CVersion VersionFromUpdateFileName(const QString& name)
{
    if (name.size() < 6 || !name.endsWith(QLatin1String(kInstallerSuffix), Qt::CaseSensitive))
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

SUpdateSearch SearchUpdate(CUpdateFtpClient& client, const QString& productName, CVersion running,
                           const std::function<void()>& connected)
{
    SUpdateSearch search;
    Platform::FtpConnection* connection =
        client.IsConnected() ? client.Connection() : client.ConnectUpdateFolder(productName);
    if (!connection)
    {
        client.GetLastErrorText(search.error);
        return search;
    }
    if (connected)
        connected();
    std::vector<Platform::FtpEntry> files;
    if (const uint32_t code = connection->List(QStringLiteral("*"), files))
    {
        search.error = UpdateServerErrorText(code, connection->LastErrorText());
        return search;
    }
    search.ok = true;
    search.choice = ChooseUpdate(files, running);
    if (!search.choice.file.isEmpty())
    {
        const QString checksum = search.choice.file + QLatin1String(kChecksumSuffix);
        search.checksumListed = std::any_of(files.begin(), files.end(),
                                            [&](const Platform::FtpEntry& e) { return e.name == checksum; });
    }
    return search;
}

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
    : m_productName(productName), m_running(running)
{
    // Nobody is there to read a box about a background check.
    m_client.SetShowErrors(false);
}

CProgramVersionCheck::CProgramVersionCheck()
    : CProgramVersionCheck(OwnVersionInfo().GetProductName(),
                           CVersion(QStringView(OwnVersionInfo().GetProductVersionText())))
{
}

CProgramVersionCheck::~CProgramVersionCheck()
{
    Stop();
}

bool CProgramVersionCheck::Start(QObject* receiver, Report report)
{
    if (m_started)
        return false;
    m_started = true;
    return m_job.Start(m_client, receiver,
                       [this, report = std::move(report)](const CUpdateJob::Post&) -> CUpdateJob::Report
                       {
                           const SUpdateSearch search = SearchUpdate(m_client, m_productName, m_running);
                           m_client.Close();
                           if (!search.ok)
                               return nullptr;
                           {
                               std::lock_guard guard(m_lock);
                               m_result = search.choice;
                           }
                           const uint32_t w = UpdateVersionWParam(search.choice.best);
                           const uint32_t l = UpdateVersionLParam(search.choice.best);
                           return [report, w, l]
                           {
                               if (report)
                                   report(w, l);
                           };
                       });
}

void CProgramVersionCheck::Stop()
{
    m_job.Cancel();
}

bool CProgramVersionCheck::WaitFinished(int timeoutMs) const
{
    return m_job.WaitFinished(timeoutMs);
}

SUpdateChoice CProgramVersionCheck::Result() const
{
    std::lock_guard guard(m_lock);
    return m_result;
}
