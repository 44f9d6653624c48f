#pragma once
#include <QFont>
#include <QRect>
#include <QSize>

class QWidget;

namespace Platform
{

// Dialogs are laid out as their templates say, in dialog units: a horizontal unit is a
// quarter of the font's average character width, a vertical unit an eighth of its
// height, so a dialog grows with its font as the templates expect.
class DialogUnits
{
public:
    explicit DialogUnits(const QFont& font);

    int X(int units) const;
    int Y(int units) const;
    QRect Rect(int x, int y, int width, int height) const;
    QSize Size(int width, int height) const;
    int BaseX() const { return m_baseX; }
    int BaseY() const { return m_baseY; }

private:
    int m_baseX;
    int m_baseY;
};

// Control ids of a dialog, so that callers and tests find a control by the id its
// template gives (0: none).
void SetDlgCtrlID(QWidget* control, int id);
int GetDlgCtrlID(const QWidget* control);
// The first child (at any depth) with the id; null when there is none.
QWidget* GetDlgItem(const QWidget* dialog, int id);
template <class T> T* GetDlgItemAs(const QWidget* dialog, int id)
{
    return dynamic_cast<T*>(GetDlgItem(dialog, id));
}

} // namespace Platform
