#pragma once
#include <cstdint>

class CMeasSeries1;

// What a folder needs of the project document that owns it: the project document
// implements it. A folder without a document notifies nobody.
class FolderDocument
{
public:
    virtual ~FolderDocument() = default;
    // Marks the project modified; returns the previous flag (0 or 1).
    virtual uint8_t SetModified() = 0;
    // Registers the series' custom conversions and writes them into the project's local
    // conversion folder.
    virtual void StoreSeriesConversions(CMeasSeries1* series) = 0;
};
