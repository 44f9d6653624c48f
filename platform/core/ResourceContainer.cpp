#include "platform/core/ResourceContainer.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace Platform
{
namespace
{

// The container's layout, as Qt's resource compiler writes it (all numbers big-endian).
constexpr char kMagic[4] = {'q', 'r', 'e', 's'};
constexpr uint64_t kHeaderSize = 20;   // magic, version, tree, data and names offsets
constexpr uint64_t kFlagsSize = 4;     // from version 3: the container's feature flags
constexpr uint32_t kFirstVersion = 1;
constexpr uint32_t kLastVersion = 3;
constexpr uint64_t kNodeSize = 14;     // name, flags, then child count and first child,
                                       // or territory, language and data offset
constexpr uint64_t kNodeTimeSize = 8;  // from version 2: the last-modified time
constexpr uint64_t kNameHeader = 6;    // length in UTF-16 units, then the hash
constexpr uint64_t kDataHeader = 4;    // length of the entry's bytes
constexpr uint64_t kZlibHeader = 4;    // zlib entries begin with their unpacked size

constexpr uint16_t kCompressed = 0x01;
constexpr uint16_t kDirectory = 0x02;
constexpr uint16_t kCompressedZstd = 0x04;
constexpr uint16_t kKnownNodeFlags = kCompressed | kDirectory | kCompressedZstd;
constexpr uint32_t kKnownContainerFlags = kCompressed | kCompressedZstd;

// A pack holds a version record and a string table: anything that claims to unpack to
// more is damaged, and must not make the reader allocate it.
constexpr uint64_t kMaxUnpackedSize = 64u << 20;
// Files larger than this are not read in: no pack comes near it.
constexpr qint64 kMaxFileSize = 64 << 20;
// Bounds the walk's own memory; a pack has a handful of nodes.
constexpr uint64_t kMaxNodes = 1u << 20;

class Reader
{
public:
    explicit Reader(QByteArrayView bytes) : m_bytes(bytes) {}

    bool Has(uint64_t at, uint64_t size) const
    {
        const uint64_t total = uint64_t(m_bytes.size());
        return at <= total && size <= total - at;
    }
    uint8_t U8(uint64_t at) const { return reinterpret_cast<const uint8_t*>(m_bytes.data())[at]; }
    uint16_t U16(uint64_t at) const
    {
        const auto* p = reinterpret_cast<const uint8_t*>(m_bytes.data()) + at;
        return uint16_t(p[0] << 8 | p[1]);
    }
    uint32_t U32(uint64_t at) const
    {
        return uint32_t(U16(at)) << 16 | U16(at + 2);
    }
    uint64_t Size() const { return uint64_t(m_bytes.size()); }

private:
    QByteArrayView m_bytes;
};

struct Layout
{
    uint32_t version = 0;
    uint64_t tree = 0;
    uint64_t data = 0;
    uint64_t names = 0;
    uint64_t nodeSize = 0;
};

// A name inside the bytes that is one path component: not empty, not "." or "..", no '/'
// (a folder that named itself would have a walk through the tree go round).
bool NameFits(const Reader& r, const Layout& l, uint32_t offset)
{
    const uint64_t at = l.names + offset;
    if (!r.Has(at, kNameHeader))
        return false;
    const uint64_t length = r.U16(at);
    const uint64_t chars = at + kNameHeader;
    if (length == 0 || !r.Has(chars, length * 2))
        return false;
    bool dots = length <= 2;
    for (uint64_t i = 0; i < length; ++i)
    {
        const uint16_t c = r.U16(chars + 2 * i);
        if (c == u'/')
            return false;
        dots = dots && c == u'.';
    }
    return !dots;
}

// Qt sizes its buffer by the size a zstd frame's header declares: it must be there, and
// one a pack can have.
bool ZstdSizeFits(const Reader& r, uint64_t at, uint64_t length)
{
    constexpr uint8_t kMagic[4] = {0x28, 0xB5, 0x2F, 0xFD};
    if (length < 5 || !r.Has(at, 5))
        return false;
    for (int i = 0; i < 4; ++i)
        if (r.U8(at + i) != kMagic[i])
            return false;
    const uint8_t descriptor = r.U8(at + 4);
    const bool singleSegment = descriptor & 0x20;
    const int sizeFlag = descriptor >> 6;
    const uint64_t dictionaryBytes[4] = {0, 1, 2, 4};
    const uint64_t sizeBytes[4] = {uint64_t(singleSegment ? 1 : 0), 2, 4, 8};
    const uint64_t field = at + 5 + (singleSegment ? 0 : 1) + dictionaryBytes[descriptor & 0x03];
    const uint64_t fieldBytes = sizeBytes[sizeFlag];
    if (fieldBytes == 0 || field + fieldBytes > at + length || !r.Has(field, fieldBytes))
        return false; // no declared size
    uint64_t size = 0;
    for (uint64_t i = 0; i < fieldBytes; ++i)
        size |= uint64_t(r.U8(field + i)) << (8 * i);
    if (fieldBytes == 2)
        size += 256;
    return size <= kMaxUnpackedSize;
}

bool DataFits(const Reader& r, const Layout& l, uint32_t offset, uint16_t flags)
{
    const uint64_t at = l.data + offset;
    if (!r.Has(at, kDataHeader))
        return false;
    const uint64_t length = r.U32(at);
    if (!r.Has(at + kDataHeader, length))
        return false;
    if (flags & kCompressed)
        return length >= kZlibHeader && r.U32(at + kDataHeader) <= kMaxUnpackedSize;
    if (flags & kCompressedZstd)
        return ZstdSizeFits(r, at + kDataHeader, length);
    return true;
}

} // namespace

bool IsSoundResourceContainer(QByteArrayView bytes)
{
    const Reader r(bytes);
    if (!r.Has(0, kHeaderSize) || QByteArrayView(bytes.data(), 4) != QByteArrayView(kMagic, 4))
        return false;
    Layout l;
    l.version = r.U32(4);
    l.tree = r.U32(8);
    l.data = r.U32(12);
    l.names = r.U32(16);
    if (l.version < kFirstVersion || l.version > kLastVersion)
        return false;
    if (l.version >= 3 && (!r.Has(kHeaderSize, kFlagsSize) || (r.U32(kHeaderSize) & ~kKnownContainerFlags)))
        return false;
    if (l.tree >= r.Size() || l.data >= r.Size() || l.names >= r.Size())
        return false;
    l.nodeSize = kNodeSize + (l.version >= 2 ? kNodeTimeSize : 0);

    // Each node belongs to one folder, so the walk visits it once and ends.
    const uint64_t nodes = std::min((r.Size() - l.tree) / l.nodeSize, kMaxNodes);
    if (nodes == 0)
        return false;
    std::vector<bool> seen(nodes, false);
    std::vector<uint64_t> pending{0};
    seen[0] = true;
    while (!pending.empty())
    {
        const uint64_t node = pending.back();
        pending.pop_back();
        const uint64_t at = l.tree + node * l.nodeSize;
        if (!r.Has(at, l.nodeSize))
            return false;
        const uint32_t name = r.U32(at);
        const uint16_t flags = r.U16(at + 4);
        if (flags & ~kKnownNodeFlags)
            return false;
        // The root's name is never read.
        if (node != 0 && !NameFits(r, l, name))
            return false;
        if (flags & kDirectory)
        {
            if (flags != kDirectory)
                return false;
            const uint64_t count = r.U32(at + 6);
            const uint64_t first = r.U32(at + 10);
            if (count == 0)
                continue;
            if (first >= nodes || count > nodes - first)
                return false;
            for (uint64_t child = first; child < first + count; ++child)
            {
                if (seen[child])
                    return false;
                seen[child] = true;
                pending.push_back(child);
            }
        }
        else
        {
            if ((flags & kCompressed) && (flags & kCompressedZstd))
                return false;
            if (!DataFits(r, l, r.U32(at + 10), flags))
                return false;
        }
    }
    return true;
}

SResourceFile ReadResourceFile(const QString& path)
{
    SResourceFile result;
    const QFileInfo info(path);
    if (!info.isFile())
        return result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return result;
    result.state = SResourceFile::Damaged;
    if (file.size() > kMaxFileSize)
        return result;
    QByteArray bytes = file.read(kMaxFileSize + 1);
    if (bytes.size() > kMaxFileSize || !IsSoundResourceContainer(bytes))
        return result;
    result.state = SResourceFile::Ok;
    result.bytes = std::move(bytes);
    return result;
}

} // namespace Platform
