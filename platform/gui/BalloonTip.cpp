#include "platform/gui/BalloonTip.h"

#include <QApplication>
#include <QEnterEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QStyle>
#include <QWidget>

namespace Platform
{

namespace
{
constexpr int kPadding = 8;
constexpr int kIconSize = 16;
constexpr int kGap = 6;
// Where the balloon sits relative to the mouse pointer.
constexpr QPoint kOffset{4, 20};
} // namespace

// The balloon itself: a frameless tooltip window that paints title, icon and text.
class BalloonTip::Popup : public QWidget
{
public:
    Popup() : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint)
    {
        setAttribute(Qt::WA_ShowWithoutActivating);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

    void SetContent(const QString& title, int icon, const QString& text, int maxWidth)
    {
        m_title = title;
        m_icon = icon;
        m_text = text;
        QFont bold = font();
        bold.setBold(true);
        const QFontMetrics titleMetrics(bold);
        const QFontMetrics textMetrics(font());
        const int wrap = maxWidth > 0 ? maxWidth - 2 * kPadding : 0x7FFF;
        m_textRect = textMetrics.boundingRect(QRect(0, 0, std::max(1, wrap), 0x7FFF), Qt::TextWordWrap, text);
        int titleWidth = 0;
        int titleHeight = 0;
        if (!title.isEmpty() || icon != TTI_NONE)
        {
            titleWidth = titleMetrics.horizontalAdvance(title) + (icon != TTI_NONE ? kIconSize + kGap : 0);
            titleHeight = std::max(titleMetrics.height(), icon != TTI_NONE ? kIconSize : 0);
        }
        m_titleHeight = titleHeight;
        const int width = std::max(titleWidth, m_textRect.width()) + 2 * kPadding;
        const int height = titleHeight + (titleHeight > 0 ? kGap : 0) + m_textRect.height() + 2 * kPadding;
        resize(width, height);
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
        p.fillPath(path, palette().toolTipBase());
        p.setPen(palette().toolTipText().color());
        p.drawPath(path);
        int x = kPadding;
        int y = kPadding;
        if (m_titleHeight > 0)
        {
            if (m_icon != TTI_NONE)
            {
                const QIcon icon = style()->standardIcon(QStyle::SP_MessageBoxInformation);
                icon.paint(&p, QRect(x, y + (m_titleHeight - kIconSize) / 2, kIconSize, kIconSize));
                x += kIconSize + kGap;
            }
            QFont bold = font();
            bold.setBold(true);
            p.setFont(bold);
            p.drawText(QRect(x, y, width() - x - kPadding, m_titleHeight), Qt::AlignVCenter | Qt::AlignLeft,
                       m_title);
            y += m_titleHeight + kGap;
            p.setFont(font());
        }
        p.drawText(QRect(kPadding, y, m_textRect.width(), m_textRect.height()), Qt::TextWordWrap, m_text);
    }

private:
    QString m_title;
    int m_icon = TTI_NONE;
    QString m_text;
    QRect m_textRect;
    int m_titleHeight = 0;
};

BalloonTip::BalloonTip(QWidget* window) : m_window(window)
{
    m_initialTimer.setSingleShot(true);
    m_autoPopTimer.setSingleShot(true);
    QObject::connect(&m_initialTimer, &QTimer::timeout, [this] { Show(); });
    QObject::connect(&m_autoPopTimer, &QTimer::timeout,
                     [this]
                     {
                         Pop();
                         m_poppedInTool = true;
                     });
}

BalloonTip::~BalloonTip() = default;

void BalloonTip::SetTitle(const QString& title, int icon)
{
    m_title = title;
    m_icon = icon;
}

void BalloonTip::AddTool(const Rect& rect, const QString& text)
{
    m_rect = rect;
    m_text = text;
    m_hasTool = true;
    m_poppedInTool = false;
    // A mouse that already rests in the new area gets its tip without moving again.
    if (m_active && m_window)
    {
        const QPoint local = m_window->mapFromGlobal(m_lastGlobal);
        if (m_rect.Contains({local.x(), local.y()}))
            m_initialTimer.start(std::max(0, m_initialDelay));
    }
}

void BalloonTip::DelTool()
{
    Pop();
    m_hasTool = false;
    m_rect = {};
    m_text.clear();
}

void BalloonTip::Pop()
{
    m_initialTimer.stop();
    m_autoPopTimer.stop();
    if (m_popup)
        m_popup->hide();
}

void BalloonTip::Activate(bool on)
{
    m_active = on;
    if (!on)
        Pop();
}

bool BalloonTip::IsShown() const
{
    return m_popup && m_popup->isVisible();
}

void BalloonTip::RelayEvent(const QEvent* event)
{
    switch (event->type())
    {
    case QEvent::MouseMove:
    {
        const auto* me = static_cast<const QMouseEvent*>(event);
        const QPoint pos = me->position().toPoint();
        m_lastGlobal = me->globalPosition().toPoint();
        if (!m_hasTool || !m_active || !m_rect.Contains({pos.x(), pos.y()}))
        {
            Pop();
            m_poppedInTool = false;
            return;
        }
        // The tip waits until the mouse rests: every move starts the delay again.
        if (!IsShown() && !m_poppedInTool)
            m_initialTimer.start(std::max(0, m_initialDelay));
        return;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
        Pop();
        return;
    case QEvent::Leave:
    case QEvent::Hide:
        Pop();
        m_poppedInTool = false;
        return;
    default:
        return;
    }
}

void BalloonTip::Show()
{
    if (!m_hasTool || !m_active || !m_window)
        return;
    if (!m_popup)
        m_popup = std::make_unique<Popup>();
    m_popup->SetContent(m_title, m_icon, m_text, m_maxWidth);
    QPoint at = m_lastGlobal + kOffset;
    if (const QScreen* screen = m_window->screen())
    {
        const QRect area = screen->availableGeometry();
        at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() - m_popup->width())));
        at.setY(std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() - m_popup->height())));
    }
    m_popup->move(at);
    m_popup->show();
    if (m_autoPopDelay > 0)
        m_autoPopTimer.start(m_autoPopDelay);
}

} // namespace Platform
