// Settings of a series: probe, material, target scale and conversion, tolerance limits,
// the original settings and their restore, the settings record and custom conversions.
#include "measurement/MeasSeries1.h"

#include "measurement/ConvTable.h"
#include "measurement/Distributions.h"
#include "measurement/ScaleCodes.h"
#include "measurement/SeriesWords.h"

#include <algorithm>

using namespace SeriesWords;

namespace
{
// The step of a resolution byte as a whole number (1, 2 or 5 times a power of ten).
int32_t StepOf(uint8_t resolution)
{
    const int kind = (resolution >> 3) & 3;
    int32_t step = kind == 0 ? 0 : kind == 1 ? 1 : kind == 2 ? 2 : 5;
    for (int p = resolution >> 5; p > 0; --p)
        step *= 10;
    return step;
}

// Restores the table's selection when a query leaves.
class KeepSelection
{
public:
    explicit KeepSelection(CConvTable& table) : m_table(table), m_previous(table.GetCurrentSlot()) {}
    ~KeepSelection()
    {
        if (m_previous >= 0)
            m_table.SelectRecord(m_previous);
    }
    KeepSelection(const KeepSelection&) = delete;
    KeepSelection& operator=(const KeepSelection&) = delete;

private:
    CConvTable& m_table;
    int m_previous;
};
} // namespace

int CMeasSeries1::FindRecord(const SProbeId& probe, const SMaterial& material, const STargetScale& target)
{
    SConvRecordInfo info;
    return Enumerator().Find(info, probe, material, target);
}

void CMeasSeries1::EncodeLimitWords()
{
    m_lowerWord = Encode(Limits().GetLowerNative(), 0, -1);
    m_upperWord = Encode(Limits().GetUpperNative(), 0, -1);
}

void CMeasSeries1::EncodeSecondLimitWords()
{
    m_secondLowerWord = Encode(SecondLimits().GetLowerNative(), 0, -1);
    m_secondUpperWord = Encode(SecondLimits().GetUpperNative(), 0, -1);
}

void CMeasSeries1::ResetSettings()
{
    // The record and the words change below: pending limits are set from them first.
    MaterializeLimits();
    SeparateKeptBlock();
    m_count = 0;
    if (m_derived)
    {
        SDerived& d = *m_derived;
        d.valuedCount = d.statCount = d.belowCount = d.sortedCount = 0;
    }
    m_deviceSerial = SPackedSerial{};
    m_probe.Clear();
    m_dateTime = 0xFFFFFFFF;
    {
        CConvTable::Guard lock(Table());
        SConvRecordInfo info;
        if (Enumerator().Find(info, m_probe, SMaterial(), STargetScale()) >= 0)
        {
            m_material.SetFromRecord(info);
            m_target.SetFromRecord(info);
        }
        else
        {
            m_material.Clear();
            m_target.Clear();
        }
        m_recordIndex = FindRecord(m_probe, m_material, m_target);
        Limits().Set(m_recordIndex, MEAS_NO_VALUE, MEAS_NO_VALUE);
        EncodeLimitWords();
        float minX = 0.0f;
        float maxX = 0.0f;
        if (Table().SelectRecord(m_recordIndex))
        {
            minX = Table().GetMinX();
            maxX = Table().GetMaxX();
        }
        SecondLimits().Set(m_recordIndex, minX, maxX);
        EncodeSecondLimitWords();
    }
    m_correction.SetProbe(m_probe);
    m_useSet2 = false;
    m_resolution = 8;
    m_statMode = 0;
    m_confidence = 4500;
    m_z = NormalUpperQuantile(0.05f);
    m_orig.probe = m_probe;
    m_orig.material = m_material;
    m_orig.target = m_target;
    m_orig.lowerWord = m_lowerWord;
    m_orig.upperWord = m_upperWord;
    m_orig.secondLowerWord = m_secondLowerWord;
    m_orig.secondUpperWord = m_secondUpperWord;
    m_orig.resolution = m_resolution;
    m_orig.statMode = m_statMode;
    m_orig.confidence = m_confidence;
    Invalidate(true, true);
    MarkModified();
}

