#pragma once

namespace Platform
{
class BitmapTable;
}

// Draws the pictures of the export option dialogs into the table, keeping any picture a
// language pack has already put under one of their ids.
void RegisterExportDlgBitmaps(Platform::BitmapTable& table);
