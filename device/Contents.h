#pragma once
#include "device/DeviceTypes.h"
#include "streamio/Version.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace Device
{

// One installed item of a device, or one content of a firmware package.
struct SContentEntry
{
    uint8_t flags = 0; // 0x80: the entry's blocks are skipped when it is part of a selection
    uint8_t component = 0;
    uint32_t kind = 0; // 1 application or firmware, 2 operating system, 3 bootloader, 8 multimedia
    CVersion version;
    QString name;
    uint16_t firstBlock = 0;
    uint16_t blockCount = 0;
    QString sizeText;
};

// What is installed on a device or carried in a firmware package. A device's version
// read also names the device in the identity (its type name first).
class CContents
{
public:
    CVersion m_version;
    SIdentity m_identity;
    std::vector<SContentEntry> m_entries;

    void Clear() { m_entries.clear(); }
    void Add(SContentEntry entry) { m_entries.push_back(std::move(entry)); }
    // The first entry of a kind, or null.
    const SContentEntry* FindKind(uint32_t kind) const
    {
        for (const SContentEntry& e : m_entries)
            if (e.kind == kind)
                return &e;
        return nullptr;
    }
};

} // namespace Device