bool CMeasSeries1::SetProbeId(const SProbeId& probe)
{
    // The record and the words change below: pending limits are set from them first.
    MaterializeLimits();
    if (probe.IsEqual(m_probe))
        return true;
    if (!m_new && !probe.IsBenchProbe() && !m_probe.IsBenchProbe() && !probe.IsCompatible(m_probe, true))
        return false;
    if (probe.code == m_probe.code)
    {
        m_probe = probe;
        if (m_new)
            m_orig.probe = probe;
        // Another serial or flags value can change automatic direction detection.
        m_correction.SetProbe(m_probe);
        Invalidate(true, true);
        return true;
    }
    if (m_count > 0 && !probe.IsCompatible(m_probe, true))
        return false;

    STargetScale target = m_target;
    int index;
    {
        CConvTable::Guard lock(Table());
        SConvRecordInfo info;
        index = Enumerator().Find(info, probe, m_material, m_target);
        if (index < 0)
        {
            index =
                Enumerator().Find(info, probe, SMaterial(), STargetScale(probe.code, m_target.standard, 0));
            if (index < 0)
                index = Enumerator().Find(info, probe, SMaterial(), STargetScale(probe.code, 1, 0));
            if (index < 0)
                return false;
            target.SetFromRecord(info);
        }
        SelectActiveSet(probe);
        Invalidate(true, true);
        DropKeptBlock();
        Limits().Rederive(index, Enumerator());
        SecondLimits().Rederive(index, Enumerator());
        m_recordIndex = index;
    }
    m_target = target;
    m_probe = probe;
    m_correction.SetProbe(m_probe);
    if (m_new)
    {
        m_orig.probe = probe;
        m_orig.target = target;
    }
    return true;
}

bool CMeasSeries1::SetConversion(const STargetScale& target, const SMaterial& material)
{
    CConvTable::Guard lock(Table());
    const int index = FindRecord(m_probe, material, target);
    if (index < 0)
    {
        // Nothing changes: the series keeps no more than it held before.
        DropIdleEnumerator();
        return false;
    }
    // The record and the words change below: pending limits are set from them first.
    MaterializeLimits();
    const bool changed = !target.IsEqual(m_target) || !material.IsEqual(m_material);
    m_target = target;
    m_material = material;
    Table().SelectRecord(index);
    m_recordIndex = index;
    Invalidate(true, false);
    DropKeptBlock();
    Limits().Rederive(index, Enumerator());
    SecondLimits().Rederive(index, Enumerator());

    // Keep the second pair inside what the new scale can show.
    float lower = SecondLimits().GetLower();
    float upper = SecondLimits().GetUpper();
    if (lower != upper)
    {
        if (lower != MEAS_NO_VALUE && lower < 0.0f)
        {
            SecondLimits().Set(index, 0.0f, upper);
            lower = SecondLimits().GetLower();
            upper = SecondLimits().GetUpper();
        }
        Table().SelectRecord(index);
        const float largest =
            std::max(Table().Convert(Table().GetMinX(), false), Table().Convert(Table().GetMaxX(), false));
        if (upper > largest)
            SecondLimits().Set(index, lower, 1.1f * largest);
    }
    if (m_new)
    {
        m_orig.target = target;
        m_orig.material = material;
    }
    if (changed)
        MarkModified();
    return true;
}

bool CMeasSeries1::SetLimits(float lower, float upper, int recordIndex)
{
    if (lower != MEAS_NO_VALUE && upper != MEAS_NO_VALUE && lower > upper)
        return false;
    CConvTable::Guard lock(Table());
    const int index = recordIndex == -1 ? m_recordIndex : recordIndex;
    {
        KeepSelection keep(Table());
        if (Table().SelectRecord(index))
        {
            const float a = Table().Convert(Table().GetMinX(), false);
            const float b = Table().Convert(Table().GetMaxX(), false);
            const float low = std::min(a, b);
            const float high = std::max(a, b);
            // A limit that rounds to a range end is that end, so that it stays usable.
            auto snap = [&](float& limit)
            {
                if (limit == MEAS_NO_VALUE)
                    return;
                const float rounded = RoundToResolution(limit, m_resolution);
                if (limit < low && rounded == RoundToResolution(low, m_resolution))
                    limit = low;
                else if (limit > high && rounded == RoundToResolution(high, m_resolution))
                    limit = high;
            };
            snap(lower);
            snap(upper);
        }
    }
    if (!Limits().Set(index, lower, upper))
        return false;
    DropKeptBlock();
    EncodeLimitWords();
    if (m_new)
    {
        m_orig.lowerWord = m_lowerWord;
        m_orig.upperWord = m_upperWord;
    }
    ClearCaches();
    MarkModified();
    return true;
}

