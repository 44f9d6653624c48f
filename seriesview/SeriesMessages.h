#pragma once
class QWidget;

// Messages the series page and the series cells show about changes they could not make.
namespace SeriesMessages
{
// The conversion table had no record for a new material, scale or standard: `count`
// series were left as they were.
void ConversionRefused(QWidget* owner, int count);
// The clipboard held a block under the program's format that is not a series block.
void ClipboardUnreadable(QWidget* owner);
} // namespace SeriesMessages
