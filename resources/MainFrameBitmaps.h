#pragma once
#include <QImage>

// The main window's pictures: the toolbar's nine 37 x 37 button images in one strip
// (white is transparent) and their disabled look, the maker's logo (normal and pressed)
// and the program's icon.
QImage DrawToolbarImages();
QImage DrawToolbarDisabledImages();
QImage DrawLogo(bool pressed);
QImage DrawProgramIcon();
