#pragma once
#include <QDate>
#include <QString>
#include <QTime>

#include <vector>

// Dates and times written by the classic picture strings ("dd.MM.yyyy", "hh:mm tt") in the
// invariant locale: English month and day names, "AM" and "PM".
//   date: d dd ddd dddd, M MM MMM MMMM, y yy yyyy, g gg (era);
//   time: h hh (12-hour), H HH, m mm, s ss, t tt;
// text in single quotes is literal ('' is a quote), every other character is copied.
namespace Platform
{
// One field of a formatted text: its picture letter and run length, and where its text
// landed in the result. Editors use it to step the field under the caret.
struct PictureField
{
    char16_t letter = 0;
    int run = 0;
    qsizetype start = 0;
    qsizetype length = 0;
};

QString FormatDatePicture(const QDate& date, const QString& picture);
QString FormatTimePicture(const QTime& time, const QString& picture);
// As above, and lists the fields in the order they appear (left empty for an invalid value).
QString FormatDatePicture(const QDate& date, const QString& picture, std::vector<PictureField>* fields);
QString FormatTimePicture(const QTime& time, const QString& picture, std::vector<PictureField>* fields);
} // namespace Platform