int CMeasSeries1::SetSecondLimits(float& lower, float& upper, int recordIndex)
{
    // An unset lower limit counts as the large no-value sentinel here.
    if (lower > upper)
        return recordIndex;
    CConvTable::Guard lock(Table());
    const int index = recordIndex == -1 ? m_recordIndex : recordIndex;
    int result = recordIndex;
    if (lower == MEAS_NO_VALUE || upper == MEAS_NO_VALUE)
    {
        KeepSelection keep(Table());
        if (Table().SelectRecord(index))
        {
            if (lower == MEAS_NO_VALUE)
                lower = Table().Convert(Table().GetMinX(), false);
            if (upper == MEAS_NO_VALUE)
                upper = Table().Convert(Table().GetMaxX(), false);
            result = index;
        }
    }
    if (SecondLimits().Set(index, lower, upper))
    {
        DropKeptBlock();
        EncodeSecondLimitWords();
        if (m_new)
        {
            m_orig.secondLowerWord = m_secondLowerWord;
            m_orig.secondUpperWord = m_secondUpperWord;
        }
        MarkModified();
    }
    return result;
}

bool CMeasSeries1::GetLimitScale(int* scale) const
{
    const int set = Limits().GetSetTargetScale().scale;
    if (scale)
        *scale = set;
    return set == m_target.scale;
}

bool CMeasSeries1::SetResolution(int decimals, int step)
{
    if (decimals < 0 || decimals > 6)
        return false;
    uint8_t resolution = uint8_t(decimals);
    for (int power = 0;;)
    {
        if (step == 1 || step == 2 || step == 5)
            resolution = uint8_t(decimals | (step == 5 ? 3 : step) << 3 | power << 5);
        else if (step < 10)
            return false;
        step /= 10;
        if (step == 0 || ++power > 4)
            break;
    }
    if (resolution == m_resolution)
        return true;
    m_resolution = resolution;
    if (m_new)
    {
        SeparateKeptBlock();
        m_orig.resolution = resolution;
    }
    Invalidate(true, true);
    MarkModified();
    return true;
}

bool CMeasSeries1::GetConvSourceRange(float& minimum, float& maximum)
{
    minimum = maximum = 0.0f;
    if (m_recordIndex < 0)
        return false;
    CConvTable::Guard lock(Table());
    KeepSelection keep(Table());
    if (!Table().SelectRecord(m_recordIndex))
        return false;
    minimum = Table().GetMinX();
    maximum = Table().GetMaxX();
    return true;
}

bool CMeasSeries1::GetConvTargetRange(float& minimum, float& maximum, bool ordered)
{
    minimum = maximum = 0.0f;
    if (m_recordIndex < 0)
        return false;
    CConvTable::Guard lock(Table());
    KeepSelection keep(Table());
    if (!Table().SelectRecord(m_recordIndex))
        return false;
    minimum = Table().Convert(Table().GetMinX(), false);
    maximum = Table().Convert(Table().GetMaxX(), false);
    const bool falling = minimum > maximum;
    if (ordered && falling)
        std::swap(minimum, maximum);
    return falling;
}

bool CMeasSeries1::AreAllIncluded() const
{
    if (m_new)
        return true;
    const uint32_t* set = ActiveSet();
    return std::none_of(set, set + m_count, [](uint32_t w) { return IsExcluded(w); });
}

bool CMeasSeries1::IsUnchanged(bool ignoreSecondLimits) const
{
    if (m_new)
        return true;
    const uint32_t* set = ActiveSet();
    for (int i = 0; i < m_count; ++i)
        if (Direction(set[i], nullptr) != OriginalDirection(set[i]))
            return false;
    if (!m_probe.IsEqual(m_orig.probe) || !m_material.IsEqual(m_orig.material) ||
        !m_target.IsEqual(m_orig.target))
        return false;
    if (Decode(m_lowerWord) != Decode(m_orig.lowerWord) || Decode(m_upperWord) != Decode(m_orig.upperWord))
        return false;
    if (!ignoreSecondLimits && (Decode(m_secondLowerWord) != Decode(m_orig.secondLowerWord) ||
                                Decode(m_secondUpperWord) != Decode(m_orig.secondUpperWord)))
        return false;
    return true;
}

