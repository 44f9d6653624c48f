#include "platform/gui/DateTimePicker.h"

#include <QCalendarWidget>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QToolButton>

namespace Platform
{
namespace
{

int Wrap(int value, int first, int count)
{
    return first + ((value - first) % count + count) % count;
}

// Largest value a field takes, to know when typing cannot add another digit.
int FieldMax(char16_t letter, int run, const QDate& date)
{
    switch (letter)
    {
    case u'd':
        return date.daysInMonth();
    case u'M':
        return 12;
    case u'y':
        return run <= 2 ? 99 : 9999;
    case u'h':
        return 12;
    case u'H':
        return 23;
    default:
        return 59;
    }
}

int FieldMin(char16_t letter)
{
    switch (letter)
    {
    case u'd':
    case u'M':
    case u'h':
        return 1;
    default:
        return 0;
    }
}

} // namespace

DateTimePicker::DateTimePicker(Kind kind, QWidget* parent)
    : QAbstractSpinBox(parent), m_kind(kind), m_first(1601, 1, 1), m_last(9999, 12, 31)
{
    m_picture = kind == Kind::Date ? QStringLiteral("MM/dd/yyyy") : QStringLiteral("h:mm:ss tt");
    m_date = QDate(2000, 1, 1);
    m_time = QTime(0, 0, 0);
    setContextMenuPolicy(Qt::NoContextMenu);
    lineEdit()->setContextMenuPolicy(Qt::NoContextMenu);
    lineEdit()->installEventFilter(this);
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    Render();
}

DateTimePicker::~DateTimePicker() = default;

void DateTimePicker::SetFormat(const QString& picture)
{
    m_picture = picture;
    m_field = -1;
    m_typed.clear();
    Render();
}

void DateTimePicker::SetDateTime(const QDate& date, const QTime& time)
{
    m_typed.clear();
    Store(date.isValid() ? date : m_date,
          time.isValid() ? QTime(time.hour(), time.minute(), time.second()) : m_time);
}

void DateTimePicker::SetDateRange(const QDate& first, const QDate& last)
{
    if (!first.isValid() || !last.isValid() || last < first)
        return;
    m_first = first;
    m_last = last;
    Store(m_date, m_time);
}

void DateTimePicker::SetCalendarDropDown(bool on)
{
    if (on && !m_dropButton)
    {
        m_dropButton = new QToolButton(this);
        m_dropButton->setArrowType(Qt::DownArrow);
        m_dropButton->setFocusPolicy(Qt::NoFocus);
        connect(m_dropButton, &QToolButton::clicked, this, [this] { ShowCalendar(); });
        setButtonSymbols(QAbstractSpinBox::NoButtons);
        PlaceDropButton();
        m_dropButton->show();
    }
    else if (!on && m_dropButton)
    {
        delete m_dropButton;
        m_dropButton = nullptr;
        lineEdit()->setTextMargins(0, 0, 0, 0);
        setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    }
}

void DateTimePicker::ShowCalendar()
{
    if (OpenCalendar())
        return;
    auto* calendar = new QCalendarWidget(this);
    calendar->setWindowFlags(Qt::Popup);
    calendar->setAttribute(Qt::WA_DeleteOnClose);
    calendar->setDateRange(m_first, m_last);
    calendar->setSelectedDate(m_date);
    connect(calendar, &QCalendarWidget::clicked, this,
            [this, calendar](const QDate& date)
            {
                m_typed.clear();
                Store(date, m_time);
                calendar->close();
            });
    m_calendar = calendar;
    calendar->adjustSize();
    // The drop-down opens below the field, aligned with its right edge.
    const QPoint corner = mapToGlobal(QPoint(width(), height()));
    calendar->move(corner.x() - calendar->width(), corner.y());
    calendar->show();
}

void DateTimePicker::stepBy(int steps)
{
    if (m_field < 0 || m_field >= static_cast<int>(m_fields.size()))
        return;
    const PictureField& field = m_fields[m_field];
    QDate date = m_date;
    QTime time = m_time;
    switch (field.letter)
    {
    case u'd':
        date = QDate(date.year(), date.month(), Wrap(date.day() + steps, 1, date.daysInMonth()));
        break;
    case u'M':
    {
        const int month = Wrap(date.month() + steps, 1, 12);
        const QDate first(date.year(), month, 1);
        date = QDate(date.year(), month, std::min(date.day(), first.daysInMonth()));
        break;
    }
    case u'y':
    {
        const int year = std::clamp(date.year() + steps, m_first.year(), m_last.year());
        const QDate first(year, date.month(), 1);
        date = QDate(year, date.month(), std::min(date.day(), first.daysInMonth()));
        break;
    }
    case u'h':
    case u'H':
        time = QTime(Wrap(time.hour() + steps, 0, 24), time.minute(), time.second());
        break;
    case u'm':
        time = QTime(time.hour(), Wrap(time.minute() + steps, 0, 60), time.second());
        break;
    case u's':
        time = QTime(time.hour(), time.minute(), Wrap(time.second() + steps, 0, 60));
        break;
    case u't':
        time = QTime(Wrap(time.hour() + 12 * steps, 0, 24), time.minute(), time.second());
        break;
    default:
        return;
    }
    m_typed.clear();
    Store(date, time);
}

QAbstractSpinBox::StepEnabled DateTimePicker::stepEnabled() const
{
    return StepUpEnabled | StepDownEnabled;
}

void DateTimePicker::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    const bool alt = event->modifiers() & Qt::AltModifier;
    if (m_dropButton && (key == Qt::Key_F4 || (alt && key == Qt::Key_Down)))
    {
        ShowCalendar();
        return;
    }
    switch (key)
    {
    case Qt::Key_Up:
        stepBy(1);
        return;
    case Qt::Key_Down:
        stepBy(-1);
        return;
    case Qt::Key_PageUp:
        stepBy(10);
        return;
    case Qt::Key_PageDown:
        stepBy(-10);
        return;
    case Qt::Key_Left:
    case Qt::Key_Right:
    {
        m_typed.clear();
        const int next = NextEditable(m_field, key == Qt::Key_Left ? -1 : 1);
        SelectField(next >= 0 ? next : m_field);
        return;
    }
    case Qt::Key_Home:
        m_typed.clear();
        SelectField(NextEditable(-1, 1));
        return;
    case Qt::Key_End:
        m_typed.clear();
        SelectField(NextEditable(static_cast<int>(m_fields.size()), -1));
        return;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Enter:
    case Qt::Key_Return:
    case Qt::Key_Escape:
        // The dialog handles these (default button, Cancel, focus order).
        event->ignore();
        return;
    default:
        break;
    }
    const QString text = event->text();
    if (text.size() == 1 && text[0] >= u'0' && text[0] <= u'9')
        TypeDigit(text[0].unicode() - u'0');
    else if (text.size() == 1 && (text[0].toUpper() == u'A' || text[0].toUpper() == u'P'))
        SetHalfOfDay(text[0].toUpper() == u'P');
    // Every other key is swallowed: the text is only ever changed field by field.
    event->accept();
}

