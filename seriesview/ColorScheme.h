#pragma once
#include "platform/gui/GdiTypes.h"

// The program's one table of colours for the series display. Every view that draws series
// takes its colours from here, so that graph, list and live pane stay alike.
struct CColorScheme
{
    // Bars of the bar graph: inside the tolerance, outside it (or without a valid value),
    // and the same two while the mouse is over the bar.
    static constexpr Platform::ColorRef kBarInside = Platform::Rgb(0, 160, 191);
    static constexpr Platform::ColorRef kBarOutside = Platform::Rgb(0, 71, 79);
    static constexpr Platform::ColorRef kBarInsideHover = Platform::Rgb(30, 190, 221);
    static constexpr Platform::ColorRef kBarOutsideHover = Platform::Rgb(30, 101, 109);
    // The value-list row under the mouse.
    static constexpr Platform::ColorRef kRowHoverFill = Platform::Rgb(203, 241, 248);
    static constexpr Platform::ColorRef kRowHoverFrame = Platform::Rgb(183, 221, 228);
    // The tolerance band behind the bars and its limit lines.
    static constexpr Platform::ColorRef kToleranceBand = Platform::Rgb(191, 219, 227);
    static constexpr Platform::ColorRef kLimitLine = Platform::Rgb(130, 184, 200);
    // Clickable texts and settings values.
    static constexpr Platform::ColorRef kLink = Platform::Rgb(0, 111, 127);
    // A series that is open for measuring: its background and the text written over it.
    static constexpr Platform::ColorRef kOpenSeriesBack = Platform::Rgb(217, 232, 240);
    static constexpr Platform::ColorRef kOpenSeriesText = Platform::Rgb(255, 255, 255);
};
