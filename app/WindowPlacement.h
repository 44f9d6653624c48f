#pragma once
#include <QList>
#include <QRect>

class QWidget;

// Where a top-level window goes so that the user can always reach its title bar: every
// rectangle here is the window's frame (title bar and borders included), in virtual
// desktop coordinates, and every screen is its available area (without panels).
namespace WindowPlacement
{
// The main window's first placement on a screen: 2 pixels in from its left and top, its
// width less 4, 90 % of its height.
QRect FirstStartFrame(const QRect& screen);

// Moves and shrinks a wanted frame so that it lies wholly on one screen: the screen it
// overlaps most, or, when it lies off every screen, the nearest one. A frame that is
// already on a screen stays as it is; an empty frame gets the first placement on the
// first screen. Without screens the frame is returned unchanged.
QRect FitFrameOnScreens(const QRect& frame, const QList<QRect>& screens);

// The available areas of the screens, the primary one first.
QList<QRect> AvailableScreens();

// Places a top-level window at its first placement and keeps its whole frame on a
// screen: the window manager adds the frame only after the window is shown, so the
// placement is fitted again once the frame's size is known.
void PlaceOnScreen(QWidget* window);
} // namespace WindowPlacement
