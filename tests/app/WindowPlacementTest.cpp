#include "app/WindowPlacement.h"

#include <gtest/gtest.h>

namespace
{
// Two screens side by side, the left one with a panel along its top.
const QRect kLeft(0, 30, 1400, 870);
const QRect kRight(1400, 0, 1920, 1080);
} // namespace

TEST(WindowPlacement, EveryFrameEndsWhollyOnAScreen)
{
    struct Case
    {
        const char* name;
        QList<QRect> screens;
        QRect wanted;
        QRect used;
    };
    const Case cases[] = {
        {"first start on one screen", {kLeft}, WindowPlacement::FirstStartFrame(kLeft), QRect(2, 32, 1396, 783)},
        {"already on a screen stays", {kLeft, kRight}, QRect(1500, 100, 800, 600), QRect(1500, 100, 800, 600)},
        {"title bar above the screen comes down", {kLeft}, QRect(2, -20, 1396, 783), QRect(2, 30, 1396, 783)},
        {"larger than the screen shrinks to it", {kLeft}, QRect(-10, 0, 1600, 1000), kLeft},
        {"hanging over the right edge moves left", {kLeft}, QRect(1000, 100, 800, 600), QRect(600, 100, 800, 600)},
        {"mostly on the second screen goes there", {kLeft, kRight}, QRect(1300, 50, 900, 500),
         QRect(1400, 50, 900, 500)},
        {"off every screen, to the right: nearest screen", {kLeft, kRight}, QRect(5000, 200, 800, 600),
         QRect(2520, 200, 800, 600)},
        {"off every screen, far up and left: nearest screen", {kLeft, kRight}, QRect(-3000, -2000, 800, 600),
         QRect(0, 30, 800, 600)},
        {"empty saved frame: first placement on the primary screen", {kRight, kLeft}, QRect(),
         QRect(1402, 2, 1916, 972)},
        {"no screens: unchanged", {}, QRect(-50, -50, 10, 10), QRect(-50, -50, 10, 10)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WindowPlacement::FitFrameOnScreens(c.wanted, c.screens), c.used) << c.name;
}
