#include "export/ExportTexts.h"

#include "platform/core/StringTable.h"

#include <QStringList>

namespace ExportTexts
{
namespace
{
// A question should fit the screen: the rest of a long list is counted, not listed.
constexpr qsizetype kListedFiles = 10;
} // namespace

QString NothingToExport()
{
    return QStringLiteral("There are no measurement objects to export.");
}

QString ReplaceFiles(const QStringList& existing)
{
    QString list = existing.mid(0, kListedFiles).join(QLatin1Char('\n'));
    if (existing.size() > kListedFiles)
        list += QStringLiteral("\n... and %1 more").arg(existing.size() - kListedFiles);
    return QStringLiteral("These files already exist:\n\n%1\n\nDo you want to replace them?").arg(list);
}

QString PartsDoNotFit()
{
    return QStringLiteral("The parts of the picture did not fit together; no file was written.");
}

QString WriteFailed()
{
    return QStringLiteral("The file could not be written completely; it was not created or changed.");
}

QString Format(uint32_t id, const QString& argument)
{
    QString text = Platform::LoadString(id);
    const qsizetype at = text.indexOf(QStringLiteral("%s"));
    if (at >= 0)
        text.replace(at, 2, argument);
    return text;
}
} // namespace ExportTexts
