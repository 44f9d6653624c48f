#include "device/PackageHeader.h"

#include "platform/core/ByteOrder.h"
#include "platform/core/NumberText.h"
#include "streamio/IoStream.h"

#include <cstring>

namespace Device
{

namespace
{
// Three 16-bit parts; the fourth is 0.
CVersion ThreeParts(const uint8_t* p)
{
    return CVersion((uint64_t(ReadLe16(p)) << 48) | (uint64_t(ReadLe16(p + 2)) << 32) |
                    (uint64_t(ReadLe16(p + 4)) << 16));
}
} // namespace

CPackageHeader::~CPackageHeader() = default;

QString CPackageHeader::SizeText(uint8_t flags, uint8_t size)
{
    if (size == 0)
        return {};
    if (flags & 0x20)
        return QString::number(4 * int(size)) + QStringLiteral(" kB");
    if (flags & 0x40)
        return Platform::FormatFixed(double(size) / 10.0, 1) + QStringLiteral(" MB");
    return {};
}

bool CPackageHeader::SetHead(const uint8_t* head)
{
    m_headRead = m_entriesComplete = m_trailerRead = false;
    m_contents.Clear();
    m_declaredEntries = 0;
    if (std::memcmp(head, "@Vm@", 4) != 0 || ReadLe32(head + 4) != 1 || ReadLe16(head + 8) != 1)
        return false;
    m_contents.m_version = CVersion((uint64_t(1) << 32) | ReadLe16(head + 10));
    const uint32_t count = ReadLe32(head + 12);
    if (count < 1 || count > kMaxEntries)
        return false;
    m_declaredEntries = count;
    m_headRead = true;
    return true;
}

bool CPackageHeader::AddContentEntry(const uint8_t* entry)
{
    if (!m_headRead || m_contents.m_entries.size() >= m_declaredEntries)
        return false;
    const uint32_t kind = ReadLe16(entry + 2);
    const uint32_t blocks = ReadLe16(entry + 16);
    if (kind >= 12 || blocks == 0)
        return false;
    SContentEntry e;
    e.flags = entry[0];
    e.component = entry[1];
    e.kind = kind;
    e.version = ThreeParts(entry + 4);
    if (e.flags & 0x02)
        e.name = QString::fromLatin1(reinterpret_cast<const char*>(entry + 10), 3);
    e.sizeText = SizeText(e.flags, entry[13]);
    e.firstBlock = uint16_t(ReadLe16(entry + 14));
    e.blockCount = uint16_t(blocks);
    m_contents.Add(std::move(e));
    if (m_contents.m_entries.size() == m_declaredEntries)
        m_entriesComplete = true;
    return true;
}

bool CPackageHeader::SetTrailer(const uint8_t* trailer)
{
    if (!m_headRead || !m_entriesComplete)
        return false;
    const uint32_t blocks = ReadLe32(trailer);
    const uint8_t check = trailer[16];
    if (blocks == 0 || !(check == 0 || check == 1 || check == 2 || check == 4))
        return false;
    m_blockCount = blocks;
    m_requiredOs = ThreeParts(trailer + 4);
    m_deviceCode = ReadLe32(trailer + 12);
    m_checkKind = check;
    std::memcpy(m_kept, trailer + 17, sizeof m_kept);
    m_lowRevision = uint16_t(ReadLe16(trailer + 25));
    m_highRevision = uint16_t(ReadLe16(trailer + 27));
    std::memcpy(m_headerBlock, trailer + 33, kHeaderBlockSize);
    m_trailerRead = true;
    return true;
}

bool CPackageHeader::Read(StreamIO::CIoStream& stream)
{
    uint8_t head[kHeadSize];
    if (!StreamIO::ReadExactly(stream, head, kHeadSize))
        return false;
    if (!SetHead(head))
        return false;
    for (uint32_t i = 0; i < m_declaredEntries; ++i)
    {
        uint8_t entry[kEntrySize];
        if (!StreamIO::ReadExactly(stream, entry, kEntrySize) || !AddContentEntry(entry))
            return false;
    }
    uint8_t trailer[kTrailerSize];
    if (!StreamIO::ReadExactly(stream, trailer, kTrailerSize))
        return false;
    return SetTrailer(trailer);
}

} // namespace Device
