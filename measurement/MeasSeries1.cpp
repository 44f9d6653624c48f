// Construction, storage, readings, derived values and attachments of a series.
#include "measurement/MeasSeries1.h"

#include "measurement/ConvTable.h"
#include "measurement/ScaleCodes.h"
#include "measurement/SeriesWords.h"

#include <algorithm>
#include <cstring>
#include <new>

using namespace SeriesWords;

namespace
{
int EffectiveCapacity(int capacity)
{
    if (capacity <= 0)
        return MEAS_DEFAULT_CAPACITY;
    return std::min(capacity, MEAS_MAX_CAPACITY);
}

// Float bits mapped so that unsigned order is numeric order.
uint32_t OrderedBits(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return (bits & 0x80000000u) ? ~bits : (bits | 0x80000000u);
}

uint32_t AttachmentLength(const uint8_t* block)
{
    return uint32_t(block[0]) | uint32_t(block[1]) << 8 | uint32_t(block[2]) << 16 | uint32_t(block[3]) << 24;
}

void StoreAttachmentLength(uint8_t* block, uint32_t length)
{
    block[0] = uint8_t(length);
    block[1] = uint8_t(length >> 8);
    block[2] = uint8_t(length >> 16);
    block[3] = uint8_t(length >> 24);
}
} // namespace

CMeasSeries1::CMeasSeries1(int capacity)
{
    if (Allocate(capacity))
        ResetSettings();
}

CMeasSeries1::CMeasSeries1(const CMeasSeries1& other)
{
    CopyFrom(other);
}

CMeasSeries1::~CMeasSeries1()
{
    // Limits never asked for need not be set on the way out.
    m_limitsFromWords = false;
    FreeReadings(true);
}

CMeasSeries1::SLimitPair& CMeasSeries1::LimitPair() const
{
    if (m_limitPair)
        return *m_limitPair;
    m_limitPair = std::make_unique<SLimitPair>(Table());
    if (m_limitsFromWords)
    {
        m_limitsFromWords = false;
        CConvTable::Guard lock(Table());
        // Whatever record the caller has selected stays selected.
        const int previous = Table().GetCurrentSlot();
        const int index = m_recordIndex;
        if (index >= 0 && Table().SelectRecord(index))
        {
            const float lower = Table().Convert(Decode(m_lowerWord), true);
            const float upper = Table().Convert(Decode(m_upperWord), true);
            const float secondLower = Table().Convert(Decode(m_secondLowerWord), true);
            const float secondUpper = Table().Convert(Decode(m_secondUpperWord), true);
            m_limitPair->first.Set(index, lower, upper);
            m_limitPair->second.Set(index, secondLower, secondUpper);
        }
        if (previous >= 0)
            Table().SelectRecord(previous);
    }
    return *m_limitPair;
}

bool CMeasSeries1::SetUsedBy(const SProbeId& probe) const
{
    return probe.IsBenchProbe() && !probe.IsB724Off();
}

void CMeasSeries1::SelectActiveSet(const SProbeId& probe)
{
    const bool useSet2 = SetUsedBy(probe);
    if (useSet2 != m_useSet2)
    {
        m_useSet2 = useSet2;
        Invalidate(true, true);
    }
}

