// The records of the text export: the Table line and the Report block of one series.
#include "export/core/TextExport.h"

#include "document/LocalTime.h"
#include "document/ValueText.h"
#include "document/VeskDoc.h"
#include "measurement/MeasSeriesWrapper.h"
#include "measurement/Resolution.h"
#include "measurement/ScaleCodes.h"
#include "measurement/SeriesTexts.h"
#include "streamio/DosDateTime.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <optional>
#include <type_traits>

namespace
{
constexpr char16_t kTab = u'\t';
constexpr QStringView kCrLf = u"\r\n";
const QString kOff = QStringLiteral("off");
const QString kNone = QStringLiteral("--");
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

    SSeriesFacts(const CVeskDoc& doc, int index, CShownTimes& times)
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
        LocalDateTime stored;
        if (series && DosDateTimeFields(series->GetDateTime(), &stored.date, &stored.time))
            time = times.Shown(stored);
    }

    float Statistic(float (CMeasSeries1::*get)()) const { return series ? (series->*get)() : MEAS_NO_VALUE; }

    // A statistic or a limit ("noCnv" for a value out of the conversion's range).
    void AppendValue(QString& out, float value, int places) const
    {
        ::AppendValue(out, mils ? ConvertMicronsToMils(value, 1) : value, places, true);
    }
    void AppendStatistic(QString& out, float (CMeasSeries1::*get)(), int places) const
    {
        AppendValue(out, Statistic(get), places);
    }
    void AppendLimit(QString& out, float value) const
    {
        if (value == MEAS_NO_VALUE)
            out += kOff;
        else
            AppendValue(out, value, decimals);
    }
    // Cp and its kin are ratios: never converted.
    void AppendRatio(QString& out, float (CMeasSeries1::*get)()) const
    {
        ::AppendValue(out, Statistic(get), ratioDecimals, true);
    }
    // A single reading: the out-of-range texts come from the string table.
    void AppendReading(QString& out, float value) const
    {
        ::AppendValue(out, mils ? ConvertMicronsToMils(value, 1) : value, decimals, false);
    }
    // Calls read(i, value) or read(i, value, angle) for every reading that is not excluded, numbered from 0 as the
    // layouts list them; those without a value too (they show "--").
    template <class Read> void ForEachListedReading(Read&& read) const
    {
        if (!series)
            return;
        int i = 0;
        if constexpr (std::is_invocable_v<Read, int, float, int>)
            series->ForEachIncludedValue([&](float value, int angle) { read(i++, value, angle); });
        else
            series->ForEachIncludedValue([&](float value) { read(i++, value); });
    }
    // As the entry gives it: an entry without a series counts as measured vertically down.
    int CommonDirection() const { return series ? series->GetCommonDirection() : 0; }
    QString ProbeName() const
    {
        QString name;
        if (series)
            series->GetProbeName(name);
        return name;
    }
};

// Short fields are put together in a small buffer and appended at once: a record has
// dozens of them, and each append to the text has its own cost.
char16_t* PutTwoDigits(char16_t* at, int value)
{
    *at++ = char16_t(u'0' + value / 10 % 10);
    *at++ = char16_t(u'0' + value % 10);
    return at;
}

char16_t* PutNumber(char16_t* at, int value)
{
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    for (const char* d = digits; d != end; ++d)
        *at++ = char16_t(*d);
    return at;
}

void AppendNumber(QString& out, int value)
{
    char16_t text[16];
    out.append(reinterpret_cast<const QChar*>(text), PutNumber(text, value) - text);
}

void AppendDate(QString& out, const LocalDateTime& t)
{
    int year = 0;
    int month = 0;
    int day = 0;
    t.date.getDate(&year, &month, &day);
    char16_t text[32];
    char16_t* at = PutNumber(text, year);
    *at++ = u'-';
    at = PutTwoDigits(at, month);
    *at++ = u'-';
    at = PutTwoDigits(at, day);
    out.append(reinterpret_cast<const QChar*>(text), at - text);
}

