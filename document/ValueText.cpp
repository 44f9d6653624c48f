#include "document/ValueText.h"

#include "measurement/Resolution.h"
#include "platform/core/NumberText.h"
#include "platform/core/StringTable.h"
#include "resources/StringIds.h"

namespace
{
const QString kNoConversion = QStringLiteral("noCnv");
} // namespace

QString FormatValue(float value, int decimals, bool literal)
{
    QString text;
    AppendValue(text, value, decimals, literal);
    return text;
}

void AppendValue(QString& out, float value, int decimals, bool literal)
{
    if (value == MEAS_NO_VALUE)
        out += u"--";
    else if (value == MEAS_BELOW_RANGE)
        out += literal ? kNoConversion : Platform::LoadString(StringId::IDS_BELOW_RANGE);
    else if (value == MEAS_ABOVE_RANGE)
        out += literal ? kNoConversion : Platform::LoadString(StringId::IDS_ABOVE_RANGE);
    else // as printf's "%.*f": a negative precision means the default of six
        Platform::AppendFixed(out, double(value), decimals < 0 ? 6 : decimals);
}

float MicronsToMils(float& value)
{
    value = ConvertMicronsToMils(value, 1);
    return value;
}

double MicronsToMilsDouble(double& value)
{
    value = ConvertMicronsToMilsDouble(value, 1);
    return value;
}

float MilsToMicrons(float& value)
{
    if (IsValidValue(value))
        value *= 25.4f;
    return value;
}
