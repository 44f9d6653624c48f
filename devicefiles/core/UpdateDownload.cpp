#include "devicefiles/core/UpdateDownload.h"

#include "device/DeviceText.h"
#include "devicefiles/core/UpdateFtpClient.h"
#include "platform/core/ErrorCodes.h"
#include "platform/core/SafeFileWriter.h"
#include "platform/core/StringTable.h"
#include "platform/io/FtpBackend.h"
#include "resources/StringIds.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <memory>
#include <vector>

namespace UpdateDownload
{
namespace
{
constexpr qsizetype kMaxNameBytes = 255;
constexpr qsizetype kSha256Digits = 64;

QString Text(uint32_t id, const QStringList& values)
{
    return Device::FormatDeviceText(Platform::LoadString(id), values);
}

SResult Failed(const QString& text)
{
    return SResult{NEnd::failed, text};
}

// A transfer that went wrong: our own abort, or the server's or the line's fault.
SResult TransferFailed(CUpdateFtpClient& client, uint32_t code, const QString& detail)
{
    if (code == Err::InternetOperationCancelled && client.Aborted())
        return SResult{NEnd::cancelled, QString()};
    return Failed(UpdateServerErrorText(code, detail));
}

bool IsHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
} // namespace

bool IsPlainFileName(const QString& name)
{
    if (name.isEmpty() || name.startsWith(u'.') || name.toUtf8().size() > kMaxNameBytes)
        return false;
    for (const QChar c : name)
    {
        if (c == u'/' || c == u'\\' || c.unicode() < 0x20 || c.unicode() == 0x7F)
            return false;
    }
    return true;
}

QByteArray ParseSha256File(QByteArrayView text)
{
    if (text.size() < kSha256Digits)
        return QByteArray();
    for (qsizetype i = 0; i < kSha256Digits; ++i)
    {
        if (!IsHexDigit(text[i]))
            return QByteArray();
    }
    // The word must end there: 65 digits are no checksum of ours.
    if (text.size() > kSha256Digits)
    {
        const char next = text[kSha256Digits];
        if (next != ' ' && next != '\t' && next != '\r' && next != '\n')
            return QByteArray();
    }
    return QByteArray::fromHex(text.first(kSha256Digits).toByteArray());
}

QString DefaultFolder()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    return folder;
}

QString InstallCommand(const QString& fileName)
{
    const QString path = QStringLiteral("./") + fileName;
    const bool plain = std::all_of(path.begin(), path.end(),
                                   [](QChar c)
                                   {
                                       return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                                              (c >= u'0' && c <= u'9') || c == u'.' || c == u'_' ||
                                              c == u'-' || c == u'+' || c == u'/';
                                   });
    QString quoted = path;
    if (!plain)
        quoted = u'\'' + QString(path).replace(QStringLiteral("'"), QStringLiteral("'\\''")) + u'\'';
    return QStringLiteral("sudo apt install ") + quoted;
}

SResult Fetch(CUpdateFtpClient& client, const SRequest& request, const Progress& progress)
{
    if (!IsPlainFileName(request.file))
        return Failed(Text(StringId::IDS_UPDATE_BAD_NAME, {request.file}));
    if (request.size == 0)
        return Failed(Text(StringId::IDS_UPDATE_EMPTY, {request.file}));

    // The target first: when it cannot be written, nothing needs to be fetched.
    Platform::SafeFileWriter local;
    if (!QDir().mkpath(QFileInfo(request.target).absolutePath()) || !local.Open(request.target))
        return SResult{NEnd::targetNotWritable, Text(StringId::IDS_UPDATE_WRITE_FAILED,
                                                     {QDir::toNativeSeparators(request.target),
                                                      local.Reason()})};

    Platform::FtpConnection* connection =
        client.IsConnected() ? client.Connection() : client.ConnectUpdateFolder(request.productName);
    if (!connection)
    {
        if (client.Aborted())
            return SResult{NEnd::cancelled, QString()};
        QString text;
        client.GetLastErrorText(text);
        return Failed(text);
    }

    QCryptographicHash hash(QCryptographicHash::Sha256);
    uint64_t done = 0;
    {
        std::unique_ptr<Platform::FtpFile> remote;
        if (const uint32_t code = connection->OpenFile(request.file, remote))
        {
            // The listing named it, so a refusal now means it went from the server since.
            if (code == Err::InternetExtendedError)
                return Failed(Text(StringId::IDS_UPDATE_FILE_MISSING, {request.file}) + QStringLiteral("\r\n") +
                              UpdateServerErrorDetail(code, connection->LastErrorText()));
            return TransferFailed(client, code, connection->LastErrorText());
        }
        std::vector<char> buffer(kChunk);
        for (;;)
        {
            // Data the transport holds already would still come after an abort.
            if (client.Aborted())
                return SResult{NEnd::cancelled, QString()};
            size_t got = 0;
            if (const uint32_t code = remote->Read(buffer.data(), buffer.size(), got))
                return TransferFailed(client, code, connection->LastErrorText());
            if (got == 0)
                break;
            // A server that sends more than it listed is not sending the file we chose.
            if (got > request.size - done)
                return Failed(Text(StringId::IDS_UPDATE_SIZE_MISMATCH,
                                   {request.file, QString::number(done + got), QString::number(request.size)}));
            if (!local.Write(buffer.data(), got))
                return Failed(Text(StringId::IDS_UPDATE_WRITE_FAILED,
                                   {QDir::toNativeSeparators(request.target), local.Reason()}));
            hash.addData(QByteArrayView(buffer.data(), qsizetype(got)));
            done += got;
            if (progress)
                progress(done);
        }
    }
    if (done != request.size)
        return Failed(Text(StringId::IDS_UPDATE_SIZE_MISMATCH,
                           {request.file, QString::number(done), QString::number(request.size)}));

    if (!request.checksumFile.isEmpty())
    {
        QByteArray text;
        const uint32_t code = connection->Download(request.checksumFile,
                                                   [&](const char* data, size_t size)
                                                   {
                                                       if (text.size() + qsizetype(size) > kMaxChecksumFileBytes)
                                                           return false;
                                                       text.append(data, qsizetype(size));
                                                       return true;
                                                   });
        if (code == Err::InternetOperationCancelled && client.Aborted())
            return SResult{NEnd::cancelled, QString()};
        const QByteArray expected = code == Err::Success ? ParseSha256File(text) : QByteArray();
        if (expected.isEmpty())
            return Failed(Text(StringId::IDS_UPDATE_CHECKSUM_UNREADABLE, {request.file}));
        if (expected != hash.result())
            return Failed(Text(StringId::IDS_UPDATE_CHECKSUM_MISMATCH, {request.file}));
    }

    if (!local.Commit())
        return Failed(Text(StringId::IDS_UPDATE_WRITE_FAILED,
                           {QDir::toNativeSeparators(request.target), local.Reason()}));
    return SResult{NEnd::done, QString()};
}

} // namespace UpdateDownload
