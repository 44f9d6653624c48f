#include "controls/DateTimeDlg.h"
#include "document/LocalTime.h"
#include "platform/gui/DateTimePicker.h"
#include "platform/gui/DialogLayout.h"
#include "tests/controls/ScopedTimeZone.h"
#include "tests/support/ModalDialogRunner.h"

#include <QAbstractSpinBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace
{

int64_t Utc(int y, int mo, int d, int h, int mi, int s)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC).toSecsSinceEpoch();
}

Platform::DateTimePicker* DatePicker(QDialog& dlg)
{
    return Platform::GetDlgItemAs<Platform::DateTimePicker>(&dlg, CDateTimeDlg::IDC_NEW_DATE);
}

Platform::DateTimePicker* TimePicker(QDialog& dlg)
{
    return Platform::GetDlgItemAs<Platform::DateTimePicker>(&dlg, CDateTimeDlg::IDC_NEW_TIME);
}

void ClickOk(QDialog& dlg)
{
    QTest::mouseClick(Platform::GetDlgItemAs<QPushButton>(&dlg, 1), Qt::LeftButton);
}

// Runs the dialog as the series page does: the clicked series' time stamp after the
// daylight rule is both the original and the starting new time.
struct Outcome
{
    int answer = 0;
    int64_t shift = 0;
};
Outcome AdjustTime(int64_t stored, const std::function<void(QDialog&)>& act,
                   const QString& datePattern = "MM/dd/yyyy", const QString& timePattern = "h:mm tt")
{
    ModalDialogRunner driver(act);
    CDateTimeDlg dlg;
    dlg.SetFormatPatterns(datePattern, timePattern);
    const int64_t shown = ApplyDaylightRule(stored);
    dlg.SetOriginalTime(shown);
    dlg.SetNewTime(shown);
    Outcome run;
    run.answer = dlg.DoModal();
    run.shift = dlg.GetTimeShift();
    return run;
}

class DateTimeDlgTest : public ::testing::Test
{
protected:
    ScopedTimeZone m_tz{kCentralEurope};
};

} // namespace

TEST_F(DateTimeDlgTest, ShowsAndEditsSecondsWithEveryTimePattern)
{
    struct Case
    {
        const char* datePattern;
        const char* timePattern;
        const char* dateText;
        const char* timeText;
    };
    const Case cases[] = {
        {"MM/dd/yyyy", "h:mm tt", "01/15/2024", "9:05:07 AM"},
        {"dd-MM-yyyy", "h:mmt", "15-01-2024", "9:05:07A"},
        {"dd/MM/yyyy", "H:mm", "15/01/2024", "9:05:07"},
        {"dd.MM.yyyy", "HH:mm", "15.01.2024", "09:05:07"},
    };
    // 09:05:07 local time in winter.
    const int64_t stored = Utc(2024, 1, 15, 8, 5, 7);
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.timePattern);
        const bool twelveHour = QString(c.timePattern).contains(u't');
        const Outcome run = AdjustTime(
            stored,
            [&](QDialog& dlg)
            {
                EXPECT_EQ(Platform::GetDlgItemAs<QLineEdit>(&dlg, CDateTimeDlg::IDC_CURRENT_DATE)->text(),
                          c.dateText);
                EXPECT_EQ(Platform::GetDlgItemAs<QLineEdit>(&dlg, CDateTimeDlg::IDC_CURRENT_TIME)->text(),
                          c.timeText);
                EXPECT_EQ(DatePicker(dlg)->text(), c.dateText);
                EXPECT_EQ(TimePicker(dlg)->text(), c.timeText);
                // One second later, and in the afternoon where the pattern has a half of day.
                QWidget* time = TimePicker(dlg);
                QTest::keyClick(time, Qt::Key_Home);
                QTest::keyClick(time, Qt::Key_Right);
                QTest::keyClick(time, Qt::Key_Right);
                QTest::keyClick(time, Qt::Key_Up);
                if (twelveHour)
                {
                    QTest::keyClick(time, Qt::Key_End);
                    QTest::keyClick(time, Qt::Key_P);
                }
                ClickOk(dlg);
            },
            c.datePattern, c.timePattern);
        EXPECT_EQ(run.answer, Platform::IDOK);
        EXPECT_EQ(run.shift, twelveHour ? 12 * 3600 + 1 : 1);
    }
}

TEST_F(DateTimeDlgTest, UntouchedPickersGiveNoShiftEvenInTheRepeatedHour)
{
    // A winter and a summer stamp, and both instances of 02:30 on the night the clocks go
    // back, which the local time alone cannot tell apart.
    for (const int64_t stored : {Utc(2024, 1, 15, 8, 5, 7), Utc(2024, 7, 1, 10, 0, 0),
                                 Utc(2024, 10, 27, 0, 30, 0), Utc(2024, 10, 27, 1, 30, 0)})
    {
        SCOPED_TRACE(stored);
        const Outcome run = AdjustTime(stored, [](QDialog& dlg) { ClickOk(dlg); });
        EXPECT_EQ(run.answer, Platform::IDOK);
        EXPECT_EQ(run.shift, 0);
    }
}

