#include "app/UpgradeTool.h"

#include "document/SettingsFolders.h"

#include <QFileInfo>
#include <QProcess>

#include <utility>

namespace
{
// The tool's arguments for the portable tester's device type.
const QStringList kArguments{QStringLiteral("-DeviceTypeList"), QStringLiteral("03-00000-0")};
} // namespace

CUpgradeTool::~CUpgradeTool() = default;

QString CUpgradeTool::InstalledPath()
{
    QString path;
    if (!Settings::Registry().ReadString(kPathSetting, path))
        return QString();
    const QFileInfo info(path);
    if (!info.isAbsolute() || !info.isFile() || !info.isExecutable())
        return QString();
    return info.absoluteFilePath();
}

bool CUpgradeTool::Start(const QString& path, std::function<void()> finished)
{
    if (m_process)
        return false;
    m_process = new QProcess(this);
    m_finished = std::move(finished);
    m_process->setProgram(path);
    m_process->setArguments(kArguments);
    m_process->setProcessChannelMode(QProcess::ForwardedChannels);
    connect(m_process, &QProcess::finished, this, &CUpgradeTool::OnEnded);
    connect(m_process, &QProcess::errorOccurred, this,
            [this](QProcess::ProcessError error)
            {
                if (error == QProcess::FailedToStart)
                    OnEnded();
            });
    // A start that fails reports through errorOccurred, possibly before start returns.
    m_process->start();
    return true;
}

void CUpgradeTool::OnEnded()
{
    if (!m_process)
        return;
    m_process->deleteLater();
    m_process = nullptr;
    if (auto finished = std::exchange(m_finished, nullptr))
        finished();
}
