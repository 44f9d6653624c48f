#pragma once

class QSize;
class QWidget;

namespace Platform
{

// Dialogs keep the sizes of their templates, sized for the English texts; a language pack
// may lengthen any text, and window managers cut a caption that does not fit.

// Widens a dialog laid out in fixed positions until every label, button and frame title
// shows its whole text: every position and width is stretched by the same factor, so the
// controls keep their arrangement. Labels that wrap are left alone. Call once the texts
// are set.
void WidenToTexts(QWidget* dialog);

// Makes a dialog at least as wide as its caption, with room for the window manager's
// icon and buttons beside it.
void FitToCaption(QWidget* dialog);

// The width the caption of the window needs, icon and buttons included.
int CaptionWidth(const QWidget* window);

// The largest client size a window may take on its screen so that its frame (title bar
// and borders, measured once shown, else estimated) stays inside the screen's available
// area: a dialog larger than that scrolls instead of pushing its buttons off the screen.
QSize ScreenRoom(const QWidget* window);

// Narrows a dialog laid out in fixed positions (not one with a layout) that is wider than
// its screen allows (a small or scaled screen), by the same stretch as WidenToTexts, so
// that its frame and its buttons stay on the screen. Call after the widening.
void NarrowToScreen(QWidget* dialog);

} // namespace Platform
