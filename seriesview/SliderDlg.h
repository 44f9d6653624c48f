#pragma once
#include <QDialog>
#include <QString>

class QCheckBox;
class QLabel;
class QLineEdit;
class QSlider;
class QToolButton;

// The numeric editor of a tolerance limit: a vertical trackbar with the maximum at its top,
// a value edit with up and down arrows, the range ends beside the trackbar and a "Disable"
// box that switches the limit off. Modal; the caller reads the value and the switch after
// DoModal returned IDOK.
class CSliderDlg : public QDialog
{
    Q_OBJECT
public:
    explicit CSliderDlg(QWidget* parent);
    ~CSliderDlg() override;

    void SetParams(double minimum, double maximum, double value, int decimals, double step, bool enabled);
    void SetUnit(const QString& unit);
    // Initialises the controls and runs the dialog through the modal-dialog service;
    // IDOK or IDCANCEL.
    int DoModal();
    double GetValue() const { return m_value; }
    bool IsEnabled() const { return m_enabled; }

    // Handlers of the controls.
    void OnInitDialog();
    void OnOK();
    void OnDisableClicked();
    void OnEditChange();
    void OnEditKillFocus();
    // The arrows propose a change of the trackbar position (up -1, down +1).
    void OnSpinDelta(int delta);
    void OnVScroll();
    void UpdateEditFromTrackbar();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Trackbar units per value unit.
    double PositionScale() const;
    // The trackbar position that shows a value: the top of the bar is the maximum.
    int PositionOf(double value) const;
    double ValueAt(int position) const;
    QString FormatValue(double value) const;

    double m_value = 50;
    double m_maximum = 100;
    double m_minimum = 0;
    int m_decimals = 0;
    double m_step = 1.0;
    bool m_enabled = true;
    QString m_title;
    QString m_unit;

    QLineEdit* m_edit = nullptr;
    QSlider* m_trackbar = nullptr;
    QLabel* m_titleLabel = nullptr;
    QLabel* m_minLabel = nullptr;
    QLabel* m_maxLabel = nullptr;
    QToolButton* m_spinUp = nullptr;
    QToolButton* m_spinDown = nullptr;
    QCheckBox* m_disable = nullptr;
};
