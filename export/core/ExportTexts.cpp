#include "export/core/ExportTexts.h"

#include "platform/core/StringTable.h"
#include "resources/StringIds.h"

namespace ExportTexts
{
namespace
{
// A question should fit the screen: the rest of a long list is counted, not listed.
constexpr qsizetype kListedFiles = 10;
} // namespace

QString Format(uint32_t id, const QString& argument)
{
    QString text = Platform::LoadString(id);
    const qsizetype at = text.indexOf(QStringLiteral("%s"));
    if (at >= 0)
        text.replace(at, 2, argument);
    return text;
}

QString ReplaceFiles(const QStringList& existing)
{
    QString list = existing.mid(0, kListedFiles).join(QLatin1Char('\n'));
    if (existing.size() > kListedFiles)
        list += u'\n' + Platform::LoadString(StringId::IDS_AND_MORE)
                            .replace(QStringLiteral("%d"), QString::number(existing.size() - kListedFiles));
    return Format(StringId::IDS_REPLACE_FILES, list);
}
} // namespace ExportTexts
