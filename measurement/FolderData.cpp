#include "measurement/FolderData.h"

#include "measurement/FolderDocument.h"
#include "measurement/ScaleCodes.h"
#include "platform/core/ErrorCodes.h"
#include "platform/core/FileException.h"
#include "streamio/DosDateTime.h"
#include "streamio/RamStream.h"
#include "streamio/VMArchive.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace
{
// Where each series block passes on its way into and out of the archive.
const QString kBlockFile = QStringLiteral("RAM:test.vsm");
const QString kStoreFile = QStringLiteral("RAM:RamStreamStore");
const QString kLoadFile = QStringLiteral("RAM:RamStreamLoad");
constexpr uint32_t kRamFlags =
    StreamIO::STREAM_READ | StreamIO::STREAM_WRITE | StreamIO::STREAM_CREATE_ALWAYS;
// An "M1" block counts its length in 24 bits.
constexpr uint32_t kMaxBlockBytes = 0xFFFFFF + 8;

bool OpenRam(StreamIO::CRamStream& stream, const QString& name, uint32_t flags = kRamFlags)
{
    try
    {
        return stream.Open(name, flags);
    }
    catch (const CFileException&)
    {
        return false;
    }
}

// A sort key: the orders compare these fields in turn. Precomputed, so the comparison is
// a strict weak order whatever the series hold (NaN and mixed scales included).
struct SSortKey
{
    int64_t first = 0;
    double value = 0.0;
    QString text;
    size_t index = 0;

    bool operator<(const SSortKey& o) const
    {
        if (first != o.first)
            return first < o.first;
        if (value != o.value)
            return value < o.value;
        return text < o.text;
    }
};

// Floats as keys: a NaN sorts before every number.
double FloatKey(float v)
{
    return std::isnan(v) ? -std::numeric_limits<double>::infinity() : double(v);
}

SSortKey MakeKey(const CMeasSeriesWrapper& entry, int order)
{
    SSortKey key;
    CMeasSeries1* s = entry.GetSeries();
    switch ((order + 1) / 2)
    {
    case 1:
        key.first = entry.IsExpanded() != 0;
        break;
    case 2:
        key.first = s ? int64_t(s->GetDateTime()) : 0;
        key.text = entry.GetName();
        break;
    case 3:
        key.text = entry.GetName();
        break;
    case 4:
        if (s)
        {
            // Depth scales count as one scale; within a scale by mean, the converted one
            // where there is one.
            const int scale = s->GetTargetScale().scale;
            key.first = IsDepthScale(scale) ? 0x201 : scale;
            const float mean = s->GetMean();
            key.value = FloatKey(IsValidValue(mean) ? mean : entry.GetNativeMean());
        }
        break;
    case 5:
        key.first = s ? s->GetCount(1) : 0;
        break;
    case 6:
        key.value = s ? FloatKey(s->GetStdDev()) : 0.0;
        break;
    case 7:
        key.first = s ? int16_t(s->GetProbeId().code) : 0;
        break;
    case 8:
        if (s)
        {
            const SMaterial m = s->GetMaterial();
            key.first = int8_t(m.type);
            if (m.type == MAT_CUSTOM)
                key.text = m.Name();
        }
        break;
    case 9:
        key.first = s ? int16_t(s->GetTargetScale().scale) : 0;
        break;
    default:
        break;
    }
    return key;
}
} // namespace

CFolderData::CFolderData() = default;

CFolderData::CFolderData(const CFolderData& other)
    : m_name(other.m_name), m_document(other.m_document), m_sortOrder(other.m_sortOrder)
{
    // A RAM file lives while a stream has it open, and closing an archive closes its
    // stream: the stored bytes are taken out before the storing archive goes.
    std::vector<uint8_t> bytes;
    {
        StreamIO::CRamStream store;
        if (!OpenRam(store, kStoreFile))
            throw CFileException(Err::OpenFailed, kStoreFile);
        StreamIO::CVMArchive archive(store.GetHandle(), StreamIO::ARCHIVE_NO_CLOSE,
                                     StreamIO::ARCHIVE_FILE_BUFFER);
        other.Store(archive, nullptr);
        archive.Flush();
        bytes.resize(store.GetLength());
        store.SetPosition(0);
        if (store.Read(bytes.data(), uint32_t(bytes.size())) != bytes.size())
            throw CFileException(Err::ReadFault, kStoreFile);
    }
    StreamIO::CRamStream load;
    if (!OpenRam(load, kLoadFile))
        throw CFileException(Err::OpenFailed, kLoadFile);
    load.Write(bytes.data(), uint32_t(bytes.size()));
    StreamIO::CVMArchive archive(load.GetHandle(), StreamIO::ARCHIVE_LOAD, StreamIO::ARCHIVE_FILE_BUFFER);
    Load(archive);
    archive.Close();
}

