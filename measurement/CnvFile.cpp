#include "measurement/CnvFile.h"

#include "measurement/ConvRecord.h"
#include "measurement/ConvTable.h"
#include "platform/core/ByteOrder.h"
#include "measurement/ScaleCodes.h"
#include "streamio/Checksum.h"
#include "streamio/FileStream.h"

#include <QDir>

#include <algorithm>
#include <cstring>
#include <exception>

namespace
{

constexpr char kMagic[] = "@cNV@";
constexpr char kLongMagic[] = "@vMcNV@"; // followed by a zero byte
constexpr size_t kMinBlockRecord = 9;
constexpr size_t kMaxBlockRecord = 208;
// Conversion files hold at most 32768 bytes; a block stream beyond this is no block.
constexpr uint32_t kMaxFileLength = 32768;
constexpr uint32_t kMaxPayloadWithCrc = kMaxFileLength - 20;
constexpr int kMaxRecords = 4096;

// The standard CRC-32 (start and final inversion).
uint32_t CnvCrc32(const uint8_t* data, size_t length)
{
    return ~Crc32(data, length, 0xFFFFFFFFu);
}

// Reads n bytes or fails; a stream may deliver fewer per call.
bool ReadCnvExact(StreamIO::CIoStream& stream, uint8_t* buffer, size_t n)
{
    size_t done = 0;
    while (done < n)
    {
        const uint32_t chunk = static_cast<uint32_t>(std::min<size_t>(n - done, 0x10000));
        const uint32_t got = stream.Read(buffer + done, chunk);
        if (got == 0)
            return false;
        done += got;
    }
    return true;
}

} // namespace

bool ReadCnvHeader(StreamIO::CIoStream& stream, int& version, int& headerRevision,
                   uint8_t header[CNV_HEADER_SIZE])
{
    version = 0;
    headerRevision = 0;
    try
    {
        if (!stream.IsOpen() || (stream.GetOpenFlags() & StreamIO::STREAM_READ) == 0)
            return false;
        if (stream.IsSeekable())
            stream.Seek(0, StreamIO::STREAM_SEEK_BEGIN);
        if (!ReadCnvExact(stream, header, CNV_HEADER_SIZE))
            return false;
    }
    catch (const std::exception&)
    {
        return false;
    }
    if (std::memcmp(header, kLongMagic, 8) == 0)
    {
        if (header[8] != 0)
            return false;
        version = 1;
        headerRevision = 1;
    }
    else if (std::memcmp(header, kMagic, 5) == 0)
    {
        version = header[5];
        headerRevision = ReadLe16(header + 6);
    }
    else
    {
        return false;
    }
    return version == 1;
}

size_t BuildCnvRecordBlock(std::vector<uint8_t>& buffer, size_t recordLength)
{
    if (recordLength == 0 || recordLength > buffer.size() || recordLength > 0xFFFF)
        return 0;
    const size_t total = recordLength + CNV_BLOCK_OVERHEAD;
    buffer.resize(std::max(buffer.size(), total));
    std::memmove(buffer.data() + 18, buffer.data(), recordLength);
    uint8_t* b = buffer.data();
    std::memcpy(b, kMagic, 5);
    b[5] = 1; // version
    WriteLe16(b + 6, 1);
    b[8] = 0;
    WriteLe24(b + 9, static_cast<uint32_t>(total));
    WriteLe16(b + 12, CNV_FLAG_CRC);
    WriteLe16(b + 14, 1);
    WriteLe16(b + 16, static_cast<uint32_t>(recordLength));
    WriteLe32(b + 18 + recordLength, CnvCrc32(b, 18 + recordLength));
    buffer.resize(total);
    return total;
}

size_t ParseCnvRecordBlock(uint8_t* block, size_t available)
{
    if (block == nullptr || available < CNV_HEADER_SIZE + 2 || std::memcmp(block, kMagic, 5) != 0)
        return 0;
    const size_t total = ReadLe24(block + 9);
    const uint16_t flags = ReadLe16(block + 12);
    if (total <= 26 || total > available || ReadLe16(block + 14) != 1 || (flags & CNV_FLAG_SCRAMBLED))
        return 0;
    const bool crc = (flags & CNV_FLAG_CRC) != 0;
    if (crc && CnvCrc32(block, total - 4) != ReadLe32(block + total - 4))
        return 0;
    const size_t n = ReadLe16(block + 16);
    if (n < kMinBlockRecord || n > kMaxBlockRecord || 18 + n + (crc ? 4 : 0) > total)
        return 0;
    std::memmove(block, block + 18, n);
    return n;
}

bool MakeCnvFileName(const uint8_t* record, size_t available, QString& name)
{
    name.clear();
    SConvRecordInfo info;
    if (!DecodeConvRecord(info, record, available))
        return false;

    // The name comes from a tester or a file: it must stay one harmless file name.
    QString base;
    for (QChar c : info.Name())
    {
        if (c == u'<' || c == u'>')
            continue;
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || c == u'/' || c == u'\\' || c == u':' || c == u'*' ||
            c == u'?' || c == u'"' || c == u'|')
            base += u'_';
        else
            base += c;
    }
    while (base.contains(QStringLiteral("..")))
        base.replace(QStringLiteral(".."), QStringLiteral("_."));
    if (base.isEmpty())
        base = QStringLiteral("---");
    name = base + u'_' + GetProbeShortName(info.source) + u'_' + GetScaleShortName(info.target) +
           QStringLiteral(".cnv");
    return true;
}

