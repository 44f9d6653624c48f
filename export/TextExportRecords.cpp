// The records of the text export: the Table line and the Report block of one series.
#include "export/TextExport.h"

#include "app/document/LocalTime.h"
#include "app/document/ValueText.h"
#include "app/document/VeskDoc.h"
#include "measurement/MeasSeriesWrapper.h"
#include "measurement/Resolution.h"
#include "measurement/ScaleCodes.h"

#include <QDateTime>

#include <optional>

namespace
{
constexpr char16_t kTab = u'\t';
constexpr QStringView kCrLf = u"\r\n";
const QString kOff = QStringLiteral("off");
const QString kNone = QStringLiteral("--");
// Readings that are not excluded, as the layouts list them.
constexpr int kListedReadings = 5;
// A keyed Report line: the key padded to this column, then three separators.
constexpr qsizetype kKeyColumn = 41;
constexpr qsizetype kAstmKeyColumn = 45;
// The cells of a Report reading row.
constexpr qsizetype kCellWidth = 20;
constexpr qsizetype kSeparatorDashes = 143;

const QString kTableHeader = QStringLiteral(
    "Meas. series name\tDate\tTime\tComment\tProbe\tProbe serial\tDevice serial\t"
    "ASTM B724 meas. method (Veskamon)\tDiameter (Veskamon)\tDirection (Veskora)\tMaterial group\t"
    "Material\tConversion Std.\tScale\tUpper limit\tLower limit\tReadings\tMean\tMin\tMax\tRange\t"
    "Std. dev.\tUncertainty\tCp\tCpk\tCp min\tCpk min\tSingle readings (1 to 9999)\t\r\n");

// What both layouts take from a series, gathered once per record.
struct SSeriesFacts
{
    CMeasSeriesWrapper* entry = nullptr;
    CMeasSeries1* series = nullptr; // null for an entry without a series
    SSeriesSettings settings;
    bool bench = false;
    bool imperial = false;
    bool mils = false; // depth values shown in thousandths of an inch
    int decimals = 0;
    int moreDecimals = 1;
    int ratioDecimals = 3;
    QString scale;
    QString material;
    std::optional<LocalDateTime> time;

    SSeriesFacts(const CVeskDoc& doc, int index)
    {
        entry = doc.GetSeriesAt(index);
        series = entry->GetSeries();
        doc.GetSeriesSettings(index, settings);
        bench = settings.probeId.IsBenchProbe();
        if (series)
        {
            imperial = series->IsImperial();
            mils = imperial && IsDepthScale(series->GetTargetScale().scale);
            QString longName;
            series->GetTargetScaleNames(scale, longName, imperial);
            if (settings.material.type == 0)
                material = settings.material.Name();
            else
                series->GetMaterialName(material);
        }
        decimals = doc.GetSeriesDecimals(index, 0);
        moreDecimals = doc.GetSeriesDecimals(index, 1);
        ratioDecimals = doc.GetSeriesDecimals(index, 2);
        // A stamp in daylight-saving time is written one hour earlier, as the series page
        // shows it. "Date not set" has no calendar time.
        const QDateTime stamp = doc.GetSeriesTime(index);
        if (stamp.isValid())
            time = ToLocalDateTime(ApplyDaylightRule(stamp.toSecsSinceEpoch()));
    }

    float Statistic(float (CMeasSeries1::*get)()) const { return series ? (series->*get)() : MEAS_NO_VALUE; }

    // A statistic or a limit ("noCnv" for a value out of the conversion's range).
    QString Value(float value, int places) const
    {
        return FormatValue(mils ? ConvertMicronsToMils(value, 1) : value, places, true);
    }
    QString Limit(float value) const { return value == MEAS_NO_VALUE ? kOff : Value(value, decimals); }
    // Cp and its kin are ratios: never converted.
    QString Ratio(float (CMeasSeries1::*get)()) const
    {
        return FormatValue(Statistic(get), ratioDecimals, true);
    }
    // A single reading: the out-of-range texts come from the string table.
    QString Reading(int i) const
    {
        const float value = series->GetReading(i, nullptr, nullptr, kListedReadings);
        return FormatValue(mils ? ConvertMicronsToMils(value, 1) : value, decimals, false);
    }
    // Every reading the layouts list, including those without a value (they show "--").
    int ListedReadings() const
    {
        if (!series)
            return 0;
        const int all = series->GetCount(7);
        int n = 0;
        for (int raw = series->ResolveIndex(0, kListedReadings); raw >= 0 && raw < all;
             raw = series->ResolveIndex(++n, kListedReadings))
        {
        }
        return n;
    }
    QString ProbeName() const
    {
        QString name;
        if (series)
            series->GetProbeName(name);
        return name;
    }
};

void AppendTwoDigits(QString& out, int value)
{
    out += QChar(u'0' + value / 10 % 10);
    out += QChar(u'0' + value % 10);
}

void AppendDate(QString& out, const LocalDateTime& t)
{
    out += QString::number(t.date.year());
    out += u'-';
    AppendTwoDigits(out, t.date.month());
    out += u'-';
    AppendTwoDigits(out, t.date.day());
}

void AppendTime(QString& out, const LocalDateTime& t)
{
    AppendTwoDigits(out, t.time.hour());
    out += u':';
    AppendTwoDigits(out, t.time.minute());
    out += u':';
    AppendTwoDigits(out, t.time.second());
}

// A text from the data (a name, a material, a serial): it may not break the layout.
void AppendText(QString& out, const QString& text)
{
    for (QChar c : text)
    {
        if (c == u'\t' || c == u'\r' || c == u'\n')
        {
            out += CTextExport::EscapeText(text, false);
            return;
        }
    }
    out += text;
}

void AppendField(QString& out, const QString& text)
{
    AppendText(out, text);
    out += kTab;
}

void AppendPadded(QString& out, const QString& text, qsizetype width)
{
    out += text;
    if (text.size() < width)
        out += QString(width - text.size(), u' ');
}

// "    Key<spaces>;;;" with the separators at the column.
void AppendKey(QString& out, QStringView key, qsizetype column = kKeyColumn)
{
    const qsizetype start = out.size();
    out += u"    ";
    out += key;
    const qsizetype used = out.size() - start;
    if (used < column)
        out += QString(column - used, u' ');
    out += u"\t\t\t";
}

void AppendKeyed(QString& out, QStringView key, const QString& value, qsizetype column = kKeyColumn)
{
    AppendKey(out, key, column);
    AppendText(out, value);
    out += kCrLf;
}
} // namespace