CFolderData::~CFolderData() = default;

CMeasSeriesWrapper& CFolderData::Entry(int index) const
{
    if (index < 0 || index >= int(m_entries.size()))
        throw std::invalid_argument("series index outside the folder");
    return *m_entries[size_t(index)];
}

void CFolderData::MarkModified()
{
    if (m_document)
        m_document->SetModified();
}

bool CFolderData::HasStoredForm(const CMeasSeriesWrapper& entry)
{
    CMeasSeries1* s = entry.GetSeries();
    return s && s->GetCount(7) > 0;
}

QStringList CFolderData::GetSeriesWithoutReadings() const
{
    QStringList names;
    for (const auto& entry : m_entries)
        if (!HasStoredForm(*entry))
            names << entry->GetName();
    return names;
}

CMeasSeriesWrapper* CFolderData::GetSeriesAt(int index) const
{
    return &Entry(index);
}

QString CFolderData::GetSeriesName(int index) const
{
    return index >= GetSeriesCount() ? QString() : Entry(index).GetName();
}

void CFolderData::SetSeriesName(int index, const QString& name)
{
    if (index < GetSeriesCount())
        Entry(index).SetName(name);
    MarkModified();
}

int16_t CFolderData::GetValueListOrder(int index) const
{
    return index >= GetSeriesCount() ? 0 : Entry(index).GetValueListOrder();
}

void CFolderData::SetValueListOrder(int index, int16_t order)
{
    if (index < GetSeriesCount())
        Entry(index).SetValueListOrder(order);
    MarkModified();
}

uint8_t CFolderData::IsSeriesExpanded(int index) const
{
    return index >= GetSeriesCount() ? 0 : Entry(index).IsExpanded();
}

void CFolderData::SetSeriesExpanded(int index, uint8_t expanded)
{
    if (index < GetSeriesCount())
        Entry(index).SetExpanded(expanded);
    MarkModified();
}

uint8_t CFolderData::IsSeriesSelected(int index) const
{
    return Entry(index).IsSelected();
}

void CFolderData::SetSeriesSelected(int index, uint8_t selected)
{
    Entry(index).SetSelected(selected);
}

uint8_t CFolderData::GetSeriesUpdateFlag(int index) const
{
    return Entry(index).GetUpdateFlag();
}

void CFolderData::SetSeriesUpdateFlag(int index, uint8_t flag)
{
    Entry(index).SetUpdateFlag(flag);
}

QString CFolderData::GetSeriesComment(int index) const
{
    if (index >= GetSeriesCount())
        return QString();
    CMeasSeries1* s = Entry(index).GetSeries();
    return s ? s->GetComment() : QString();
}

void CFolderData::SetSeriesComment(int index, const QString& comment)
{
    if (index < GetSeriesCount())
    {
        if (CMeasSeries1* s = Entry(index).GetSeries())
            s->SetComment(comment);
    }
    MarkModified();
}

int CFolderData::GetSeriesReadingCount(int index) const
{
    CMeasSeries1* s = Entry(index).GetSeries();
    return s ? s->GetCount(5) : 0;
}

int CFolderData::GetSeriesValidCount(int index) const
{
    CMeasSeries1* s = Entry(index).GetSeries();
    return s ? s->GetCount(1) : 0;
}

QDateTime CFolderData::GetSeriesTime(int index) const
{
    CMeasSeries1* s = Entry(index).GetSeries();
    return s ? DosDateTimeToTime(s->GetDateTime()) : QDateTime();
}

void CFolderData::SetSeriesTime(int index, const QDateTime& time)
{
    if (CMeasSeries1* s = Entry(index).GetSeries())
        s->SetDateTime(TimeToDosDateTime(time), true);
}

