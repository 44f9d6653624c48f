#pragma once
#include <QPoint>

class QAction;
class QMenu;
class QSize;
class QWidget;

namespace Platform
{

// Flags of menu items, with the values the program's menu code combines.
enum : unsigned
{
    MF_STRING = 0x0000,
    MF_GRAYED = 0x0001,
    MF_DISABLED = 0x0002,
    MF_CHECKED = 0x0008,
    MF_POPUP = 0x0010,
    MF_OWNERDRAW = 0x0100,
    MF_BYPOSITION = 0x0400,
    MF_SEPARATOR = 0x0800,
};

// Placement flags of a tracked popup. The point is the menu's left, centre or right edge
// horizontally and its top, middle or bottom vertically.
enum : unsigned
{
    TPM_LEFTALIGN = 0x0000,
    TPM_CENTERALIGN = 0x0004,
    TPM_RIGHTALIGN = 0x0008,
    TPM_TOPALIGN = 0x0000,
    TPM_VCENTERALIGN = 0x0010,
    TPM_BOTTOMALIGN = 0x0020,
    TPM_VERTICAL = 0x0040,
    TPM_RETURNCMD = 0x0100,
};

// Menus whose items draw their own text keep the whole item text here (a tab before the
// accelerator column), while the action's text holds only the part before the tab.
inline constexpr char kMenuItemTextProperty[] = "menuItemText";

// Runs a popup menu until the user chooses or dismisses it. Tests install their own
// service, so that no test waits on a modal loop.
class PopupMenuService
{
public:
    virtual ~PopupMenuService() = default;
    // Returns the chosen action, which has then been triggered as a choice in the menu
    // triggers it; null when the menu was dismissed.
    virtual QAction* Track(QMenu& menu, QPoint screenPos, unsigned flags, QWidget* owner) = 0;
};

// Installs a service (null: the built-in one); returns the previous one.
PopupMenuService* SetPopupMenuService(PopupMenuService* service);

// Tracks a popup with the installed service. UI thread only.
QAction* TrackPopupMenu(QMenu& menu, QPoint screenPos, unsigned flags, QWidget* owner);

// The top-left corner of a menu of the given size placed at a point by the alignment
// flags.
QPoint PopupTopLeft(QSize menuSize, QPoint screenPos, unsigned flags);

} // namespace Platform
