#include "platform/gui/MemDCExt.h"

#include "platform/gui/PainterCanvas.h"

#include <algorithm>

namespace Platform
{

CMemDCExt::CMemDCExt(Canvas& target, const Rect* rect) : m_target(target), m_offScreen(!target.IsPrinting())
{
    if (rect)
        m_rect = *rect;
    else
        m_target.GetClipBox(&m_rect);

    if (m_offScreen)
    {
        m_deviceRect = m_target.LPtoDP(m_rect);
        m_deviceRect.Normalize();
        // A surface of at least one pixel, so that drawing into an empty rectangle is
        // harmless; nothing is copied back then.
        m_bitmap = QImage(std::max(1, m_deviceRect.Width()), std::max(1, m_deviceRect.Height()),
                          QImage::Format_RGB32);
        m_bitmap.fill(Qt::white);
        m_memory = std::make_unique<ImageCanvas>(m_bitmap);
        // The target's mapping, moved so that the rectangle's corner is the surface's origin.
        m_memory->SetMapMode(m_target.GetMapMode());
        m_memory->SetWindowExt(m_target.GetWindowExt());
        m_memory->SetViewportExt(m_target.GetViewportExt());
        m_memory->SetWindowOrg(m_rect.TopLeft());
    }
    Dc().FillSolidRect(m_rect, m_target.GetBkColor());
}

CMemDCExt::~CMemDCExt()
{
    if (!m_offScreen)
        return;
    // End the painter before the image is read.
    m_memory.reset();
    if (m_deviceRect.IsEmpty())
        return;
    // Copy pixel for pixel, whatever the target's mapping.
    m_target.SaveDC();
    m_target.SetMapMode(MM_TEXT);
    m_target.SetWindowOrg(Point{0, 0});
    m_target.SetViewportOrg(Point{0, 0});
    m_target.BitBlt(m_deviceRect.left, m_deviceRect.top, m_deviceRect.Width(), m_deviceRect.Height(),
                    m_bitmap, 0, 0);
    m_target.RestoreDC(-1);
}

Canvas& CMemDCExt::Dc()
{
    return m_memory ? static_cast<Canvas&>(*m_memory) : m_target;
}

} // namespace Platform
