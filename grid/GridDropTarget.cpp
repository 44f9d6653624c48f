#include "grid/GridDropTarget.h"

#include "grid/GridCtrl.h"

using namespace Platform;

namespace
{
bool g_registering = false;
}

bool CGridDropTarget::Register(QWidget* window)
{
    if (m_registered || g_registering)
        return false;
    auto* grid = qobject_cast<CGridCtrl*>(window);
    if (!grid)
        return false;
    g_registering = true;
    m_grid = grid;
    grid->setAcceptDrops(true);
    grid->viewport()->setAcceptDrops(true);
    m_registered = true;
    g_registering = false;
    return true;
}

void CGridDropTarget::Revoke()
{
    m_registered = false;
    if (m_grid)
    {
        m_grid->setAcceptDrops(false);
        m_grid->viewport()->setAcceptDrops(false);
    }
}

int CGridDropTarget::OnDragEnter(QWidget* window, Qt::KeyboardModifiers keyState, Point point)
{
    if (!m_grid || window != m_grid)
        return DROPEFFECT_NONE;
    return m_grid->OnDragEnter(keyState, point);
}

int CGridDropTarget::OnDragOver(QWidget* window, Qt::KeyboardModifiers keyState, Point point)
{
    if (!m_grid || window != m_grid)
        return DROPEFFECT_NONE;
    return m_grid->OnDragOver(keyState, point);
}

int CGridDropTarget::OnDrop(QWidget* window, Qt::KeyboardModifiers keyState, Point point)
{
    if (!m_grid || window != m_grid)
        return DROPEFFECT_NONE;
    return m_grid->OnDrop(keyState, point);
}

void CGridDropTarget::OnDragLeave(QWidget* window)
{
    if (m_grid && window == m_grid)
        m_grid->OnDragLeave();
}

int CGridDropTarget::OnDragScroll(QWidget* window, Qt::KeyboardModifiers keyState, Point)
{
    if (!m_grid || window != m_grid)
        return DROPEFFECT_NONE;
    return (keyState & Qt::ControlModifier) ? DROPEFFECT_COPY : DROPEFFECT_MOVE;
}
