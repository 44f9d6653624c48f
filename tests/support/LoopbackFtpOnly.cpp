#include "tests/support/LoopbackFtpOnly.h"

#include "platform/core/ErrorCodes.h"

#include <QStringList>

bool LoopbackFtpOnly::IsLoopback(const QString& host)
{
    if (host == QLatin1String("localhost") || host == QLatin1String("::1") || host == QLatin1String("[::1]"))
        return true;
    const QStringList parts = host.split(u'.');
    if (parts.size() != 4 || parts[0] != QLatin1String("127"))
        return false;
    for (const QString& part : parts)
    {
        bool ok = false;
        const int value = part.toInt(&ok);
        if (!ok || value < 0 || value > 255 || part.size() > 3)
            return false;
    }
    return true;
}

uint32_t LoopbackFtpOnly::Connect(const Platform::FtpServerAddress& server, const QString& user,
                                  const QString& password, std::unique_ptr<Platform::FtpConnection>& connection,
                                  QString& errorText, const std::shared_ptr<Platform::FtpAbort>& abort)
{
    connection.reset();
    if (!IsLoopback(server.host) || !m_real)
    {
        errorText = QStringLiteral("Tests reach no server but this machine's (%1).").arg(server.host);
        return Err::InternetCannotConnect;
    }
    return m_real->Connect(server, user, password, connection, errorText, abort);
}

void LoopbackFtpOnly::Install()
{
    Platform::SetFtpBackend(std::make_shared<LoopbackFtpOnly>(Platform::FtpBackend::Curl()));
}