TEST_F(DateTimeDlgTest, ChangingTheDateAcrossDaylightSavingShiftsByWholeDays)
{
    // 12:00 on 15 January and 15 July; typing the other month into the date picker.
    const int64_t winter = Utc(2024, 1, 15, 11, 0, 0);
    const int64_t summer = Utc(2024, 7, 15, 10, 0, 0);
    const int64_t days = 182 * 86400;

    const Outcome forward = AdjustTime(winter,
                                       [](QDialog& dlg)
                                       {
                                           QWidget* date = DatePicker(dlg);
                                           QTest::keyClick(date, Qt::Key_Home);
                                           QTest::keyClicks(date, "07");
                                           EXPECT_EQ(DatePicker(dlg)->text(), "07/15/2024");
                                           ClickOk(dlg);
                                       });
    EXPECT_EQ(forward.shift, days);

    const Outcome back = AdjustTime(
        summer,
        [](QDialog& dlg)
        {
            // Shown one hour earlier than its plain local time.
            EXPECT_EQ(Platform::GetDlgItemAs<QLineEdit>(&dlg, CDateTimeDlg::IDC_CURRENT_TIME)->text(),
                      "11:00:00 AM");
            QWidget* date = DatePicker(dlg);
            QTest::keyClick(date, Qt::Key_Home);
            QTest::keyClicks(date, "01");
            ClickOk(dlg);
        });
    EXPECT_EQ(back.shift, -days);
}

TEST_F(DateTimeDlgTest, DateAndTimeChangesAddUp)
{
    // 15.01.2024 09:05:07 -> 17.02.2025 10:05:07: the date picker carries the date, the time
    // picker the time of day.
    const Outcome run = AdjustTime(
        Utc(2024, 1, 15, 8, 5, 7),
        [](QDialog& dlg)
        {
            QWidget* date = DatePicker(dlg);
            QTest::keyClick(date, Qt::Key_Home);
            QTest::keyClicks(date, "17022025");
            EXPECT_EQ(DatePicker(dlg)->text(), "17.02.2025");
            QWidget* time = TimePicker(dlg);
            QTest::keyClick(time, Qt::Key_Home);
            QTest::keyClick(time, Qt::Key_Up);
            ClickOk(dlg);
        },
        "dd.MM.yyyy", "HH:mm");
    EXPECT_EQ(run.shift, Utc(2025, 2, 17, 9, 5, 7) - Utc(2024, 1, 15, 8, 5, 7));
}

TEST_F(DateTimeDlgTest, CancelAndEscapeAnswerCancel)
{
    const int64_t stored = Utc(2024, 1, 15, 8, 5, 7);
    const Outcome cancel =
        AdjustTime(stored, [](QDialog& dlg)
                   { QTest::mouseClick(Platform::GetDlgItemAs<QPushButton>(&dlg, 2), Qt::LeftButton); });
    EXPECT_EQ(cancel.answer, Platform::IDCANCEL);
    const Outcome escape =
        AdjustTime(stored, [](QDialog& dlg) { QTest::keyClick(TimePicker(dlg), Qt::Key_Escape); });
    EXPECT_EQ(escape.answer, Platform::IDCANCEL);
    EXPECT_EQ(escape.shift, 0);
}

TEST_F(DateTimeDlgTest, ATimeStampWithoutLocalTimeIsLeftAlone)
{
    // Far beyond the years the pickers offer: nothing to show, nothing to shift.
    const int64_t far = int64_t{1} << 50;
    ModalDialogRunner driver(
        [](QDialog& dlg)
        {
            EXPECT_FALSE(DatePicker(dlg)->isEnabled());
            EXPECT_FALSE(TimePicker(dlg)->isEnabled());
            ClickOk(dlg);
        });
    CDateTimeDlg dlg;
    dlg.SetOriginalTime(far);
    dlg.SetNewTime(far);
    EXPECT_EQ(dlg.DoModal(), Platform::IDOK);
    EXPECT_EQ(dlg.GetTimeShift(), 0);
    EXPECT_EQ(driver.runs, 1);
}

TEST_F(DateTimeDlgTest, DaylightRule)
{
    // In daylight-saving time a stamp is taken one hour earlier; around the changes the
    // local time decides.
    struct Case
    {
        int64_t stamp;
        bool dst;
    };
    const Case cases[] = {
        {Utc(2024, 1, 15, 12, 0, 0), false},
        {Utc(2024, 7, 15, 12, 0, 0), true},
        {Utc(2024, 3, 31, 0, 59, 59), false},  // 01:59:59 CET
        {Utc(2024, 3, 31, 1, 0, 0), true},     // 03:00:00 CEST
        {Utc(2024, 10, 26, 23, 59, 59), true}, // 01:59:59 CEST
        {Utc(2024, 10, 27, 2, 0, 0), false},   // 03:00:00 CET
        {int64_t{1} << 60, false},             // no local time
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.stamp);
        EXPECT_EQ(IsDaylightSavingTime(c.stamp), c.dst);
        EXPECT_EQ(ApplyDaylightRule(c.stamp), c.dst ? c.stamp - 3600 : c.stamp);
    }
    ScopedTimeZone utc("UTC0");
    EXPECT_EQ(ApplyDaylightRule(Utc(2024, 7, 15, 12, 0, 0)), Utc(2024, 7, 15, 12, 0, 0));
}
