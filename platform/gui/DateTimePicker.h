#pragma once
#include "platform/gui/DateTimePicture.h"

#include <QAbstractSpinBox>
#include <QCalendarWidget>
#include <QDate>
#include <QPointer>
#include <QTime>

#include <vector>

class QToolButton;

namespace Platform
{

// A date or time field editor that shows its value through one of the program's picture
// strings ("dd.MM.yyyy", "h:mm:ss tt"). The value is always a whole date and time; the
// picture decides which part is shown and edited. Up and Down step the field at the caret
// and wrap within it (the day wraps inside its month, the minute inside its hour), digits
// type into it, Left and Right move between fields, A and P set the half of the day. A date
// picker can offer a calendar that drops down from a button at its right edge.
class DateTimePicker : public QAbstractSpinBox
{
public:
    enum class Kind
    {
        Date,
        Time,
    };

    explicit DateTimePicker(Kind kind, QWidget* parent = nullptr);
    ~DateTimePicker() override;

    Kind GetKind() const { return m_kind; }
    void SetFormat(const QString& picture);
    const QString& GetFormat() const { return m_picture; }

    // Invalid parts are ignored; the value is kept inside the range.
    void SetDateTime(const QDate& date, const QTime& time);
    QDate GetDate() const { return m_date; }
    QTime GetTime() const { return m_time; }
    void SetDateRange(const QDate& first, const QDate& last);

    // The calendar button (date pickers).
    void SetCalendarDropDown(bool on);
    QToolButton* CalendarButton() const { return m_dropButton; }
    // The open calendar, null while none is shown.
    QCalendarWidget* OpenCalendar() const
    {
        return m_calendar && m_calendar->isVisible() ? m_calendar.data() : nullptr;
    }
    void ShowCalendar();

    // Index into the fields of the shown text of the field at the caret; -1 for none.
    int CurrentField() const { return m_field; }
    const std::vector<PictureField>& Fields() const { return m_fields; }

    void stepBy(int steps) override;

protected:
    StepEnabled stepEnabled() const override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static bool IsEditable(const PictureField& field);
    void Render();
    void SelectField(int index);
    int FieldAt(qsizetype position) const;
    int NextEditable(int from, int direction) const;
    void TypeDigit(int digit);
    void SetHalfOfDay(bool pm);
    void Store(QDate date, QTime time);
    void PlaceDropButton();

    Kind m_kind;
    QString m_picture;
    QDate m_date;
    QTime m_time;
    QDate m_first;
    QDate m_last;
    std::vector<PictureField> m_fields;
    int m_field = -1;
    QString m_typed;
    QToolButton* m_dropButton = nullptr;
    QPointer<QCalendarWidget> m_calendar;
};

} // namespace Platform
