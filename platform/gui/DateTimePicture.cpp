#include "platform/gui/DateTimePicture.h"

namespace Platform
{
namespace
{

const char* const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                               "July",    "August",   "September", "October", "November", "December"};
const char* const kDays[] = {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};

QString Padded(int value, int digits)
{
    return QString::number(value).rightJustified(digits, u'0');
}

// Runs of one letter are handed to `field` with their length; quotes and other characters
// are copied. Where each field's text lands is noted in `fields` when given.
template <class Field>
QString Expand(const QString& picture, const QString& letters, Field field, std::vector<PictureField>* fields)
{
    QString out;
    qsizetype i = 0;
    while (i < picture.size())
    {
        const QChar c = picture[i];
        if (c == u'\'' && i + 1 < picture.size() && picture[i + 1] == u'\'')
        {
            out += u'\'';
            i += 2;
            continue;
        }
        if (c == u'\'')
        {
            ++i;
            while (i < picture.size())
            {
                if (picture[i] == u'\'')
                {
                    if (i + 1 < picture.size() && picture[i + 1] == u'\'')
                    {
                        out += u'\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                out += picture[i++];
            }
            continue;
        }
        if (!letters.contains(c))
        {
            out += c;
            ++i;
            continue;
        }
        qsizetype run = 1;
        while (i + run < picture.size() && picture[i + run] == c)
            ++run;
        const QString text = field(c.unicode(), static_cast<int>(run));
        if (fields)
            fields->push_back(PictureField{c.unicode(), static_cast<int>(run), out.size(), text.size()});
        out += text;
        i += run;
    }
    return out;
}

} // namespace

QString FormatDatePicture(const QDate& date, const QString& picture)
{
    return FormatDatePicture(date, picture, nullptr);
}

QString FormatTimePicture(const QTime& time, const QString& picture)
{
    return FormatTimePicture(time, picture, nullptr);
}

QString FormatDatePicture(const QDate& date, const QString& picture, std::vector<PictureField>* fields)
{
    if (fields)
        fields->clear();
    if (!date.isValid())
        return {};
    return Expand(
        picture, QStringLiteral("dMyg"),
        [&](char16_t letter, int run) -> QString
        {
            switch (letter)
            {
            case u'd':
                if (run == 1)
                    return QString::number(date.day());
                if (run == 2)
                    return Padded(date.day(), 2);
                if (run == 3)
                    return QString::fromLatin1(kDays[date.dayOfWeek() - 1]).left(3);
                return QString::fromLatin1(kDays[date.dayOfWeek() - 1]);
            case u'M':
                if (run == 1)
                    return QString::number(date.month());
                if (run == 2)
                    return Padded(date.month(), 2);
                if (run == 3)
                    return QString::fromLatin1(kMonths[date.month() - 1]).left(3);
                return QString::fromLatin1(kMonths[date.month() - 1]);
            case u'y':
                if (run == 1)
                    return QString::number(date.year() % 100);
                if (run == 2)
                    return Padded(date.year() % 100, 2);
                return QString::number(date.year());
            default:
                return QStringLiteral("A.D.");
            }
        },
        fields);
}

QString FormatTimePicture(const QTime& time, const QString& picture, std::vector<PictureField>* fields)
{
    if (fields)
        fields->clear();
    if (!time.isValid())
        return {};
    return Expand(
        picture, QStringLiteral("hHmst"),
        [&](char16_t letter, int run) -> QString
        {
            const int digits = run >= 2 ? 2 : 1;
            switch (letter)
            {
            case u'h':
            {
                const int h = time.hour() % 12;
                return Padded(h == 0 ? 12 : h, digits);
            }
            case u'H':
                return Padded(time.hour(), digits);
            case u'm':
                return Padded(time.minute(), digits);
            case u's':
                return Padded(time.second(), digits);
            default:
            {
                const QString designator = time.hour() < 12 ? QStringLiteral("AM") : QStringLiteral("PM");
                return run == 1 ? designator.left(1) : designator;
            }
            }
        },
        fields);
}

} // namespace Platform
