#pragma once
#include "platform/gui/GdiTypes.h"

#include <Qt>

class CGridCtrl;
class QWidget;

// What a drop would do.
enum : int
{
    DROPEFFECT_NONE = 0,
    DROPEFFECT_COPY = 1,
    DROPEFFECT_MOVE = 2,
    DROPEFFECT_LINK = 4,
    DROPEFFECT_SCROLL = static_cast<int>(0x80000000u),
};

// The grid's drop target. The grid takes no drops; registering it keeps drags over the
// grid away from the windows behind it, so they show that nothing can be dropped there.
class CGridDropTarget
{
public:
    // False when already registered, while another registration runs, or for a window
    // that is not a grid.
    bool Register(QWidget* window);
    void Revoke();
    bool IsRegistered() const { return m_registered; }

    // For the grid's own window these ask the grid; any other window gets no drop.
    int OnDragEnter(QWidget* window, Qt::KeyboardModifiers keyState, Platform::Point point);
    int OnDragOver(QWidget* window, Qt::KeyboardModifiers keyState, Platform::Point point);
    int OnDrop(QWidget* window, Qt::KeyboardModifiers keyState, Platform::Point point);
    void OnDragLeave(QWidget* window);
    // Copy with Ctrl, else move; never a scroll.
    int OnDragScroll(QWidget* window, Qt::KeyboardModifiers keyState, Platform::Point point);

private:
    CGridCtrl* m_grid = nullptr;
    bool m_registered = false;
};
