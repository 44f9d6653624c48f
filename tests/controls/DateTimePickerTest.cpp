#include "platform/gui/DateTimePicker.h"

#include <QCalendarWidget>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

using Platform::DateTimePicker;

namespace
{
struct Picker
{
    Picker(DateTimePicker::Kind kind, const QString& picture, QDate date, QTime time) : widget(kind)
    {
        widget.SetFormat(picture);
        widget.SetDateTime(date, time);
        widget.resize(160, 24);
        widget.show();
    }
    void Keys(std::initializer_list<Qt::Key> keys)
    {
        for (Qt::Key k : keys)
            QTest::keyClick(&widget, k);
    }
    DateTimePicker widget;
};
} // namespace

TEST(DateTimePicker, StepsWrapInsideTheirField)
{
    struct Case
    {
        const char* picture;
        QDate date;
        QTime time;
        int rights;
        Qt::Key key;
        const char* expected;
    };
    const Case cases[] = {
        // The day wraps inside its month, the month inside its year.
        {"dd.MM.yyyy", QDate(2024, 1, 31), QTime(12, 0), 0, Qt::Key_Up, "01.01.2024"},
        {"dd.MM.yyyy", QDate(2024, 1, 1), QTime(12, 0), 0, Qt::Key_Down, "31.01.2024"},
        {"dd.MM.yyyy", QDate(2024, 12, 5), QTime(12, 0), 1, Qt::Key_Up, "05.01.2024"},
        // A day that the new month or year lacks becomes its last day.
        {"dd.MM.yyyy", QDate(2024, 1, 31), QTime(12, 0), 1, Qt::Key_Up, "29.02.2024"},
        {"dd.MM.yyyy", QDate(2024, 2, 29), QTime(12, 0), 2, Qt::Key_Up, "28.02.2025"},
        // Minutes and seconds wrap inside their hour and minute.
        {"HH:mm:ss", QDate(2024, 1, 1), QTime(23, 59, 59), 1, Qt::Key_Up, "23:00:59"},
        {"HH:mm:ss", QDate(2024, 1, 1), QTime(23, 59, 59), 2, Qt::Key_Up, "23:59:00"},
        {"HH:mm:ss", QDate(2024, 1, 1), QTime(23, 59, 59), 0, Qt::Key_Up, "00:59:59"},
        // The half of the day flips.
        {"h:mm:ss tt", QDate(2024, 1, 1), QTime(11, 30, 0), 3, Qt::Key_Up, "11:30:00 PM"},
        {"h:mm:sst", QDate(2024, 1, 1), QTime(0, 5, 0), 3, Qt::Key_Down, "12:05:00P"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::string(c.picture) + " -> " + c.expected);
        const bool date = QString(c.picture).contains(u'y');
        Picker p(date ? DateTimePicker::Kind::Date : DateTimePicker::Kind::Time, c.picture, c.date, c.time);
        p.Keys({Qt::Key_Home});
        for (int i = 0; i < c.rights; ++i)
            p.Keys({Qt::Key_Right});
        p.Keys({c.key});
        EXPECT_EQ(p.widget.text(), c.expected);
    }
}

TEST(DateTimePicker, DigitsTypeIntoFieldsAndMoveOn)
{
    Picker date(DateTimePicker::Kind::Date, "dd.MM.yyyy", QDate(2024, 5, 20), QTime(8, 0));
    date.Keys({Qt::Key_Home});
    // "4" cannot take a second digit, so typing goes on in the month; a year needs four.
    QTest::keyClicks(&date.widget, "4");
    QTest::keyClicks(&date.widget, "12");
    QTest::keyClicks(&date.widget, "202");
    EXPECT_EQ(date.widget.text(), "04.12.2024");
    QTest::keyClicks(&date.widget, "3");
    EXPECT_EQ(date.widget.GetDate(), QDate(2023, 12, 4));
    // A day the month does not have starts the field over with the last digit.
    date.Keys({Qt::Key_Home});
    QTest::keyClicks(&date.widget, "35");
    EXPECT_EQ(date.widget.GetDate().day(), 5);

    Picker time(DateTimePicker::Kind::Time, "h:mm:ss tt", QDate(2024, 1, 1), QTime(9, 15, 30));
    time.Keys({Qt::Key_Home});
    QTest::keyClicks(&time.widget, "1");
    QTest::keyClicks(&time.widget, "1");
    QTest::keyClicks(&time.widget, "07");
    QTest::keyClick(&time.widget, Qt::Key_P);
    EXPECT_EQ(time.widget.text(), "11:07:30 PM");
    EXPECT_EQ(time.widget.GetTime(), QTime(23, 7, 30));
    // Letters other than the half of the day change nothing.
    QTest::keyClicks(&time.widget, "xyz");
    EXPECT_EQ(time.widget.text(), "11:07:30 PM");
}

TEST(DateTimePicker, AClickChoosesTheFieldUnderThePointer)
{
    Picker p(DateTimePicker::Kind::Time, "HH:mm:ss", QDate(2024, 1, 1), QTime(10, 20, 30));
    QLineEdit* edit = p.widget.findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr);
    // The middle of the minutes.
    const int x = edit->fontMetrics().horizontalAdvance("10:2") + edit->contentsMargins().left() + 2;
    QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(x, edit->height() / 2));
    EXPECT_EQ(p.widget.CurrentField(), 1) << "hours, minutes, seconds";
    EXPECT_EQ(edit->selectedText(), "20");
    QTest::keyClick(&p.widget, Qt::Key_Down);
    EXPECT_EQ(p.widget.text(), "10:19:30");
}

TEST(DateTimePicker, TheCalendarDropsDownAndSetsTheDate)
{
    Picker p(DateTimePicker::Kind::Date, "MM/dd/yyyy", QDate(2024, 3, 10), QTime(16, 45, 5));
    p.widget.SetCalendarDropDown(true);
    ASSERT_NE(p.widget.CalendarButton(), nullptr);
    QTest::mouseClick(p.widget.CalendarButton(), Qt::LeftButton);
    QCalendarWidget* calendar = p.widget.OpenCalendar();
    ASSERT_NE(calendar, nullptr);
    EXPECT_EQ(calendar->selectedDate(), QDate(2024, 3, 10));
    emit calendar->clicked(QDate(2024, 3, 14));
    QApplication::processEvents();
    EXPECT_EQ(p.widget.text(), "03/14/2024");
    // The time of day is kept.
    EXPECT_EQ(p.widget.GetTime(), QTime(16, 45, 5));
    EXPECT_EQ(p.widget.OpenCalendar(), nullptr);
}
