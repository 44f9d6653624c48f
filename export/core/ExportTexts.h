#pragma once
#include <QString>
#include <QStringList>

#include <cstdint>

// The texts of the exports that are put together from the string table
// (resources/StringIds.h holds the ids).
namespace ExportTexts
{
// A string-table text with its one "%s" filled in.
QString Format(uint32_t id, const QString& argument);
// Asks before files are replaced; lists them (the first few of a long list).
QString ReplaceFiles(const QStringList& existing);
} // namespace ExportTexts
