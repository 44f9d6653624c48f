#include "tests/support/FtpTestServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>

#include <signal.h>
#include <sys/time.h>

namespace
{
// pyftpdlib's own main, with a handler that does not know MLSD or MLST, or one that sends
// slowly; the script's lines go between these.
constexpr char kScriptStart[] = "import sys\n"
                                "from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler\n";
constexpr char kTextListingOnly[] = "FTPHandler.proto_cmds = {k: v for k, v in FTPHandler.proto_cmds.items()\n"
                                    "                         if k not in ('MLSD', 'MLST')}\n";
constexpr char kSendLimit[] = "ThrottledDTPHandler.write_limit = %1\n"
                              "FTPHandler.dtp_handler = ThrottledDTPHandler\n";
constexpr char kListedSizeOffset[] =
    "import os, stat\n"
    "from pyftpdlib.filesystems import AbstractedFS\n"
    "def _lie(result):\n"
    "    if not stat.S_ISREG(result.st_mode):\n"
    "        return result\n"
    "    fields = list(result[:10])\n"
    "    fields[6] = max(0, fields[6] + %1)\n"
    "    return os.stat_result(fields)\n"
    "for _name in ('stat', 'lstat'):\n"
    "    setattr(AbstractedFS, _name, (lambda real: lambda self, path: _lie(real(self, path)))\n"
    "            (getattr(AbstractedFS, _name)))\n"
    "_getsize = AbstractedFS.getsize\n"
    "AbstractedFS.getsize = lambda self, path: max(0, _getsize(self, path) + %1)\n";
constexpr char kScriptEnd[] = "from pyftpdlib.__main__ import main\n"
                              "main()\n";
} // namespace

FtpTestServer::FtpTestServer() : FtpTestServer(Options{})
{
}

FtpTestServer::FtpTestServer(const Options& options)
{
    QStringList args;
    if (options.textListingOnly || options.sendLimit > 0 || options.listedSizeOffset != 0)
    {
        QString script = QString::fromLatin1(kScriptStart);
        if (options.listedSizeOffset != 0)
            script += QString::fromLatin1(kListedSizeOffset).arg(options.listedSizeOffset);
        if (options.textListingOnly)
            script += QString::fromLatin1(kTextListingOnly);
        if (options.sendLimit > 0)
            script += QString::fromLatin1(kSendLimit).arg(options.sendLimit);
        args << QStringLiteral("-c") << script + QString::fromLatin1(kScriptEnd);
    }
    else
        args << QStringLiteral("-m") << QStringLiteral("pyftpdlib");
    // Port 0: the system picks a free one, and the server's log names it.
    args << QStringLiteral("-i") << QStringLiteral("127.0.0.1") << QStringLiteral("-p") << QStringLiteral("0")
         << QStringLiteral("-d") << m_root.Path() << QStringLiteral("-u") << options.user
         << QStringLiteral("-P") << options.password;

    m_process = std::make_unique<QProcess>();
    m_process->setProgram(QStringLiteral("/usr/bin/python3"));
    m_process->setArguments(args);
    // A log file, not a pipe: a pipe nobody reads could fill and stall the server.
    m_process->setStandardOutputFile(QProcess::nullDevice());
    m_process->setStandardErrorFile(m_work.File(QStringLiteral("server.log")));
    m_process->start();
    if (!m_process->waitForStarted(10000))
        return;

    static const QRegularExpression started(QStringLiteral("starting FTP server on 127\\.0\\.0\\.1:(\\d+)"));
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 15000 && m_process->state() == QProcess::Running)
    {
        const auto match = started.match(Log());
        if (match.hasMatch())
        {
            m_port = uint16_t(match.captured(1).toUInt());
            return;
        }
        QThread::msleep(20);
    }
}

FtpTestServer::~FtpTestServer()
{
    Stop();
}

void FtpTestServer::AddFolder(const QString& path) const
{
    QDir(m_root.Path()).mkpath(path);
}

void FtpTestServer::AddFile(const QString& path, const QByteArray& content) const
{
    const QString full = m_root.File(path);
    QDir().mkpath(QFileInfo(full).path());
    QFile file(full);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(content);
}

void FtpTestServer::SetFileTime(const QString& path, int64_t secondsSinceEpoch) const
{
    const QByteArray full = QFile::encodeName(m_root.File(path));
    timeval times[2] = {{time_t(secondsSinceEpoch), 0}, {time_t(secondsSinceEpoch), 0}};
    ::utimes(full.constData(), times);
}

void FtpTestServer::Stop()
{
    if (!m_process || m_process->state() == QProcess::NotRunning)
        return;
    m_process->kill(); // SIGKILL ends a frozen process too
    m_process->waitForFinished(5000);
    m_paused = false;
}

void FtpTestServer::Pause()
{
    if (m_process && m_process->state() == QProcess::Running)
    {
        ::kill(pid_t(m_process->processId()), SIGSTOP);
        m_paused = true;
    }
}

void FtpTestServer::Resume()
{
    if (m_process && m_process->processId() > 0)
        ::kill(pid_t(m_process->processId()), SIGCONT);
    m_paused = false;
}

int FtpTestServer::OpenSessions(int expected, int waitMs) const
{
    QElapsedTimer timer;
    timer.start();
    for (;;)
    {
        const QString log = Log();
        const int count = int(log.count(QStringLiteral("FTP session opened"))) -
                          int(log.count(QStringLiteral("FTP session closed")));
        if (count == expected || timer.elapsed() >= waitMs)
            return count;
        QThread::msleep(20);
    }
}

QString FtpTestServer::Log() const
{
    QFile file(m_work.File(QStringLiteral("server.log")));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}
