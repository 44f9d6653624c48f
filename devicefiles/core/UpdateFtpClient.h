#pragma once
#include "platform/io/FtpBackend.h"

#include <QString>

#include <cstdint>
#include <memory>

// Where the update server is: the string value "FtpServer" (host name or address) and
// the number "FtpPort" under this key of the settings store. Without them the maker's
// server on the standard port is used.
inline constexpr char kUpdateServerSettingsKey[] = "Software\\Velmor\\Veskador 3\\Update";
inline constexpr char kDefaultUpdateServer[] = "ftp.velmor.com";
Platform::FtpServerAddress UpdateServerAddress();

// What a failed exchange with the update server means to the user: a sentence chosen by
// the transport's error number (not found, not reachable or refused, no answer in time,
// refused request, broken off), then on a line of its own the transport's words and the
// number, for whoever looks into it.
QString UpdateServerErrorText(uint32_t code, const QString& detail);
// That second line alone: the transport's words and "(Error <code>)".
QString UpdateServerErrorDetail(uint32_t code, const QString& detail);

// The connection to the maker's update server: logs in with the customer account and
// enters a folder below "./DiZivavir/". Failures come back as a null connection and the
// last error text, and are also shown in an error box while errors are shown (so a
// background check switches them off first). Not thread-safe: each user keeps its own
// client, or lets one thread at a time use it; only Abort may come from any thread.
class CUpdateFtpClient
{
public:
    static constexpr char kUser[] = "vmcust";
    static constexpr char kPassword[] = "wdmeloXJV";
    static constexpr char kRootFolder[] = "./DiZivavir/";

    CUpdateFtpClient();
    ~CUpdateFtpClient();
    CUpdateFtpClient(const CUpdateFtpClient&) = delete;
    CUpdateFtpClient& operator=(const CUpdateFtpClient&) = delete;

    void SetShowErrors(bool show) { m_showErrors = show ? 1 : 0; }

    // False without a connection; a connection that no longer answers is dropped here.
    bool IsConnected();
    void Close();
    // The present connection, or null; owned by the client.
    Platform::FtpConnection* Connection() const { return m_connection.get(); }

    // Replaces the present connection. The client keeps owning the result, which lives
    // until the next Connect, Close or a failed IsConnected.
    Platform::FtpConnection* Connect(const QString& user, const QString& password, const QString& folder);
    // "./DiZivavir/" + subfolder + "/"; an empty subfolder means the program's product name.
    Platform::FtpConnection* ConnectUpdateFolder(const QString& subfolder);

    void GetLastErrorText(QString& text) const { text = m_lastError; }

    // Any thread: ends the connect or transfer in progress at once, and fails every later
    // call (an aborted client is done; its owner makes a new one).
    void Abort() { m_abort->Abort(); }
    bool Aborted() const { return m_abort->Aborted(); }

private:
    void Fail(const QString& text);

    QString m_lastError;
    uint8_t m_showErrors = 1;
    const std::shared_ptr<Platform::FtpAbort> m_abort = std::make_shared<Platform::FtpAbort>();
    std::shared_ptr<Platform::FtpBackend> m_session;
    std::unique_ptr<Platform::FtpConnection> m_connection;
};
