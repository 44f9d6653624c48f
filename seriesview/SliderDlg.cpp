#include "seriesview/SliderDlg.h"

#include "platform/core/NumberText.h"
#include "platform/core/StringTable.h"
#include "platform/gui/MessageBox.h"
#include "platform/gui/ModalDialog.h"
#include "resources/StringIds.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>
#include <cmath>

using namespace Platform;

namespace
{

// trunc(x + 0.5), defined for every double.
int RoundHalfUp(double x)
{
    const double r = std::trunc(x + 0.5);
    if (std::isnan(r))
        return 0;
    return static_cast<int>(std::clamp(r, static_cast<double>(INT_MIN), static_cast<double>(INT_MAX)));
}

// 10^n by repeated squaring, exact for the powers the editor meets.
double PowerOfTen(int n)
{
    double result = 1;
    double base = 10;
    for (unsigned e = static_cast<unsigned>(std::abs(n)); e != 0; e >>= 1)
    {
        if (e & 1)
            result *= base;
        base *= base;
    }
    return result;
}

} // namespace

CSliderDlg::CSliderDlg(QWidget* parent) : QDialog(parent)
{
    m_maxLabel = new QLabel(this);
    m_maxLabel->setObjectName(QStringLiteral("maximum"));
    m_minLabel = new QLabel(this);
    m_minLabel->setObjectName(QStringLiteral("minimum"));
    m_trackbar = new QSlider(Qt::Vertical, this);
    m_trackbar->setObjectName(QStringLiteral("trackbar"));
    // Positions grow downwards, as on the classic trackbar: the top is the range minimum,
    // which stands for the largest value.
    m_trackbar->setInvertedAppearance(true);
    m_trackbar->setInvertedControls(true);
    m_titleLabel = new QLabel(this);
    m_titleLabel->setObjectName(QStringLiteral("title"));
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("value"));
    m_spinUp = new QToolButton(this);
    m_spinUp->setObjectName(QStringLiteral("spinUp"));
    m_spinUp->setArrowType(Qt::UpArrow);
    m_spinUp->setAutoRepeat(true);
    m_spinDown = new QToolButton(this);
    m_spinDown->setObjectName(QStringLiteral("spinDown"));
    m_spinDown->setArrowType(Qt::DownArrow);
    m_spinDown->setAutoRepeat(true);
    m_disable = new QCheckBox(QStringLiteral("Disable"), this);
    m_disable->setObjectName(QStringLiteral("disable"));
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));

    auto* spin = new QVBoxLayout;
    spin->setSpacing(0);
    spin->addWidget(m_spinUp);
    spin->addWidget(m_spinDown);
    auto* valueRow = new QHBoxLayout;
    valueRow->addWidget(m_edit);
    valueRow->addLayout(spin);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* grid = new QGridLayout(this);
    grid->addWidget(m_maxLabel, 0, 0);
    grid->addWidget(m_titleLabel, 0, 1);
    grid->addWidget(m_trackbar, 1, 0, 3, 1, Qt::AlignHCenter);
    grid->addLayout(valueRow, 1, 1);
    grid->addWidget(m_disable, 2, 1);
    grid->setRowStretch(3, 1);
    grid->addWidget(m_minLabel, 4, 0);
    grid->addLayout(buttons, 5, 0, 1, 2);
    m_trackbar->setMinimumHeight(160);

    connect(m_edit, &QLineEdit::textChanged, this, [this] { OnEditChange(); });
    m_edit->installEventFilter(this);
    connect(m_trackbar, &QSlider::valueChanged, this, [this] { OnVScroll(); });
    connect(m_spinUp, &QToolButton::clicked, this, [this] { OnSpinDelta(-1); });
    connect(m_spinDown, &QToolButton::clicked, this, [this] { OnSpinDelta(1); });
    connect(m_disable, &QCheckBox::clicked, this, [this] { OnDisableClicked(); });
    connect(ok, &QPushButton::clicked, this, [this] { OnOK(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

CSliderDlg::~CSliderDlg() = default;

void CSliderDlg::SetParams(double minimum, double maximum, double value, int decimals, double step,
                           bool enabled)
{
    m_minimum = minimum;
    m_maximum = maximum;
    m_value = value;
    m_decimals = decimals;
    m_step = step;
    m_enabled = enabled;
}

void CSliderDlg::SetUnit(const QString& unit)
{
    m_unit = unit;
}

int CSliderDlg::DoModal()
{
    OnInitDialog();
    return RunModalDialog(*this);
}

double CSliderDlg::PositionScale() const
{
    // The finer of the step and the last shown decimal decides.
    const double lastDecimal = m_decimals >= 0 ? 1.0 / PowerOfTen(m_decimals) : PowerOfTen(m_decimals);
    return 1.0 / std::max(m_step, lastDecimal);
}

int CSliderDlg::PositionOf(double value) const
{
    return RoundHalfUp((m_trackbar->maximum() + m_trackbar->minimum()) - value * PositionScale());
}

double CSliderDlg::ValueAt(int position) const
{
    return (static_cast<double>(m_trackbar->maximum()) + m_trackbar->minimum() - position) / PositionScale();
}

QString CSliderDlg::FormatValue(double value) const
{
    // A negative precision is no precision to printf: six decimals.
    return FormatFixed(value, m_decimals >= 0 ? m_decimals : 6);
}

void CSliderDlg::OnInitDialog()
{
    m_titleLabel->setText(m_title);
    setWindowTitle(m_title);
    const double s = PositionScale();
    {
        const QSignalBlocker block(m_trackbar);
        m_trackbar->setRange(RoundHalfUp(m_minimum * s), RoundHalfUp(m_maximum * s));
    }
    m_minLabel->setText(FormatValue(m_minimum) + m_unit);
    m_maxLabel->setText(FormatValue(m_maximum) + m_unit);
    // Runs OnEditChange, which places the trackbar.
    m_edit->setText(FormatValue(m_value));
    m_disable->setChecked(!m_enabled);
    OnDisableClicked();
}

void CSliderDlg::OnEditChange()
{
    // Text that is no number (yet) leaves the trackbar where it is.
    const std::optional<double> v = ParseTypedNumber(m_edit->text());
    if (!v)
        return;
    const QSignalBlocker block(m_trackbar);
    m_trackbar->setValue(PositionOf(*v));
}

void CSliderDlg::UpdateEditFromTrackbar()
{
    m_edit->setText(FormatValue(ValueAt(m_trackbar->value())));
}

void CSliderDlg::OnVScroll()
{
    UpdateEditFromTrackbar();
}

void CSliderDlg::OnEditKillFocus()
{
    // Text that is no number stays for OK to refuse; the trackbar's value would replace
    // it without a word.
    if (ParseTypedNumber(m_edit->text()))
        UpdateEditFromTrackbar();
}

void CSliderDlg::OnSpinDelta(int delta)
{
    {
        const QSignalBlocker block(m_trackbar);
        m_trackbar->setValue(m_trackbar->value() + delta);
    }
    UpdateEditFromTrackbar();
}

void CSliderDlg::OnDisableClicked()
{
    m_enabled = !m_disable->isChecked();
    for (QWidget* control : {static_cast<QWidget*>(m_trackbar), static_cast<QWidget*>(m_edit),
                             static_cast<QWidget*>(m_titleLabel), static_cast<QWidget*>(m_minLabel),
                             static_cast<QWidget*>(m_maxLabel)})
        control->setEnabled(m_enabled);
}

void CSliderDlg::OnOK()
{
    if (!m_enabled)
    {
        accept(); // a limit switched off has no value to read
        return;
    }
    const std::optional<double> typed = ParseTypedNumber(m_edit->text());
    if (!typed)
    {
        ShowMessageBox(LoadString(StringId::IDS_TYPED_NOT_A_NUMBER)
                           .arg(m_edit->text().trimmed(), TypedNumberExample()),
                       MB_OK | MB_ICONEXCLAMATION);
        m_edit->setFocus();
        m_edit->selectAll();
        return;
    }
    m_value = *typed;
    m_value = std::min(m_value, m_maximum);
    m_value = std::max(m_value, m_minimum);
    accept();
}

bool CSliderDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_edit && event->type() == QEvent::FocusOut)
        OnEditKillFocus();
    return QDialog::eventFilter(watched, event);
}