bool CMeasSeries1::GetSettings(SSeriesSettings& settings)
{
    settings.dateTime = m_dateTime;
    settings.deviceSerial = m_deviceSerial;
    settings.probeId = m_probe;
    settings.material = m_material;
    settings.targetScale = m_target;
    auto shown = [this](float limit)
    {
        switch (ClassifyLimit(limit))
        {
        case limitBelow:
            return MEAS_BELOW_RANGE;
        case limitAbove:
            return MEAS_ABOVE_RANGE;
        default:
            return limit;
        }
    };
    settings.lowerLimit = shown(Limits().GetLower());
    settings.upperLimit = shown(Limits().GetUpper());
    settings.secondLowerLimit = SecondLimits().GetLower();
    settings.secondUpperLimit = SecondLimits().GetUpper();
    settings.decimals = m_resolution & 7;
    settings.step = StepOf(m_resolution);
    settings.confidenceLevel = (m_confidence + 5000) * 0.01f;
    return true;
}

bool CMeasSeries1::GetOriginalSettings(SSeriesSettings& settings)
{
    settings.dateTime = m_dateTime;
    settings.deviceSerial = m_deviceSerial;
    settings.probeId = m_orig.probe;
    settings.material = m_orig.material;
    settings.targetScale = m_orig.target;
    {
        CConvTable::Guard lock(Table());
        int index = m_recordIndex;
        if (!m_orig.material.IsEqual(m_material) || !m_orig.target.IsEqual(m_target))
            index = FindRecord(m_probe, m_orig.material, m_orig.target);
        if (index >= 0 && Table().SelectRecord(index))
        {
            settings.lowerLimit = Table().Convert(Decode(m_orig.lowerWord), true);
            settings.upperLimit = Table().Convert(Decode(m_orig.upperWord), true);
            settings.secondLowerLimit = Table().Convert(Decode(m_orig.secondLowerWord), true);
            settings.secondUpperLimit = Table().Convert(Decode(m_orig.secondUpperWord), true);
            // A falling conversion turns the measured pair around.
            auto order = [](float& lower, float& upper)
            {
                if (lower != MEAS_NO_VALUE && upper != MEAS_NO_VALUE && lower > upper)
                    std::swap(lower, upper);
            };
            order(settings.lowerLimit, settings.upperLimit);
            order(settings.secondLowerLimit, settings.secondUpperLimit);
        }
        else
        {
            settings.lowerLimit = MEAS_NO_VALUE;
            settings.upperLimit = MEAS_NO_VALUE;
            settings.secondLowerLimit = 0.0f;
            settings.secondUpperLimit = 999.0f;
        }
        if (m_recordIndex >= 0)
            Table().SelectRecord(m_recordIndex);
    }
    settings.decimals = m_orig.resolution & 7;
    settings.step = StepOf(m_orig.resolution);
    settings.confidenceLevel = (m_orig.confidence + 5000) * 0.01f;
    return true;
}

bool CMeasSeries1::ApplySettings(const SSeriesSettings& settings)
{
    if (m_new)
    {
        if (m_count == 0 && settings.probeId.code > 0 && !SetProbeId(settings.probeId))
            return false;
        if (settings.dateTime != 0xFFFFFFFF && !SetDateTime(settings.dateTime, false))
            return false;
    }
    if (!SetConversion(settings.targetScale, settings.material))
        return false;
    if (!SetResolution(settings.decimals, settings.step))
        return false;
    if (!SetLimits(settings.lowerLimit, settings.upperLimit, -1))
        return false;
    SetConfidenceLevel(settings.confidenceLevel);
    return true;
}

bool CMeasSeries1::RestoreOriginalSettings()
{
    bool changed = false;
    uint32_t* set = ActiveSet();
    for (int i = 0; i < m_count; ++i)
    {
        if (Direction(set[i], nullptr) != OriginalDirection(set[i]))
            changed = true;
        RestoreDirection(set[i]);
    }
    if (m_count > 0)
        Invalidate(true, true);
    if (m_probe.IsBenchProbe() && m_orig.probe.IsBenchProbe() &&
        m_probe.IsB724Off() != m_orig.probe.IsB724Off())
    {
        m_probe = m_orig.probe;
        SelectActiveSet(m_probe);
        changed = true;
    }
    return RestoreSettingsTail(changed);
}

bool CMeasSeries1::RestoreOriginal()
{
    bool changed = false;
    const bool bothSets = m_probe.IsBenchProbe() || m_orig.probe.IsBenchProbe();
    for (uint32_t* set : {Set1(), Set2()})
    {
        if (set == Set2() && !bothSets)
            break;
        for (int i = 0; i < m_count; ++i)
        {
            uint32_t& word = set[i];
            if (IsExcluded(word))
            {
                ClearExcluded(word);
                changed = true;
            }
            if (Direction(word, nullptr) != OriginalDirection(word))
                changed = true;
            RestoreDirection(word);
        }
    }
    if (m_count > 0)
        Invalidate(true, true);
    if (!m_probe.IsEqual(m_orig.probe))
        changed = true;
    m_probe = m_orig.probe;
    SelectActiveSet(m_probe);
    return RestoreSettingsTail(changed);
}

