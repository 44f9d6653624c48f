#pragma once
#include <QByteArray>

#include <cstdint>
#include <vector>

// Builds firmware packages ("@Vm@") byte by byte from the package layout: head, content
// entries, trailer with the bootloader's header block, block headers, block data.
class PackageBuilder
{
public:
    struct Entry
    {
        uint8_t flags = 0;
        uint8_t component = 1;
        uint16_t kind = 1;
        uint16_t version[3] = {1, 2, 3};
        QByteArray name = "APP";
        uint8_t size = 0;
        uint16_t firstBlock = 0;
        uint16_t blockCount = 1;
    };
    struct Block
    {
        QByteArray data;
        uint8_t enterMode = 0x00;
        uint8_t leaveMode = 0x00;
        uint8_t kind = 0x01;
        uint8_t byte13 = 0;
    };

    uint32_t magicVersion = 1;
    uint16_t format = 1;
    uint16_t contentsVersion = 7;
    uint16_t requiredOs[3] = {0, 0, 0};
    uint32_t deviceCode = 0;
    uint8_t checkKind = 2;
    uint16_t lowRevision = 0;
    uint16_t highRevision = 0;
    QByteArray headerBlock = QByteArray(128, '\x5A');
    std::vector<Entry> entries;
    std::vector<Block> blocks;
    int64_t declaredEntries = -1; // -1: the number of entries
    int64_t declaredBlocks = -1;  // -1: the number of blocks

    static void Le(QByteArray& out, uint32_t value, int size)
    {
        for (int i = 0; i < size; ++i)
            out.append(char((value >> (8 * i)) & 0xFF));
    }

    QByteArray Head() const
    {
        QByteArray out("@Vm@");
        Le(out, magicVersion, 4);
        Le(out, format, 2);
        Le(out, contentsVersion, 2);
        Le(out, uint32_t(declaredEntries >= 0 ? declaredEntries : int64_t(entries.size())), 4);
        return out;
    }
    static QByteArray EntryBytes(const Entry& e)
    {
        QByteArray out;
        out.append(char(e.flags));
        out.append(char(e.component));
        Le(out, e.kind, 2);
        for (uint16_t part : e.version)
            Le(out, part, 2);
        out += e.name.leftJustified(3, '\0', true);
        out.append(char(e.size));
        Le(out, e.firstBlock, 2);
        Le(out, e.blockCount, 2);
        return out;
    }
    QByteArray Trailer() const
    {
        QByteArray out;
        Le(out, uint32_t(declaredBlocks >= 0 ? declaredBlocks : int64_t(blocks.size())), 4);
        for (uint16_t part : requiredOs)
            Le(out, part, 2);
        out += QByteArray(2, '\0');
        Le(out, deviceCode, 4);
        out.append(char(checkKind));
        out += QByteArray("KEPT8BYT");
        Le(out, lowRevision, 2);
        Le(out, highRevision, 2);
        out += QByteArray(4, '\0');
        out += headerBlock.leftJustified(128, '\0', true);
        return out;
    }
    static QByteArray BlockHeader(const Block& b)
    {
        QByteArray out(4, '\0');
        Le(out, uint32_t(b.data.size()), 4);
        out += QByteArray(2, '\0');
        out.append(char(b.enterMode));
        out.append(char(b.leaveMode));
        out.append(char(b.kind));
        out.append(char(b.byte13));
        out += QByteArray(2, '\0');
        return out;
    }
    QByteArray Build() const
    {
        QByteArray out = Head();
        for (const Entry& e : entries)
            out += EntryBytes(e);
        out += Trailer();
        for (const Block& b : blocks)
            out += BlockHeader(b);
        for (const Block& b : blocks)
            out += b.data;
        return out;
    }

    // An S-record block's data: the inner header (length H, text length) and the text.
    static QByteArray SRecordBlock(const QByteArray& text, uint16_t headerLength = 16)
    {
        QByteArray out(4, '\0');
        Le(out, headerLength, 2);
        out += QByteArray(6, '\0');
        Le(out, uint32_t(text.size()), 4);
        out += QByteArray(headerLength - 16, '\x11');
        return out + text;
    }
};
