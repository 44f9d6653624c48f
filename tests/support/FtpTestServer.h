#pragma once
#include "platform/io/FtpBackend.h"
#include "tests/support/TempDir.h"

#include <QByteArray>
#include <QProcess>
#include <QString>

#include <cstdint>
#include <memory>

// A real FTP server (Debian's pyftpdlib) on a free port of 127.0.0.1, serving a fresh
// temporary folder to one account. Started by the constructor, ended (by its own
// process id) by Stop or the destructor.
class FtpTestServer
{
public:
    struct Options
    {
        QString user = QStringLiteral("vmcust");
        QString password = QStringLiteral("wdmeloXJV");
        // A server that refuses the machine listing (MLSD), as older servers do, so the
        // client has to read the text listing.
        bool textListingOnly = false;
        // Sends file data at most this fast (bytes per second; 0: no limit), so a test
        // can act while a download is under way.
        uint32_t sendLimit = 0;
        // Lists every file (LIST, MLSD, SIZE) this many bytes longer than what it sends,
        // as a server whose listing is out of date does.
        int listedSizeOffset = 0;
    };

    FtpTestServer();
    explicit FtpTestServer(const Options& options);
    ~FtpTestServer();
    FtpTestServer(const FtpTestServer&) = delete;
    FtpTestServer& operator=(const FtpTestServer&) = delete;

    // False when the server did not come up (the reason is in Log()).
    bool Running() const { return m_port != 0; }
    uint16_t Port() const { return m_port; }
    Platform::FtpServerAddress Address() const { return {QStringLiteral("127.0.0.1"), m_port}; }
    const QString& Root() const { return m_root.Path(); }

    // Writes a file below the served folder, creating its folders; path uses "/".
    void AddFile(const QString& path, const QByteArray& content) const;
    void AddFolder(const QString& path) const;
    // Sets a file's modification time (UTC seconds since 1970).
    void SetFileTime(const QString& path, int64_t secondsSinceEpoch) const;

    // Ends the server at once (SIGKILL): its connections close without a goodbye.
    void Stop();
    // Freezes and thaws the server (SIGSTOP, SIGCONT): connections stay open and nothing
    // answers, as with a server that hangs.
    void Pause();
    void Resume();

    // Sessions the server has opened and not yet closed, by its log; waits up to
    // waitMs for the count to become `expected` and returns the last count seen.
    int OpenSessions(int expected, int waitMs = 3000) const;
    QString Log() const;

private:
    TempDir m_root;
    TempDir m_work;
    std::unique_ptr<QProcess> m_process;
    uint16_t m_port = 0;
    bool m_paused = false;
};
