#include "devicefiles/core/DeviceFileTransfer.h"

#include "device/VmCommands.h"
#include "streamio/RamStream.h"

#include "platform/core/SafeFileWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <memory>

namespace DeviceFileTransfer
{
namespace
{
constexpr int kLogRuleLength = 147;
const QString kTransferRamFile = QStringLiteral("RAM:devicefile.tmp");
const QString kFolderSuffix = QStringLiteral(".DIR");
const QString kProfilesFileEnd = QStringLiteral("profiles.bin");
// Marks the name of a LOG collection that ended early.
const QString kPartialMark = QStringLiteral("partial");
constexpr int kMaxPartialNames = 1000;

bool IsControl(QChar c)
{
    return c.unicode() < 0x20 || c.unicode() == 0x7F;
}

// A RAM file that goes with the stream, also when a transfer raises.
std::unique_ptr<StreamIO::CRamStream> OpenTransferFile()
{
    auto stream = std::make_unique<StreamIO::CRamStream>();
    if (!stream->Open(kTransferRamFile,
                      StreamIO::STREAM_READ | StreamIO::STREAM_WRITE | StreamIO::STREAM_CREATE_ALWAYS))
        return nullptr;
    return stream;
}

// Downloads one file and appends its bytes to out.
bool AppendDownload(const DownloadCall& download, const QString& devicePath, QByteArray& out)
{
    try
    {
        std::unique_ptr<StreamIO::CRamStream> ram = OpenTransferFile();
        if (!ram || !download(ram.get(), devicePath))
            return false;
        const uint32_t length = ram->GetLength();
        const qsizetype start = out.size();
        out.resize(start + qsizetype(length));
        ram->SetPosition(0);
        if (ram->Read(out.data() + start, length) != length)
        {
            out.resize(start);
            return false;
        }
        return true;
    }
    catch (const std::exception&)
    {
        return false;
    }
}
} // namespace

QString DeviceFileName(const QString& devicePath)
{
    return devicePath.mid(devicePath.lastIndexOf(u'\\') + 1);
}

bool IsSafeLocalName(const QString& name)
{
    if (name.isEmpty() || name == QStringLiteral(".") || name == QStringLiteral(".."))
        return false;
    for (const QChar c : name)
        if (c == u'/' || c == u'\\' || IsControl(c))
            return false;
    return true;
}

NameFault DeviceNameFault(const QString& name)
{
    // The first fault in the name is told; Linux allows '\\' in a name, but the tester reads
    // it as a folder separator.
    for (const QChar c : name)
    {
        if (c == u'"' || c == u'\r' || c == u'\n')
            return NameFault::quoteOrLineBreak;
        if (c == u'\\' || c == u'/')
            return NameFault::separator;
        if (IsControl(c))
            return NameFault::control;
    }
    // Periods alone stand for the folder itself or the one above it, or for no name at all
    // (a rename to ".." would ask for "...vsm").
    if (std::all_of(name.begin(), name.end(), [](QChar c) { return c == u'.' || c.isSpace(); }))
        return NameFault::blank;
    return NameFault::none;
}

bool IsSafeUploadName(const QString& name)
{
    return DeviceNameFault(name) == NameFault::none;
}

QString LocalTargetPath(const QString& localFolder, const QString& relativePath)
{
    QStringList parts = relativePath.split(u'\\', Qt::SkipEmptyParts);
    if (parts.isEmpty())
        return QString();
    const bool folder = relativePath.endsWith(u'\\');
    for (qsizetype i = 0; i < parts.size(); ++i)
    {
        if (folder || i + 1 < parts.size())
        {
            if (parts[i].endsWith(kFolderSuffix))
                parts[i].chop(kFolderSuffix.size());
        }
        if (!IsSafeLocalName(parts[i]))
            return QString();
    }
    QString path = localFolder;
    if (!path.endsWith(u'/'))
        path += u'/';
    return path + parts.join(u'/');
}

bool DownloadToMemory(const DownloadCall& download, const QString& devicePath, QByteArray& bytes)
{
    bytes.clear();
    return AppendDownload(download, devicePath, bytes);
}

bool UploadFromMemory(const UploadCall& upload, const QString& devicePath, const QByteArray& bytes)
{
    if (bytes.isEmpty() || bytes.size() > qsizetype(Device::CVmCommands::kMaxUpload))
        return false;
    try
    {
        std::unique_ptr<StreamIO::CRamStream> ram = OpenTransferFile();
        if (!ram || ram->Write(bytes.constData(), uint32_t(bytes.size())) != uint32_t(bytes.size()))
            return false;
        ram->SetPosition(0);
        return upload(devicePath, ram.get());
    }
    catch (const std::exception&)
    {
        return false;
    }
}

bool ReadUploadFile(const QString& localPath, QByteArray& bytes)
{
    bytes.clear();
    QFile file(localPath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // One byte more than the tester takes is enough to know that it will refuse the file.
    bytes = file.read(qint64(Device::CVmCommands::kMaxUpload) + 1);
    return file.error() == QFileDevice::NoError;
}

bool WriteLocalFile(const QString& localPath, const QByteArray& bytes, QString* writeError)
{
    Platform::SafeFileWriter file;
    if (file.Open(localPath) && file.Write(bytes) && file.Commit())
        return true;
    if (writeError)
        *writeError = file.ErrorMessage();
    return false;
}

bool DownloadToLocalFile(const DownloadCall& download, const QString& devicePath, const QString& localPath,
                         QString* writeError)
{
    QByteArray bytes;
    return DownloadToMemory(download, devicePath, bytes) && WriteLocalFile(localPath, bytes, writeError);
}

QByteArray LogFileHeader(const QString& devicePath)
{
    const QByteArray rule(kLogRuleLength, '-');
    QByteArray path;
    path.reserve(devicePath.size());
    for (const QChar c : devicePath)
        path.append(char(c.unicode() & 0xFF));
    return '\n' + rule + '\n' + path + '\n' + rule + '\n';
}

QString PartialCollectionPath(const QString& localPath)
{
    const QFileInfo info(localPath);
    const QString suffix = info.suffix().isEmpty() ? QString() : u'.' + info.suffix();
    QString path;
    // So many partial files are beyond any use: the last name is taken again then.
    for (int n = 1; n <= kMaxPartialNames; ++n)
    {
        const QString mark = n == 1 ? kPartialMark : kPartialMark + u' ' + QString::number(n);
        path = info.dir().filePath(info.completeBaseName() + QStringLiteral(" (") + mark + u')' + suffix);
        if (!QFileInfo::exists(path))
            break;
    }
    return path;
}

SLogCollection CollectLogFiles(const DownloadCall& download, const QStringList& paths, const QString& localPath,
                               const FileStep& step, QString* writeError)
{
    // An earlier collection is replaced only by a complete one: while the outcome is open,
    // the files go to the partial name, which takes the earlier file's place at the end.
    const bool earlier = QFileInfo::exists(localPath);
    const QString target = earlier ? PartialCollectionPath(localPath) : localPath;
    // Each file goes to the temporary file as it arrives, so only one is held in memory.
    Platform::SafeFileWriter collection;
    const auto writeFailed = [&]
    {
        if (writeError)
            *writeError = collection.ErrorMessage();
        return SLogCollection{};
    };
    if (!collection.Open(target))
        return writeFailed();
    SLogCollection result;
    bool complete = true;
    for (const QString& path : paths)
    {
        // A folder of the listing holds no bytes; its files follow as entries of their own.
        if (path.endsWith(u'\\'))
            continue;
        QByteArray block = LogFileHeader(path);
        if (!(!step || step(result.kept, path)) || !AppendDownload(download, path, block))
        {
            complete = false;
            break;
        }
        if (!collection.Write(block))
            return writeFailed();
        ++result.kept;
    }
    if (!complete && result.kept == 0)
        return {}; // the writer drops the temporary file
    if (!collection.Commit())
        return writeFailed();
    result.complete = complete;
    result.keptIn = target;
    if (complete && earlier)
    {
        // rename replaces the earlier file in one step.
        if (std::rename(QFile::encodeName(target).constData(), QFile::encodeName(localPath).constData()) != 0)
        {
            QFile::remove(target);
            return {};
        }
        result.keptIn = localPath;
    }
    return result;
}

QString FindProfilesFile(const QStringList& paths)
{
    for (const QString& path : paths)
        if (path.endsWith(kProfilesFileEnd, Qt::CaseSensitive))
            return path;
    return QString();
}
} // namespace DeviceFileTransfer
