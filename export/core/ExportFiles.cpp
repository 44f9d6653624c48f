#include "export/core/ExportFiles.h"

#include <QFileInfo>

namespace
{
// Where the suffix starts (at its '.'), or the path's length when the file name has none.
qsizetype SuffixStart(const QString& path)
{
    const qsizetype nameStart = path.lastIndexOf(QLatin1Char('/')) + 1;
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    // A leading dot makes a hidden file's name, not a suffix.
    return dot > nameStart ? dot : path.size();
}
} // namespace

QString WithDefaultSuffix(const QString& path, const QString& defaultSuffix)
{
    if (SuffixStart(path) < path.size() || defaultSuffix.isEmpty())
        return path;
    return path + QLatin1Char('.') + defaultSuffix;
}

QString NumberedFileName(const QString& path, int number, const QString& defaultSuffix)
{
    const QString full = WithDefaultSuffix(path, defaultSuffix);
    const qsizetype at = SuffixStart(full);
    return full.left(at) + QString::number(number) + full.mid(at);
}

QStringList ExistingFiles(const QStringList& paths)
{
    QStringList existing;
    for (const QString& path : paths)
        if (QFileInfo::exists(path))
            existing << path;
    return existing;
}
