#include "controls/DateTimeDlg.h"

#include "document/LocalTime.h"
#include "controls/DialogButtons.h"
#include "platform/core/StringTable.h"
#include "platform/gui/DateTimePicker.h"
#include "platform/gui/DateTimePicture.h"
#include "platform/gui/DialogFit.h"
#include "platform/gui/DialogLayout.h"
#include "platform/gui/ModalDialog.h"
#include "resources/StringIds.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace
{
// The texts of the current time stamp are limited as their buffers were.
constexpr int kMaxTextLength = 31;

// Time stamps the dialog edits: the range in which every local time converts back.
const QDate kFirstDate(1970, 1, 1);
const QDate kLastDate(3000, 12, 31);
} // namespace

CDateTimeDlg::CDateTimeDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(Platform::LoadString(StringId::IDS_ADJUST_TIME_TITLE));
    const Platform::DialogUnits du(font());
    setFixedSize(du.Size(263, 108));

    auto label = [&](const QString& text, int x, int y, int w, int h)
    {
        auto* l = new QLabel(text, this);
        l->setGeometry(du.Rect(x, y, w, h));
        return l;
    };
    auto group = [&](const QString& text, int x, int y, int w, int h)
    {
        auto* g = new QGroupBox(text, this);
        g->setGeometry(du.Rect(x, y, w, h));
        g->lower();
        return g;
    };

    group(Platform::LoadString(StringId::IDS_CURRENT_TIME_STAMP), 7, 7, 109, 42);
    label(Platform::LoadString(StringId::IDS_DATE_LABEL), 16, 19, 16, 8);
    m_currentDate = new QLineEdit(this);
    m_currentDate->setReadOnly(true);
    m_currentDate->setGeometry(du.Rect(15, 28, 47, 14));
    Platform::SetDlgCtrlID(m_currentDate, IDC_CURRENT_DATE);
    label(Platform::LoadString(StringId::IDS_TIME_LABEL), 66, 19, 16, 8);
    m_currentTime = new QLineEdit(this);
    m_currentTime->setReadOnly(true);
    m_currentTime->setGeometry(du.Rect(66, 28, 43, 14));
    Platform::SetDlgCtrlID(m_currentTime, IDC_CURRENT_TIME);
    label(QStringLiteral("-->"), 120, 24, 12, 8);

    group(Platform::LoadString(StringId::IDS_ADJUSTED_TIME_STAMP), 134, 7, 122, 41);
    label(Platform::LoadString(StringId::IDS_DATE_LABEL), 141, 19, 16, 8);
    m_newDatePicker = new Platform::DateTimePicker(Platform::DateTimePicker::Kind::Date, this);
    m_newDatePicker->SetCalendarDropDown(true);
    m_newDatePicker->SetDateRange(kFirstDate, kLastDate);
    m_newDatePicker->setGeometry(du.Rect(140, 28, 55, 15));
    Platform::SetDlgCtrlID(m_newDatePicker, IDC_NEW_DATE);
    label(Platform::LoadString(StringId::IDS_TIME_LABEL), 199, 19, 16, 8);
    m_newTimePicker = new Platform::DateTimePicker(Platform::DateTimePicker::Kind::Time, this);
    m_newTimePicker->SetDateRange(kFirstDate, kLastDate);
    m_newTimePicker->setGeometry(du.Rect(198, 28, 51, 15));
    Platform::SetDlgCtrlID(m_newTimePicker, IDC_NEW_TIME);

    group(Platform::LoadString(StringId::IDS_INFO), 7, 54, 249, 29);
    QLabel* info =
        label(Platform::LoadString(StringId::IDS_ADJUST_ALL_INFO), 20, 62, 225, 16);
    info->setWordWrap(true);

    const auto [cancel, ok] = AddCancelOk(this, du, 152, 206, 87);

    // A language pack may lengthen the texts.
    Platform::WidenToTexts(this);
    Platform::FitToCaption(this);
    Platform::NarrowToScreen(this);

    // The read-only texts take no focus stop of their own before the pickers.
    setTabOrder(m_newDatePicker, m_newTimePicker);
    setTabOrder(m_newTimePicker, cancel);
    setTabOrder(cancel, ok);

    m_datePattern = Platform::LoadString(StringId::IDS_DATE_FORMATS);
    m_timePattern = Platform::LoadString(StringId::IDS_TIME_FORMATS);
    if (m_datePattern.isEmpty())
        m_datePattern = QStringLiteral("MM/dd/yyyy");
    if (m_timePattern.isEmpty())
        m_timePattern = QStringLiteral("h:mm tt");
}

CDateTimeDlg::~CDateTimeDlg() = default;

void CDateTimeDlg::SetFormatPatterns(const QString& datePattern, const QString& timePattern)
{
    m_datePattern = datePattern;
    m_timePattern = timePattern;
}

QString CDateTimeDlg::WithSeconds(const QString& timePattern)
{
    QString pattern = timePattern;
    pattern.replace(QStringLiteral("mm"), QStringLiteral("mm:ss"));
    return pattern;
}

int CDateTimeDlg::DoModal()
{
    return Platform::RunModalDialog(*this);
}

void CDateTimeDlg::showEvent(QShowEvent* event)
{
    if (!m_initialised)
    {
        m_initialised = true;
        OnInitDialog();
    }
    QDialog::showEvent(event);
}

void CDateTimeDlg::OnInitDialog()
{
    const QString timePattern = WithSeconds(m_timePattern);
    // A time stamp without a local calendar time shows empty texts.
    if (const auto old = ToLocalDateTime(m_oldTime))
    {
        m_currentDate->setText(Platform::FormatDatePicture(old->date, m_datePattern).left(kMaxTextLength));
        m_currentTime->setText(Platform::FormatTimePicture(old->time, timePattern).left(kMaxTextLength));
    }

    m_newDatePicker->SetFormat(m_datePattern);
    m_newTimePicker->SetFormat(timePattern);
    const auto start = ToLocalDateTime(m_newTime);
    m_pickersValid = start && start->date >= kFirstDate && start->date <= kLastDate;
    if (m_pickersValid)
    {
        m_newDatePicker->SetDateTime(start->date, start->time);
        m_newTimePicker->SetDateTime(start->date, start->time);
        m_startDate = start->date;
        m_startTime = start->time;
    }
    // Outside the range the pickers cannot show it; such a time stamp is left as it is.
    m_newDatePicker->setEnabled(m_pickersValid);
    m_newTimePicker->setEnabled(m_pickersValid);
}

std::optional<int64_t> CDateTimeDlg::PickerTime(const Platform::DateTimePicker& picker) const
{
    if (picker.GetDate() == m_startDate && picker.GetTime() == m_startTime)
        return m_newTime;
    return FromLocalDateTime(LocalDateTime{picker.GetDate(), picker.GetTime()});
}

void CDateTimeDlg::done(int result)
{
    // Read back on OK and Cancel alike; the caller uses the shift only after OK.
    if (m_initialised && m_pickersValid)
    {
        const auto date = PickerTime(*m_newDatePicker);
        const auto time = PickerTime(*m_newTimePicker);
        // The date picker carries the chosen date with the starting time of day, the time
        // picker the starting date with the chosen time of day.
        if (date && time)
        {
            int64_t value = *date + *time - m_oldTime;
            const bool oldDst = IsDaylightSavingTime(m_oldTime);
            const bool newDst = IsDaylightSavingTime(value);
            if (oldDst && !newDst)
                value -= 3600;
            else if (newDst && !oldDst)
                value += 3600;
            m_newTime = value;
        }
    }
    QDialog::done(result);
}
