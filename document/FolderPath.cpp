#include "document/FolderPath.h"

namespace
{
// The tester's roots of measurement and conversion files; both are 24 characters.
const QString kVsmRoot = QStringLiteral("\\Persistent Storage\\vsm\\");
const QString kCnvRoot = QStringLiteral("\\Persistent Storage\\cnv\\");
} // namespace

QString NormalizeFolderPath(QString& path)
{
    const QChar backslash(u'\\');
    if (path.isEmpty())
    {
        path = backslash;
        return path;
    }
    // Repeated separators collapse: an empty folder name between two has no tree item, so
    // such a path would hide its series (and the folder of the same name beside it)
    // although they are saved.
    for (qsizetype i = path.indexOf(QStringLiteral("\\\\")); i >= 0; i = path.indexOf(QStringLiteral("\\\\"), i))
        path.remove(i, 1);
    if (path.front() != backslash)
        path.prepend(backslash);
    if (path.back() != backslash && path.size() > 1)
        path.append(backslash);
    return path;
}

bool IsValidFolderName(const QString& name)
{
    return !name.isEmpty() && !name.contains(u'\\');
}

void SplitDevicePath(const QString& path, QString* folder, QString* innermost, QString* baseName,
                     QString* fileName)
{
    QString work = path;
    // Drop the root but keep its final backslash as the path's leading one.
    if (work.startsWith(kVsmRoot))
        work.remove(0, kVsmRoot.size() - 1);
    else if (work.startsWith(kCnvRoot))
        work.remove(0, kCnvRoot.size() - 1);
    work.replace(QStringLiteral(".DIR\\"), QStringLiteral("\\"));

    QString dir;
    QString file;
    const qsizetype k = work.lastIndexOf(u'\\');
    if (k >= 0)
    {
        dir = work.left(k + 1);
        file = work.mid(k + 1);
    }

    QString inner;
    if (dir.size() > 1)
    {
        const QString trimmed = dir.left(dir.size() - 1);
        inner = trimmed.mid(trimmed.lastIndexOf(u'\\') + 1);
    }

    QString base;
    const qsizetype dot = file.lastIndexOf(u'.');
    if (dot >= 0)
        base = file.left(dot);

    if (folder)
        *folder = dir;
    if (innermost)
        *innermost = inner;
    if (baseName)
        *baseName = base;
    if (fileName)
        *fileName = file;
}
