#include "platform/gui/DialogFit.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QScreen>
#include <QStyle>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace
{
// Icon, minimise, maximise and close buttons and the caption's padding, in caption heights;
// window managers draw captions in fonts of their own, often a little larger.
constexpr int kCaptionReserveHeights = 8;
constexpr double kCaptionFontAllowance = 1.2;

// The width a control needs for its text; 0 when it has no text to fit.
int NeededWidth(const QWidget* w)
{
    if (const auto* label = qobject_cast<const QLabel*>(w))
        return label->wordWrap() || label->text().isEmpty() ? 0 : label->sizeHint().width();
    if (const auto* button = qobject_cast<const QAbstractButton*>(w))
        return button->text().isEmpty() ? 0 : button->sizeHint().width();
    if (const auto* frame = qobject_cast<const QGroupBox*>(w))
    {
        if (frame->title().isEmpty())
            return 0;
        // The title sits inside the frame's left indent and needs room on both sides.
        const QFontMetrics fm(frame->font());
        return fm.horizontalAdvance(frame->title()) + 4 * fm.averageCharWidth();
    }
    return 0;
}

void Stretch(QWidget* parent, double factor)
{
    for (QObject* child : parent->children())
    {
        auto* w = qobject_cast<QWidget*>(child);
        if (!w || w->isWindow())
            continue;
        const QRect g = w->geometry();
        const int left = static_cast<int>(std::lround(g.x() * factor));
        const int right = static_cast<int>(std::lround((g.x() + g.width()) * factor));
        w->setGeometry(left, g.y(), right - left, g.height());
        // A layout places the controls inside by itself.
        if (!w->layout())
            Stretch(w, factor);
    }
}

bool IsFixedWidth(const QWidget* dialog)
{
    return dialog->minimumWidth() == dialog->maximumWidth();
}

// Stretches a dialog of fixed positions and its controls by the factor.
void WidenBy(QWidget* dialog, double factor)
{
    const int width = static_cast<int>(std::ceil(dialog->width() * factor));
    Stretch(dialog, factor);
    if (IsFixedWidth(dialog))
        dialog->setFixedWidth(width);
    else
    {
        dialog->setMinimumWidth(width);
        dialog->resize(width, dialog->height());
    }
}
} // namespace

namespace Platform
{

void WidenToTexts(QWidget* dialog)
{
    double factor = 1.0;
    const QList<QWidget*> controls = dialog->findChildren<QWidget*>();
    for (const QWidget* w : controls)
    {
        // Controls placed by a layout grow with it by themselves.
        if (w->isWindow() || (w->parentWidget() && w->parentWidget()->layout()))
            continue;
        const int needed = NeededWidth(w);
        if (needed > 0 && w->width() > 0 && needed > w->width())
            factor = std::max(factor, static_cast<double>(needed) / w->width());
    }
    if (factor > 1.0)
        WidenBy(dialog, factor);
}

int CaptionWidth(const QWidget* window)
{
    QFont font = QApplication::font();
    font.setBold(true);
    const QFontMetrics fm(font);
    return static_cast<int>(std::ceil(fm.horizontalAdvance(window->windowTitle()) * kCaptionFontAllowance)) +
           kCaptionReserveHeights * fm.height();
}

void FitToCaption(QWidget* dialog)
{
    const int needed = CaptionWidth(dialog);
    if (IsFixedWidth(dialog) || !dialog->layout())
    {
        // Controls in fixed positions keep their arrangement across the wider dialog.
        if (needed > dialog->width() && dialog->width() > 0)
            WidenBy(dialog, static_cast<double>(needed) / dialog->width());
        return;
    }
    // A dialog with a layout takes its size from the layout at least this wide.
    dialog->setMinimumWidth(std::max(dialog->minimumWidth(), needed));
}

QSize ScreenRoom(const QWidget* window)
{
    const QScreen* screen = window->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return {QWIDGETSIZE_MAX, QWIDGETSIZE_MAX};
    const QSize available = screen->availableGeometry().size();
    QSize frame = window->frameGeometry().size() - window->geometry().size();
    if (!window->isVisible() || frame.isEmpty())
    {
        // Not shown yet: a title bar and borders as the style draws them.
        const QStyle* style = window->style();
        const int border = 2 * std::max(4, style->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth));
        frame = QSize(border, border + std::max(24, style->pixelMetric(QStyle::PM_TitleBarHeight)));
    }
    return (available - frame).expandedTo({1, 1});
}

void NarrowToScreen(QWidget* dialog)
{
    // A layout sizes its dialog by itself.
    if (dialog->layout() && !IsFixedWidth(dialog))
        return;
    const int room = ScreenRoom(dialog).width();
    if (dialog->width() <= room || dialog->width() <= 0)
        return;
    // Half a pixel less, so that rounding up cannot end one pixel past the room.
    WidenBy(dialog, (room - 0.5) / dialog->width());
}

} // namespace Platform