SCnvFolderLoad LoadCnvFolder(CConvTable& table, const QString& folder)
{
    SCnvFolderLoad result;
    const QDir dir(folder);
    // Unreadable files and dangling links are listed too: a Standard.cnv we may not read is
    // there, not missing, and the files that cannot be read are named.
    const QFileInfoList entries = dir.entryInfoList(QDir::Files | QDir::System, QDir::Name);
    CConvTable::Guard guard(table);
    for (const QFileInfo& info : entries)
    {
        const QString entry = info.fileName();
        if (!entry.endsWith(QStringLiteral(".cnv"), Qt::CaseInsensitive))
            continue;
        // Only regular files are opened: a pipe or device node would block the start.
        const bool dangling = info.isSymLink() && !info.exists();
        if (!info.isFile() && !dangling)
            continue;
        const bool standard = entry.compare(QStringLiteral("Standard.cnv"), Qt::CaseInsensitive) == 0;
        int records = 0;
        NCnvProblem problem = cnvUnreadable;
        try
        {
            if (dangling)
                throw std::runtime_error("dangling link");
            StreamIO::CFileStream stream(dir.filePath(entry),
                                         StreamIO::STREAM_READ | StreamIO::STREAM_SHARE_READ);
            records = table.LoadCnvFile(stream, &problem);
            stream.Abort();
            ++result.files;
        }
        catch (const std::exception&)
        {
            // A file that cannot be opened must not keep the others from loading.
            result.unreadable << entry;
        }
        result.records += records;
        if (standard)
        {
            result.standardFound = true;
            result.standardRecords += records;
            if (result.standardRecords == 0)
                result.standardProblem = problem;
        }
    }
    return result;
}

// The table's file operations live with the formats they read and write.

int CConvTable::LoadCnvFile(StreamIO::CIoStream& stream, NCnvProblem* problem)
{
    NCnvProblem unused;
    NCnvProblem& why = problem ? *problem : unused;
    why = cnvNoUsableRecord;
    if (m_capacity == 0)
        return 0;
    try
    {
        int version = 0;
        int headerRevision = 0;
        std::vector<uint8_t> bytes(CNV_HEADER_SIZE);
        if (!ReadCnvHeader(stream, version, headerRevision, bytes.data()))
        {
            why = stream.GetLength() < CNV_HEADER_SIZE ? cnvDamaged : cnvNotConversions;
            return 0;
        }
        why = cnvDamaged;
        const uint32_t total = ReadLe24(bytes.data() + 9);
        const uint16_t flags = ReadLe16(bytes.data() + 12);
        const int count = ReadLe16(bytes.data() + 14);
        if (total - 20 > kMaxPayloadWithCrc || count < 1 || count > kMaxRecords)
            return 0;
        const bool crc = (flags & CNV_FLAG_CRC) != 0;
        const size_t payload = total - (crc ? 20 : CNV_HEADER_SIZE);
        bytes.resize(CNV_HEADER_SIZE + payload + (crc ? 4 : 0));
        if (!ReadCnvExact(stream, bytes.data() + CNV_HEADER_SIZE, bytes.size() - CNV_HEADER_SIZE))
            return 0;
        why = cnvBadChecksum;
        if (crc && CnvCrc32(bytes.data(), CNV_HEADER_SIZE + payload) !=
                       ReadLe32(bytes.data() + CNV_HEADER_SIZE + payload))
            return 0;
        // The scrambler's constants are not known here, so a scrambled payload is unreadable.
        why = cnvScrambled;
        if (flags & CNV_FLAG_SCRAMBLED)
            return 0;

        const uint8_t* p = bytes.data() + CNV_HEADER_SIZE;
        size_t at = 0;
        int added = 0;
        bool cut = false;
        for (int i = 0; i < count; ++i)
        {
            cut = at + 2 > payload || at + 2 + ReadLe16(p + at) > payload;
            if (cut)
                break;
            const size_t n = ReadLe16(p + at);
            if (AddRecord(p + at + 2, n, false) >= 0)
                ++added;
            at += 2 + n;
        }
        why = added > 0 ? cnvNoProblem : cut ? cnvDamaged : cnvNoUsableRecord;
        return added;
    }
    catch (const std::exception&)
    {
        why = cnvUnreadable;
        return 0;
    }
}

bool CConvTable::WriteCnvRecord(int slot, StreamIO::CIoStream& stream)
{
    size_t length = 0;
    const uint8_t* record = GetRecord(slot, length);
    if (record == nullptr)
        return false;
    std::vector<uint8_t> block(record, record + length);
    const size_t total = BuildCnvRecordBlock(block, length);
    if (total == 0)
        return false;
    try
    {
        return stream.Write(block.data(), static_cast<uint32_t>(total)) == total;
    }
    catch (const std::exception&)
    {
        return false;
    }
}

const uint8_t* CConvTable::ImportRecordBlock(StreamIO::CIoStream& stream, int& index, QString& name,
                                             size_t& length)
{
    index = -1;
    name.clear();
    length = 0;
    try
    {
        if (stream.IsSeekable())
            stream.Seek(0, StreamIO::STREAM_SEEK_BEGIN);
        const uint32_t size = stream.GetLength();
        if (size == 0 || size > kMaxFileLength)
            return nullptr;
        std::vector<uint8_t> block(size);
        if (!ReadCnvExact(stream, block.data(), size))
            return nullptr;
        const size_t n = ParseCnvRecordBlock(block.data(), block.size());
        if (n == 0)
            return nullptr;
        return AddDeviceRecord(block.data(), n, index, name, length);
    }
    catch (const std::exception&)
    {
        return nullptr;
    }
}
