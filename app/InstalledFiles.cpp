#include "app/InstalledFiles.h"

#include "platform/core/StringTable.h"
#include "platform/gui/MessageBox.h"
#include "platform/gui/WaitCursor.h"
#include "resources/StringIds.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <mutex>

namespace
{
const QString kShareFolder = QStringLiteral("../share/veskador3/");

QString ReplaceFirst(QString text, const QString& value)
{
    const qsizetype at = text.indexOf(QStringLiteral("%s"));
    return at < 0 ? text : text.replace(at, 2, value);
}

std::mutex& OpenerLock()
{
    static std::mutex lock;
    return lock;
}

WebPageOpener& Opener()
{
    static WebPageOpener opener;
    return opener;
}
} // namespace

QString GetModuleFolder()
{
    const QString path = QCoreApplication::applicationFilePath();
    const qsizetype cut = path.lastIndexOf(u'/');
    return cut < 0 ? QString() : path.left(cut + 1);
}

WebPageOpener SetWebPageOpener(WebPageOpener opener)
{
    std::lock_guard guard(OpenerLock());
    WebPageOpener previous = std::move(Opener());
    Opener() = std::move(opener);
    return previous;
}

bool OpenWebPage(const QString& address)
{
    WebPageOpener opener;
    {
        std::lock_guard guard(OpenerLock());
        opener = Opener();
    }
    if (opener)
        return opener(address);
    // A page that cannot be opened is not reported.
    return QDesktopServices::openUrl(QUrl::fromUserInput(address));
}

namespace InstalledFiles
{
QStringList SearchFolders(const QString& programFolder)
{
    QStringList folders{programFolder};
    const QString share = QDir::cleanPath(programFolder + kShareFolder);
    folders << share + u'/';
    return folders;
}

QString Find(const QString& name, const QString& programFolder)
{
    if (name.isEmpty())
        return QString();
    for (const QString& folder : SearchFolders(programFolder))
    {
        const QString path = folder + name;
        if (QFileInfo(path).isFile())
            return path;
    }
    return QString();
}

bool Open(QWidget* owner, const QString& name, const QString& programFolder)
{
    const QString path = Find(name, programFolder);
    if (path.isEmpty())
    {
        QString text = ReplaceFirst(Platform::LoadString(StringId::IDS_FILE_NOT_INSTALLED), name);
        text = ReplaceFirst(text, SearchFolders(programFolder).join(u'\n'));
        Platform::ShowMessageBox(owner, text, Platform::LoadString(StringId::IDS_APP_TITLE),
                                 Platform::MB_OK | Platform::MB_ICONEXCLAMATION);
        return false;
    }
    // The desktop's opener reports its own failures; the wait cursor is not left over
    // the message box above.
    const Platform::WaitCursor wait;
    OpenWebPage(QUrl::fromLocalFile(path).toString());
    return true;
}

bool OpenManual(QWidget* owner)
{
    return Open(owner, Platform::LoadString(StringId::IDS_MANUAL_FILE), GetModuleFolder());
}
} // namespace InstalledFiles
