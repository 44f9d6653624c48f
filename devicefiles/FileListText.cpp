#include "devicefiles/FileListText.h"

#include "platform/core/StringTable.h"
#include "resources/StringIds.h"

namespace
{
constexpr qsizetype kMaxNamedFiles = 25;
} // namespace

QString FileListText(const QString& heading, const QStringList& names)
{
    QStringList lines{heading};
    lines += names.mid(0, kMaxNamedFiles);
    if (names.size() > kMaxNamedFiles)
        lines << Platform::LoadString(StringId::IDS_AND_MORE)
                     .replace(QStringLiteral("%d"), QString::number(names.size() - kMaxNamedFiles));
    return lines.join(u'\n');
}
