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

// The connection to the maker's update server: logs in with the customer account and
// enters a folder below "./DiZivavir/". Failures come back as a null connection and the
// last error text, and are also shown in an error box while errors are shown (so a
// background check switches them off first). Not thread-safe: each user keeps its own
// client, or lets one thread at a time use it.
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

    // Replaces the present connection. The client keeps owning the result, which lives
    // until the next Connect, Close or a failed IsConnected.
    Platform::FtpConnection* Connect(const QString& user, const QString& password, const QString& folder);
    // "./DiZivavir/" + subfolder + "/"; an empty subfolder means the program's product name.
    Platform::FtpConnection* ConnectUpdateFolder(const QString& subfolder);

    void GetLastErrorText(QString& text) const { text = m_lastError; }

private:
    void Fail(const QString& text);

    QString m_lastError;
    uint8_t m_showErrors = 1;
    std::shared_ptr<Platform::FtpBackend> m_session;
    std::unique_ptr<Platform::FtpConnection> m_connection;
};
