#include "seriesview/SliderDlg.h"

#include "resources/BuiltInStrings.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/ModalDialogRunner.h"

#include <QApplication>
#include <QCheckBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace Platform;

namespace
{

struct Controls
{
    explicit Controls(QDialog& d)
        : edit(d.findChild<QLineEdit*>("value")), trackbar(d.findChild<QSlider*>("trackbar")),
          minimum(d.findChild<QLabel*>("minimum")), maximum(d.findChild<QLabel*>("maximum")),
          title(d.findChild<QLabel*>("title")), disable(d.findChild<QCheckBox*>("disable")),
          up(d.findChild<QToolButton*>("spinUp")), down(d.findChild<QToolButton*>("spinDown")),
          ok(d.findChild<QPushButton*>("ok")), cancel(d.findChild<QPushButton*>("cancel"))
    {
    }
    QLineEdit* edit;
    QSlider* trackbar;
    QLabel* minimum;
    QLabel* maximum;
    QLabel* title;
    QCheckBox* disable;
    QToolButton* up;
    QToolButton* down;
    QPushButton* ok;
    QPushButton* cancel;
};

// Types a new value into the edit as a user would.
void Type(QLineEdit* edit, const QString& text)
{
    edit->selectAll();
    edit->del();
    QTest::keyClicks(edit, text);
}

} // namespace

TEST(SliderDlg, InvertedTrackbarOnTheGridOfTheStep)
{
    int positionAtStart = 0;
    int rangeMin = 0;
    int rangeMax = 0;
    QString afterStep;
    QString afterUp;
    QString labels;
    bool titleEmpty = false;
    ModalDialogRunner runner(
        [&](QDialog& d)
        {
            Controls c(d);
            ASSERT_NE(c.edit, nullptr);
            rangeMin = c.trackbar->minimum();
            rangeMax = c.trackbar->maximum();
            positionAtStart = c.trackbar->value();
            labels = c.minimum->text() + "|" + c.maximum->text() + "|" + c.edit->text();
            titleEmpty = c.title->text().isEmpty() && d.windowTitle().isEmpty();
            // One step down the bar is half a unit less.
            c.trackbar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
            afterStep = c.edit->text();
            // The up arrow goes towards the top: the value grows by a step.
            c.up->click();
            c.up->click();
            afterUp = c.edit->text();
            c.ok->click();
        });
    CSliderDlg dlg(nullptr);
    dlg.SetParams(20, 70, 30, 1, 0.5, true);
    dlg.SetUnit(" HRC");
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(rangeMin, 40);
    EXPECT_EQ(rangeMax, 140);
    EXPECT_EQ(positionAtStart, 120);
    EXPECT_EQ(labels, "20.0 HRC|70.0 HRC|30.0");
    EXPECT_TRUE(titleEmpty);
    EXPECT_EQ(afterStep, "29.5");
    EXPECT_EQ(afterUp, "30.5");
    EXPECT_DOUBLE_EQ(dlg.GetValue(), 30.5);
    EXPECT_TRUE(dlg.IsEnabled());
}

TEST(SliderDlg, TheFinerOfStepAndLastDecimalSetsTheScale)
{
    struct Case
    {
        int decimals;
        double step;
        double min, max;
        int rangeMin, rangeMax;
    } cases[] = {
        {2, 0.001, 0.5, 2.5, 50, 250}, // the step is finer than the last decimal: 100 per unit
        {0, 5, 0, 100, 0, 20},         // a coarse step: one position per 5
        {-1, 0.01, 100, 900, 10, 90},  // negative decimals: positions of tens
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.decimals);
        int rangeMin = -1;
        int rangeMax = -1;
        ModalDialogRunner runner(
            [&](QDialog& d)
            {
                Controls ctl(d);
                rangeMin = ctl.trackbar->minimum();
                rangeMax = ctl.trackbar->maximum();
            });
        CSliderDlg dlg(nullptr);
        dlg.SetParams(c.min, c.max, c.min, c.decimals, c.step, true);
        EXPECT_EQ(dlg.DoModal(), IDCANCEL);
        EXPECT_EQ(rangeMin, c.rangeMin);
        EXPECT_EQ(rangeMax, c.rangeMax);
    }
}

