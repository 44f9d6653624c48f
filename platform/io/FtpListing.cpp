#include "platform/io/FtpListing.h"

#include <QStringDecoder>

#include <array>
#include <charconv>
#include <optional>

namespace Platform
{
namespace
{

struct Span
{
    qsizetype begin = 0;
    qsizetype end = 0;
};

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool AllDigits(QByteArrayView text)
{
    if (text.isEmpty())
        return false;
    for (char c : text)
    {
        if (!IsDigit(c))
            return false;
    }
    return true;
}

std::optional<uint64_t> ToNumber(QByteArrayView text)
{
    if (!AllDigits(text))
        return std::nullopt;
    uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// A small decimal field such as a day or an hour: 1 to 4 digits.
int SmallNumber(QByteArrayView text)
{
    if (text.size() > 4)
        return -1;
    const auto value = ToNumber(text);
    return value ? int(*value) : -1;
}

std::vector<Span> Tokens(QByteArrayView line)
{
    std::vector<Span> tokens;
    qsizetype i = 0;
    while (i < line.size())
    {
        while (i < line.size() && IsBlank(line[i]))
            ++i;
        if (i == line.size())
            break;
        const qsizetype start = i;
        while (i < line.size() && !IsBlank(line[i]))
            ++i;
        tokens.push_back(Span{start, i});
    }
    return tokens;
}

QByteArrayView Part(QByteArrayView line, Span span)
{
    return line.sliced(span.begin, span.end - span.begin);
}

// A name we can show and ask for again: valid UTF-8, no control character, no slash.
std::optional<QString> CheckedName(QByteArrayView raw)
{
    if (raw.isEmpty())
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString name = decoder.decode(raw);
    if (decoder.hasError())
        return std::nullopt;
    for (QChar c : name)
    {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || c == QLatin1Char('/'))
            return std::nullopt;
    }
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return std::nullopt;
    return name;
}

int MonthNumber(QByteArrayView text)
{
    static constexpr std::array<const char*, 12> kMonths = {"jan", "feb", "mar", "apr", "may", "jun",
                                                            "jul", "aug", "sep", "oct", "nov", "dec"};
    if (text.size() != 3)
        return 0;
    for (size_t m = 0; m < kMonths.size(); ++m)
    {
        bool same = true;
        for (int i = 0; i < 3; ++i)
        {
            const char c = text[i];
            const char lower = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
            same = same && lower == kMonths[m][i];
        }
        if (same)
            return int(m) + 1;
    }
    return 0;
}

// "H:MM" or "HH:MM"; false for anything else.
bool ClockTime(QByteArrayView text, int& hour, int& minute)
{
    const qsizetype colon = text.indexOf(':');
    if (colon < 1 || colon > 2 || text.size() != colon + 3)
        return false;
    hour = SmallNumber(text.first(colon));
    minute = SmallNumber(text.sliced(colon + 1));
    return hour >= 0 && hour < 24 && minute >= 0 && minute < 60;
}

// One "ls -l" line: permissions, links, owner, group (some servers leave it out), size,
// month, day, time or year, name. The size is the number before the month.
std::optional<FtpEntry> ParseUnixLine(QByteArrayView line, const QDateTime& nowUtc)
{
    const std::vector<Span> tokens = Tokens(line);
    if (tokens.size() < 6)
        return std::nullopt;
    const QByteArrayView mode = Part(line, tokens[0]);
    if (mode.size() < 10)
        return std::nullopt;
    const char kind = mode[0];
    if (kind != '-' && kind != 'd' && kind != 'l')
        return std::nullopt;

    for (size_t m = 2; m + 2 < tokens.size(); ++m)
    {
        const int month = MonthNumber(Part(line, tokens[m]));
        const auto size = ToNumber(Part(line, tokens[m - 1]));
        const int day = SmallNumber(Part(line, tokens[m + 1]));
        if (month == 0 || !size || day < 1 || day > 31)
            continue;
        const QByteArrayView last = Part(line, tokens[m + 2]);
        int hour = 0;
        int minute = 0;
        int year = -1;
        const bool hasClock = ClockTime(last, hour, minute);
        if (!hasClock)
        {
            if (last.size() != 4)
                continue;
            year = SmallNumber(last);
            if (year < 0)
                continue;
        }
        // The name follows the time or year after one blank.
        const qsizetype nameStart = tokens[m + 2].end + 1;
        if (nameStart >= line.size())
            return std::nullopt;
        QByteArrayView raw = line.sliced(nameStart);
        if (kind == 'l')
        {
            const qsizetype arrow = raw.indexOf(QByteArrayView(" -> "));
            if (arrow >= 0)
                raw = raw.first(arrow);
        }
        const auto name = CheckedName(raw);
        if (!name)
            return std::nullopt;

        FtpEntry entry;
        entry.name = *name;
        entry.size = *size;
        entry.isFolder = kind == 'd';
        if (hasClock)
        {
            // No year: the listing means the last twelve months.
            const int thisYear = nowUtc.date().year();
            QDateTime time(QDate(thisYear, month, day), QTime(hour, minute), Qt::UTC);
            if (!time.isValid() || time > nowUtc.addDays(1))
                time = QDateTime(QDate(thisYear - 1, month, day), QTime(hour, minute), Qt::UTC);
            if (time.isValid())
                entry.time = time;
        }
        else
        {
            const QDate date(year, month, day);
            if (date.isValid())
                entry.time = QDateTime(date, QTime(0, 0), Qt::UTC);
        }
        return entry;
    }
    return std::nullopt;
}

// One line of a Windows server: "MM-DD-YY  HH:MMAM  <DIR>|size  name".
std::optional<FtpEntry> ParseDosLine(QByteArrayView line)
{
    const std::vector<Span> tokens = Tokens(line);
    if (tokens.size() < 4)
        return std::nullopt;
    const QByteArrayView date = Part(line, tokens[0]);
    if (date.size() != 8 && date.size() != 10)
        return std::nullopt;
    if (date[2] != '-' || date[5] != '-')
        return std::nullopt;
    const int month = SmallNumber(date.first(2));
    const int day = SmallNumber(date.sliced(3, 2));
    int year = SmallNumber(date.sliced(6));
    if (month < 1 || month > 12 || day < 1 || day > 31 || year < 0)
        return std::nullopt;
    if (date.size() == 8)
        year += year < 70 ? 2000 : 1900;

    QByteArrayView clock = Part(line, tokens[1]);
    int pm = -1; // -1: 24-hour clock
    if (clock.size() > 2 && (clock.endsWith("AM") || clock.endsWith("PM")))
    {
        pm = clock.endsWith("PM") ? 1 : 0;
        clock.chop(2);
    }
    int hour = 0;
    int minute = 0;
    if (!ClockTime(clock, hour, minute))
        return std::nullopt;
    if (pm >= 0)
    {
        if (hour < 1 || hour > 12)
            return std::nullopt;
        hour = hour % 12 + (pm == 1 ? 12 : 0);
    }

    FtpEntry entry;
    const QByteArrayView third = Part(line, tokens[2]);
    qsizetype nameStart = tokens[2].end + 1;
    if (third == "<DIR>")
    {
        entry.isFolder = true;
        nameStart = tokens[3].begin;
    }
    else
    {
        const auto size = ToNumber(third);
        if (!size)
            return std::nullopt;
        entry.size = *size;
    }
    if (nameStart >= line.size())
        return std::nullopt;
    const auto name = CheckedName(line.sliced(nameStart));
    if (!name)
        return std::nullopt;
    entry.name = *name;
    const QDate when(year, month, day);
    if (when.isValid())
        entry.time = QDateTime(when, QTime(hour, minute), Qt::UTC);
    return entry;
}

// "YYYYMMDDHHMMSS" with optional fractions, always UTC.
QDateTime MachineTime(QByteArrayView text)
{
    const qsizetype dot = text.indexOf('.');
    const QByteArrayView whole = dot >= 0 ? text.first(dot) : text;
    if (whole.size() != 14 || !AllDigits(whole))
        return {};
    const QDate date(SmallNumber(whole.first(4)), SmallNumber(whole.sliced(4, 2)),
                     SmallNumber(whole.sliced(6, 2)));
    const QTime time(SmallNumber(whole.sliced(8, 2)), SmallNumber(whole.sliced(10, 2)),
                     SmallNumber(whole.sliced(12, 2)));
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time, Qt::UTC);
}

std::optional<FtpEntry> ParseMachineLine(QByteArrayView line)
{
    const qsizetype blank = line.indexOf(' ');
    if (blank < 0)
        return std::nullopt;
    const auto name = CheckedName(line.sliced(blank + 1));
    if (!name)
        return std::nullopt;

    FtpEntry entry;
    entry.name = *name;
    const QByteArrayView facts = line.first(blank);
    qsizetype start = 0;
    while (start < facts.size())
    {
        qsizetype end = facts.indexOf(';', start);
        if (end < 0)
            end = facts.size();
        const QByteArrayView fact = facts.sliced(start, end - start);
        start = end + 1;
        const qsizetype equals = fact.indexOf('=');
        if (equals <= 0)
            continue;
        const QByteArray key = fact.first(equals).toByteArray().toLower();
        const QByteArrayView value = fact.sliced(equals + 1);
        if (key == "type")
        {
            const QByteArray type = value.toByteArray().toLower();
            if (type == "dir")
                entry.isFolder = true;
            else if (type != "file")
                return std::nullopt; // the folder itself, its parent, links and devices
        }
        else if (key == "size")
        {
            const auto size = ToNumber(value);
            if (!size)
                return std::nullopt;
            entry.size = *size;
        }
        else if (key == "modify")
        {
            entry.time = MachineTime(value);
        }
    }
    return entry;
}

} // namespace

