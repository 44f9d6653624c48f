#include "app/Logo.h"

#include "platform/core/StringTable.h"
#include "platform/gui/BitmapTable.h"
#include "resources/StringIds.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QToolBar>
#include <QToolTip>

CLogo::CLogo(QWidget* dockBar) : QAbstractButton(dockBar)
{
    setObjectName(QStringLiteral("Logo"));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
}

bool CLogo::LoadBitmaps(uint32_t normal, uint32_t pressed)
{
    const QImage n = Platform::BitmapTable::Instance().Get(normal);
    if (n.isNull())
        return false;
    m_normal = QPixmap::fromImage(n);
    const QImage p = Platform::BitmapTable::Instance().Get(pressed);
    m_pressed = p.isNull() ? m_normal : QPixmap::fromImage(p);
    resize(m_normal.size());
    return true;
}

QSize CLogo::sizeHint() const
{
    return m_normal.isNull() ? QSize(0, 0) : m_normal.size();
}

QWidget* CLogo::GetDockBar() const
{
    return qobject_cast<QToolBar*>(parentWidget());
}

QString CLogo::ToolTipText()
{
    const QString text = Platform::LoadString(StringId::IDS_LOGO_TIP);
    const qsizetype lf = text.indexOf(u'\n');
    return lf < 0 ? text : text.mid(lf + 1);
}

QString CLogo::StatusText()
{
    const QString text = Platform::LoadString(StringId::IDS_LOGO_TIP);
    const qsizetype lf = text.indexOf(u'\n');
    return lf < 0 ? text : text.left(lf);
}

void CLogo::Reposition()
{
    QWidget* bar = GetDockBar();
    if (!bar)
        return;
    const int edge = style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
    const QPoint target(bar->contentsRect().right() + 1 - width() - edge, bar->contentsRect().top());
    if (pos() != target)
        move(target);

    // The right edge of the bar's last visible control (its buttons and the extension
    // button that a narrow bar shows).
    int lastRight = -1;
    for (QWidget* w : bar->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
    {
        if (w == this || !w->isVisible() || w->isWindow())
            continue;
        if (w->geometry().isEmpty())
            continue;
        lastRight = std::max(lastRight, w->geometry().right());
    }
    const bool fits = lastRight < x();
    if (fits && isHidden())
        show();
    else if (!fits && !isHidden())
        hide();
}

void CLogo::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.drawPixmap(0, 0, isDown() && !m_pressed.isNull() ? m_pressed : m_normal);
}

void CLogo::mousePressEvent(QMouseEvent* event)
{
    QAbstractButton::mousePressEvent(event);
    if (event->button() == Qt::LeftButton)
        emit LogoClicked();
}

void CLogo::enterEvent(QEnterEvent* event)
{
    QAbstractButton::enterEvent(event);
    emit StatusTextChanged(StatusText(), true);
}

void CLogo::leaveEvent(QEvent* event)
{
    QAbstractButton::leaveEvent(event);
    emit StatusTextChanged(QString(), false);
}

bool CLogo::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip)
    {
        // The tooltip text is read when it is needed, so a language change shows at once.
        const QString tip = ToolTipText();
        auto* help = static_cast<QHelpEvent*>(event);
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, this, rect());
        return true;
    }
    return QAbstractButton::event(event);
}
