#include "seriesview/WrappedText.h"

#include "platform/gui/RecordingCanvas.h"

#include <gtest/gtest.h>

using namespace Platform;

namespace
{
struct Placed
{
    QString text;
    Point at;
    friend bool operator==(const Placed&, const Placed&) = default;
    friend std::ostream& operator<<(std::ostream& os, const Placed& p)
    {
        return os << p.text.toStdString() << "@" << p.at.x << "," << p.at.y;
    }
};

std::vector<Placed> Drawn(const RecordingCanvas& dc)
{
    std::vector<Placed> out;
    for (const CanvasOp& op : dc.OpsOf(CanvasOp::Kind::TextOut))
        out.push_back({op.text, op.points[0]});
    return out;
}
} // namespace

TEST(WrappedText, WordsSeparatorsLineFeedsAndBrokenWords)
{
    // Six units a character, twelve a line; text starts 10 right of and below the origin.
    struct Case
    {
        const char* text;
        int width;
        std::vector<Placed> drawn;
        int height;
    } cases[] = {
        {"Hello world.\r\nNext",
         200,
         {{"Hello", {10, 10}}, {" ", {40, 10}}, {"world", {46, 10}}, {".", {76, 10}}, {"Next", {10, 22}}},
         12 + 12 + 20},
        // A word that does not end before width - 20 starts a new line.
        {"aaaa bbbb", 60, {{"aaaa", {10, 10}}, {" ", {34, 10}}, {"bbbb", {10, 22}}}, 12 + 12 + 20},
        // A word wider than a line is broken where the next character would pass the limit.
        {"abcdefghij", 60, {{"abcdef", {10, 10}}, {"ghij", {10, 22}}}, 12 + 12 + 20},
        {"x abcdefghij",
         60,
         {{"x", {10, 10}}, {" ", {16, 10}}, {"abcd", {22, 10}}, {"efghij", {10, 22}}},
         12 + 12 + 20},
        {"", 60, {}, 12 + 20},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.text);
        RecordingCanvas dc;
        const Size used = DrawWrappedText(dc, {0, 0}, c.width, QString::fromUtf8(c.text));
        EXPECT_EQ(Drawn(dc), c.drawn);
        EXPECT_EQ(used, (Size{c.width, c.height}));
    }

    // The origin moves everything.
    RecordingCanvas dc;
    DrawWrappedText(dc, {100, 50}, 200, u"Go.");
    EXPECT_EQ(Drawn(dc), (std::vector<Placed>{{"Go", {110, 60}}, {".", {122, 60}}}));
}
