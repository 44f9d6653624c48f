#pragma once

namespace Platform
{
class BitmapTable;
}

// Draws the pictures of the measurement file explorer into the table, keeping any picture
// a language pack has already put under one of their ids: the list's folder and file
// images (1306, 16 x 16 each, red is transparent) and the up button's arrow (1343).
void RegisterExplorerBitmaps(Platform::BitmapTable& table);
