#pragma once
#include <QDate>
#include <QString>
#include <QTime>

// Dates and times written by the classic picture strings ("dd.MM.yyyy", "hh:mm tt") in the
// invariant locale: English month and day names, "AM" and "PM".
//   date: d dd ddd dddd, M MM MMM MMMM, y yy yyyy, g gg (era);
//   time: h hh (12-hour), H HH, m mm, s ss, t tt;
// text in single quotes is literal ('' is a quote), every other character is copied.
namespace Platform
{
QString FormatDatePicture(const QDate& date, const QString& picture);
QString FormatTimePicture(const QTime& time, const QString& picture);
} // namespace Platform