void DateTimePicker::focusInEvent(QFocusEvent* event)
{
    QAbstractSpinBox::focusInEvent(event);
    SelectField(m_field);
}

void DateTimePicker::resizeEvent(QResizeEvent* event)
{
    QAbstractSpinBox::resizeEvent(event);
    PlaceDropButton();
}

bool DateTimePicker::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lineEdit())
    {
        switch (event->type())
        {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        {
            // A click chooses the field under it; the text itself is never selected freely.
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton)
            {
                setFocus(Qt::MouseFocusReason);
                m_typed.clear();
                SelectField(FieldAt(lineEdit()->cursorPositionAt(mouse->position().toPoint())));
            }
            return true;
        }
        case QEvent::MouseMove:
        case QEvent::MouseButtonRelease:
            return true;
        default:
            break;
        }
    }
    return QAbstractSpinBox::eventFilter(watched, event);
}

bool DateTimePicker::IsEditable(const PictureField& field)
{
    switch (field.letter)
    {
    case u'd':
        return field.run <= 2;
    case u'M':
    case u'y':
    case u'h':
    case u'H':
    case u'm':
    case u's':
    case u't':
        return true;
    default:
        return false;
    }
}

void DateTimePicker::Render()
{
    const QString text = m_kind == Kind::Date ? FormatDatePicture(m_date, m_picture, &m_fields)
                                              : FormatTimePicture(m_time, m_picture, &m_fields);
    lineEdit()->setText(text);
    if (m_field < 0 || m_field >= static_cast<int>(m_fields.size()) || !IsEditable(m_fields[m_field]))
        m_field = NextEditable(-1, 1);
    SelectField(m_field);
}

