// The cover meter's text data file: one section per object, written for spreadsheet
// programs (labels padded to a fixed width, ";;;" before each value, a table of four
// columns), and read back from the instrument's download.
#include "device/DelvaSmartDevice.h"
#include "device/ScanText.h"
#include "platform/core/NumberText.h"

#include <QDateTime>
#include <QTimeZone>

namespace Device
{

namespace
{
const QString kHeader = QStringLiteral("Delvaquint+ Data File Version");
const QString kEof = QStringLiteral("<eof>");
const QString kUnderline = QStringLiteral("------------------");
const QString kCrLf = QStringLiteral("\r\n");

// "    label<padding>;;;" and the mark before the value.
QString Labelled(const char* label, const char* mark = "")
{
    return QStringLiteral("    ") + QString::fromLatin1(label).leftJustified(32) + QStringLiteral(";;;") +
           QString::fromLatin1(mark);
}

const char* UnitText(int unit)
{
    switch (unit)
    {
    case 0:
        return "Metric";
    case 1:
        return "ASTM inch";
    case 2:
        return "ASTM mm";
    case 3:
        return "Japanese";
    default:
        return nullptr;
    }
}

QString TableHeader(int unit)
{
    const char* cover = unit == 1 ? "Cover [in]        " : "Cover [mm]        ";
    const char* diameter = (unit == 0 || unit == 3) ? "Diameter [mm]     " : "Diameter          ";
    return QStringLiteral("\r\n\r\nNumber            ;") + QString::fromLatin1(cover) + QLatin1Char(';') +
           QString::fromLatin1(diameter) +
           QStringLiteral(";Raw Diameter [mm] \r\n"
                          "------------------;------------------;------------------;------------------\r\n");
}

QString Row(int unit, const CDelvaSmartDevice::TMeas& m)
{
    QString row =
        QString::number(m.number).rightJustified(2) + QString(16, QLatin1Char(' ')) + QLatin1Char(';');
    if (m.cover == 255)
        row += QStringLiteral("n/a               ;");
    else if (unit == 1)
        row += Platform::FormatFixed(double(m.cover) / 25.4, 2).rightJustified(4) +
               QString(14, QLatin1Char(' ')) + QLatin1Char(';');
    else
        row += QString::number(m.cover).rightJustified(3) + QString(15, QLatin1Char(' ')) + QLatin1Char(';');
    if (m.rawDiameter == 0)
        row += QStringLiteral("n/a               ;");
    else
    {
        const QString label = CDelvaSmartDevice::FormatBarDiameter(unit, m.rawDiameter);
        if (unit == 1 || unit == 2)
            row += QLatin1Char('#') + label + QString(label.size() == 1 ? 16 : 15, QLatin1Char(' ')) +
                   QLatin1Char(';');
        else
            row += (label.size() == 1 ? QStringLiteral(" ") : QString()) + label +
                   QString(16, QLatin1Char(' ')) + QLatin1Char(';');
    }
    row += m.rawDiameter == 0 ? QStringLiteral("n/a\r\n")
                              : QString::number(m.rawDiameter).rightJustified(2) + kCrLf;
    return row;
}

// Reads the tokens of a normalised section (fields separated by single ';').
class Tokens
{
public:
    explicit Tokens(const QString& text) : m_text(text) {}

