#pragma once
#include "measurement/MeasSeriesWrapper.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <vector>

class FolderDocument;

namespace StreamIO
{
class CVMArchive;
}

// One folder of a project: a name and an ordered list of series entries it owns. Every
// change the project file keeps marks the owning document modified. The per-index
// accessors raise std::invalid_argument for an index outside the entries unless their
// comment says otherwise.
class CFolderData
{
public:
    CFolderData();
    // Copies through the stored form: the copy's entries are all selected.
    CFolderData(const CFolderData& other);
    CFolderData& operator=(const CFolderData&) = delete;
    ~CFolderData();

    const QString& GetName() const { return m_name; }
    void SetName(const QString& name) { m_name = name; }
    void SetDocument(FolderDocument* document) { m_document = document; }
    FolderDocument* GetDocument() const { return m_document; }
    uint8_t GetSortOrder() const { return m_sortOrder; }

    int GetSeriesCount() const { return int(m_entries.size()); }
    CMeasSeriesWrapper* GetSeriesAt(int index) const;

    // Empty text for an index at or past the end.
    QString GetSeriesName(int index) const;
    // Set when the index is below the count; the document is marked in any case.
    void SetSeriesName(int index, const QString& name);
    // 0 for an index at or past the end.
    int16_t GetValueListOrder(int index) const;
    void SetValueListOrder(int index, int16_t order);
    uint8_t IsSeriesExpanded(int index) const;
    void SetSeriesExpanded(int index, uint8_t expanded);
    uint8_t IsSeriesSelected(int index) const;
    void SetSeriesSelected(int index, uint8_t selected);
    uint8_t GetSeriesUpdateFlag(int index) const;
    void SetSeriesUpdateFlag(int index, uint8_t flag);
    QString GetSeriesComment(int index) const;
    void SetSeriesComment(int index, const QString& comment);
    int GetSeriesReadingCount(int index) const;
    int GetSeriesValidCount(int index) const;
    QDateTime GetSeriesTime(int index) const;
    void SetSeriesTime(int index, const QDateTime& time);
    // 0: the target scale's decimals, 1: one more, 2: three; other kinds 0.
    int GetSeriesDecimals(int index, int kind) const;

    // The names of the entries that have no stored form (a series without readings), in
    // their order; storing the folder leaves them out.
    QStringList GetSeriesWithoutReadings() const;

    void DeleteSeries(int index);
    // Appends the entry (made selected with keep, else after emptying the folder); an
    // indentation-tester series first gets the standard its ASTM B724 bit calls for.
    void AddSeries(std::unique_ptr<CMeasSeriesWrapper> entry, bool keep);
    // Orders 1-18 (odd ascending, even descending); every order renumbers the entries.
    void Sort(int order);
    void Clear();

    // Stores all entries, or those whose selection byte is 1; loading appends.
    void Serialize(StreamIO::CVMArchive& archive, const std::vector<uint8_t>* selection = nullptr);

    // Entries whose stored block could not be read. They are not series of the folder, but
    // are kept as read and stored again in their place with all entries (not with a
    // selection), so that saving never destroys what this program cannot interpret.
    int GetUnreadableCount() const { return int(m_unreadable.size()); }
    // Moves the source's unreadable entries here, as if its entries had been appended
    // behind the first `offset` entries of this folder.
    void TakeUnreadable(CFolderData& source, int offset);

private:
    CMeasSeriesWrapper& Entry(int index) const;
    // A block holds 1 to 16384 readings: an entry without any has no stored form.
    static bool HasStoredForm(const CMeasSeriesWrapper& entry);
    void MarkModified();
    void Store(StreamIO::CVMArchive& archive, const std::vector<uint8_t>* selection) const;
    void Load(StreamIO::CVMArchive& archive);

    struct SUnreadableEntry
    {
        size_t place = 0; // entries before it in the folder
        std::vector<uint8_t> block;
        QString name;
        uint16_t valueListOrder = 0;
        uint32_t expanded = 0;
    };

    QString m_name;
    std::vector<std::unique_ptr<CMeasSeriesWrapper>> m_entries;
    // Ordered by place.
    std::vector<SUnreadableEntry> m_unreadable;
    FolderDocument* m_document = nullptr;
    uint8_t m_sortOrder = 0;
};