void AppendTime(QString& out, const LocalDateTime& t)
{
    char16_t text[8];
    char16_t* at = PutTwoDigits(text, t.time.hour());
    *at++ = u':';
    at = PutTwoDigits(at, t.time.minute());
    *at++ = u':';
    at = PutTwoDigits(at, t.time.second());
    out.append(reinterpret_cast<const QChar*>(text), at - text);
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

void AppendSpaces(QString& out, qsizetype count)
{
    if (count > 0)
        out.resize(out.size() + count, u' ');
}

// Count spaces (none for zero or less), then the end text, in one append.
void AppendPaddingAndEnd(QString& out, qsizetype count, QStringView end)
{
    char16_t text[kCellWidth + 2];
    count = std::max<qsizetype>(count, 0);
    if (count + end.size() > qsizetype(std::size(text)))
    {
        AppendSpaces(out, count);
        out += end;
        return;
    }
    std::fill_n(text, count, u' ');
    std::copy_n(end.utf16(), end.size(), text + count);
    out.append(reinterpret_cast<const QChar*>(text), count + end.size());
}

void AppendPadded(QString& out, const QString& text, qsizetype width)
{
    out += text;
    AppendSpaces(out, width - text.size());
}

// "%4d"
void AppendNumber4(QString& out, int number)
{
    char16_t text[16];
    const qsizetype length = PutNumber(text, number) - text;
    AppendSpaces(out, 4 - length);
    out.append(reinterpret_cast<const QChar*>(text), length);
}

// "    Key<spaces>;;;" with the separators at the column.
void AppendKey(QString& out, QStringView key, qsizetype column = kKeyColumn)
{
    constexpr qsizetype kIndent = 4;
    constexpr qsizetype kSeparators = 3;
    char16_t text[kAstmKeyColumn + kSeparators];
    const qsizetype width = std::max(column, kIndent + key.size());
    if (width + kSeparators > qsizetype(std::size(text)))
    {
        // Keys are short literals; a long one takes the plain way.
        const qsizetype start = out.size();
        out += u"    ";
        out += key;
        AppendSpaces(out, column - (out.size() - start));
        out += u"\t\t\t";
        return;
    }
    std::fill_n(text, width, u' ');
    std::copy_n(key.utf16(), key.size(), text + kIndent);
    std::fill_n(text + width, kSeparators, u'\t');
    out.append(reinterpret_cast<const QChar*>(text), width + kSeparators);
}

// A comment, escaped in full; most need no escaping and go in as they are.
void AppendComment(QString& out, const QString& text)
{
    for (QChar c : text)
    {
        if (c == u'\t' || c == u'\r' || c == u'\n' || c == u'&' || c == u'"')
        {
            out += CTextExport::EscapeText(text);
            return;
        }
    }
    out += text;
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
    static const QString separator = []
    {
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

const QString& CTextExport::DirectionText(int angle) const
{
    auto at = m_directionTexts.find(angle);
    if (at == m_directionTexts.end())
    {
        QString text;
        FormatImpactDirection(angle, text, true);
        at = m_directionTexts.emplace(angle, std::move(text)).first;
    }
    return at->second;
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
    const SSeriesFacts f(m_doc, index, m_times);
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
    AppendComment(out, m_doc.GetSeriesComment(index));
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
        AppendField(out, DirectionText(f.CommonDirection()));
    }
    AppendNumber(out, static_cast<int8_t>(f.settings.material.type));
    out += kTab;
    AppendField(out, f.material);
    AppendField(out, f.entry->GetStandardName());
    AppendField(out, f.scale);
    const auto field = [&out](auto&& append)
    {
        append();
        out += kTab;
    };
    field([&] { f.AppendLimit(out, f.settings.upperLimit); });
    field([&] { f.AppendLimit(out, f.settings.lowerLimit); });
    AppendNumber(out, m_doc.GetSeriesValidCount(index));
    out += kTab;
    field([&] { f.AppendStatistic(out, &CMeasSeries1::GetMean, f.decimals); });
    field([&] { f.AppendStatistic(out, &CMeasSeries1::GetMin, f.decimals); });
    field([&] { f.AppendStatistic(out, &CMeasSeries1::GetMax, f.decimals); });
    field([&] { f.AppendStatistic(out, &CMeasSeries1::GetRange, f.decimals); });
    field([&] { f.AppendStatistic(out, &CMeasSeries1::GetStdDev, f.moreDecimals); });
    field([&] { f.AppendStatistic(out, &CMeasSeries1::GetConfidenceHalfWidth, f.decimals); });
    field([&] { f.AppendRatio(out, &CMeasSeries1::GetCp); });
    field([&] { f.AppendRatio(out, &CMeasSeries1::GetCpk); });
    field([&] { f.AppendRatio(out, &CMeasSeries1::GetCpLowerBound); });
    field([&] { f.AppendRatio(out, &CMeasSeries1::GetCpkLowerBound); });
    f.ForEachListedReading([&](int, float value) { field([&] { f.AppendReading(out, value); }); });
    out += kCrLf;
}

void CTextExport::WriteReportRecord(int index, QString& out) const
{
    const SSeriesFacts f(m_doc, index, m_times);
    // A keyed line whose value is appended by the function.
    const auto keyed = [&out](QStringView key, auto&& append, qsizetype column = kKeyColumn)
    {
        AppendKey(out, key, column);
        append();
        out += kCrLf;
    };
    AppendPadded(out, QStringLiteral("Veskador 3 Data File Version"), kKeyColumn);
    out += u"\t\t\t'1.0\r\n\r\n";
    out += u"Instrument Data\r\n";
    AppendKeyed(out, u"Probe", f.ProbeName());
    AppendKeyed(out, u"Probe serial number", f.entry->GetProbeSerial());
    AppendKeyed(out, u"Veskora 3 serial number", f.entry->GetDeviceSerial());
    out += kCrLf;

    out += u"Settings\r\n";
    AppendKeyed(out, u"Meas. series name", m_doc.GetSeriesName(index));
    keyed(u"Date",
          [&]
          {
              if (!f.time)
                  out += kNone;
              else
              {
                  out += u'\'';
                  AppendDate(out, *f.time);
              }
          });
    keyed(u"Time",
          [&]
          {
              if (!f.time)
                  out += kNone;
              else
              {
                  out += u'\'';
                  AppendTime(out, *f.time);
              }
          });
    keyed(u"Upper limit", [&] { f.AppendLimit(out, f.settings.upperLimit); });
    keyed(u"Lower limit", [&] { f.AppendLimit(out, f.settings.lowerLimit); });
    keyed(u"Material group", [&] { AppendNumber(out, static_cast<int8_t>(f.settings.material.type)); });
    AppendKeyed(out, u"Material group name", f.material);
    AppendKeyed(out, u"Scale", f.scale);
    AppendKeyed(out, u"Diameter correction", f.bench ? f.entry->GetDiameterText(f.imperial, true) : kNone);
    AppendKeyed(out, u"Direction", f.bench ? kNone : DirectionText(f.CommonDirection()));
    AppendKeyed(out, u"ASTM B724 meas. method", f.bench ? f.entry->GetB724ModeText(true) : kNone,
                kAstmKeyColumn);
    AppendKeyed(out, u"Conversion standard", f.entry->GetStandardName());
    out += kCrLf;

    out += u"Statistics\r\n";
    keyed(u"Readings", [&] { AppendNumber(out, m_doc.GetSeriesValidCount(index)); });
    keyed(u"Mean value", [&] { f.AppendStatistic(out, &CMeasSeries1::GetMean, f.decimals); });
    keyed(u"Min", [&] { f.AppendStatistic(out, &CMeasSeries1::GetMin, f.decimals); });
    keyed(u"Max", [&] { f.AppendStatistic(out, &CMeasSeries1::GetMax, f.decimals); });
    keyed(u"Range", [&] { f.AppendStatistic(out, &CMeasSeries1::GetRange, f.decimals); });
    keyed(u"Standard deviation", [&] { f.AppendStatistic(out, &CMeasSeries1::GetStdDev, f.moreDecimals); });
    keyed(u"Uncertainty", [&] { f.AppendStatistic(out, &CMeasSeries1::GetConfidenceHalfWidth, f.decimals); });
    keyed(u"Cp", [&] { f.AppendRatio(out, &CMeasSeries1::GetCp); });
    keyed(u"Cpk", [&] { f.AppendRatio(out, &CMeasSeries1::GetCpk); });
    keyed(u"Cp min", [&] { f.AppendRatio(out, &CMeasSeries1::GetCpLowerBound); });
    keyed(u"Cpk min", [&] { f.AppendRatio(out, &CMeasSeries1::GetCpkLowerBound); });
    out += kCrLf;

    out += u"Comment\r\n    \"";
    AppendComment(out, m_doc.GetSeriesComment(index));
    out += u"\"\r\n\r\n";

    AppendPadded(out, QStringLiteral("Number"), kCellWidth);
    out += kTab;
    {
        const qsizetype start = out.size();
        out += u"Value [";
        out += f.scale;
        out += u']';
        AppendSpaces(out, kCellWidth - (out.size() - start));
    }
    out += kTab;
    AppendPadded(out, f.imperial ? QStringLiteral("Diameter [in]") : QStringLiteral("Diameter [mm]"),
                 kCellWidth);
    out += kTab;
    AppendPadded(out, QStringLiteral("Direction"), kCellWidth);
    out += kCrLf;
    static const QString dashes = []
    {
        const QString cell(kCellWidth, u'-');
        QString line = cell;
        for (int i = 1; i < 4; ++i)
            line += kTab + cell;
        line += kCrLf;
        return line;
    }();
    out += dashes;

    // A cell of a reading row: what the function appends, padded, then the text that ends
    // the cell.
    const auto cell = [&out](auto&& append, QStringView end)
    {
        const qsizetype start = out.size();
        append();
        AppendPaddingAndEnd(out, kCellWidth - (out.size() - start), end);
    };
    const auto nothing = [] {};
    f.ForEachListedReading(
        [&](int i, float value, int angle)
        {
            cell([&] { AppendNumber4(out, i + 1); }, QStringView(&kTab, 1));
            cell([&] { f.AppendReading(out, value); }, QStringView(&kTab, 1));
            if (f.bench)
            {
                cell([&] { out += f.entry->GetReadingDiameterText(i, f.imperial, false); },
                     QStringView(&kTab, 1));
                cell(nothing, kCrLf);
            }
            else
            {
                cell(nothing, QStringView(&kTab, 1));
                cell([&] { out += DirectionText(angle); }, kCrLf);
            }
        });
}