int CFolderData::GetSeriesDecimals(int index, int kind) const
{
    CMeasSeries1* s = Entry(index).GetSeries();
    const int decimals = s ? GetScaleDecimals(s->GetTargetScale().scale, s->IsImperial()) : 0;
    switch (kind)
    {
    case 0:
        return decimals;
    case 1:
        return decimals + 1;
    case 2:
        return 3;
    default:
        return 0;
    }
}

void CFolderData::DeleteSeries(int index)
{
    Entry(index);
    m_entries.erase(m_entries.begin() + index);
    for (SUnreadableEntry& kept : m_unreadable)
        if (kept.place > size_t(index))
            --kept.place;
    MarkModified();
}

void CFolderData::TakeUnreadable(CFolderData& source, int offset)
{
    for (SUnreadableEntry& kept : source.m_unreadable)
    {
        kept.place += size_t(std::max(offset, 0));
        m_unreadable.push_back(std::move(kept));
    }
    source.m_unreadable.clear();
    std::stable_sort(m_unreadable.begin(), m_unreadable.end(),
                     [](const SUnreadableEntry& a, const SUnreadableEntry& b) { return a.place < b.place; });
}

void CFolderData::AddSeries(std::unique_ptr<CMeasSeriesWrapper> entry, bool keep)
{
    if (!entry)
        return;
    CMeasSeries1* s = entry->GetSeries();
    // A series whose conversion this computer lacks keeps its stored settings as they are:
    // its standard is part of them.
    if (s && s->GetProbeId().IsBenchProbe() && !s->KeepsStoredSettings())
    {
        // The indentation tester's ASTM B724 mode goes with the ASTM E140 standard, the
        // normal mode with ISO 18265. The change counts as measured, so the originals
        // follow it; a series open for measuring stays so.
        const bool wasNew = s->IsNew();
        SProbeId probe = s->GetProbeId();
        STargetScale target = s->GetTargetScale();
        const SMaterial material = s->GetMaterial();
        if (probe.IsB724Off() && target.standard != CONV_STD_ISO_18265)
        {
            s->SetNew();
            target.standard = CONV_STD_ISO_18265;
            s->SetConversion(target, material);
            if (!wasNew)
                s->CommitNew();
        }
        else if (!probe.IsB724Off() && target.standard != CONV_STD_ASTM_E140)
        {
            s->SetNew();
            if (material.type != 6 && material.type != MAT_CUSTOM)
            {
                probe.ClearB724Bit();
                s->SetProbeId(probe);
            }
            target.standard = CONV_STD_ASTM_E140;
            if (IsDepthScale(target.scale))
                target.scale = probe.code;
            s->SetConversion(target, material);
            if (!wasNew)
                s->CommitNew();
        }
    }
    if (keep)
        entry->SetSelected(1);
    else
        Clear();
    m_entries.push_back(std::move(entry));
}

void CFolderData::Sort(int order)
{
    if (order >= 1 && order <= 18)
    {
        std::vector<SSortKey> keys;
        keys.reserve(m_entries.size());
        for (size_t i = 0; i < m_entries.size(); ++i)
        {
            keys.push_back(MakeKey(*m_entries[i], order));
            keys.back().index = i;
        }
        const bool descending = order % 2 == 0;
        std::stable_sort(keys.begin(), keys.end(),
                         [descending](const SSortKey& a, const SSortKey& b)
                         { return descending ? b < a : a < b; });
        std::vector<std::unique_ptr<CMeasSeriesWrapper>> sorted;
        sorted.reserve(m_entries.size());
        for (const SSortKey& key : keys)
            sorted.push_back(std::move(m_entries[key.index]));
        m_entries = std::move(sorted);
    }
    m_sortOrder = uint8_t(order);
    for (size_t i = 0; i < m_entries.size(); ++i)
        m_entries[i]->SetPosition(int32_t(i));
    MarkModified();
}

void CFolderData::Clear()
{
    m_entries.clear();
    m_unreadable.clear();
    m_sortOrder = 0;
}

void CFolderData::Serialize(StreamIO::CVMArchive& archive, const std::vector<uint8_t>* selection)
{
    if (archive.IsLoading())
        Load(archive);
    else
        Store(archive, selection);
}

