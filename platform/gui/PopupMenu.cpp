#include "platform/gui/PopupMenu.h"

#include <QMenu>

namespace Platform
{

namespace
{
class QtPopupMenus final : public PopupMenuService
{
public:
    QAction* Track(QMenu& menu, QPoint screenPos, unsigned flags, QWidget*) override
    {
        menu.ensurePolished();
        return menu.exec(PopupTopLeft(menu.sizeHint(), screenPos, flags));
    }
};

QtPopupMenus g_builtIn;
PopupMenuService* g_service = &g_builtIn;
} // namespace

PopupMenuService* SetPopupMenuService(PopupMenuService* service)
{
    PopupMenuService* previous = g_service;
    g_service = service ? service : &g_builtIn;
    return previous;
}

QAction* TrackPopupMenu(QMenu& menu, QPoint screenPos, unsigned flags, QWidget* owner)
{
    return g_service->Track(menu, screenPos, flags, owner);
}

QPoint PopupTopLeft(QSize menuSize, QPoint screenPos, unsigned flags)
{
    QPoint topLeft = screenPos;
    if (flags & TPM_CENTERALIGN)
        topLeft.rx() -= menuSize.width() / 2;
    else if (flags & TPM_RIGHTALIGN)
        topLeft.rx() -= menuSize.width();
    if (flags & TPM_VCENTERALIGN)
        topLeft.ry() -= menuSize.height() / 2;
    else if (flags & TPM_BOTTOMALIGN)
        topLeft.ry() -= menuSize.height();
    return topLeft;
}

} // namespace Platform
