// The stored form of a series, the "M1" block: the content of a measurement file and the
// unit inside project files and clipboard data. Little-endian throughout.
#include "measurement/MeasSeries1.h"

#include "measurement/CnvFile.h"
#include "measurement/ConvTable.h"
#include "measurement/Distributions.h"
#include "platform/core/ByteOrder.h"
#include "measurement/ScaleCodes.h"
#include "measurement/SeriesWords.h"
#include "platform/core/FileException.h"
#include "streamio/IoStream.h"

#include <algorithm>
#include <bit>
#include <cstring>

using namespace SeriesWords;

namespace
{
// Tag, flags and length; then the fixed head up to the material block.
constexpr uint32_t kHeadBytes = 50;
constexpr uint32_t kSerialBytes = 8;
constexpr uint32_t kOriginalBytes = 24;
constexpr int kMaxName = 64;          // bytes of a custom material name in a block
constexpr int kMaxBlockRecord = 4095; // bytes of a conversion record in a block
constexpr uint8_t kSecondSetVersion = 2;

void Put8(std::vector<uint8_t>& b, uint32_t v)
{
    b.push_back(uint8_t(v));
}

void Put16(std::vector<uint8_t>& b, uint32_t v)
{
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}

void Put32(std::vector<uint8_t>& b, uint32_t v)
{
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

void PutWords(std::vector<uint8_t>& b, const uint32_t* words, int n)
{
    if constexpr (std::endian::native == std::endian::little)
    {
        const auto* bytes = reinterpret_cast<const uint8_t*>(words);
        b.insert(b.end(), bytes, bytes + 4 * size_t(n));
    }
    else
    {
        const size_t at = b.size();
        b.resize(at + 4 * size_t(n));
        WriteLe32Array(b.data() + at, words, size_t(n));
    }
}

uint16_t Get16(const uint8_t* p)
{
    return uint16_t(p[0] | p[1] << 8);
}

uint32_t Get32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint8_t MaterialByte(const SMaterial& m)
{
    return uint8_t((m.type & 0x0F) | (m.group << 4));
}

uint8_t StandardByte(const STargetScale& t)
{
    return uint8_t((t.standard & 0x0F) | (t.flag ? 0x80 : 0));
}

uint16_t ProbeWord(const SProbeId& p)
{
    uint16_t word = uint16_t(p.code & 0x7FFF);
    if (p.flags >= 0 && (p.flags & 1))
        word |= 0x8000;
    return word;
}

bool HasMaterialBlock(const SMaterial& m, const STargetScale& t)
{
    return m.type == MAT_CUSTOM || t.flag != 0;
}

// Material, target scale, standard and the four limit words, as a block stores a series'
// settings and its original ones.
using SettingsBytes = std::array<uint8_t, 20>;

SettingsBytes EncodeSettings(uint8_t materialByte, uint16_t scale, uint8_t standardByte, uint32_t lowerWord,
                             uint32_t upperWord, uint32_t secondLowerWord, uint32_t secondUpperWord)
{
    SettingsBytes b{};
    b[0] = materialByte;
    b[1] = uint8_t(scale);
    b[2] = uint8_t(scale >> 8);
    b[3] = standardByte;
    WriteLe32(b.data() + 4, lowerWord);
    WriteLe32(b.data() + 8, upperWord);
    WriteLe32(b.data() + 12, secondLowerWord);
    WriteLe32(b.data() + 16, secondUpperWord);
    return b;
}

SettingsBytes EncodeSettings(const SMaterial& material, const STargetScale& target, uint32_t lowerWord,
                             uint32_t upperWord, uint32_t secondLowerWord, uint32_t secondUpperWord)
{
    return EncodeSettings(MaterialByte(material), uint16_t(target.scale & 0xFFFF), StandardByte(target),
                          lowerWord, upperWord, secondLowerWord, secondUpperWord);
}

template <size_t N> void PutBytes(std::vector<uint8_t>& block, const std::array<uint8_t, N>& bytes)
{
    block.insert(block.end(), bytes.begin(), bytes.end());
}
} // namespace

std::array<uint8_t, 20> CMeasSeries1::KeptInPlaceBytes() const
{
    return EncodeSettings(MaterialByte(m_material), m_keptScale, m_keptStandard, m_lowerWord, m_upperWord,
                          m_secondLowerWord, m_secondUpperWord);
}

std::array<uint8_t, 24> CMeasSeries1::OriginalSectionBytes() const
{
    static_assert(kOriginalBytes == 24);
    std::array<uint8_t, 24> b{};
    const SettingsBytes settings =
        EncodeSettings(m_orig.material, m_orig.target, m_orig.lowerWord, m_orig.upperWord,
                       m_orig.secondLowerWord, m_orig.secondUpperWord);
    std::copy(settings.begin(), settings.end(), b.begin());
    b[20] = m_orig.resolution;
    b[21] = m_orig.statMode;
    b[22] = uint8_t(m_orig.confidence);
    b[23] = uint8_t(m_orig.confidence >> 8);
    return b;
}

void CMeasSeries1::SeparateKeptBlock()
{
    if (!m_keptInPlace)
        return;
    auto kept = std::make_unique<SKeptSettings>();
    kept->head = KeptInPlaceBytes();
    if (m_keptOriginalSection)
    {
        const std::array<uint8_t, 24> original = OriginalSectionBytes();
        kept->original.assign(original.begin(), original.end());
    }
    m_keptInPlace = false;
    Rare().kept = std::move(kept);
}

CMeasSeries1::CMeasSeries1(StreamIO::CIoStream& stream, bool& failed)
{
    failed = !Read(stream);
}

CMeasSeries1::CMeasSeries1(const uint8_t* bytes, size_t size, bool& failed)
{
    failed = !ReadFromMemory(bytes, size);
}

std::unique_ptr<CMeasSeries1> CreateMeasSeries(const uint8_t* bytes, size_t size, bool asNew)
{
    if (bytes == nullptr || size < 2 || bytes[0] != 'M' || bytes[1] != '1')
        return nullptr;
    std::unique_ptr<CMeasSeries1> series;
    bool failed = false;
    if (asNew)
    {
        series = std::make_unique<CMeasSeries1>(0);
        series->Clear();
        failed = !series->ReadFromMemory(bytes + 2, size - 2);
    }
    else
    {
        series = std::make_unique<CMeasSeries1>(bytes + 2, size - 2, failed);
    }
    return failed ? nullptr : std::move(series);
}

std::unique_ptr<CMeasSeries1> CreateMeasSeries(StreamIO::CIoStream& stream, bool asNew)
{
    if (!stream.IsOpen() || !(stream.GetOpenFlags() & StreamIO::STREAM_READ))
        return nullptr;
    uint8_t tag[2];
    try
    {
        if (stream.Read(tag, 2) != 2)
            return nullptr;
    }
    catch (const CFileException&)
    {
        return nullptr;
    }
    if (tag[0] != 'M' || tag[1] != '1')
        return nullptr;
    std::unique_ptr<CMeasSeries1> series;
    if (asNew)
    {
        series = std::make_unique<CMeasSeries1>(0);
        series->Clear();
        if (!series->Read(stream))
            return nullptr;
    }
    else
    {
        bool failed = false;
        series = std::make_unique<CMeasSeries1>(stream, failed);
        if (failed)
            return nullptr;
    }
    return series;
}

// ---------------------------------------------------------------------------------------
// Writing

bool CMeasSeries1::AppendMaterialBlock(std::vector<uint8_t>& block, const SMaterial& material,
                                       const STargetScale& target, bool original)
{
    if (material.type == MAT_CUSTOM && target.scale == m_probe.code)
    {
        // A custom material measured in the probe's own scale travels by its name.
        char16_t name[SMaterial::kNameSize] = {};
        const int length = material.CopyName(name);
        if (length <= 0)
            return false;
        Put16(block, 0x8000u | uint32_t(2 * length));
        for (int i = 0; i < length; ++i)
            Put16(block, name[i]);
        return true;
    }
    // Otherwise the conversion record itself, so that the series converts the same way
    // on a computer that lacks it.
    std::vector<uint8_t> record;
    {
        CConvTable::Guard lock(Table());
        size_t length = 0;
        const uint8_t* bytes = nullptr;
        if (!original)
        {
            bytes = Table().GetRecord(m_recordIndex, length);
        }
        else
        {
            const int index = FindRecord(m_probe, material, target);
            if (index >= 0)
                bytes = Table().GetRecord(index, length);
        }
        if (bytes)
            record.assign(bytes, bytes + length);
    }
    if (original && record.empty())
        record = PrivateRecord();
    if (record.empty() || record.size() > size_t(kMaxBlockRecord))
        return false;
    Put16(block, uint32_t(record.size()));
    block.insert(block.end(), record.begin(), record.end());
    return true;
}

bool CMeasSeries1::BuildBlock(std::vector<uint8_t>& block)
{
    const int n = m_count;
    if (n <= 0)
        return false;
    const bool kept = IsKeptBlock();
    if (!kept)
    {
        EncodeLimitWords();
        EncodeSecondLimitWords();
    }
    bool originalSection;
    if (m_keptInPlace)
        originalSection = m_keptOriginalSection;
    else if (kept)
        originalSection = !m_rare->kept->original.empty();
    else
        originalSection = !m_material.IsEqual(m_orig.material) || !m_target.IsEqual(m_orig.target) ||
                          Decode(m_lowerWord) != Decode(m_orig.lowerWord) ||
                          Decode(m_upperWord) != Decode(m_orig.upperWord) ||
                          Decode(m_secondLowerWord) != Decode(m_orig.secondLowerWord) ||
                          Decode(m_secondUpperWord) != Decode(m_orig.secondUpperWord) ||
                          m_resolution != m_orig.resolution || m_statMode != m_orig.statMode ||
                          m_confidence != m_orig.confidence;
    const bool serial = !m_deviceSerial.IsZero();

    const QString& commentText = Comment();
    const uint32_t c = commentText.isEmpty() ? 0 : uint32_t(commentText.size()) + 1;
    uint32_t a = 0;
    size_t attachmentBytes = 0;
    for (int i = 0; i <= std::min(m_highestAttachment, n - 1); ++i)
    {
        if (const uint8_t* attachment = AttachmentBlock(i))
        {
            ++a;
            attachmentBytes += 4 + (Get32(attachment) & 0xFFFF);
        }
    }

    // Room for everything but conversion records, so that the readings go in one piece.
    block.clear();
    block.reserve(128 + 8 * size_t(n) + 2 * c + attachmentBytes);
    Put8(block, 'M');
    Put8(block, '1');
    Put8(block, 0x80 | (serial ? 0x40 : 0) | (originalSection ? 0x20 : 0) | 2);
    Put8(block, 0); // the length follows when the block is complete
    Put16(block, 0);
    Put16(block, uint32_t(n));
    Put16(block, c);
    Put16(block, a);
    Put32(block, m_dateTime);
    if (serial)
        block.insert(block.end(), m_deviceSerial.bytes.begin(), m_deviceSerial.bytes.end());
    Put16(block, ProbeWord(m_probe));
    block.insert(block.end(), m_probe.serial.bytes.begin(), m_probe.serial.bytes.end());
    // Settings kept in place have no material blocks.
    const SKeptSettings* keptBlock = kept && !m_keptInPlace ? m_rare->kept.get() : nullptr;
    if (m_keptInPlace)
        PutBytes(block, KeptInPlaceBytes());
    else if (keptBlock)
        PutBytes(block, keptBlock->head);
    else
        PutBytes(block, EncodeSettings(m_material, m_target, m_lowerWord, m_upperWord, m_secondLowerWord,
                                       m_secondUpperWord));
    Put8(block, m_resolution);
    Put8(block, m_statMode);
    Put16(block, m_confidence);
    if (keptBlock)
        block.insert(block.end(), keptBlock->materialBlock.begin(), keptBlock->materialBlock.end());
    else if (!kept && HasMaterialBlock(m_material, m_target) &&
             !AppendMaterialBlock(block, m_material, m_target, false))
        return false;

    if (originalSection)
    {
        if (keptBlock)
        {
            block.insert(block.end(), keptBlock->original.begin(), keptBlock->original.end());
        }
        else
        {
            PutBytes(block, OriginalSectionBytes());
            if (!kept && HasMaterialBlock(m_orig.material, m_orig.target) &&
                !AppendMaterialBlock(block, m_orig.material, m_orig.target, true))
                return false;
        }
    }

    PutWords(block, Set1(), n);
    Put32(block, 4 * uint32_t(n) + 10);
    Put8(block, kSecondSetVersion);
    Put16(block, uint32_t(n));
    PutWords(block, Set2(), n);
    Put8(block, m_imperial ? 1 : 0);
    Put16(block, uint32_t(m_orig.probe.code & 0xFFFF));

    if (c > 0)
    {
        for (QChar ch : commentText)
            Put16(block, ch.unicode());
        Put16(block, 0);
    }
    for (int i = 0; i <= std::min(m_highestAttachment, n - 1); ++i)
    {
        const uint8_t* attachment = AttachmentBlock(i);
        if (!attachment)
            continue;
        const uint32_t length = Get32(attachment);
        Put16(block, uint32_t(i));
        Put16(block, length & 0xFFFF);
        block.insert(block.end(), attachment + 4, attachment + 4 + length);
    }
    Put16(block, 0); // trailer

    const size_t length = block.size() - 8;
    if (length > 0xFFFFFF)
        return false;
    block[3] = uint8_t(length);
    block[4] = uint8_t(length >> 8);
    block[5] = uint8_t(length >> 16);
    return true;
}

uint32_t CMeasSeries1::Write(StreamIO::CIoStream& stream)
{
    // The block is built whole before a byte goes out, so that a series that cannot be
    // stored leaves nothing behind and is reported, not dropped.
    std::vector<uint8_t> block;
    if (!BuildBlock(block))
        return 0;
    uint32_t written = 0;
    try
    {
        written = stream.Write(block.data(), uint32_t(block.size()));
    }
    catch (const CFileException&)
    {
        written = 0;
    }
    return written == block.size() ? written : 0;
}

// ---------------------------------------------------------------------------------------
// Reading

uint32_t CMeasSeries1::ReadBlockBytes(SBlockSource& src, void* buffer, uint32_t count)
{
    uint32_t done = 0;
    if (src.bytes)
    {
        done = uint32_t(std::min<size_t>(count, src.size - src.at));
        if (buffer && done > 0)
            std::memcpy(buffer, src.bytes + src.at, done);
        src.at += done;
    }
    else if (!src.stream)
    {
        return 0;
    }
    else if (buffer)
    {
        done = src.stream->Read(buffer, count);
    }
    else
    {
        uint8_t scratch[256];
        while (done < count)
        {
            const uint32_t part = std::min<uint32_t>(count - done, sizeof scratch);
            const uint32_t got = src.stream->Read(scratch, part);
            done += got;
            if (got < part)
                break;
        }
    }
    src.blockBytes += done;
    return done;
}

const uint8_t* CMeasSeries1::ReadBlockSpan(SBlockSource& src, uint32_t count, std::vector<uint8_t>& scratch)
{
    if (src.bytes)
    {
        if (src.size - src.at < count)
            return nullptr;
        const uint8_t* bytes = src.bytes + src.at;
        src.at += count;
        src.blockBytes += count;
        return bytes;
    }
    scratch.resize(count);
    return ReadBlockBytes(src, scratch.data(), count) == count ? scratch.data() : nullptr;
}

bool CMeasSeries1::CheckTrailer(SBlockSource& src)
{
    if (src.trailerLength == 0)
        return true;
    uint8_t trailer[2] = {0xFF, 0xFF};
    if (ReadBlockBytes(src, trailer, uint32_t(src.trailerLength)) != uint32_t(src.trailerLength))
        return false;
    for (int i = 0; i < src.trailerLength; ++i)
        if (trailer[i] != src.trailerValue)
            return false;
    return true;
}

bool CMeasSeries1::Read(StreamIO::CIoStream& stream)
{
    SBlockSource source;
    source.stream = &stream;
    return ReadGuarded(source);
}

bool CMeasSeries1::ReadFromMemory(const uint8_t* bytes, size_t size)
{
    SBlockSource source;
    source.bytes = bytes;
    source.size = bytes ? size : 0;
    return ReadGuarded(source);
}

bool CMeasSeries1::ReadGuarded(SBlockSource& src)
{
    bool ok = false;
    try
    {
        ok = ReadBlock(src);
    }
    catch (const CFileException&)
    {
        ok = false;
    }
    catch (const std::bad_alloc&)
    {
        ok = false;
    }
    if (!ok)
        FreeReadings(true);
    return ok;
}

// A material block: a custom name (bit 15 of the length word) or a conversion record. The
// raw bytes, length word included, go to raw when asked.
bool CMeasSeries1::ReadMaterialBlock(SBlockSource& src, CHeldMaterial& material, bool original, std::vector<uint8_t>* raw)
{
    uint8_t word[2];
    if (ReadBlockBytes(src, word, 2) != 2)
        return false;
    const uint16_t w = Get16(word);
    const int length = w & 0x7FFF;
    std::vector<uint8_t> bytes(size_t(length), 0);
    if (w & 0x8000)
    {
        if (length < 2 || length > kMaxName || (length & 1))
            return false;
        if (ReadBlockBytes(src, bytes.data(), uint32_t(length)) != uint32_t(length))
            return false;
        QString name;
        for (int i = 0; i < length; i += 2)
            name.append(QChar(Get16(bytes.data() + i)));
        if (!material.SetCustom(name, 0))
            return false;
    }
    else
    {
        if (length < 1 || length > kMaxBlockRecord)
            return false;
        if (ReadBlockBytes(src, bytes.data(), uint32_t(length)) != uint32_t(length))
            return false;
        SConvRecordInfo info;
        if (!DecodeConvRecord(info, bytes.data(), bytes.size()))
            return false;
        if (original)
        {
            Rare().privateRecord.assign(bytes.begin(), bytes.begin() + info.length);
        }
        else
        {
            CConvTable::Guard lock(Table());
            if (Enumerator().SetPrivateRecord(bytes.data(), bytes.size()) < 0)
                return false;
        }
        material.SetFromRecord(info);
    }
    if (raw)
    {
        raw->assign(word, word + 2);
        raw->insert(raw->end(), bytes.begin(), bytes.end());
    }
    return true;
}

bool CMeasSeries1::ReadBlock(SBlockSource& src)
{
    // Limits still standing for the words of an earlier block are set from them first, so
    // that a block that does not read leaves them as they were.
    if (m_limitsFromWords)
        MaterializeLimits();
    ClearPrivateRecordBytes();
    FreeAttachments();
    DropKeptBlock();
    src.blockBytes = 2; // the tag, read by the caller

    uint8_t head[14];
    if (ReadBlockBytes(src, head, 14) != 14)
        return false;
    const uint8_t flags = head[0];
    const uint32_t length = uint32_t(head[1]) | uint32_t(head[2]) << 8 | uint32_t(head[3]) << 16;
    if (length < 48)
        return false;
    src.trailerLength = (flags & 3) == 1 || (flags & 3) == 2 ? flags & 3 : 0;
    src.trailerValue = 0;
    const bool originalSection = (flags & 0x20) != 0;
    const bool hasSerial = (flags & 0x40) != 0;
    const bool secondSet = (flags & 0x80) != 0;
    const uint32_t n = Get16(head + 4);
    const uint32_t c = Get16(head + 6);
    const uint32_t a = Get16(head + 8);
    if (n < 1 || n > uint32_t(MEAS_MAX_CAPACITY) || c > 32767 || a > n)
        return false;
    const uint64_t minimum = (originalSection ? 62 : 38) + (secondSet ? 4 * uint64_t(n) + 7 : 0) + 6 + 2 * c +
                             4 * a + 4 * uint64_t(n);
    uint64_t maximum = uint64_t(a) * 32767 + minimum + 8190;
    if (secondSet)
        maximum *= 2;
    if (length < minimum || length > maximum)
        return false;
    const uint32_t end = length + 8; // the block's size for a two-byte trailer

    m_dateTime = Get32(head + 10);
    m_deviceSerial = SPackedSerial{};
    if (hasSerial && ReadBlockBytes(src, m_deviceSerial.bytes.data(), kSerialBytes) != kSerialBytes)
        return false;

    uint8_t settings[34];
    if (ReadBlockBytes(src, settings, 34) != 34)
        return false;
    const uint16_t probeWord = Get16(settings);
    SPackedSerial probeSerial;
    std::memcpy(probeSerial.bytes.data(), settings + 2, 8);
    const int probeCode = probeWord & 0x7FFF;
    if (probeCode == 0x7FFF)
        m_probe.Clear();
    else
        m_probe.SetKeepingUnknown(probeCode, &probeSerial, (probeWord & 0x8000) ? 1 : -1);
    m_orig.probe = m_probe;

    const uint8_t materialByte = settings[10];
    const uint16_t targetWord = Get16(settings + 11);
    const uint8_t standardByte = settings[13];
    if (!m_target.Set(targetWord, standardByte & 0x0F, standardByte >> 7))
        return false;
    m_lowerWord = Get32(settings + 14);
    m_upperWord = Get32(settings + 18);
    m_secondLowerWord = Get32(settings + 22);
    m_secondUpperWord = Get32(settings + 26);
    m_resolution = settings[30];
    m_statMode = settings[31];
    m_confidence = Get16(settings + 32);
    // A stored level beyond 99.99 % reads as 99.99 %.
    m_confidence = std::min<uint16_t>(m_confidence, 4999);
    m_z = NormalUpperQuantile((5000 - m_confidence) * 1e-4f);

    SKeptSettings kept;
    std::copy(settings + 10, settings + 30, kept.head.begin());
    const int type = materialByte & 0x0F;
    const int group = materialByte >> 4;
    const bool recordInBlock = !(type != MAT_CUSTOM && !(standardByte & 0x80));
    if (!recordInBlock)
    {
        m_material.Set(type, group);
    }
    else if (!ReadMaterialBlock(src, m_material, false, &kept.materialBlock))
    {
        return false;
    }
    const bool blockWasRecord = recordInBlock && !(kept.materialBlock[1] & 0x80);
    if (src.blockBytes != kHeadBytes + (hasSerial ? kSerialBytes : 0) + kept.materialBlock.size())
        return false;

    if (originalSection)
    {
        const uint32_t start = src.blockBytes;
        uint8_t orig[kOriginalBytes];
        if (ReadBlockBytes(src, orig, kOriginalBytes) != kOriginalBytes)
            return false;
        const int origType = orig[0] & 0x0F;
        const uint16_t origTarget = Get16(orig + 1);
        m_orig.target.scale = origTarget == 0xFFFF ? -1 : origTarget;
        m_orig.target.standard = orig[3] & 0x0F;
        m_orig.target.flag = orig[3] >> 7;
        m_orig.lowerWord = Get32(orig + 4);
        m_orig.upperWord = Get32(orig + 8);
        m_orig.secondLowerWord = Get32(orig + 12);
        m_orig.secondUpperWord = Get32(orig + 16);
        m_orig.resolution = orig[20];
        m_orig.statMode = orig[21];
        m_orig.confidence = std::min<uint16_t>(Get16(orig + 22), 4999);
        std::vector<uint8_t> origBlock;
        if (origType != MAT_CUSTOM && !(orig[3] & 0x80))
            m_orig.material.Set(origType, orig[0] >> 4);
        else if (!ReadMaterialBlock(src, m_orig.material, true, &origBlock))
            return false;
        if (src.blockBytes != start + kOriginalBytes + origBlock.size())
            return false;
        kept.original.assign(orig, orig + kOriginalBytes);
        kept.original.insert(kept.original.end(), origBlock.begin(), origBlock.end());
    }
    else
    {
        m_orig.material = m_material;
        m_orig.target = m_target;
        m_orig.lowerWord = m_lowerWord;
        m_orig.upperWord = m_upperWord;
        m_orig.secondLowerWord = m_secondLowerWord;
        m_orig.secondUpperWord = m_secondUpperWord;
        m_orig.resolution = m_resolution;
        m_orig.statMode = m_statMode;
        m_orig.confidence = m_confidence;
        if (blockWasRecord)
            Rare().privateRecord.assign(kept.materialBlock.begin() + 2, kept.materialBlock.end());
    }

    if (int(n) > m_capacity)
    {
        if (!Allocate(int(n)))
            return false;
        m_explicitCapacity = false;
    }
    m_count = 0;
    std::vector<uint8_t> scratch;
    const uint8_t* words = ReadBlockSpan(src, 4 * n, scratch);
    if (!words)
        return false;
    ReadLe32Array(Set1(), words, n);
    if (!secondSet)
        std::copy(Set1(), Set1() + n, Set2());
    m_count = int(n);

    if (secondSet)
    {
        uint8_t section[7];
        if (ReadBlockBytes(src, section, 7) != 7)
            return false;
        const uint32_t size = Get32(section);
        const uint8_t version = section[4];
        const uint32_t needed = 4 + 1 + 2 + 4 * n + 1 + (version >= 2 ? 2 : 0);
        if (Get16(section + 5) != n || size < needed || size > end - (src.blockBytes - 7))
            return false;
        words = ReadBlockSpan(src, 4 * n, scratch);
        if (!words)
            return false;
        ReadLe32Array(Set2(), words, n);
        uint8_t tail[3];
        if (ReadBlockBytes(src, tail, version >= 2 ? 3 : 1) != uint32_t(version >= 2 ? 3 : 1))
            return false;
        m_imperial = tail[0] != 0;
        if (version >= 2)
        {
            const int origCode = Get16(tail + 1);
            if (origCode == 0xFFFF)
                m_orig.probe.Clear();
            else
                m_orig.probe.SetKeepingUnknown(origCode, &m_probe.serial, m_probe.flags);
        }
        if (size > needed && ReadBlockBytes(src, nullptr, size - needed) != size - needed)
            return false;
    }
    m_useSet2 = SetUsedBy(m_probe);

    const uint8_t* comment = ReadBlockSpan(src, 2 * c, scratch);
    if (!comment)
        return false;
    QString text;
    for (uint32_t i = 0; i < std::min<uint32_t>(c, MEAS_MAX_COMMENT); ++i)
    {
        const char16_t unit = Get16(comment + 2 * i);
        if (unit == 0)
            break;
        text.append(QChar(unit));
    }
    SetCommentText(std::move(text));

    for (uint32_t k = 0; k < a; ++k)
    {
        uint8_t entry[4];
        if (ReadBlockBytes(src, entry, 4) != 4)
            return false;
        const uint32_t index = Get16(entry);
        const uint32_t size = Get16(entry + 2);
        if (index >= n || (size & 0x8000))
            return false;
        if (size == 0)
            continue;
        if (size > uint32_t(MEAS_MAX_ATTACHMENT))
        {
            // Longer than a series keeps: skipped, the reading stays without it.
            if (ReadBlockBytes(src, nullptr, size) != size)
                return false;
        }
        else
        {
            auto attachment = std::make_unique<uint8_t[]>(size + 4);
            if (ReadBlockBytes(src, attachment.get() + 4, size) != size)
                return false;
            attachment[0] = uint8_t(size);
            attachment[1] = uint8_t(size >> 8);
            attachment[2] = attachment[3] = 0;
            std::unique_ptr<uint8_t[]>* slot = AttachmentSlot(int(index));
            if (!slot)
                return false;
            *slot = std::move(attachment);
            m_highestAttachment = std::max(m_highestAttachment, int(index));
        }
        if (src.blockBytes > length + 6)
            return false;
    }
    if (!CheckTrailer(src))
        return false;

    // The conversion: the stored one, else another for the probe and the target scale;
    // when this computer has neither, the values show in the probe's own scale and the
    // stored settings are kept for writing.
    int index;
    {
        CConvTable::Guard lock(Table());
        SConvRecordInfo info;
        index = Enumerator().Find(info, m_probe, m_material, m_target);
        if (index < 0)
        {
            index = Enumerator().Find(info, m_probe, SMaterial(),
                                      STargetScale(m_target.scale, m_target.standard, 0));
            if (index >= 0)
            {
                m_material.SetFromRecord(info);
                m_target.standard = info.standard & 0x0F;
                m_target.flag = 0;
            }
        }
        if (index < 0)
        {
            // Without material blocks the series' own fields give the bytes back but for the
            // target scale: then only that is kept apart.
            const std::array<uint8_t, 24> original = OriginalSectionBytes();
            const bool inPlace =
                kept.materialBlock.empty() &&
                EncodeSettings(MaterialByte(m_material), targetWord, standardByte, m_lowerWord, m_upperWord,
                               m_secondLowerWord, m_secondUpperWord) == kept.head &&
                (kept.original.empty() ||
                 std::equal(kept.original.begin(), kept.original.end(), original.begin(), original.end()));
            if (inPlace)
            {
                m_keptInPlace = true;
                m_keptOriginalSection = !kept.original.empty();
                m_keptStandard = standardByte;
                m_keptScale = targetWord;
            }
            else
            {
                Rare().kept = std::make_unique<SKeptSettings>(std::move(kept));
            }
            m_target = STargetScale();
            m_target.scale = m_probe.code;
            m_target.standard = 15;
            index = Enumerator().Find(info, m_probe, SMaterial(), m_target);
        }
        m_recordIndex = index;
    }
    DropIdleEnumerator();
    // The limits follow from the words when first asked for (LimitPair).
    m_limitPair.reset();
    m_limitsFromWords = true;
    m_correction.SetProbe(m_probe);
    // The derived values follow when first asked for: most series of a large project are
    // never looked at.
    Invalidate(true, true);
    m_modified = false;
    return true;
}

// ---------------------------------------------------------------------------------------
// Custom conversion files

bool CMeasSeries1::GetCustomConversionFileName(bool original, QString& name) const
{
    name.clear();
    if (!IsCustomConversion(original))
        return false;
    if (original)
        return MakeCnvFileName(PrivateRecord().data(), PrivateRecord().size(), name);
    CConvTable::Guard lock(Table());
    size_t length = 0;
    const uint8_t* record = Table().GetRecord(m_recordIndex, length);
    return record && MakeCnvFileName(record, length, name);
}

bool CMeasSeries1::WriteCustomConversion(bool original, StreamIO::CIoStream& stream)
{
    CConvTable::Guard lock(Table());
    try
    {
        if (original && m_orig.material.type == MAT_CUSTOM && !PrivateRecord().empty())
        {
            // The block grows with the record, so a long record fits as well.
            std::vector<uint8_t> block = PrivateRecord();
            return BuildCnvRecordBlock(block, PrivateRecord().size()) > 0 &&
                   stream.Write(block.data(), uint32_t(block.size())) == block.size();
        }
        if (!original && m_material.type == MAT_CUSTOM)
        {
            const int index = FindRecord(m_probe, m_material, m_target);
            return index >= 0 && Table().WriteCnvRecord(index, stream);
        }
    }
    catch (const CFileException&)
    {
    }
    return false;
}
