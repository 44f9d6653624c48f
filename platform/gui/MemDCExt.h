#pragma once
#include "platform/gui/Canvas.h"

#include <QImage>

#include <memory>

namespace Platform
{

class ImageCanvas;

// An off-screen surface for one paint: the caller draws into Dc() in the target's logical
// coordinates, and the destructor copies the covered rectangle to the target in one
// operation, so the window never shows a half-drawn state. On a printer there is nothing
// to flicker, and Dc() is the printer's canvas itself.
class CMemDCExt
{
public:
    // rect: the logical rectangle to cover; none means the target's clip box. The covered
    // rectangle starts filled with the target's background colour.
    explicit CMemDCExt(Canvas& target, const Rect* rect = nullptr);
    ~CMemDCExt();
    CMemDCExt(const CMemDCExt&) = delete;
    CMemDCExt& operator=(const CMemDCExt&) = delete;

    Canvas& Dc();
    Canvas* operator->() { return &Dc(); }
    bool IsOffScreen() const { return m_offScreen; }
    const Rect& GetRect() const { return m_rect; }

private:
    Canvas& m_target;
    Rect m_rect;
    // The covered rectangle in the target's device pixels.
    Rect m_deviceRect;
    bool m_offScreen;
    QImage m_bitmap;
    std::unique_ptr<ImageCanvas> m_memory;
};

} // namespace Platform
