#pragma once
#include "platform/gui/GdiTypes.h"

#include <QStringView>

namespace Platform
{
class Canvas;
}

// Draws a text word by word in the canvas's current font, starting 10 units right of and
// below the origin and wrapping before width - 20. Carriage returns are skipped, a line
// feed starts a new line, a word wider than a whole line is broken between characters.
// Returns the size used: the given width, and the last line's offset below the first one
// plus the height of "A" plus both margins.
Platform::Size DrawWrappedText(Platform::Canvas& dc, Platform::Point origin, int width, QStringView text);