const QString& CTextExport::Header() const
{
    static const QString none;
    return m_layout == LayoutTable ? kTableHeader : none;
}

const QString& CTextExport::ReportSeparator()
{
    static const QString separator = [] {
        QString s = QStringLiteral("\r\n\r\n\r\n");
        for (int i = 0; i < 3; ++i)
            s += QString(kSeparatorDashes, u'-') + QStringLiteral("\r\n");
        return s + QStringLiteral("\r\n\r\n");
    }();
    return separator;
}

QString CTextExport::EscapeText(const QString& text, bool escapeMarkup)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i)
    {
        const QChar c = text[i];
        if (c == u'\r')
        {
            // CR LF, and a CR alone, are one line break.
            if (i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            out += u"&#13";
        }
        else if (c == u'\n')
            out += u"&#13";
        else if (c == u'\t')
            out += u"&#9";
        else if (escapeMarkup && c == u'&')
            out += u"&amp";
        else if (escapeMarkup && c == u'"')
            out += u"&quot";
        else
            out += c;
    }
    return out;
}

void CTextExport::WriteRecord(int index, QString& out) const
{
    if (m_layout == LayoutReport)
        WriteReportRecord(index, out);
    else
        WriteTableRecord(index, out);
}

void CTextExport::WriteTableRecord(int index, QString& out) const
{
    const SSeriesFacts f(m_doc, index);
    AppendField(out, m_doc.GetSeriesName(index));
    if (f.time)
    {
        AppendDate(out, *f.time);
        out += kTab;
        AppendTime(out, *f.time);
        out += kTab;
    }
    else
    {
        out += u"\t\t";
    }
    out += EscapeText(m_doc.GetSeriesComment(index));
    out += kTab;
    AppendField(out, f.ProbeName());
    AppendField(out, f.entry->GetProbeSerial());
    AppendField(out, f.entry->GetDeviceSerial());
    if (f.bench)
    {
        AppendField(out, f.entry->GetB724ModeText(true));
        AppendField(out, f.entry->GetDiameterText(f.imperial, true));
        out += kTab;
    }
    else
    {
        out += u"\t\t";
        AppendField(out, f.entry->GetCommonDirectionText(true));
    }
    AppendField(out, QString::number(static_cast<int8_t>(f.settings.material.type)));
    AppendField(out, f.material);
    AppendField(out, f.entry->GetStandardName());
    AppendField(out, f.scale);
    AppendField(out, f.Limit(f.settings.upperLimit));
    AppendField(out, f.Limit(f.settings.lowerLimit));
    AppendField(out, QString::number(m_doc.GetSeriesValidCount(index)));
    AppendField(out, f.Value(f.Statistic(&CMeasSeries1::GetMean), f.decimals));
    AppendField(out, f.Value(f.Statistic(&CMeasSeries1::GetMin), f.decimals));
    AppendField(out, f.Value(f.Statistic(&CMeasSeries1::GetMax), f.decimals));
    AppendField(out, f.Value(f.Statistic(&CMeasSeries1::GetRange), f.decimals));
    AppendField(out, f.Value(f.Statistic(&CMeasSeries1::GetStdDev), f.moreDecimals));
    AppendField(out, f.Value(f.Statistic(&CMeasSeries1::GetConfidenceHalfWidth), f.decimals));
    AppendField(out, f.Ratio(&CMeasSeries1::GetCp));
    AppendField(out, f.Ratio(&CMeasSeries1::GetCpk));
    AppendField(out, f.Ratio(&CMeasSeries1::GetCpLowerBound));
    AppendField(out, f.Ratio(&CMeasSeries1::GetCpkLowerBound));
    const int readings = f.ListedReadings();
    for (int i = 0; i < readings; ++i)
    {
        out += f.Reading(i);
        out += kTab;
    }
    out += kCrLf;
}

