#pragma once
#include "platform/gui/GdiTypes.h"

#include <QString>
#include <QStringView>

#include <optional>
#include <vector>

namespace Platform
{
class Canvas;
}

// The clickable rectangles of a custom-drawn surface, registered while it paints and asked
// when the mouse moves or clicks. Each carries a priority that decides between overlapping
// rectangles, a kind and an item that the owner interprets, and an optional tooltip.
//
// Owners rebuild the list on every real paint: RemoveAll, then one Add or AddTextArea per
// drawn element, with enabled true only when the pass really paints.
class CSensitiveArea
{
public:
    CSensitiveArea() = default;

    // Appends an area unless enabled is false.
    void Add(const Platform::Rect& rect, int priority, int kind, int item,
             const std::optional<QString>& tooltip = std::nullopt, bool enabled = true);
    // Makes a text drawn at (x, y) in the canvas's current font clickable; returns its
    // rectangle, also when nothing was added.
    Platform::Rect AddTextArea(Platform::Canvas& dc, int x, int y, QStringView text, int priority, int kind,
                               int item, const std::optional<QString>& tooltip = std::nullopt,
                               bool enabled = true);

    // The area under the point (every edge of a rectangle counts as inside): the highest
    // priority wins, the earliest added among equals; a negative priority never wins. The
    // requested outputs are filled on a hit only; the tooltip is emptied first.
    bool HitTest(Platform::Point point, int* kind = nullptr, int* item = nullptr, QString* tooltip = nullptr,
                 Platform::Rect* rect = nullptr) const;

    void RemoveAll();
    bool IsEmpty() const { return m_areas.empty(); }
    // The items of one kind in the order they were added, each with its first rectangle.
    std::vector<std::pair<int, Platform::Rect>> ItemsOfKind(int kind) const;

private:
    struct Area
    {
        Platform::Rect rect;
        int priority = 0;
        int kind = 0;
        int item = 0;
        std::optional<QString> tooltip;
    };
    std::vector<Area> m_areas;
};
