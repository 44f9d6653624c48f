#pragma once
#include "grid/GridDefs.h"

#include <cstdint>
#include <vector>

class CTabGrid;
class CVeskDoc;

// The print and export commands of the series page. The shell runs them on the page it
// shows; each asks the user first (the print dialog or an export option dialog) and does
// nothing more when that is cancelled.
class CTabGridExport
{
public:
    CTabGridExport(CTabGrid& page, CVeskDoc& doc);

    // Prints the series grid through the print dialog, with the program's header and a
    // footer of page numbers, project name, date and time in the given patterns (string
    // ids, from the date and time format setting).
    void OnPrint(uint32_t dateFormatId, uint32_t timeFormatId);
    // The export as a graphic and as text; 1 when the option dialog was cancelled, else 0.
    int OnExportGraphic();
    int OnExportText();

    // Whether the commands can act: the page shows series (printing also needs a printer
    // or the dialog's PDF file, which is always offered).
    bool CanExport() const;
    bool CanPrint() const { return CanExport(); }

    // The texts of a printout.
    GRIDPRINTTEXTS PrintTexts(uint32_t dateFormatId, uint32_t timeFormatId) const;
    // The series a text export of the selection takes: those whose name cell (of either
    // row) is selected, in grid order.
    std::vector<int> SelectedSeries() const;

private:
    CTabGrid& m_page;
    CVeskDoc& m_doc;
};
