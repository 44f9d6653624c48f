#include "platform/gui/ContextMenuKey.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QWidget>

namespace Platform
{

bool IsContextMenuKey(const QKeyEvent& event)
{
    const Qt::KeyboardModifiers mods =
        event.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (event.key() == Qt::Key_Menu)
        return mods == Qt::NoModifier;
    return event.key() == Qt::Key_F10 && mods == Qt::ShiftModifier;
}

bool SendKeyboardContextMenu(QWidget* widget, QPoint at)
{
    QContextMenuEvent menu(QContextMenuEvent::Keyboard, at, widget->mapToGlobal(at), Qt::NoModifier);
    menu.ignore();
    QApplication::sendEvent(widget, &menu);
    return menu.isAccepted();
}

} // namespace Platform
