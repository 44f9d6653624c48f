#include "controls/ProgressWnd.h"

#include "platform/gui/PainterCanvas.h"
#include "platform/gui/SystemLook.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTextOption>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <functional>

using namespace Platform;

namespace
{

constexpr int kWindowWidth = 390;

QPointer<QWidget>& MainWindowSlot()
{
    static QPointer<QWidget> window;
    return window;
}

QWidget* MainWindow()
{
    return MainWindowSlot().data();
}

QFont MessageQFont()
{
    return Font(GetMessageFont()).ToQFont();
}

QRect ToQRect(const Rect& r)
{
    return QRect(r.left, r.top, r.Width(), r.Height());
}

// The text line: shown literally, without wrapping, tabs expanded to every eighth average
// character width, on the window's white band.
class ProgressText : public QWidget
{
public:
    explicit ProgressText(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_TranslucentBackground); }

    void SetText(const QString& text)
    {
        m_text = text;
        // Read out by screen readers, as a label's text is.
        setAccessibleName(text);
        update();
    }
    const QString& Text() const { return m_text; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setFont(font());
        p.setPen(palette().color(QPalette::WindowText));
        QTextOption option(Qt::AlignLeft | Qt::AlignTop);
        option.setWrapMode(QTextOption::NoWrap);
        option.setTabStopDistance(8.0 * fontMetrics().averageCharWidth());
        p.drawText(QRectF(rect()), m_text, option);
    }

private:
    QString m_text;
};

// Cancels on an Esc key for any window of the thread while the pump runs.
class EscapeWatch : public QObject
{
public:
    explicit EscapeWatch(std::function<void()> cancel) : m_cancel(std::move(cancel)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
        {
            m_cancel();
            return true;
        }
        return false;
    }

private:
    std::function<void()> m_cancel;
};

} // namespace

// The window of a CProgressWnd.
class CProgressWindow : public QWidget
{
public:
    CProgressWindow(CProgressWnd& owner, QWidget* parent)
        : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_owner(owner)
    {
        m_later.setSingleShot(true);
        QObject::connect(&m_later, &QTimer::timeout, this,
                         [this]
                         {
                             QEvent request(QEvent::UpdateRequest);
                             QCoreApplication::sendEvent(this, &request);
                         });
    }

    ProgressText* text = nullptr;
    QProgressBar* bar = nullptr;
    QPushButton* cancel = nullptr;

protected:
    // The bar repaints at once on every visible step and the text on every change: a job
    // that steps faster than the eye can follow would spend more time painting than on its
    // work. So the window and its children paint at most every kMinPaintIntervalMs; a
    // change in between shows when the interval is over. What the window system asks for
    // (a newly mapped or uncovered window) is painted at once, since it comes another way.
    bool event(QEvent* event) override
    {
        if (event->type() != QEvent::UpdateRequest)
            return QWidget::event(event);
        const qint64 wait = m_owner.PaintWait();
        if (wait <= 0)
        {
            m_owner.m_painted.start();
            return QWidget::event(event);
        }
        if (!m_later.isActive())
            m_later.start(int(wait));
        return true;
    }

    void paintEvent(QPaintEvent* event) override
    {
        WidgetCanvas dc(this, event->region());
        const int separator = m_owner.SeparatorY();
        dc.FillSolidRect({0, 0, width(), separator}, Rgb(255, 255, 255));
        dc.FillSolidRect({0, separator, width(), height()}, GetSysColor(COLOR_BTNFACE));
        dc.FillSolidRect({0, separator + 1, width(), separator + 2}, Rgb(223, 223, 223));
    }

    // Whoever closes the window (the window manager, a shortcut) cancels the job; the
    // window itself goes only when the job's caller has seen the cancel.
    void closeEvent(QCloseEvent* event) override
    {
        event->ignore();
        m_owner.OnCancel();
    }

private:
    CProgressWnd& m_owner;
    // Paints what changed during the interval once it is over.
    QTimer m_later;
};

CProgressWnd::CProgressWnd(QWidget* parent, const QString& title, const QString& cancelLabel, bool smooth)
    : m_title(title), m_cancelLabel(cancelLabel)
{
    Create(parent, smooth);
}

void CProgressWnd::SetMainWindow(QWidget* window)
{
    MainWindowSlot() = window;
}

CProgressWnd::~CProgressWnd()
{
    delete m_window.data();
}

