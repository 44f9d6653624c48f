#pragma once
#include "platform/gui/GdiObjects.h"
#include "platform/gui/GdiTypes.h"

// Dialog layouts are given in dialog units: a quarter of the dialog font's average
// character width horizontally, an eighth of its height vertically.
namespace Platform
{

// The font's average character width and height in pixels.
Size DialogBaseUnits(const LogFont& font);
// A rectangle in dialog units converted to pixels, each edge rounded to the nearest pixel.
Rect MapDialogRect(const Rect& dialogUnits, const LogFont& font);

} // namespace Platform