void CMeasSeries1::CopyFrom(const CMeasSeries1& other)
{
    if (&other == this)
        return;
    FreeReadings(true);
    m_deviceSerial = other.m_deviceSerial;
    m_dateTime = other.m_dateTime;
    m_probe = other.m_probe;
    m_material = other.m_material;
    m_target = other.m_target;
    m_recordIndex = other.m_recordIndex;
    m_lowerWord = other.m_lowerWord;
    m_upperWord = other.m_upperWord;
    m_secondLowerWord = other.m_secondLowerWord;
    m_secondUpperWord = other.m_secondUpperWord;
    // Limits the source has not set yet stand for the same words here.
    if (other.m_limitPair)
    {
        LimitPair() = *other.m_limitPair;
    }
    else
    {
        m_limitPair.reset();
        m_limitsFromWords = other.m_limitsFromWords;
    }
    m_resolution = other.m_resolution;
    m_statMode = other.m_statMode;
    m_confidence = other.m_confidence;
    m_rare.reset();
    if (other.m_rare)
    {
        SRare& rare = Rare();
        rare.comment = other.m_rare->comment;
        rare.privateRecord = other.m_rare->privateRecord;
        if (other.m_rare->kept)
            rare.kept = std::make_unique<SKeptSettings>(*other.m_rare->kept);
    }
    m_orig = other.m_orig;
    m_keptInPlace = other.m_keptInPlace;
    m_keptOriginalSection = other.m_keptOriginalSection;
    m_keptStandard = other.m_keptStandard;
    m_keptScale = other.m_keptScale;
    m_z = other.m_z;
    m_completionRule = other.m_completionRule;
    m_completionCount = other.m_completionCount;
    m_imperial = other.m_imperial;
    m_correction = other.m_correction;
    m_new = false;
    m_modified = false;

    // The source's private record in the table belongs to the source: a copy that uses
    // it gets a record of its own, so that each series releases only what it placed.
    {
        CConvTable::Guard lock(Table());
        const int sourcePrivate = other.PrivateSlot();
        if (sourcePrivate >= 0 && other.m_recordIndex == sourcePrivate)
        {
            size_t length = 0;
            const uint8_t* record = Table().GetRecord(sourcePrivate, length);
            m_recordIndex = record ? Enumerator().SetPrivateRecord(record, length) : -1;
        }
    }

    const int n = other.m_count;
    if (n <= 0)
        return;
    try
    {
        m_words = std::make_unique<uint32_t[]>(2 * size_t(n));
        std::copy(other.Set1(), other.Set1() + n, m_words.get());
        std::copy(other.Set2(), other.Set2() + n, m_words.get() + n);
        if (other.HasDerivedArrays())
        {
            const SDerived& from = *other.m_derived;
            SDerived& d = D();
            d.native.assign(from.native.begin(), from.native.begin() + n);
            d.converted.assign(from.converted.begin(), from.converted.begin() + n);
            d.sorted.assign(n, 0);
            std::copy(from.sorted.begin(), from.sorted.begin() + std::min(from.sortedCount, n), d.sorted.begin());
        }
        m_attachments.clear();
        if (other.m_highestAttachment >= 0)
            m_attachments.resize(n);
        for (int i = 0; i <= std::min(other.m_highestAttachment, n - 1); ++i)
        {
            const uint8_t* block = other.m_attachments[i].get();
            if (!block)
                continue;
            const uint32_t length = AttachmentLength(block);
            if (length == 0 || (length & 0x80000000u))
                continue;
            m_attachments[i] = std::make_unique<uint8_t[]>(length + 4);
            std::memcpy(m_attachments[i].get(), block, length + 4);
            m_highestAttachment = i;
        }
    }
    catch (const std::bad_alloc&)
    {
        FreeReadings(false);
        return;
    }
    m_capacity = n;
    m_count = n;
    m_explicitCapacity = false;
    m_useSet2 = other.m_useSet2;
    if (other.m_derived)
    {
        SDerived& d = D();
        d.sortedCount = other.m_derived->sortedCount;
        d.belowCount = other.m_derived->belowCount;
        d.sortedValid = other.m_derived->sortedValid && HasDerivedArrays();
        d.sumsValid = false;
    }
}

bool CMeasSeries1::Allocate(int capacity)
{
    const int effective = EffectiveCapacity(capacity);
    m_explicitCapacity = true;
    if (m_capacity >= effective)
        return true;
    FreeReadings(false);
    if (!Reallocate(effective))
    {
        FreeReadings(true);
        return false;
    }
    m_useSet2 = SetUsedBy(m_probe);
    return true;
}