void DateTimePicker::SelectField(int index)
{
    if (index < 0 || index >= static_cast<int>(m_fields.size()))
        return;
    m_field = index;
    const PictureField& field = m_fields[index];
    lineEdit()->setSelection(static_cast<int>(field.start), static_cast<int>(field.length));
}

int DateTimePicker::FieldAt(qsizetype position) const
{
    int best = -1;
    for (int i = 0; i < static_cast<int>(m_fields.size()); ++i)
    {
        if (!IsEditable(m_fields[i]))
            continue;
        if (m_fields[i].start <= position)
            best = i;
        if (position <= m_fields[i].start + m_fields[i].length)
            return best >= 0 ? best : i;
    }
    return best >= 0 ? best : NextEditable(-1, 1);
}

int DateTimePicker::NextEditable(int from, int direction) const
{
    for (int i = from + direction; i >= 0 && i < static_cast<int>(m_fields.size()); i += direction)
        if (IsEditable(m_fields[i]))
            return i;
    return -1;
}

void DateTimePicker::TypeDigit(int digit)
{
    if (m_field < 0 || m_field >= static_cast<int>(m_fields.size()))
        return;
    const PictureField field = m_fields[m_field];
    if (field.letter == u't')
        return;
    const int maxDigits = field.letter == u'y' && field.run > 2 ? 4 : 2;
    const int max = FieldMax(field.letter, field.run, m_date);
    const int min = FieldMin(field.letter);
    if (field.letter == u'M' && field.run > 2 && m_typed.isEmpty() && digit == 0)
        return;
    m_typed += QChar(u'0' + digit);
    int value = m_typed.toInt();
    if (m_typed.size() == maxDigits && value > max)
    {
        m_typed = QString(QChar(u'0' + digit));
        value = digit;
    }

    QDate date = m_date;
    QTime time = m_time;
    bool set = value >= min && value <= max;
    if (field.letter == u'y' && maxDigits == 4)
        set = m_typed.size() == 4 && value >= m_first.year() && value <= m_last.year();
    if (set)
    {
        switch (field.letter)
        {
        case u'd':
            date = QDate(date.year(), date.month(), value);
            break;
        case u'M':
            date =
                QDate(date.year(), value, std::min(date.day(), QDate(date.year(), value, 1).daysInMonth()));
            break;
        case u'y':
        {
            const int year = maxDigits == 4 ? value : date.year() / 100 * 100 + value;
            date =
                QDate(year, date.month(), std::min(date.day(), QDate(year, date.month(), 1).daysInMonth()));
            break;
        }
        case u'h':
            time = QTime(value % 12 + (time.hour() >= 12 ? 12 : 0), time.minute(), time.second());
            break;
        case u'H':
            time = QTime(value, time.minute(), time.second());
            break;
        case u'm':
            time = QTime(time.hour(), value, time.second());
            break;
        case u's':
            time = QTime(time.hour(), time.minute(), value);
            break;
        default:
            break;
        }
    }
    // The field is complete when no further digit can follow; typing goes on in the next.
    const bool complete = m_typed.size() >= maxDigits || value * 10 > max;
    const QString typed = complete ? QString() : m_typed;
    Store(date, time);
    m_typed = typed;
    if (complete)
    {
        const int next = NextEditable(m_field, 1);
        if (next >= 0)
            SelectField(next);
    }
}

void DateTimePicker::SetHalfOfDay(bool pm)
{
    bool hasDesignator = false;
    for (const PictureField& f : m_fields)
        hasDesignator = hasDesignator || f.letter == u't';
    if (!hasDesignator)
        return;
    const int hour = m_time.hour() % 12 + (pm ? 12 : 0);
    m_typed.clear();
    Store(m_date, QTime(hour, m_time.minute(), m_time.second()));
}

void DateTimePicker::Store(QDate date, QTime time)
{
    if (date.isValid())
        m_date = std::clamp(date, m_first, m_last);
    if (time.isValid())
        m_time = time;
    Render();
}

void DateTimePicker::PlaceDropButton()
{
    if (!m_dropButton)
        return;
    const int side = std::max(8, height() - 4);
    m_dropButton->setGeometry(width() - side - 2, 2, side, height() - 4);
    lineEdit()->setTextMargins(0, 0, side, 0);
}

} // namespace Platform
