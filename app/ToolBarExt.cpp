#include "app/ToolBarExt.h"

#include <QActionEvent>
#include <QApplication>
#include <QBitmap>
#include <QIcon>
#include <QMouseEvent>
#include <QPixmap>

namespace
{
QPixmap Cut(const QImage& strip, int index)
{
    const int s = CToolBarExt::kButtonSize;
    if (strip.isNull() || (index + 1) * s > strip.width())
        return QPixmap();
    QPixmap pixmap = QPixmap::fromImage(strip.copy(index * s, 0, s, s));
    pixmap.setMask(pixmap.createMaskFromColor(Qt::white, Qt::MaskInColor));
    return pixmap;
}
} // namespace

CToolBarExt::CToolBarExt(QWidget* parent) : QToolBar(parent)
{
    setMovable(false);
    setFloatable(false);
    setIconSize(QSize(kButtonSize, kButtonSize));
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    setContentsMargins(0, 0, 0, 0);
}

void CToolBarExt::SetButtonImages(const QImage& normal, const QImage& disabled)
{
    int image = 0;
    for (QAction* a : actions())
    {
        if (a->isSeparator())
            continue;
        QIcon icon;
        const QPixmap n = Cut(normal, image);
        const QPixmap d = Cut(disabled, image);
        if (!n.isNull())
            icon.addPixmap(n, QIcon::Normal);
        if (!d.isNull())
            icon.addPixmap(d, QIcon::Disabled);
        a->setIcon(icon);
        ++image;
    }
}

void CToolBarExt::actionEvent(QActionEvent* event)
{
    QToolBar::actionEvent(event);
    if (event->type() == QEvent::ActionAdded)
        if (QWidget* w = widgetForAction(event->action()))
            w->installEventFilter(this);
}

bool CToolBarExt::eventFilter(QObject* watched, QEvent* event)
{
    // The second press of a double click on a button is swallowed with its release, so a
    // double click acts as one click.
    switch (event->type())
    {
    case QEvent::MouseButtonPress:
    {
        const qint64 now = static_cast<QMouseEvent*>(event)->timestamp();
        if (watched == m_lastPressed && m_lastPressMs >= 0 &&
            now - m_lastPressMs < QApplication::doubleClickInterval())
        {
            m_lastPressMs = -1;
            m_swallowRelease = true;
            return true;
        }
        // A release that went elsewhere (to the bar, for a press it took) leaves nothing
        // to swallow.
        m_swallowRelease = false;
        m_lastPressed = watched;
        m_lastPressMs = static_cast<qint64>(now);
        break;
    }
    case QEvent::MouseButtonDblClick:
        m_lastPressMs = -1;
        m_swallowRelease = true;
        return true;
    case QEvent::MouseButtonRelease:
        if (m_swallowRelease)
        {
            m_swallowRelease = false;
            return true;
        }
        break;
    default:
        break;
    }
    return QToolBar::eventFilter(watched, event);
}

void CToolBarExt::mousePressEvent(QMouseEvent* event)
{
    // The toolbar itself only sees presses outside its buttons: separators and the empty
    // part. They start nothing.
    event->accept();
}

void CToolBarExt::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
}
