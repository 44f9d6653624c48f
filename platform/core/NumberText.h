#pragma once
#include <QString>
#include <QStringView>

#include <optional>

// Numbers to and from text in the C locale, whatever the process locale says:
// stored files, device commands and exports must read the same everywhere.
namespace Platform
{
// Fixed notation with the given number of decimals, rounded as printf("%.*f") rounds.
QString FormatFixed(double value, int decimals);
// The same, appended to a text (no temporary string, for long exports).
void AppendFixed(QString& out, double value, int decimals);
// Shortest notation like printf("%.*g").
QString FormatGeneral(double value, int precision = 6);

// Whole text must be a number; surrounding blanks are allowed. nullopt otherwise.
std::optional<double> ParseDouble(QStringView text);
std::optional<float> ParseFloat(QStringView text);
std::optional<long long> ParseInteger(QStringView text, int base = 10);
} // namespace Platform