void CProgressWnd::Create(QWidget* parent, bool smooth)
{
    (void)smooth; // Qt's bars are always smooth.
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    if (!parent)
        parent = MainWindow();

    auto* window = new CProgressWindow(*this, parent);
    m_window = window;
    m_hasWindow = true;
    window->setWindowTitle(m_title);
    window->setCursor(Qt::BusyCursor);
    window->setAttribute(Qt::WA_ShowWithoutActivating);
    window->setWindowModality(Qt::ApplicationModal);

    const QFont font = MessageQFont();
    window->text = new ProgressText(window);
    window->text->setObjectName(QStringLiteral("text"));
    window->text->setFont(font);
    window->bar = new QProgressBar(window);
    window->bar->setObjectName(QStringLiteral("bar"));
    window->bar->setTextVisible(false);
    window->bar->setRange(m_lower, m_upper);
    window->bar->setValue(m_barPosition);
    window->cancel = new QPushButton(m_cancelLabel, window);
    window->cancel->setObjectName(QStringLiteral("cancel"));
    window->cancel->setFont(font);
    window->cancel->setAutoDefault(false);
    QObject::connect(window->cancel, &QPushButton::clicked, window, [this] { OnCancel(); });

    Layout(kWindowWidth, m_textLines);
    // Centred on the owner's window, or on the screen without one.
    QRect area;
    if (parent)
        area = parent->window()->frameGeometry();
    else if (const QScreen* screen = QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    if (area.isValid())
        window->move(area.center() - QPoint(window->width() / 2, window->height() / 2));
    Show();
    window->repaint();
}

void CProgressWnd::Layout(int width, int lines)
{
    m_textRect = {20, 12, width - 40, 124};
    int buttonWidth = 100;
    if (CanMeasureText())
    {
        MeasureCanvas dc;
        dc.SelectFont(Font(GetMessageFont()));
        QString probe = QStringLiteral("M");
        for (int i = 1; i < lines; ++i)
            probe += QStringLiteral("\nM");
        Rect calc = m_textRect;
        dc.DrawText(probe, &calc, DT_CALCRECT | DT_NOPREFIX | DT_NOCLIP);
        m_textRect = {20, 12, 20 + width, 12 + calc.Height()};
        buttonWidth = dc.GetTextExtent(m_cancelLabel).cx + 40;
    }
    m_barRect = {m_textRect.left, m_textRect.bottom + 12, m_textRect.right, m_textRect.bottom + 12 + 15};
    m_separatorY = m_barRect.bottom + 12;
    m_buttonRect = {m_barRect.right - buttonWidth, m_barRect.bottom + 24, m_barRect.right,
                    m_barRect.bottom + 48};

    if (!m_window)
        return;
    m_window->setFixedSize(m_textRect.Width() + 40, m_textRect.Height() + 15 + 24 + 60);
    m_window->bar->setGeometry(ToQRect(m_barRect));
    m_window->cancel->setGeometry(ToQRect(m_buttonRect));
    m_window->text->setGeometry(ToQRect(m_textRect));
}

void CProgressWnd::Show()
{
    if (HasWindow() && !m_window->isVisible())
        m_window->show();
}

void CProgressWnd::SetRange(int lower, int upper, int step)
{
    if (!HasWindow())
        return;
    m_lower = lower;
    m_upper = upper;
    m_step = step;
    m_barPosition = std::clamp(m_barPosition, lower, std::max(lower, upper));
    // An empty range shows an empty bar rather than Qt's busy animation.
    if (upper > lower)
        m_window->bar->setRange(lower, upper);
    else
        m_window->bar->setRange(0, 1);
    m_window->bar->setValue(upper > lower ? m_barPosition : 0);
}

void CProgressWnd::SetText(const QString& text)
{
    if (!HasWindow())
        return;
    m_window->text->SetText(text);
}

int CProgressWnd::SetPos(int position)
{
    if (!HasWindow())
        return m_position;
    Show();
    m_position = position;

    int percent = 0;
    if (m_upper > m_lower)
    {
        const double value =
            (static_cast<double>(position) - m_lower) * 100.0 / (static_cast<double>(m_upper) - m_lower) +
            0.5;
        percent =
            static_cast<int>(std::clamp(value, static_cast<double>(INT_MIN), static_cast<double>(INT_MAX)));
    }
    if (percent != m_lastPercent)
    {
        m_lastPercent = percent;
        m_window->setWindowTitle(QStringLiteral("%1 [%2%]").arg(m_title).arg(percent));
    }

    const int previous = m_barPosition;
    m_barPosition = std::clamp(position, m_lower, std::max(m_lower, m_upper));
    if (m_upper > m_lower)
        m_window->bar->setValue(m_barPosition);
    return previous;
}

int CProgressWnd::StepIt()
{
    if (!HasWindow())
        return m_position;
    // Wraps like the bar's own arithmetic would rather than overflowing.
    const long long next = static_cast<long long>(m_position) + m_step;
    return SetPos(static_cast<int>(std::clamp<long long>(next, INT_MIN, INT_MAX)));
}

void CProgressWnd::PumpMessages(bool cancelOnEsc, bool waitForEvents)
{
    if (m_cancelled)
        return;
    if (HasWindow() && (!m_window->isActiveWindow() || !m_window->hasFocus()))
    {
        m_window->activateWindow();
        m_window->setFocus();
    }
    EscapeWatch watch([this] { OnCancel(); });
    if (cancelOnEsc)
        qApp->installEventFilter(&watch);
    // While the job waits (on a silent tester, say) the window still repaints once per
    // interval, whatever changed.
    if (HasWindow() && PaintWait() <= 0)
        m_window->update();
    QCoreApplication::processEvents(waitForEvents ? QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents
                                                  : QEventLoop::AllEvents);
    if (cancelOnEsc)
        qApp->removeEventFilter(&watch);
}

void CProgressWnd::OnCancel()
{
    if (m_cancelled)
        return;
    m_cancelled = true;
    if (HasWindow())
    {
        if (m_window->isVisible())
            m_window->hide();
        QMetaObject::invokeMethod(
            m_window, [this] { HandleClose(); }, Qt::QueuedConnection);
    }
    if (QWidget* main = MainWindow())
    {
        main->raise();
        main->activateWindow();
    }
}

void CProgressWnd::HandleClose()
{
    m_hasWindow = false;
    if (m_window)
        m_window->hide();
}

qint64 CProgressWnd::PaintWait() const
{
    return m_painted.isValid() ? kMinPaintIntervalMs - m_painted.elapsed() : 0;
}

QWidget* CProgressWnd::GetWindow() const
{
    return HasWindow() ? m_window.data() : nullptr;
}

bool CProgressWnd::HasWindow() const
{
    return m_hasWindow && m_window;
}
