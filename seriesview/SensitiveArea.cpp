#include "seriesview/SensitiveArea.h"

#include "platform/gui/Canvas.h"

#include <algorithm>

using namespace Platform;

void CSensitiveArea::Add(const Rect& rect, int priority, int kind, int item,
                         const std::optional<QString>& tooltip, bool enabled)
{
    if (!enabled)
        return;
    m_areas.push_back(Area{rect, priority, kind, item, tooltip});
}

Rect CSensitiveArea::AddTextArea(Canvas& dc, int x, int y, QStringView text, int priority, int kind, int item,
                                 const std::optional<QString>& tooltip, bool enabled)
{
    const Size extent = dc.GetTextExtent(text);
    const Rect rect{x, y, x + extent.cx, y + extent.cy};
    Add(rect, priority, kind, item, tooltip, enabled);
    return rect;
}

bool CSensitiveArea::HitTest(Point point, int* kind, int* item, QString* tooltip, Rect* rect) const
{
    const Area* best = nullptr;
    int bestPriority = -1;
    for (const Area& area : m_areas)
    {
        const bool inside = area.rect.left <= point.x && point.x <= area.rect.right &&
                            area.rect.top <= point.y && point.y <= area.rect.bottom;
        if (inside && area.priority > bestPriority)
        {
            best = &area;
            bestPriority = area.priority;
        }
    }
    if (!best)
        return false;
    if (kind)
        *kind = best->kind;
    if (item)
        *item = best->item;
    if (tooltip)
    {
        tooltip->clear();
        if (best->tooltip)
            *tooltip = *best->tooltip;
    }
    if (rect)
        *rect = best->rect;
    return true;
}

void CSensitiveArea::RemoveAll()
{
    m_areas.clear();
}

std::vector<std::pair<int, Rect>> CSensitiveArea::ItemsOfKind(int kind) const
{
    std::vector<std::pair<int, Rect>> items;
    for (const Area& area : m_areas)
        if (area.kind == kind && std::none_of(items.begin(), items.end(),
                                              [&](const auto& known) { return known.first == area.item; }))
            items.emplace_back(area.item, area.rect);
    return items;
}