bool CMeasSeries1::Reallocate(int capacity)
{
    try
    {
        // Both sets move to a block of the new capacity in one piece, or nothing changes.
        auto words = std::make_unique<uint32_t[]>(2 * size_t(capacity));
        const int kept = std::min(m_capacity, capacity);
        if (m_words)
        {
            std::copy(Set1(), Set1() + kept, words.get());
            std::copy(Set2(), Set2() + kept, words.get() + capacity);
        }
        if (HasDerivedArrays())
        {
            D().native.resize(capacity, MEAS_NO_VALUE);
            D().converted.resize(capacity, MEAS_NO_VALUE);
            D().sorted.resize(capacity, 0);
        }
        if (!m_attachments.empty())
            m_attachments.resize(capacity);
        m_words = std::move(words);
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
    m_capacity = capacity;
    return true;
}

bool CMeasSeries1::GrowForAppend()
{
    if (m_explicitCapacity || m_capacity >= MEAS_MAX_CAPACITY)
        return false;
    return Reallocate(std::min(std::max(m_capacity * 2, 16), MEAS_MAX_CAPACITY));
}

void CMeasSeries1::FreeReadings(bool withPrivateRecord)
{
    m_words.reset();
    m_attachments.clear();
    m_capacity = 0;
    m_count = 0;
    m_highestAttachment = -1;
    // Nothing derived is left, and nothing derived is valid.
    m_derived.reset();
    if (withPrivateRecord)
    {
        ClearPrivateRecordBytes();
        ReleasePrivateRecord();
    }
}

void CMeasSeries1::ReleasePrivateRecord()
{
    CConvTable::Guard lock(Table());
    // Limits that still stand for words through this record are set while it is there.
    if (m_limitsFromWords && m_recordIndex >= 0 && m_recordIndex == PrivateSlot())
        MaterializeLimits();
    if (m_enumerator)
        m_enumerator->ClearPrivateRecord();
    DropIdleEnumerator();
}

bool CMeasSeries1::AllocateEmpty(int count)
{
    if (!Allocate(count))
        return false;
    for (int i = 0; i < count && i < m_capacity; ++i)
        ActiveSet()[i] = 0xFFFFFFFFu;
    ResetSettings();
    return true;
}

void CMeasSeries1::Clear()
{
    CMeasSeries::Clear();
    m_count = 0;
    if (m_derived)
    {
        SDerived& d = *m_derived;
        d.valuedCount = d.statCount = d.belowCount = d.sortedCount = 0;
        d.shift = d.sum = d.sumSquares = 0.0f;
    }
    if (m_rare)
        m_rare->comment = QString();
    FreeAttachments();
    ClearPrivateRecordBytes();
    ReleasePrivateRecord();
    Invalidate(true, true);
}

void CMeasSeries1::FreeAttachment(int raw)
{
    if (raw >= 0 && raw < int(m_attachments.size()))
        m_attachments[raw].reset();
}

const uint8_t* CMeasSeries1::AttachmentBlock(int raw) const
{
    if (raw < 0 || raw >= int(m_attachments.size()))
        return nullptr;
    return m_attachments[raw].get();
}

std::unique_ptr<uint8_t[]>* CMeasSeries1::AttachmentSlot(int raw)
{
    if (raw < 0 || raw >= m_capacity)
        return nullptr;
    try
    {
        if (int(m_attachments.size()) < m_capacity)
            m_attachments.resize(m_capacity);
    }
    catch (const std::bad_alloc&)
    {
        return nullptr;
    }
    return &m_attachments[raw];
}

void CMeasSeries1::FreeAttachments()
{
    for (int i = 0; i <= m_highestAttachment && i < int(m_attachments.size()); ++i)
        m_attachments[i].reset();
    m_highestAttachment = -1;
}

// ---------------------------------------------------------------------------------------
// Derived values

void CMeasSeries1::ClearCaches()
{
    if (!m_derived)
        return;
    SDerived& d = *m_derived;
    d.mean = d.stdDev = d.halfWidth = d.cp = d.cpk = d.cpLower = d.cpkLower = MEAS_NO_VALUE;
    d.commonDirection = kNoCommonDirection;
}

void CMeasSeries1::Invalidate(bool sums, bool sorted)
{
    // Without the derived state nothing derived is valid.
    if (!m_derived)
        return;
    if (sums)
        m_derived->sumsValid = false;
    if (sorted)
        m_derived->sortedValid = false;
    ClearCaches();
    ClearCursor();
}

void CMeasSeries1::AllocateDerivedArrays()
{
    if (int(D().native.size()) >= m_capacity)
        return;
    D().native.resize(m_capacity, MEAS_NO_VALUE);
    D().converted.resize(m_capacity, MEAS_NO_VALUE);
    D().sorted.resize(m_capacity, 0);
}

void CMeasSeries1::EnsureValid()
{
    if (!D().sumsValid)
        Recalculate();
}

float CMeasSeries1::NativeOf(uint32_t word) const
{
    return PlainValue(word) + m_correction.Correct(SPackedReading{word});
}

void CMeasSeries1::Recalculate()
{
    ClearCursor();
    AllocateDerivedArrays();
    const uint32_t* set = ActiveSet();
    int valued = 0;
    int stat = 0;
    int below = 0;
    float shift = 0.0f;
    float sum = 0.0f;
    float sumSquares = 0.0f;
    bool haveShift = false;
    {
        CConvTable::Guard lock(Table());
        const bool haveRecord = m_recordIndex >= 0 && Table().SelectRecord(m_recordIndex);
        const float minX = haveRecord ? Table().GetMinX() : 0.0f;
        const float maxX = haveRecord ? Table().GetMaxX() : 0.0f;
        D().falling = haveRecord && Table().Convert(minX, false) > Table().Convert(maxX, false);
        for (int i = 0; i < m_count; ++i)
        {
            const uint32_t word = set[i];
            if (!HasValue(word))
            {
                D().native[i] = D().converted[i] = MEAS_NO_VALUE;
                continue;
            }
            const float native = NativeOf(word);
            D().native[i] = native;
            const bool excluded = IsExcluded(word);
            if (!excluded)
                ++valued;
            float x = native;
            if (haveRecord)
            {
                if (native < minX)
                {
                    D().converted[i] = MEAS_BELOW_RANGE;
                    if (!excluded)
                        ++below;
                    continue;
                }
                if (native > maxX)
                {
                    D().converted[i] = MEAS_ABOVE_RANGE;
                    continue;
                }
                x = Table().Convert(native, false);
            }
            const float value = RoundToResolution(x, m_resolution);
            D().converted[i] = value;
            if (!haveShift)
            {
                shift = value;
                haveShift = true;
            }
            if (!excluded)
            {
                ++stat;
                const float d = value - shift;
                sum += d;
                sumSquares += d * d;
            }
        }
    }
    D().valuedCount = valued;
    D().statCount = stat;
    D().belowCount = below;
    D().shift = shift;
    D().sum = sum;
    D().sumSquares = sumSquares;
    ClearCaches();
    if (!D().sortedValid)
        BuildSortedIndex();
    D().sortedValid = true;
    D().sumsValid = true;
}

void CMeasSeries1::BuildSortedIndex()
{
    // Ties may fall in any order, so a plain sort of (value, index) keys serves.
    const uint32_t* set = ActiveSet();
    std::vector<uint64_t> keys;
    keys.reserve(m_count);
    for (int i = 0; i < m_count; ++i)
    {
        const uint32_t word = set[i];
        if (HasValue(word) && !IsExcluded(word))
            keys.push_back(uint64_t(OrderedBits(D().native[i])) << 32 | uint32_t(i));
    }
    std::sort(keys.begin(), keys.end());
    for (size_t k = 0; k < keys.size(); ++k)
        D().sorted[k] = uint16_t(keys[k] & 0xFFFFu);
    D().sortedCount = int(keys.size());
}

void CMeasSeries1::SortedInsert(int raw)
{
    const float native = D().native[raw];
    auto begin = D().sorted.begin();
    auto end = begin + D().sortedCount;
    auto at = std::upper_bound(begin, end, native, [this](float v, uint16_t e) { return v < D().native[e]; });
    std::move_backward(at, end, end + 1);
    *at = uint16_t(raw);
    ++D().sortedCount;
}

void CMeasSeries1::SortedRemove(int raw)
{
    auto begin = D().sorted.begin();
    auto end = begin + D().sortedCount;
    auto at = std::find(begin, end, uint16_t(raw));
    if (at == end)
        return;
    std::move(at + 1, end, at);
    --D().sortedCount;
}

void CMeasSeries1::SortedShiftDown(int raw)
{
    for (int k = 0; k < D().sortedCount; ++k)
        if (D().sorted[k] > raw)
            --D().sorted[k];
}

int CMeasSeries1::ReadingClass(int raw) const
{
    if (IsExcluded(ActiveSet()[raw]))
        return 2;
    const float value = D().converted[raw];
    return IsRangeSentinel(value) ? 4 : 1;
}

int CMeasSeries1::ResolveIndex(int index, int mask)
{
    if (mask == 7)
    {
        D().cursorFiltered = D().cursorRaw = index;
        D().cursorMask = 7;
        return index;
    }
    EnsureValid();
    if (index < 0)
    {
        ClearCursor();
        return -1;
    }
    int filtered = -1;
    int raw = -1;
    if (mask == D().cursorMask && D().cursorRaw >= 0 && D().cursorRaw < m_count)
    {
        filtered = D().cursorFiltered;
        raw = D().cursorRaw;
        if (index == filtered)
            return raw;
    }
    if (index > filtered)
    {
        while (++raw < m_count)
        {
            if ((ReadingClass(raw) & mask) && ++filtered == index)
            {
                D().cursorFiltered = filtered;
                D().cursorMask = mask;
                D().cursorRaw = raw;
                return raw;
            }
        }
    }
    else
    {
        while (--raw >= 0)
        {
            if ((ReadingClass(raw) & mask) && --filtered == index)
            {
                D().cursorFiltered = filtered;
                D().cursorMask = mask;
                D().cursorRaw = raw;
                return raw;
            }
        }
    }
    ClearCursor();
    return -1;
}

int CMeasSeries1::ResolveExisting(int index, int mask)
{
    const int raw = ResolveIndex(index, mask);
    return raw >= 0 && raw < m_count ? raw : -1;
}

// ---------------------------------------------------------------------------------------
// Readings

int CMeasSeries1::AddReading(float value1, float value2, int angle, int fineAngle)
{
    ClearCursor();
    if (m_capacity <= 0)
        return -1;
    if (m_count >= m_capacity && !GrowForAppend())
    {
        DeleteReading(0, 7);
        if (m_count >= m_capacity)
            return -1;
    }
    const int i = m_count;
    Set1()[i] = Encode(value1, angle, fineAngle);
    Set2()[i] = Encode(value2, angle, fineAngle);
    FreeAttachment(i);
    ++m_count;
    MarkModified();
    ClearCaches();
    // Without the derived arrays nothing derived is valid: the next use derives it all.
    if (!HasDerivedArrays())
        return i;

    const uint32_t word = ActiveSet()[i];
    if (!HasValue(word))
    {
        D().native[i] = D().converted[i] = MEAS_NO_VALUE;
        return i;
    }
    const float native = NativeOf(word);
    D().native[i] = native;
    const bool excluded = IsExcluded(word);
    if (D().sortedValid && !excluded)
        SortedInsert(i);
    if (!D().sumsValid)
        return i;

    float x = native;
    {
        CConvTable::Guard lock(Table());
        const bool haveRecord = m_recordIndex >= 0 && Table().SelectRecord(m_recordIndex);
        if (haveRecord)
        {
            const float minX = Table().GetMinX();
            const float maxX = Table().GetMaxX();
            if (native < minX || native > maxX)
            {
                D().converted[i] = native < minX ? MEAS_BELOW_RANGE : MEAS_ABOVE_RANGE;
                if (!excluded)
                {
                    ++D().valuedCount;
                    if (native < minX)
                        ++D().belowCount;
                }
                return i;
            }
            x = Table().Convert(native, false);
        }
    }
    const float value = RoundToResolution(x, m_resolution);
    D().converted[i] = value;
    if (!excluded)
    {
        ++D().valuedCount;
        if (D().statCount == 0)
        {
            D().shift = value;
            D().sum = D().sumSquares = 0.0f;
        }
        ++D().statCount;
        const float d = value - D().shift;
        D().sum += d;
        D().sumSquares += d * d;
    }
    return i;
}

int CMeasSeries1::SetReading(int index, float value1, float value2, int angle, int fineAngle, int mask)
{
    ClearCursor();
    const int raw = ResolveIndex(index, mask);
    if (raw < 0 || raw >= m_capacity)
        return -1;
    if (raw >= m_count)
    {
        for (int i = m_count; i < raw; ++i)
        {
            Set1()[i] = Set2()[i] = 0xFFFFFFFFu;
            if (HasDerivedArrays())
                D().native[i] = D().converted[i] = MEAS_NO_VALUE;
            FreeAttachment(i);
        }
        FreeAttachment(raw);
        m_count = raw + 1;
    }
    else if (D().sortedValid)
    {
        const uint32_t old = ActiveSet()[raw];
        if (HasValue(old) && !IsExcluded(old))
            SortedRemove(raw);
    }
    Set1()[raw] = Encode(value1, angle, fineAngle);
    Set2()[raw] = Encode(value2, angle, fineAngle);
    const uint32_t word = ActiveSet()[raw];
    if (HasDerivedArrays())
    {
        D().native[raw] = HasValue(word) ? NativeOf(word) : MEAS_NO_VALUE;
        D().converted[raw] = MEAS_NO_VALUE;
    }
    if (D().sortedValid && HasValue(word) && !IsExcluded(word))
        SortedInsert(raw);
    Invalidate(true, false);
    MarkModified();
    return raw;
}

bool CMeasSeries1::ExcludeReading(int index, int mask)
{
    ClearCursor();
    const int raw = ResolveExisting(index, mask);
    if (raw < 0)
        return false;
    const uint32_t word = ActiveSet()[raw];
    if (IsExcluded(word))
        return false;
    SetExcluded(Set1()[raw]);
    SetExcluded(Set2()[raw]);
    if (D().sortedValid && HasValue(word))
        SortedRemove(raw);
    Invalidate(true, false);
    MarkModified();
    return HasValue(word);
}

bool CMeasSeries1::IncludeReading(int index, int mask)
{
    ClearCursor();
    const int raw = ResolveExisting(index, mask);
    if (raw < 0)
        return false;
    const uint32_t word = ActiveSet()[raw];
    if (!IsExcluded(word))
        return false;
    ClearExcluded(Set1()[raw]);
    ClearExcluded(Set2()[raw]);
    if (D().sortedValid && HasValue(word))
        SortedInsert(raw);
    Invalidate(true, false);
    MarkModified();
    return HasValue(word);
}

bool CMeasSeries1::IsReadingExcluded(int index, int mask)
{
    const int raw = ResolveExisting(index, mask);
    if (raw < 0)
        return true;
    return IsExcluded(ActiveSet()[raw]);
}

bool CMeasSeries1::RemoveLastReading()
{
    if (m_count <= 0)
        return false;
    return DeleteReading(m_count - 1, 7);
}

bool CMeasSeries1::DeleteReading(int index, int mask)
{
    ClearCursor();
    const int raw = ResolveExisting(index, mask);
    if (raw < 0)
        return false;
    if (D().sortedValid)
    {
        const uint32_t word = ActiveSet()[raw];
        if (HasValue(word) && !IsExcluded(word))
            SortedRemove(raw);
        SortedShiftDown(raw);
    }
    FreeAttachment(raw);
    const int n = m_count;
    std::move(Set1() + raw + 1, Set1() + n, Set1() + raw);
    std::move(Set2() + raw + 1, Set2() + n, Set2() + raw);
    if (HasDerivedArrays())
    {
        std::move(D().native.begin() + raw + 1, D().native.begin() + n, D().native.begin() + raw);
        std::move(D().converted.begin() + raw + 1, D().converted.begin() + n, D().converted.begin() + raw);
    }
    if (!m_attachments.empty())
    {
        std::move(m_attachments.begin() + raw + 1, m_attachments.begin() + n, m_attachments.begin() + raw);
        m_attachments[n - 1].reset();
    }
    Set1()[n - 1] = Set2()[n - 1] = 0;
    m_count = n - 1;
    if (m_highestAttachment > raw)
        --m_highestAttachment;
    if (m_highestAttachment >= m_count)
        m_highestAttachment = m_count - 1;
    Invalidate(true, false);
    MarkModified();
    return true;
}

float CMeasSeries1::GetValue(int rawIndex)
{
    EnsureValid();
    if (rawIndex < 0 || rawIndex >= m_count)
        return MEAS_NO_VALUE;
    return D().converted[rawIndex];
}

float CMeasSeries1::GetReading(int index, int* angle, int* fineAngle, int mask)
{
    if (angle)
        *angle = 0;
    if (fineAngle)
        *fineAngle = 0;
    const int raw = ResolveExisting(index, mask);
    if (raw < 0)
        return MEAS_NO_VALUE;
    // The raw mask skips the refresh in ResolveIndex; a stale value must not leak out.
    EnsureValid();
    int fine = 0;
    const int direction = Direction(ActiveSet()[raw], &fine);
    if (angle)
        *angle = direction;
    if (fineAngle)
        *fineAngle = fine;
    return D().converted[raw];
}

float CMeasSeries1::GetNativeValue(int index, int mask)
{
    const int raw = ResolveExisting(index, mask);
    if (raw < 0)
        return MEAS_NO_VALUE;
    const uint32_t word = ActiveSet()[raw];
    if (!HasValue(word))
        return MEAS_NO_VALUE;
    return D().sumsValid ? D().native[raw] : NativeOf(word);
}

bool CMeasSeries1::SetReadingDirection(int index, int angle, int mask)
{
    ClearCursor();
    const int raw = ResolveExisting(index, mask);
    if (raw < 0)
        return false;
    uint32_t word1 = Set1()[raw];
    uint32_t word2 = Set2()[raw];
    int fine1 = 0;
    int fine2 = 0;
    const int direction1 = Direction(word1, &fine1);
    const int direction2 = Direction(word2, &fine2);
    if (direction1 == angle && direction2 == angle)
        return true;
    if ((direction1 == 360 && fine1 == 360) || (direction2 == 360 && fine2 == 360))
        return false;
    if (!SetDirection(word1, angle) || !SetDirection(word2, angle))
        return false;
    Set1()[raw] = word1;
    Set2()[raw] = word2;
    Invalidate(true, true);
    MarkModified();
    return true;
}

bool CMeasSeries1::RestoreReadingDirection(int index, int mask)
{
    ClearCursor();
    const int raw = ResolveExisting(index, mask);
    if (raw < 0)
        return false;
    RestoreDirection(ActiveSet()[raw]);
    Invalidate(true, true);
    MarkModified();
    return true;
}

int CMeasSeries1::GetFirstDirection()
{
    return m_correction.NextDirection(true);
}

int CMeasSeries1::GetNextDirection()
{
    return m_correction.NextDirection(false);
}

int CMeasSeries1::GetCount(int mask)
{
    if ((mask & 7) == 7)
        return m_count;
    EnsureValid();
    int count = 0;
    if (mask & 1)
        count += D().statCount;
    if (mask & 2)
        count += m_count - D().valuedCount;
    if (mask & 4)
        count += D().valuedCount - D().statCount;
    return count;
}

// ---------------------------------------------------------------------------------------
// Other properties

bool CMeasSeries1::SetDateTime(uint32_t dosDateTime, bool force)
{
    if (!m_new && !force)
        return false;
    if (m_dateTime != dosDateTime)
    {
        m_dateTime = dosDateTime;
        MarkModified();
    }
    return true;
}

bool CMeasSeries1::SetDeviceSerial(const SPackedSerial* serial)
{
    if (!m_new)
        return false;
    SPackedSerial value{};
    if (serial)
        value = *serial;
    if (!(value == m_deviceSerial))
    {
        m_deviceSerial = value;
        MarkModified();
    }
    return true;
}

bool CMeasSeries1::SetComment(const QString& text)
{
    const QString stored = text.left(MEAS_MAX_COMMENT);
    if (stored != Comment())
    {
        SetCommentText(stored);
        MarkModified();
    }
    return true;
}

int CMeasSeries1::GetComment(char16_t* buffer, int size) const
{
    if (!buffer || size <= 0)
        return 0;
    const QString& comment = Comment();
    const int count = std::min(int(comment.size()), size - 1);
    std::memcpy(buffer, comment.utf16(), sizeof(char16_t) * count);
    buffer[count] = 0;
    return count;
}

bool CMeasSeries1::SetAttachment(int index, const uint8_t* bytes, int size, int mask)
{
    const int raw = ResolveExisting(index, mask);
    if (raw < 0 || !bytes || size < 1 || size > MEAS_MAX_ATTACHMENT)
        return false;
    std::unique_ptr<uint8_t[]>* slot = AttachmentSlot(raw);
    if (!slot)
        return false;
    std::unique_ptr<uint8_t[]>& block = *slot;
    if (!block || AttachmentLength(block.get()) < uint32_t(size))
    {
        block.reset(new (std::nothrow) uint8_t[size + 4]);
        if (!block)
            return false;
    }
    StoreAttachmentLength(block.get(), uint32_t(size));
    std::memcpy(block.get() + 4, bytes, size);
    m_highestAttachment = std::max(m_highestAttachment, raw);
    return true;
}

bool CMeasSeries1::DeleteAttachment(int index, int mask)
{
    const int raw = ResolveExisting(index, mask);
    if (raw < 0 || raw > m_highestAttachment || !AttachmentBlock(raw))
        return false;
    m_attachments[raw].reset();
    if (raw == m_highestAttachment)
        m_highestAttachment = raw - 1;
    return true;
}

int CMeasSeries1::GetAttachmentSize(int index, int mask)
{
    const int raw = ResolveExisting(index, mask);
    const uint8_t* block = AttachmentBlock(raw);
    return block ? int(AttachmentLength(block)) : 0;
}

int CMeasSeries1::GetAttachment(int index, uint8_t* buffer, int size, int mask)
{
    const int raw = ResolveExisting(index, mask);
    const uint8_t* block = AttachmentBlock(raw);
    if (!block)
        return 0;
    const int length = int(AttachmentLength(block));
    // Never more than the caller's buffer holds; a size of 0 asks only for the length.
    if (buffer && size > 0)
        std::memcpy(buffer, block + 4, std::min(length, size));
    return length;
}

// ---------------------------------------------------------------------------------------
// Names

bool CMeasSeries1::GetTargetScaleNames(QString& shortName, QString& longName, bool imperial) const
{
    return GetScaleNames(m_target.scale, shortName, longName, imperial);
}

bool CMeasSeries1::GetMaterialName(QString& name) const
{
    return GetMaterialGroupName(m_material.type, 0, -1, name, m_probe.IsBenchProbe());
}

bool CMeasSeries1::GetProbeName(QString& name) const
{
    return GetProbeLongName(m_probe.code, name);
}