bool CMeasSeries1::RestoreSettingsTail(bool changed)
{
    // The record and the words change below: pending limits are set from them first.
    MaterializeLimits();
    DropKeptBlock();
    if (!m_material.IsEqual(m_orig.material) || !m_target.IsEqual(m_orig.target))
        changed = true;
    m_material = m_orig.material;
    m_target = m_orig.target;
    {
        CConvTable::Guard lock(Table());
        if (!PrivateRecord().empty())
            Enumerator().SetPrivateRecord(PrivateRecord().data(), PrivateRecord().size());
        SConvRecordInfo info;
        int index = Enumerator().Find(info, m_probe, m_material, m_target);
        if (index < 0)
        {
            index = Enumerator().Find(info, m_probe, SMaterial(),
                                      STargetScale(m_target.scale, m_target.standard, 0));
            if (index < 0)
                return false;
            m_material.SetFromRecord(info);
            m_target.standard = info.standard & 0x0F;
            changed = true;
        }
        if (!Table().SelectRecord(index))
            return false;
        m_recordIndex = index;
        if (Decode(m_lowerWord) != Decode(m_orig.lowerWord) ||
            Decode(m_upperWord) != Decode(m_orig.upperWord) ||
            Decode(m_secondLowerWord) != Decode(m_orig.secondLowerWord) ||
            Decode(m_secondUpperWord) != Decode(m_orig.secondUpperWord))
            changed = true;
        m_lowerWord = m_orig.lowerWord;
        m_upperWord = m_orig.upperWord;
        m_secondLowerWord = m_orig.secondLowerWord;
        m_secondUpperWord = m_orig.secondUpperWord;
        const float lower = Table().Convert(Decode(m_lowerWord), true);
        const float upper = Table().Convert(Decode(m_upperWord), true);
        const float secondLower = Table().Convert(Decode(m_secondLowerWord), true);
        const float secondUpper = Table().Convert(Decode(m_secondUpperWord), true);
        Limits().Set(index, lower, upper);
        SecondLimits().Set(index, secondLower, secondUpper);
    }
    m_correction.SetProbe(m_probe);
    Invalidate(true, true);
    Recalculate();
    if (changed)
        MarkModified();
    return true;
}

// ---------------------------------------------------------------------------------------
// Custom conversions

bool CMeasSeries1::IsCustomConversion(bool original) const
{
    const CHeldMaterial& material = original ? m_orig.material : m_material;
    const STargetScale& target = original ? m_orig.target : m_target;
    return material.type == MAT_CUSTOM && target.scale != m_probe.code;
}

bool CMeasSeries1::RegisterCustomConversion(bool original)
{
    // The record and the words change below: pending limits are set from them first.
    MaterializeLimits();
    CHeldMaterial& material = original ? m_orig.material : m_material;
    if (material.type != MAT_CUSTOM)
        return false;
    CConvTable::Guard lock(Table());
    std::vector<uint8_t> record;
    if (original)
    {
        record = PrivateRecord();
    }
    else
    {
        size_t length = 0;
        const uint8_t* bytes = Table().GetRecord(m_recordIndex, length);
        if (bytes)
            record.assign(bytes, bytes + length);
    }
    if (record.empty())
        return false;
    int index = -1;
    QString name;
    size_t storedLength = 0;
    const uint8_t* stored = Table().AddDeviceRecord(record.data(), record.size(), index, name, storedLength);
    if (!name.isEmpty())
        material.SetCustom(name, 0);
    if (stored || !name.isEmpty())
    {
        // The series keeps its own copy of what the table now holds under that name.
        size_t length = 0;
        const uint8_t* bytes = Table().GetRecord(index, length);
        if (bytes)
        {
            if (original)
            {
                Rare().privateRecord.assign(bytes, bytes + length);
            }
            else
            {
                const std::vector<uint8_t> copy(bytes, bytes + length);
                const int slot = Enumerator().SetPrivateRecord(copy.data(), copy.size());
                if (slot >= 0)
                    m_recordIndex = slot;
            }
        }
    }
    return stored != nullptr;
}