    std::optional<QString> Next()
    {
        while (m_pos < m_text.size() && m_text.at(m_pos) == QLatin1Char(';'))
            ++m_pos;
        if (m_pos >= m_text.size())
            return std::nullopt;
        qsizetype end = m_text.indexOf(QLatin1Char(';'), m_pos);
        if (end < 0)
            end = m_text.size();
        QString token = m_text.mid(m_pos, end - m_pos);
        m_pos = end;
        return token;
    }
    // Moves to a label searched from here; false when it is not there.
    bool Find(const QString& what)
    {
        const qsizetype at = m_text.indexOf(what, m_pos);
        if (at < 0)
            return false;
        m_pos = at;
        return true;
    }
    // The value after a label: the label's token is dropped.
    std::optional<QString> ValueOf(const QString& label)
    {
        if (!Find(label) || !Next())
            return std::nullopt;
        return Next();
    }
    qsizetype Pos() const { return m_pos; }
    void SetPos(qsizetype pos) { m_pos = pos; }
    const QString& Text() const { return m_text; }

private:
    QString m_text;
    qsizetype m_pos = 0;
};

// "%d.%d.%d  %d:%d:%d": day, month, year, hour, minute, second.
bool ScanDate(const QString& text, int values[6])
{
    const char separators[5] = {'.', '.', ' ', ':', ':'};
    qsizetype pos = 0;
    for (int i = 0; i < 6; ++i)
    {
        if (i > 0 && separators[i - 1] != ' ')
        {
            if (pos >= text.size() || text.at(pos) != QLatin1Char(separators[i - 1]))
                return false;
            ++pos;
        }
        const std::optional<int32_t> value = ScanInt(text, pos);
        if (!value)
            return false;
        values[i] = *value;
    }
    return true;
}
} // namespace

int CDelvaSmartDevice::AppendTexts(QString& out, const QString& a, const QString& b, const QString& c,
                                   const QString& d)
{
    const qsizetype before = out.size();
    out += a;
    out += b;
    out += c;
    out += d;
    return int(out.size() - before);
}

QString CDelvaSmartDevice::FormatDate(int64_t date)
{
    // Times before 1970 or after the year 3000 have no local time.
    const QDateTime local = QDateTime::fromSecsSinceEpoch(date, Qt::LocalTime);
    if (date < 0 || !local.isValid() || local.date().year() > 3000)
        return QStringLiteral("0.0.0  -1:-1:-1");
    const QDate day = local.date();
    const QTime time = local.time();
    return QStringLiteral("%1.%2.%3  %4:%5:%6")
        .arg(day.day())
        .arg(day.month())
        .arg(day.year())
        .arg(time.hour())
        .arg(time.minute())
        .arg(time.second());
}

int CDelvaSmartDevice::ExportObjectText(const TObjectData& object, QString& out) const
{
    out.clear();
    const int unit = object.unitSystem;
    const char* unitText = UnitText(unit);
    if (!unitText || object.storageMode > 1)
        return 0;
    const bool astm = unit == 1 || unit == 2;
    const QString rawDefault = QString::number(object.rawDefaultBarDiameter);
    const QString defaultLabel = FormatBarDiameter(unit, object.rawDefaultBarDiameter);

    int n = 0;
    n += AppendTexts(out, kHeader.leftJustified(36) + QStringLiteral(";;;'"), object.version.Format(2), kCrLf,
                     kCrLf);
    n += AppendTexts(out, QStringLiteral("Instrument Data\r\n"));
    n += AppendTexts(out, Labelled("Name"), object.identity.typeName, kCrLf);
    n += AppendTexts(out, Labelled("Serial Number"), object.identity.serialNumber, kCrLf);
    n += AppendTexts(out, Labelled("Software Version", "'"), object.identity.version, kCrLf);
    n += AppendTexts(out, Labelled("Hardware Index"), object.hardwareIndex, kCrLf);
    n += AppendTexts(out, Labelled("Signature", "'"), object.signature, kCrLf, kCrLf);
    n += AppendTexts(out, QStringLiteral("Settings\r\n"));
    n += AppendTexts(out, Labelled("Regional"), QString::fromLatin1(unitText), kCrLf);
    n += AppendTexts(out, Labelled("Data Storage Mode"),
                     object.storageMode == 0 ? QStringLiteral("Manual") : QStringLiteral("Auto"), kCrLf);
    n += AppendTexts(out, Labelled("Raw Default Bar Diameter [mm]", "'"), rawDefault, kCrLf);
    if (astm)
        n += AppendTexts(out, Labelled("Default Bar Diameter", "'"), QStringLiteral("#") + defaultLabel,
                         kCrLf);
    else
        n += AppendTexts(out, Labelled("Default Bar Diameter [mm]", "'"), defaultLabel, kCrLf);
    n += AppendTexts(
        out, Labelled(unit == 1 ? "Neighboring Bar Correction [in]" : "Neighboring Bar Correction [mm]", "'"),
        FormatNeighborCorrection(unit, object.correction), kCrLf, kCrLf);
    n += AppendTexts(out, QStringLiteral("Comment\r\n"));
    n += AppendTexts(out, QStringLiteral("    \""), EscapeText(object.comment, true),
                     QStringLiteral("\"\r\n"), kCrLf);
    n += AppendTexts(out, kCrLf, QStringLiteral("\r\nData\r\n"));
    n += AppendTexts(out, Labelled("Object Number"), QString::number(object.objectNumber), kCrLf);
    n += AppendTexts(out, Labelled("Object Name", "\""), EscapeText(object.objectName, true),
                     QStringLiteral("\"\r\n"));
    n += AppendTexts(out, Labelled("Date", "'"), FormatDate(object.date), kCrLf);
    n += AppendTexts(out, Labelled("# of Measurements"), QString::number(object.measurements.size()), kCrLf);
    n += AppendTexts(out, TableHeader(unit));
    for (const TMeas& m : object.measurements)
        n += AppendTexts(out, Row(unit, m));
    return n;
}

bool CDelvaSmartDevice::ParseObjectText(TObjectData& object, const QString& section) const
{
    QString text = section;
    text.replace(QLatin1String("\r\n"), QLatin1String(";"));
    text.replace(QLatin1Char('\n'), QLatin1Char(';'));
    text.replace(QLatin1Char('\t'), QLatin1Char(';'));
    while (text.contains(QLatin1String(";;")))
        text.replace(QLatin1String(";;"), QLatin1String(";"));
    text.replace(QLatin1String(";'"), QLatin1String(";"));

    Tokens tokens(text);
    const std::optional<QString> head = tokens.Next();
    if (!head || !head->startsWith(kHeader))
        return false;
    const std::optional<QString> versionText = tokens.Next();
    if (!versionText)
        return false;
    const CVersion version(*versionText);
    if (version.GetPart(1) != 1)
        return false;
    object.version = version;

    QString* const texts[] = {&object.identity.typeName, &object.identity.serialNumber,
                              &object.identity.version, &object.hardwareIndex, &object.signature};
    const char* const textLabels[] = {"Name", "Serial Number", "Software Version", "Hardware Index",
                                      "Signature"};
    for (int i = 0; i < 5; ++i)
    {
        const std::optional<QString> value = tokens.ValueOf(QString::fromLatin1(textLabels[i]));
        if (!value)
            return false;
        *texts[i] = *value;
    }
    const std::optional<QString> regional = tokens.ValueOf(QStringLiteral("Regional"));
    if (!regional)
        return false;
    static const std::pair<const char*, uint8_t> kUnits[] = {
        {"Metric", 0}, {"ASTM inch", 1}, {"ASTM in", 1}, {"ASTM mm", 2}, {"Japanese", 3}};
    object.unitSystem = 255;
    for (const auto& [name, code] : kUnits)
        if (*regional == QLatin1String(name))
            object.unitSystem = code;
    const std::optional<QString> mode = tokens.ValueOf(QStringLiteral("Data Storage Mode"));
    if (!mode)
        return false;
    object.storageMode = (*mode == QLatin1String("M") || *mode == QLatin1String("Manual")) ? 0
                         : (*mode == QLatin1String("A") || *mode == QLatin1String("Auto")) ? 1
                                                                                           : 255;
    const std::optional<QString> rawDefault = tokens.ValueOf(QStringLiteral("Raw Default Bar Diameter"));
    if (!rawDefault)
        return false;
    const std::optional<int32_t> raw = ScanInt(*rawDefault);
    object.rawDefaultBarDiameter = (raw && *raw >= 0 && *raw <= 100) ? uint8_t(*raw) : 0;
    const std::optional<QString> correctionText =
        tokens.ValueOf(QStringLiteral("Neighboring Bar Correction"));
    if (!correctionText)
        return false;
    const int correction = ParseNeighborCorrection(object.unitSystem, *correctionText);
    if (correction < 0)
        return false;
    object.correction = uint8_t(correction);

    object.comment.clear();
    const qsizetype beforeComment = tokens.Pos();
    if (tokens.Find(QStringLiteral("Comment")))
    {
        const qsizetype open = text.indexOf(QLatin1Char('"'), tokens.Pos());
        const qsizetype close = open < 0 ? -1 : text.indexOf(QLatin1Char('"'), open + 1);
        if (close >= 0)
        {
            object.comment = EscapeText(text.mid(open + 1, close - open - 1), false);
            tokens.SetPos(close);
        }
        else
            tokens.SetPos(beforeComment);
    }

    const std::optional<QString> number = tokens.ValueOf(QStringLiteral("Object Number"));
    if (!number)
        return false;
    const std::optional<int32_t> objectNumber = ScanInt(*number);
    object.objectNumber = (objectNumber && *objectNumber >= 0 && *objectNumber <= kMaxObjects)
                              ? int16_t(*objectNumber)
                              : int16_t(-1);

    object.objectName.clear();
    const qsizetype beforeName = tokens.Pos();
    if (const std::optional<QString> name = tokens.ValueOf(QStringLiteral("Object Name")))
        object.objectName = EscapeText(*name, false).remove(QLatin1Char('"'));
    else
        tokens.SetPos(beforeName);

    const qsizetype beforeDate = tokens.Pos();
    if (const std::optional<QString> dateText = tokens.ValueOf(QStringLiteral("Date")))
    {
        int v[6] = {};
        if (ScanDate(*dateText, v))
        {
            // A day or time that does not exist makes the section unreadable.
            const QDate day(v[2], v[1], v[0]);
            const QTime time(v[3], v[4], v[5]);
            if (v[2] < 1900 || v[2] > 3000 || !day.isValid() || !time.isValid())
                return false;
            object.date = QDateTime(day, time, Qt::LocalTime).toSecsSinceEpoch();
        }
    }
    else
    {
        object.date = 0;
        tokens.SetPos(beforeDate);
    }

    // A section without the table's underline has no measurements to read.
    if (!tokens.Find(kUnderline))
        return false;
    std::optional<QString> token = tokens.Next();
    while (token && *token == kUnderline)
        token = tokens.Next();
    object.measurements.clear();
    while (token && int(object.measurements.size()) < kMaxMeasurements)
    {
        const std::optional<int32_t> index = ScanInt(*token);
        if (!index || *index < 0 || *index > kMaxMeasurements)
            break;
        const std::optional<QString> coverText = tokens.Next();
        if (!coverText)
            break;
        const int cover = ParseCover(object.unitSystem, *coverText);
        if (cover < 0)
            return false;
        if (!tokens.Next()) // the diameter cell, which the raw diameter makes
            break;
        const std::optional<QString> rawText = tokens.Next();
        if (!rawText)
            break;
        int rawDiameter = 0;
        if (!rawText->contains(QLatin1String("n/a")))
        {
            const std::optional<int32_t> value = ScanInt(*rawText);
            if (!value || *value < 0 || *value > 60)
                break;
            rawDiameter = *value;
        }
        object.measurements.push_back({uint8_t(*index), uint8_t(cover), uint8_t(rawDiameter)});
        token = tokens.Next();
    }
    return true;
}

bool CDelvaSmartDevice::ParseTextAnswer(TDataFile& file, const QString& text) const
{
    // "1;<count>;" and then one section per object, each ending where "<eof>" begins.
    if (text.size() < 2 || text.at(0) != QLatin1Char('1') || text.at(1) != QLatin1Char(';'))
        return false;
    qsizetype pos = 2;
    const std::optional<int32_t> count = ScanInt(text, pos);
    if (!count || *count < 1 || *count > kMaxObjects)
        return false;
    file.version = CVersion(uint64_t(1) << 32);
    qsizetype search = 0;
    bool allParsed = true;
    for (int i = 0; i < *count; ++i)
    {
        const qsizetype start = text.indexOf(kHeader, search);
        if (start < 0)
            return false;
        const qsizetype end = text.indexOf(kEof, start);
        if (end < 0)
            return false;
        TObjectData object;
        if (ParseObjectText(object, text.mid(start, end - start)))
            file.objects.push_back(std::move(object));
        else
            allParsed = false;
        search = end;
    }
    return allParsed;
}

} // namespace Device