std::vector<FtpEntry> ParseFtpListing(QByteArrayView text, FtpListingFormat format, const QDateTime& nowUtc)
{
    std::vector<FtpEntry> entries;
    qsizetype start = 0;
    while (start < text.size())
    {
        qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        QByteArrayView line = text.sliced(start, end - start);
        start = end + 1;
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            continue;

        std::optional<FtpEntry> entry;
        if (format == FtpListingFormat::Machine)
            entry = ParseMachineLine(line);
        else if (IsDigit(line[0]))
            entry = ParseDosLine(line);
        else
            entry = ParseUnixLine(line, nowUtc);
        if (entry)
            entries.push_back(std::move(*entry));
    }
    return entries;
}

bool FtpNameMatches(QStringView pattern, QStringView name)
{
    // Greedy match with one back-track point: the last "*" seen.
    qsizetype p = 0;
    qsizetype n = 0;
    qsizetype star = -1;
    qsizetype resume = 0;
    while (n < name.size())
    {
        if (p < pattern.size() && pattern[p] == u'*')
        {
            star = p++;
            resume = n;
        }
        else if (p < pattern.size() && (pattern[p] == u'?' || pattern[p] == name[n]))
        {
            ++p;
            ++n;
        }
        else if (star >= 0)
        {
            p = star + 1;
            n = ++resume;
        }
        else
        {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

} // namespace Platform
