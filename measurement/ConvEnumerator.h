#pragma once
#include "measurement/ConvRecord.h"

#include <QString>

#include <cstddef>
#include <cstdint>

class CConvTable;
struct SProbeId;
struct SMaterial;
struct STargetScale;

// A filtered cursor over the conversion table, one per series (and one inside the table).
// It also owns the series' private slot, where a series keeps its own custom conversion.
// Used only while the table's lock is held.
class CConvEnumerator
{
public:
    // Bound to the global table when none is given.
    explicit CConvEnumerator(CConvTable* table = nullptr);

    // Sets the filter and returns the first match (-1 for none). -1 in a field means any;
    // material type 15 records match every material; a standard mask of 0 means any.
    int Find(SConvRecordInfo& info, const SProbeId& probe, const SMaterial& material,
             const STargetScale& target);
    int Find(SConvRecordInfo& info, int probe, int matType, int matGroup, int target, int standard,
             const QString& customName = QString());
    // The next match with its decoded header; -1 at the end (info cleared).
    int Next(SConvRecordInfo& info);

    // Replaces the owner's private record; returns its slot, -1 when the private area is full
    // or the record is refused.
    int SetPrivateRecord(const uint8_t* record, size_t length);
    void ClearPrivateRecord();
    int GetPrivateSlot() const { return m_privateSlot; }

    // Ends the current enumeration.
    void Reset();
    CConvTable* GetTable() const { return m_table; }

private:
    bool Matches(int slot) const;
    int Return(int slot, SConvRecordInfo& info);

    CConvTable* m_table;
    int m_cursor = -1;
    int m_probe = -1;
    int m_matType = -1;
    int m_matGroup = -1;
    int m_target = -1;
    uint16_t m_standardBits = 0xF000;
    char16_t m_name[32] = {};
    bool m_complete = false;
    int m_privateSlot = -1;
    int m_heldSlot = -1;
};