TEST(SliderDlg, TypedValuesAreClampedOnOkAndRoundedWhenTheEditLosesFocus)
{
    struct Case
    {
        const char* typed;
        bool leaveEdit;
        double result; // the old value 30 when refused
        bool refused = false;
    } cases[] = {
        {"200", false, 70},    // above the maximum
        {"-5", false, 20},     // below the minimum
        {"33.3", false, 33.3}, // OK by Enter keeps the typed value
        {"33.3", true, 33.5},  // leaving the edit puts it on the trackbar's grid
        {" 41.2 ", false, 41.2},
        // Text that is no number is refused whole, even after the edit lost the focus.
        {"abc", false, 30, true},
        {"abc", true, 30, true},
        {"41.2 HRC", false, 30, true},
        {"1e400", false, 30, true},
        {"inf", false, 30, true},
        {"", false, 30, true},
    };
    RegisterBuiltInStrings();
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.typed);
        QString shown;
        bool openAfterEnter = false;
        MessageBoxRecorder boxes;
        ModalDialogRunner runner(
            [&](QDialog& d)
            {
                Controls ctl(d);
                d.show(); // as the modal loop would: Enter presses the visible default button
                Type(ctl.edit, c.typed);
                if (c.leaveEdit)
                {
                    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
                    QApplication::sendEvent(ctl.edit, &out);
                    shown = ctl.edit->text();
                }
                QTest::keyClick(ctl.edit, Qt::Key_Return);
                openAfterEnter = d.isVisible();
            });
        CSliderDlg dlg(nullptr);
        dlg.SetParams(20, 70, 30, 1, 0.5, true);
        EXPECT_EQ(dlg.DoModal(), c.refused ? IDCANCEL : IDOK);
        EXPECT_DOUBLE_EQ(dlg.GetValue(), c.result);
        EXPECT_EQ(openAfterEnter, c.refused) << "a refused text leaves the dialog open";
        ASSERT_EQ(boxes.boxes.size(), c.refused ? 1u : 0u);
        if (c.refused)
        {
            EXPECT_EQ(boxes.boxes[0].text,
                      QStringLiteral("\"%1\" is not a number. Please type a number such as 12.5.")
                          .arg(QString::fromLatin1(c.typed).trimmed()));
        }
        if (c.leaveEdit)
        {
            EXPECT_EQ(shown, c.refused ? QString::fromLatin1(c.typed) : QStringLiteral("33.5"));
        }
    }
}

TEST(SliderDlg, DisableSwitchesTheLimitOff)
{
    bool controlsEnabled = true;
    bool spinEnabled = false;
    ModalDialogRunner runner(
        [&](QDialog& d)
        {
            Controls c(d);
            EXPECT_TRUE(c.trackbar->isEnabled());
            c.disable->click();
            controlsEnabled = c.trackbar->isEnabled() || c.edit->isEnabled() || c.minimum->isEnabled() ||
                              c.maximum->isEnabled() || c.title->isEnabled();
            spinEnabled = c.up->isEnabled();
            c.ok->click();
        });
    CSliderDlg dlg(nullptr);
    dlg.SetParams(20, 70, 30, 1, 0.5, true);
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_FALSE(controlsEnabled);
    EXPECT_TRUE(spinEnabled);
    EXPECT_FALSE(dlg.IsEnabled());

    // Starting switched off: the box is ticked and the controls are off; unticking
    // switches the limit on again. Cancel reports IDCANCEL.
    bool ticked = false;
    bool editEnabled = true;
    ModalDialogRunner again(
        [&](QDialog& d)
        {
            Controls c(d);
            ticked = c.disable->isChecked();
            editEnabled = c.edit->isEnabled();
            c.disable->click();
            c.cancel->click();
        });
    CSliderDlg off(nullptr);
    off.SetParams(20, 70, 70, 1, 0.5, false);
    EXPECT_EQ(off.DoModal(), IDCANCEL);
    EXPECT_TRUE(ticked);
    EXPECT_FALSE(editEnabled);
    EXPECT_EQ(again.runs, 1);
}
