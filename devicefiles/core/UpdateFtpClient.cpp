#include "devicefiles/core/UpdateFtpClient.h"

#include "device/DeviceText.h"
#include "platform/io/FtpBackend.h"
#include "platform/core/SettingsStore.h"
#include "platform/core/StringTable.h"
#include "platform/gui/MessageBox.h"
#include "resources/StringIds.h"
#include "streamio/FileVersionInfo.h"

namespace
{

// The transport's texts are short; a server's answer could be anything.
constexpr qsizetype kMaxErrorText = 1024;
} // namespace

Platform::FtpServerAddress UpdateServerAddress()
{
    auto& store = Platform::SettingsStore::Instance();
    const QString key = QString::fromLatin1(kUpdateServerSettingsKey);
    Platform::FtpServerAddress address{QString::fromLatin1(kDefaultUpdateServer), 21};
    if (const auto host = store.ReadString(key, QStringLiteral("FtpServer"));
        host && !host->trimmed().isEmpty())
        address.host = host->trimmed();
    if (const auto port = store.ReadNumber(key, QStringLiteral("FtpPort"));
        port && *port >= 1 && *port <= 65535)
        address.port = uint16_t(*port);
    return address;
}

QString UpdateServerErrorText(uint32_t code, const QString& detail)
{
    uint32_t sentence = StringId::IDS_UPDATE_SERVER_FAILED;
    switch (code)
    {
    case Err::InternetNameNotResolved:
    case Err::InternetInvalidUrl:
        sentence = StringId::IDS_UPDATE_SERVER_NOT_FOUND;
        break;
    case Err::InternetCannotConnect:
        sentence = StringId::IDS_UPDATE_SERVER_UNREACHABLE;
        break;
    case Err::InternetTimeout:
        sentence = StringId::IDS_UPDATE_SERVER_TIMEOUT;
        break;
    case Err::InternetIncorrectPassword:
    case Err::InternetExtendedError:
        sentence = StringId::IDS_UPDATE_SERVER_REFUSED;
        break;
    case Err::InternetConnectionAborted:
        sentence = StringId::IDS_UPDATE_SERVER_BROKE_OFF;
        break;
    default:
        break;
    }
    return Platform::LoadString(sentence) + QStringLiteral("\r\n") + UpdateServerErrorDetail(code, detail);
}

QString UpdateServerErrorDetail(uint32_t code, const QString& detail)
{
    QString text = detail.left(kMaxErrorText);
    if (!text.isEmpty())
        text += QLatin1Char(' ');
    return text + Device::FormatDeviceText(Platform::LoadString(StringId::IDS_FTP_ERROR_NUMBER), {QString::number(code)});
}

CUpdateFtpClient::CUpdateFtpClient() = default;

CUpdateFtpClient::~CUpdateFtpClient()
{
    m_connection.reset();
    m_session.reset();
}

bool CUpdateFtpClient::IsConnected()
{
    if (!m_connection)
        return false;
    QString folder;
    if (m_connection->CurrentFolder(folder) != 0)
    {
        m_connection.reset();
        return false;
    }
    return true;
}

void CUpdateFtpClient::Close()
{
    m_connection.reset();
}

Platform::FtpConnection* CUpdateFtpClient::Connect(const QString& user, const QString& password,
                                                   const QString& folder)
{
    if (IsConnected())
        Close();
    if (!m_session)
    {
        m_session = Platform::CurrentFtpBackend();
        if (!m_session)
        {
            Fail(Platform::LoadString(StringId::IDS_FTP_NO_SESSION));
            return nullptr;
        }
    }
    m_lastError.clear();

    std::unique_ptr<Platform::FtpConnection> connection;
    QString text;
    const uint32_t code = m_session->Connect(UpdateServerAddress(), user, password, connection, text, m_abort);
    if (code != 0 || !connection)
    {
        Fail(UpdateServerErrorText(code, text));
        return nullptr;
    }
    QString current;
    if (connection->CurrentFolder(current) != 0)
    {
        Fail(Platform::LoadString(StringId::IDS_FTP_CONNECT_FAILED));
        return nullptr;
    }
    if (connection->ChangeFolder(folder) != 0)
    {
        Fail(Device::FormatDeviceText(Platform::LoadString(StringId::IDS_FTP_FOLDER_NOT_FOUND), {folder}));
        return nullptr;
    }
    m_connection = std::move(connection);
    return m_connection.get();
}

Platform::FtpConnection* CUpdateFtpClient::ConnectUpdateFolder(const QString& subfolder)
{
    QString name = subfolder;
    if (name.isEmpty())
    {
        CFileVersionInfo version;
        version.ReadFromModule();
        name = version.GetProductName();
    }
    const QString folder = QString::fromLatin1(kRootFolder) + name + QLatin1Char('/');
    return Connect(QString::fromLatin1(kUser), QString::fromLatin1(kPassword), folder);
}

void CUpdateFtpClient::Fail(const QString& text)
{
    m_lastError = text;
    if (m_showErrors)
        Platform::ShowMessageBox(text, Platform::MB_OK | Platform::MB_ICONERROR);
}
