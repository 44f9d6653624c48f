#pragma once
#include "platform/gui/GdiObjects.h"
#include "platform/gui/GdiTypes.h"

// The system's look as the drawing code asks for it: colours by their classic indexes,
// a few metrics, the wheel setting and the message font, all taken from the Qt style
// and palette of the running application (classic defaults without one).
namespace Platform
{

enum : int
{
    COLOR_WINDOW = 5,
    COLOR_WINDOWTEXT = 8,
    COLOR_HIGHLIGHT = 13,
    COLOR_HIGHLIGHTTEXT = 14,
    COLOR_BTNFACE = 15,
    COLOR_3DFACE = 15,
    COLOR_BTNSHADOW = 16,
    COLOR_GRAYTEXT = 17,
    COLOR_BTNTEXT = 18,
    COLOR_BTNHIGHLIGHT = 20,
    COLOR_3DDKSHADOW = 21,
    COLOR_3DLIGHT = 22,
    COLOR_INFOTEXT = 23,
    COLOR_INFOBK = 24,
};

enum : int
{
    SM_CXVSCROLL = 2,
    SM_CYHSCROLL = 3,
    SM_CXBORDER = 5,
    SM_CYBORDER = 6,
};

ColorRef GetSysColor(int index);
int GetSystemMetrics(int index);
// Lines to scroll per wheel notch; -1 means a page per notch.
int GetWheelScrollLines();
// The font of message boxes and dialogs, with a negative (pixel) height.
LogFont GetMessageFont();

} // namespace Platform
