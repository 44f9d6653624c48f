// Every text id the program's code asks for has a built-in English text: a missing one
// would show as a blank on a page, in a menu or in an exported file.
#include "platform/core/StringTable.h"
#include "resources/BuiltInStrings.h"

#include <QDirIterator>

#include <QFile>
#include <QMap>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <algorithm>

namespace
{
// The folders of the program's code (the tests ask for texts of their own).
const char* const kCodeFolders[] = {"app",        "controls", "device",  "devicefiles", "document", "export",
                                    "grid",       "measurement", "platform", "resources", "seriesview",
                                    "streamio"};

// Every source file of the program, by its path below the source folder.
QMap<QString, QString> ProgramSources()
{
    const QString root = QStringLiteral(VESKADOR_SOURCE_DIR);
    QMap<QString, QString> sources;
    for (const char* folder : kCodeFolders)
    {
        QDirIterator it(root + u'/' + QLatin1String(folder), {QStringLiteral("*.cpp"), QStringLiteral("*.h")},
                        QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
        {
            QFile file(it.next());
            if (file.open(QIODevice::ReadOnly))
                sources.insert(file.fileName().mid(root.size() + 1), QString::fromUtf8(file.readAll()));
        }
    }
    return sources;
}

struct SUse
{
    uint32_t id;
    QString where;
};

// The ids the code names: constants of string ids (IDS_..., kIds..., kId... of 100 and up,
// and arrays of them), and numbers handed to LoadString or to the series texts directly.
std::vector<SUse> IdsAskedFor(const QMap<QString, QString>& sources)
{
    static const QRegularExpression constant(
        QStringLiteral(R"(\b(IDS_\w+|kIds?\w+)\s*(\[\d*\])?\s*=\s*(\{[\d,\s]+\}|\d+)\s*;)"));
    static const QRegularExpression literal(
        QStringLiteral(R"(\b(?:LoadString|Text)\(\s*(\d+)\s*[,)])"));
    static const QRegularExpression number(QStringLiteral(R"(\d+)"));
    std::vector<SUse> uses;
    for (auto it = sources.begin(); it != sources.end(); ++it)
    {
        for (const QRegularExpressionMatch& m : constant.globalMatch(it.value()))
            for (const QRegularExpressionMatch& n : number.globalMatch(m.captured(3)))
                if (const uint32_t id = n.captured().toUInt(); id >= 100)
                    uses.push_back({id, it.key() + QStringLiteral(": ") + m.captured(1)});
        for (const QRegularExpressionMatch& m : literal.globalMatch(it.value()))
            uses.push_back({m.captured(1).toUInt(), it.key() + QStringLiteral(": ") + m.captured()});
    }
    return uses;
}
} // namespace

TEST(StringIds, EveryIdTheCodeAsksForHasABuiltInText)
{
    const QMap<QString, QString> sources = ProgramSources();
    ASSERT_TRUE(sources.contains(QStringLiteral("resources/StringIds.h")));
    RegisterBuiltInStrings();
    const std::vector<SUse> uses = IdsAskedFor(sources);
    // The scan finds the table's constants and the series texts' numbers.
    ASSERT_GT(uses.size(), 300u);
    const auto& table = Platform::StringTable::Instance();
    for (const uint32_t id : {59183u, 59191u, 59192u, 59195u})
        EXPECT_TRUE(std::any_of(uses.begin(), uses.end(), [id](const SUse& u) { return u.id == id; })) << id;
    for (const SUse& use : uses)
        EXPECT_FALSE(table.Get(use.id).isEmpty()) << use.id << " (" << use.where.toStdString() << ") has no text";
}
