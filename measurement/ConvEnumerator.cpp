#include "measurement/ConvEnumerator.h"

#include "measurement/ConvTable.h"
#include "platform/core/ByteOrder.h"
#include "measurement/Material.h"
#include "measurement/ProbeId.h"
#include "measurement/ScaleCodes.h"
#include "measurement/TargetScale.h"

#include <algorithm>
#include <cstring>

namespace
{

// A filter field of 16 or 8 bits: all ones means any.
int Field16(int value)
{
    return (value & 0xFFFF) == 0xFFFF ? -1 : (value & 0xFFFF);
}

int Field8(int value)
{
    return (value & 0xFF) == 0xFF ? -1 : (value & 0xFF);
}

} // namespace

CConvEnumerator::CConvEnumerator(CConvTable* table) : m_table(table ? table : &CConvTable::Instance())
{
}

void CConvEnumerator::Reset()
{
    m_cursor = -1;
    m_heldSlot = -1;
}

int CConvEnumerator::Find(SConvRecordInfo& info, const SProbeId& probe, const SMaterial& material,
                          const STargetScale& target)
{
    QString name;
    if (material.type == MAT_CUSTOM)
    {
        char16_t buffer[SMaterial::kNameSize];
        const int n = material.CopyName(buffer);
        name = QString::fromUtf16(buffer, n);
    }
    return Find(info, probe.code, material.type, material.group, target.scale, target.standard, name);
}

int CConvEnumerator::Find(SConvRecordInfo& info, int probe, int matType, int matGroup, int target,
                          int standard, const QString& customName)
{
    m_probe = Field16(probe);
    m_matType = Field8(matType);
    m_matGroup = Field8(matGroup);
    m_target = Field16(target);
    m_standardBits = (standard & 0x0F) == 0 ? 0xF000 : static_cast<uint16_t>((standard & 0x0F) << 12);
    std::fill(std::begin(m_name), std::end(m_name), u'\0');
    if (m_matType == MAT_CUSTOM)
    {
        const qsizetype n = std::min<qsizetype>(customName.size(), CONV_NAME_MAX);
        for (qsizetype i = 0; i < n; ++i)
            m_name[i] = customName[i].unicode();
    }
    m_complete = m_probe != -1 && m_matType != -1 && m_matGroup != -1 && m_target != -1 &&
                 (m_matType != MAT_CUSTOM || m_name[0] != 0);
    m_heldSlot = -1;
    m_cursor = m_privateSlot >= 0 ? m_privateSlot : CONV_FIRST_SHARED_SLOT;
    return Next(info);
}

bool CConvEnumerator::Matches(int slot) const
{
    const CConvTable::Slot& s = m_table->m_slots[slot];
    if (!s.bytes)
        return false;
    if (m_probe != -1 && m_probe != s.source)
        return false;
    if (s.matType != MAT_INDEPENDENT)
    {
        if (m_matType > 0 && m_matType != s.matType)
            return false;
        if (m_matType == MAT_CUSTOM)
        {
            if (s.matType != MAT_CUSTOM)
                return false;
            if (m_name[0] != 0)
            {
                const uint8_t* r = s.bytes.get();
                const int n = r[7];
                if (m_name[n] != 0) // stored names hold at most 31 characters
                    return false;
                for (int i = 0; i < n; ++i)
                    if (ReadLe16(r + 8 + 2 * i) != m_name[i])
                        return false;
            }
        }
    }
    if (m_matGroup != -1 && m_matGroup != s.matGroup)
        return false;
    if (m_target != -1 && m_target != (s.targetStd & 0x0FFF))
        return false;
    return (s.targetStd & m_standardBits) != 0;
}

int CConvEnumerator::Return(int slot, SConvRecordInfo& info)
{
    const CConvTable::Slot& s = m_table->m_slots[slot];
    DecodeConvRecord(info, s.bytes.get(), s.length);
    return slot;
}

int CConvEnumerator::Next(SConvRecordInfo& info)
{
    const int high = std::min(m_table->m_highWater, m_table->m_capacity);
    if (m_cursor >= 0 && m_cursor < CONV_FIRST_SHARED_SLOT)
    {
        const int slot = m_cursor;
        m_cursor = CONV_FIRST_SHARED_SLOT < high ? CONV_FIRST_SHARED_SLOT : -1;
        if (slot == m_privateSlot && slot < high && Matches(slot))
        {
            // A complete filter names one exact conversion: the series' own record wins.
            if (m_complete)
                return Return(slot, info);
            m_heldSlot = slot;
        }
    }
    while (m_cursor >= 0 && m_cursor < high)
    {
        const int slot = m_cursor++;
        if (m_cursor >= high)
            m_cursor = -1;
        if (!Matches(slot))
            continue;
        if (m_heldSlot >= 0)
        {
            const CConvTable::Slot& held = m_table->m_slots[m_heldSlot];
            const CConvTable::Slot& shared = m_table->m_slots[slot];
            if (held.bytes && held.length > 0 && held.length == shared.length &&
                std::memcmp(held.bytes.get(), shared.bytes.get(), held.length) == 0)
                m_heldSlot = -1;
        }
        return Return(slot, info);
    }
    m_cursor = -1;
    if (m_heldSlot >= 0)
    {
        const int slot = m_heldSlot;
        m_heldSlot = -1;
        if (m_table->m_slots[slot].bytes)
            return Return(slot, info);
    }
    info = SConvRecordInfo();
    return -1;
}

int CConvEnumerator::SetPrivateRecord(const uint8_t* record, size_t length)
{
    ClearPrivateRecord();
    m_privateSlot = m_table->AddRecord(record, length, true);
    return m_privateSlot;
}

void CConvEnumerator::ClearPrivateRecord()
{
    if (m_privateSlot >= 0 && m_privateSlot < CONV_FIRST_SHARED_SLOT && m_privateSlot < m_table->m_capacity)
        m_table->FreeSlot(m_privateSlot);
    m_privateSlot = -1;
}
