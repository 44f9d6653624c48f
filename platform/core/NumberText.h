#pragma once
#include <QLocale>
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

// A number a user typed into a field: the decimal point, or the decimal separator of the
// given locale (the user's by default), before the decimals; blanks around it. Anything
// else (a unit, letters, group separators, both separators, infinity) gives nullopt, so
// the field can refuse it instead of reading a part of it.
std::optional<double> ParseTypedNumber(QStringView text, const QLocale& locale = QLocale());
// A whole number a user typed: digits with an optional sign, blanks around them.
std::optional<long long> ParseTypedInteger(QStringView text);
// An example of a number as ParseTypedNumber takes it ("12.5", or "12.5 or 12,5" where the
// locale writes a comma), for messages.
QString TypedNumberExample(const QLocale& locale = QLocale());
} // namespace Platform
