#include "seriesview/SensitiveArea.h"

#include "platform/gui/RecordingCanvas.h"

#include <gtest/gtest.h>

using namespace Platform;

namespace
{
struct Hit
{
    bool found = false;
    int kind = -7;
    int item = -7;
    QString tooltip = "previous";
    Rect rect{-1, -1, -1, -1};
};

Hit At(const CSensitiveArea& areas, int x, int y)
{
    Hit h;
    h.found = areas.HitTest({x, y}, &h.kind, &h.item, &h.tooltip, &h.rect);
    return h;
}
} // namespace

TEST(SensitiveArea, EdgesCountAndTheHighestPriorityWins)
{
    CSensitiveArea areas;
    EXPECT_FALSE(areas.HitTest({0, 0}));

    areas.Add({10, 10, 20, 20}, 0, 1, 100, QString("low"));
    areas.Add({15, 15, 30, 30}, 1, 2, 200);
    areas.Add({0, 0, 5, 5}, 0, 3, 300, QString("first"));
    areas.Add({0, 0, 5, 5}, 0, 4, 400, QString("second"));
    areas.Add({40, 40, 50, 50}, -1, 5, 500);
    areas.Add({0, 0, 100, 100}, 0, 6, 600, QString("never"), false);

    struct Case
    {
        int x, y;
        bool found;
        int kind;
        int item;
        const char* tooltip;
    } cases[] = {
        {10, 10, true, 1, 100, "low"}, // top-left corner
        {20, 12, true, 1, 100, "low"}, // right edge is inside too
        {12, 20, true, 1, 100, "low"}, // and the bottom edge
        {21, 12, false, 0, 0, ""},     // one past the right edge
        {18, 18, true, 2, 200, ""},    // overlap: priority 1 wins; no tooltip empties the text
        {30, 30, true, 2, 200, ""},    // far corner of the later area
        {3, 3, true, 3, 300, "first"}, // equal priority: the earlier area
        {45, 45, false, 0, 0, ""},     // negative priority is never found
        {60, 60, false, 0, 0, ""},     // the disabled area was not added
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
        const Hit h = At(areas, c.x, c.y);
        EXPECT_EQ(h.found, c.found);
        if (!c.found)
        {
            // Outputs untouched on a miss.
            EXPECT_EQ(h.kind, -7);
            EXPECT_EQ(h.tooltip, "previous");
            continue;
        }
        EXPECT_EQ(h.kind, c.kind);
        EXPECT_EQ(h.item, c.item);
        EXPECT_EQ(h.tooltip, c.tooltip);
    }
    EXPECT_EQ(At(areas, 18, 18).rect, (Rect{15, 15, 30, 30}));

    // Priority decides whatever the order of adding.
    CSensitiveArea reversed;
    reversed.Add({15, 15, 30, 30}, 1, 2, 200);
    reversed.Add({10, 10, 20, 20}, 0, 1, 100);
    EXPECT_EQ(At(reversed, 18, 18).kind, 2);

    areas.RemoveAll();
    EXPECT_TRUE(areas.IsEmpty());
    EXPECT_FALSE(At(areas, 3, 3).found);
}

TEST(SensitiveArea, TextAreasAreMeasuredInTheCurrentFont)
{
    RecordingCanvas dc({0, 0, 500, 500}, 7, 13);
    CSensitiveArea areas;
    const Rect added = areas.AddTextArea(dc, 100, 50, u"Limits", 2, 9, 1, QString("Click to change"));
    EXPECT_EQ(added, (Rect{100, 50, 142, 63}));
    Hit h = At(areas, 142, 63);
    EXPECT_TRUE(h.found);
    EXPECT_EQ(h.item, 1);
    EXPECT_EQ(h.tooltip, "Click to change");

    // A measuring pass adds nothing but still gets the rectangle.
    const Rect measured = areas.AddTextArea(dc, 0, 0, u"abc", 5, 9, 2, std::nullopt, false);
    EXPECT_EQ(measured, (Rect{0, 0, 21, 13}));
    EXPECT_FALSE(At(areas, 5, 5).found);
    EXPECT_TRUE(dc.Ops().empty());
}