void CFolderData::Store(StreamIO::CVMArchive& archive, const std::vector<uint8_t>* selection) const
{
    auto chosen = [selection](size_t i)
    { return !selection || (i < selection->size() && (*selection)[i] == 1); };
    uint32_t count = 0;
    for (size_t i = 0; i < m_entries.size(); ++i)
        count += chosen(i) ? 1 : 0;
    // Unreadable entries cannot be chosen: they go with the whole folder only.
    const size_t unreadable = selection ? 0 : m_unreadable.size();
    archive.WriteDWord(count + uint32_t(unreadable));
    size_t nextKept = 0;
    auto storeKeptUpTo = [&](size_t place)
    {
        for (; nextKept < unreadable && m_unreadable[nextKept].place <= place; ++nextKept)
        {
            const SUnreadableEntry& kept = m_unreadable[nextKept];
            archive.WriteDWord(uint32_t(kept.block.size()));
            archive.WriteBytes(kept.block.data(), uint32_t(kept.block.size()));
            archive.WriteString(kept.name);
            archive.WriteWord(kept.valueListOrder);
            archive.WriteDWord(kept.expanded);
            archive.WriteByte(m_sortOrder);
        }
    };
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < m_entries.size(); ++i)
    {
        storeKeptUpTo(i);
        if (!chosen(i))
            continue;
        const CMeasSeriesWrapper& entry = *m_entries[i];
        bytes.clear();
        // A series that cannot be stored fails the save instead of vanishing from it.
        if (HasStoredForm(entry) && !entry.GetSeries()->BuildBlock(bytes))
            throw CFileException(Err::WriteFault, kBlockFile);
        archive.WriteDWord(uint32_t(bytes.size()));
        archive.WriteBytes(bytes.data(), uint32_t(bytes.size()));
        archive.WriteString(entry.GetName());
        archive.WriteWord(uint16_t(entry.GetValueListOrder()));
        archive.WriteDWord(entry.IsExpanded());
        archive.WriteByte(m_sortOrder);
    }
    storeKeptUpTo(std::numeric_limits<size_t>::max());
}

void CFolderData::Load(StreamIO::CVMArchive& archive)
{
    uint32_t count = 0;
    archive.ReadDWord(count);
    std::vector<uint8_t> bytes;
    for (uint32_t k = 0; k < count; ++k)
    {
        uint32_t length = 0;
        archive.ReadDWord(length);
        if (length > kMaxBlockBytes)
            throw CFileException(Err::InvalidData, kBlockFile);
        // A block is parsed where it lies in the archive's buffer; only one larger than the
        // buffer is copied out first, in pieces, so that a length the data does not hold
        // ends with the archive's end-of-data error before much memory is taken.
        const uint8_t* block = archive.ReadInPlace(length);
        if (!block)
        {
            bytes.clear();
            while (bytes.size() < length)
            {
                const size_t at = bytes.size();
                const size_t piece = std::min<size_t>(length - at, 65536);
                bytes.resize(at + piece);
                archive.ReadBytes(bytes.data() + at, uint32_t(piece));
            }
            block = bytes.data();
        }
        std::unique_ptr<CMeasSeries1> series = CreateMeasSeries(block, length, false);
        // The block's bytes are the archive's until its next read.
        std::vector<uint8_t> unreadable;
        if (!series && length > 0)
            unreadable.assign(block, block + length);
        auto entry = std::make_unique<CMeasSeriesWrapper>();
        QString name;
        uint16_t order = 0;
        uint32_t expanded = 0;
        uint8_t sortOrder = 0;
        archive.ReadString(name);
        archive.ReadWord(order);
        archive.ReadDWord(expanded);
        archive.ReadByte(sortOrder);
        m_sortOrder = sortOrder;
        if (!series)
        {
            // An empty block is an entry without readings, which has no stored form. Any
            // other block this program cannot read is kept as it stands.
            if (length > 0)
                m_unreadable.push_back({m_entries.size(), std::move(unreadable), name, order, expanded});
            continue;
        }
        // The read leaves room to grow: the entry keeps an exact copy (shrinking the read's
        // block in place would leave its tail as a gap no later block of a load fits), and
        // the next read takes the read's block again.
        entry->SetName(QString(name.constData(), name.size()));
        entry->SetValueListOrder(int16_t(order));
        entry->SetExpanded(expanded ? 1 : 0);
        if (m_document)
            m_document->StoreSeriesConversions(series.get());
        entry->SetSeries(std::move(series));
        AddSeries(std::move(entry), true);
    }
}
