#pragma once
#include <QPoint>

class QKeyEvent;
class QWidget;

namespace Platform
{

// The keys that open the context menu of the focused item: the Menu key and Shift+F10.
// Not every window system turns them into a context-menu event, so the controls that have
// context menus send one themselves.
bool IsContextMenuKey(const QKeyEvent& event);

// Sends the widget a keyboard context-menu event at a point in its coordinates (where the
// focused item is), as the window system does for the Menu key; true when it was taken.
bool SendKeyboardContextMenu(QWidget* widget, QPoint at);

} // namespace Platform
