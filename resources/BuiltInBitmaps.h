#pragma once
#include <QImage>

#include <cstdint>

// Draws the program's built-in bitmaps into the bitmap table (Platform::BitmapTable)
// under their resource ids.
void RegisterBuiltInBitmaps();
