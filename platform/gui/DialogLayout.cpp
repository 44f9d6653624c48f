#include "platform/gui/DialogLayout.h"

#include <QFontMetrics>
#include <QVariant>
#include <QWidget>

namespace Platform
{
namespace
{
const char* const kControlId = "vesk_controlId";

// a * b / c rounded half away from zero, as the dialog manager scales.
int MulDiv(int a, int b, int c)
{
    const long long p = static_cast<long long>(a) * b;
    const long long r = (p >= 0 ? p + c / 2 : p - c / 2) / c;
    return static_cast<int>(r);
}
} // namespace

DialogUnits::DialogUnits(const QFont& font)
{
    const QFontMetrics fm(font);
    // The average width of the 52 Latin letters, rounded.
    const int letters =
        fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_baseX = std::max(1, (letters / 26 + 1) / 2);
    m_baseY = std::max(1, fm.height());
}

int DialogUnits::X(int units) const
{
    return MulDiv(units, m_baseX, 4);
}

int DialogUnits::Y(int units) const
{
    return MulDiv(units, m_baseY, 8);
}

QRect DialogUnits::Rect(int x, int y, int width, int height) const
{
    return QRect(X(x), Y(y), X(width), Y(height));
}

QSize DialogUnits::Size(int width, int height) const
{
    return QSize(X(width), Y(height));
}

void SetDlgCtrlID(QWidget* control, int id)
{
    if (control)
        control->setProperty(kControlId, id);
}

int GetDlgCtrlID(const QWidget* control)
{
    return control ? control->property(kControlId).toInt() : 0;
}

QWidget* GetDlgItem(const QWidget* dialog, int id)
{
    if (!dialog || id == 0)
        return nullptr;
    const auto children = dialog->findChildren<QWidget*>();
    for (QWidget* child : children)
        if (GetDlgCtrlID(child) == id)
            return child;
    return nullptr;
}

} // namespace Platform