void CTextExport::WriteReportRecord(int index, QString& out) const
{
    const SSeriesFacts f(m_doc, index);
    AppendPadded(out, QStringLiteral("Veskador 3 Data File Version"), kKeyColumn);
    out += u"\t\t\t'1.0\r\n\r\n";
    out += u"Instrument Data\r\n";
    AppendKeyed(out, u"Probe", f.ProbeName());
    AppendKeyed(out, u"Probe serial number", f.entry->GetProbeSerial());
    AppendKeyed(out, u"Veskora 3 serial number", f.entry->GetDeviceSerial());
    out += kCrLf;

    out += u"Settings\r\n";
    AppendKeyed(out, u"Meas. series name", m_doc.GetSeriesName(index));
    AppendKey(out, u"Date");
    if (f.time)
    {
        out += u'\'';
        AppendDate(out, *f.time);
    }
    else
    {
        out += kNone;
    }
    out += kCrLf;
    AppendKey(out, u"Time");
    if (f.time)
    {
        out += u'\'';
        AppendTime(out, *f.time);
    }
    else
    {
        out += kNone;
    }
    out += kCrLf;
    AppendKeyed(out, u"Upper limit", f.Limit(f.settings.upperLimit));
    AppendKeyed(out, u"Lower limit", f.Limit(f.settings.lowerLimit));
    AppendKeyed(out, u"Material group", QString::number(static_cast<int8_t>(f.settings.material.type)));
    AppendKeyed(out, u"Material group name", f.material);
    AppendKeyed(out, u"Scale", f.scale);
    AppendKeyed(out, u"Diameter correction", f.bench ? f.entry->GetDiameterText(f.imperial, true) : kNone);
    AppendKeyed(out, u"Direction", f.bench ? kNone : f.entry->GetCommonDirectionText(true));
    AppendKeyed(out, u"ASTM B724 meas. method", f.bench ? f.entry->GetB724ModeText(true) : kNone,
                kAstmKeyColumn);
    AppendKeyed(out, u"Conversion standard", f.entry->GetStandardName());
    out += kCrLf;

    out += u"Statistics\r\n";
    AppendKeyed(out, u"Readings", QString::number(m_doc.GetSeriesValidCount(index)));
    AppendKeyed(out, u"Mean value", f.Value(f.Statistic(&CMeasSeries1::GetMean), f.decimals));
    AppendKeyed(out, u"Min", f.Value(f.Statistic(&CMeasSeries1::GetMin), f.decimals));
    AppendKeyed(out, u"Max", f.Value(f.Statistic(&CMeasSeries1::GetMax), f.decimals));
    AppendKeyed(out, u"Range", f.Value(f.Statistic(&CMeasSeries1::GetRange), f.decimals));
    AppendKeyed(out, u"Standard deviation", f.Value(f.Statistic(&CMeasSeries1::GetStdDev), f.moreDecimals));
    AppendKeyed(out, u"Uncertainty", f.Value(f.Statistic(&CMeasSeries1::GetConfidenceHalfWidth), f.decimals));
    AppendKeyed(out, u"Cp", f.Ratio(&CMeasSeries1::GetCp));
    AppendKeyed(out, u"Cpk", f.Ratio(&CMeasSeries1::GetCpk));
    AppendKeyed(out, u"Cp min", f.Ratio(&CMeasSeries1::GetCpLowerBound));
    AppendKeyed(out, u"Cpk min", f.Ratio(&CMeasSeries1::GetCpkLowerBound));
    out += kCrLf;

    out += u"Comment\r\n    \"";
    out += EscapeText(m_doc.GetSeriesComment(index));
    out += u"\"\r\n\r\n";

    AppendPadded(out, QStringLiteral("Number"), kCellWidth);
    out += kTab;
    AppendPadded(out, QStringLiteral("Value [%1]").arg(f.scale), kCellWidth);
    out += kTab;
    AppendPadded(out, f.imperial ? QStringLiteral("Diameter [in]") : QStringLiteral("Diameter [mm]"), kCellWidth);
    out += kTab;
    AppendPadded(out, QStringLiteral("Direction"), kCellWidth);
    out += kCrLf;
    const QString dashes(kCellWidth, u'-');
    out += dashes + kTab + dashes + kTab + dashes + kTab + dashes;
    out += kCrLf;

    const int readings = f.ListedReadings();
    for (int i = 0; i < readings; ++i)
    {
        AppendPadded(out, QString::number(i + 1).rightJustified(4), kCellWidth);
        out += kTab;
        AppendPadded(out, f.Reading(i), kCellWidth);
        out += kTab;
        AppendPadded(out, f.bench ? f.entry->GetReadingDiameterText(i, f.imperial, false) : QString(), kCellWidth);
        out += kTab;
        AppendPadded(out, f.bench ? QString() : f.entry->GetReadingDirectionText(i, true), kCellWidth);
        out += kCrLf;
    }
}
