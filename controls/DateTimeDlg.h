#pragma once
#include <QDate>
#include <QDialog>
#include <QString>
#include <QTime>

#include <cstdint>
#include <optional>

class QLineEdit;
namespace Platform
{
class DateTimePicker;
}

// Shifts the time stamps of the selected series by one amount (dialog 1061). The caller
// gives the time stamp of the clicked series (after the daylight rule) as both the
// original and the new time, runs the dialog and, on IDOK, adds GetTimeShift() to every
// selected series.
class CDateTimeDlg : public QDialog
{
public:
    enum
    {
        IDD = 1061,
        IDC_NEW_DATE = 1041,
        IDC_NEW_TIME = 1042,
        IDC_CURRENT_TIME = 1045,
        IDC_CURRENT_DATE = 1053,
    };

    explicit CDateTimeDlg(QWidget* parent = nullptr);
    ~CDateTimeDlg() override;

    // The patterns of the DTFormat setting in use (the application's GetDateFormatString
    // and GetTimeFormatString); until set, those of DTFormat 0.
    void SetFormatPatterns(const QString& datePattern, const QString& timePattern);

    void SetOriginalTime(int64_t timeStamp) { m_oldTime = timeStamp; }
    void SetNewTime(int64_t timeStamp) { m_newTime = timeStamp; }
    // New time stamp minus the original one; the new one is taken from the pickers when
    // the dialog closes.
    int64_t GetTimeShift() const { return m_newTime - m_oldTime; }

    // IDOK or IDCANCEL.
    int DoModal();

    void done(int result) override;

    // Seconds are shown and edited: every "mm" of the time pattern becomes "mm:ss".
    static QString WithSeconds(const QString& timePattern);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void OnInitDialog();
    std::optional<int64_t> PickerTime(const Platform::DateTimePicker& picker) const;

    QLineEdit* m_currentTime;
    QLineEdit* m_currentDate;
    Platform::DateTimePicker* m_newDatePicker;
    Platform::DateTimePicker* m_newTimePicker;
    QString m_datePattern;
    QString m_timePattern;
    int64_t m_oldTime = 0;
    int64_t m_newTime = 0;
    bool m_initialised = false;
    bool m_pickersValid = false;
    // What the pickers showed at the start: an untouched picker stands for the new time
    // stamp itself.
    QDate m_startDate;
    QTime m_startTime;
};
