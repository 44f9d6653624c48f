#pragma once

namespace Platform
{
class BitmapTable;
}

// Draws the pictures of the series page into the table (the gripper images of the summary
// rows and the images of the expand menu), keeping any picture a language pack has already
// put under one of their ids.
void RegisterSeriesPageBitmaps(Platform::BitmapTable& table);
