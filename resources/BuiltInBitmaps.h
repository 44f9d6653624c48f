#pragma once
#include <QImage>

#include <cstdint>

// The program's built-in bitmaps by their resource ids. Each is drawn on first use; a null
// image for an id that has none.
QImage LoadBuiltInBitmap(uint32_t id);
