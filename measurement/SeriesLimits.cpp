#include "measurement/SeriesLimits.h"

#include "measurement/ConvEnumerator.h"
#include "measurement/ConvTable.h"

#include <algorithm>
#include <utility>

namespace
{
void Order(float& lower, float& upper)
{
    if (lower != MEAS_NO_VALUE && lower > upper)
        std::swap(lower, upper);
}

enum NScale
{
    scaleHB = 1,
    scaleHV = 2,
    scaleHRB = 3,
    scaleHRC = 4,
    scaleHS = 5,
    scaleMPa = 6,
    scaleHRA = 7,
};
} // namespace

int GetIntermediateScales(int targetScale, int scales[3])
{
    switch (targetScale)
    {
    case scaleHB:
        scales[0] = scaleHV;
        scales[1] = scaleMPa;
        return 2;
    case scaleHV:
        scales[0] = scaleHB;
        return 1;
    case scaleHRB:
    case scaleMPa:
        scales[0] = scaleHB;
        scales[1] = scaleHV;
        return 2;
    case scaleHRC:
        scales[0] = scaleHV;
        scales[1] = scaleHB;
        return 2;
    case scaleHS:
    case scaleHRA:
        scales[0] = scaleHRC;
        scales[1] = scaleHV;
        scales[2] = scaleHB;
        return 3;
    default:
        return 0;
    }
}

CSeriesLimits::CSeriesLimits(CConvTable& table) : m_table(&table)
{
}

bool CSeriesLimits::SelectKeepingPrevious(int recordIndex, int& previous)
{
    previous = m_table->GetCurrentSlot();
    if (m_table->SelectRecord(recordIndex))
        return true;
    RestoreSelection(previous);
    return false;
}

void CSeriesLimits::RestoreSelection(int previous)
{
    if (previous >= 0)
        m_table->SelectRecord(previous);
}

void CSeriesLimits::UpdateRange()
{
    float low = m_table->Convert(m_table->GetMinX(), false);
    float high = m_table->Convert(m_table->GetMaxX(), false);
    if (low > high)
        std::swap(low, high);
    m_rangeMin = low;
    m_rangeMax = high;
}

bool CSeriesLimits::Set(int recordIndex, float lower, float upper)
{
    SConvRecordInfo info;
    if (!m_table->GetRecordInfo(recordIndex, info))
        return false;
    int previous;
    if (!SelectKeepingPrevious(recordIndex, previous))
        return false;
    m_setProbe.SetFromRecord(info);
    m_setMaterial.SetFromRecord(info);
    m_setTarget.SetFromRecord(info);
    m_probe = m_setProbe;
    m_material = m_setMaterial;
    m_target = m_setTarget;

    Order(lower, upper);
    m_setLower = m_lower = lower;
    m_setUpper = m_upper = upper;

    float nativeLower = m_table->ConvertInverse(lower, true);
    float nativeUpper = m_table->ConvertInverse(upper, true);
    // A hardness below zero does not exist in the measured scale.
    if (nativeLower < 0.0f && nativeLower != MEAS_BELOW_RANGE)
        nativeLower = 0.0f;
    if (nativeUpper < 0.0f && nativeUpper != MEAS_BELOW_RANGE)
        nativeUpper = 0.0f;
    Order(nativeLower, nativeUpper);
    m_setNativeLower = m_nativeLower = nativeLower;
    m_setNativeUpper = m_nativeUpper = nativeUpper;

    UpdateRange();
    RestoreSelection(previous);
    return true;
}

bool CSeriesLimits::Rederive(int recordIndex, CConvEnumerator& enumerator)
{
    SConvRecordInfo info;
    if (!m_table->GetRecordInfo(recordIndex, info))
        return false;
    int previous;
    if (!SelectKeepingPrevious(recordIndex, previous))
        return false;
    const SProbeId probe(info);
    const SMaterial material(info);
    const STargetScale target(info);
    if (probe.IsEqual(m_probe) && target.IsEqual(m_target) && material.IsEqual(m_material))
    {
        RestoreSelection(previous);
        return true;
    }

    // Converts through the record at index (selected for the moment), then the new
    // record is selected again.
    auto through = [&](int index, float& a, float& b, bool inverse)
    {
        if (!m_table->SelectRecord(index))
        {
            a = b = MEAS_NO_VALUE;
        }
        else if (inverse)
        {
            a = m_table->ConvertInverse(a, true);
            b = m_table->ConvertInverse(b, true);
        }
        else
        {
            a = m_table->Convert(a, true);
            b = m_table->Convert(b, true);
        }
        m_table->SelectRecord(recordIndex);
    };

    SConvRecordInfo found;
    if (probe.IsEqual(m_setProbe) && material.IsEqual(m_setMaterial))
    {
        // Same probe and material: the measured limits hold as set.
        m_nativeLower = m_setNativeLower;
        m_nativeUpper = m_setNativeUpper;
        if (target.IsEqual(m_setTarget))
        {
            m_lower = m_setLower;
            m_upper = m_setUpper;
        }
        else
        {
            m_lower = m_table->Convert(m_nativeLower, true);
            m_upper = m_table->Convert(m_nativeUpper, true);
        }
    }
    else if (target.IsEqual(m_setTarget))
    {
        // Same target scale: the target limits hold as set.
        m_lower = m_setLower;
        m_upper = m_setUpper;
        m_nativeLower = m_table->ConvertInverse(m_lower, true);
        m_nativeUpper = m_table->ConvertInverse(m_upper, true);
    }
    else if (const int toSetTarget = enumerator.Find(found, probe, material, m_setTarget); toSetTarget >= 0)
    {
        float a = m_setLower;
        float b = m_setUpper;
        through(toSetTarget, a, b, true);
        m_nativeLower = a;
        m_nativeUpper = b;
        m_lower = m_table->Convert(a, true);
        m_upper = m_table->Convert(b, true);
    }
    else if (const int fromSetProbe = enumerator.Find(found, m_setProbe, m_setMaterial, target);
             fromSetProbe >= 0)
    {
        float a = m_setNativeLower;
        float b = m_setNativeUpper;
        through(fromSetProbe, a, b, false);
        m_lower = a;
        m_upper = b;
        m_nativeLower = m_table->ConvertInverse(a, true);
        m_nativeUpper = m_table->ConvertInverse(b, true);
    }
    else
    {
        bool carried = false;
        int scales[3];
        const int count = GetIntermediateScales(m_setTarget.scale, scales);
        for (int k = 0; k < count && !carried; ++k)
        {
            const STargetScale via(scales[k], 15, 0);
            const int first = enumerator.Find(found, m_setProbe, m_setMaterial, via);
            if (first < 0)
                continue;
            const int second = enumerator.Find(found, probe, material, via);
            if (second < 0)
                continue;
            float a = m_setNativeLower;
            float b = m_setNativeUpper;
            through(first, a, b, false);
            through(second, a, b, true);
            m_nativeLower = a;
            m_nativeUpper = b;
            m_lower = m_table->Convert(a, true);
            m_upper = m_table->Convert(b, true);
            carried = true;
        }
        if (!carried)
        {
            m_nativeLower = m_setNativeLower;
            m_nativeUpper = m_setNativeUpper;
            m_lower = m_table->Convert(m_nativeLower, true);
            m_upper = m_table->Convert(m_nativeUpper, true);
        }
    }

    Order(m_lower, m_upper);
    Order(m_nativeLower, m_nativeUpper);
    UpdateRange();
    m_probe = probe;
    m_target = target;
    m_material = material;
    RestoreSelection(previous);
    return true;
}
