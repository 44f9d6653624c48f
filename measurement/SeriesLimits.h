#pragma once
#include "measurement/Material.h"
#include "measurement/MeasValues.h"
#include "measurement/ProbeId.h"
#include "measurement/TargetScale.h"

class CConvTable;
class CConvEnumerator;

// A pair of tolerance limits kept in both the measured and the target scale. The pair
// remembers the probe, material and target scale it was set for, so that a change of
// conversion can carry the limits over (through the measured scale, the target scale or
// an intermediate scale) and a later change back gives the values as set.
// Every operation runs under the caller's conversion-table lock and selects the table's
// previous record again before it returns.
class CSeriesLimits
{
public:
    explicit CSeriesLimits(CConvTable& table);

    // Limits given in the target scale of the record.
    bool Set(int recordIndex, float lower, float upper);
    // Follows a change of the series' record; searches with the given enumerator.
    bool Rederive(int recordIndex, CConvEnumerator& enumerator);

    float GetLower() const { return m_lower; }
    float GetUpper() const { return m_upper; }
    float GetLowerNative() const { return m_nativeLower; }
    float GetUpperNative() const { return m_nativeUpper; }
    // The current record's input range converted, lowest first.
    float GetRangeMin() const { return m_rangeMin; }
    float GetRangeMax() const { return m_rangeMax; }
    const STargetScale& GetSetTargetScale() const { return m_setTarget; }

private:
    bool SelectKeepingPrevious(int recordIndex, int& previous);
    void RestoreSelection(int previous);
    void UpdateRange();

    CConvTable* m_table;
    SProbeId m_setProbe;
    SMaterial m_setMaterial;
    STargetScale m_setTarget;
    SProbeId m_probe;
    SMaterial m_material;
    STargetScale m_target;
    float m_setNativeLower = MEAS_NO_VALUE;
    float m_setNativeUpper = MEAS_NO_VALUE;
    float m_nativeLower = MEAS_NO_VALUE;
    float m_nativeUpper = MEAS_NO_VALUE;
    float m_setLower = MEAS_NO_VALUE;
    float m_setUpper = MEAS_NO_VALUE;
    float m_lower = MEAS_NO_VALUE;
    float m_upper = MEAS_NO_VALUE;
    float m_rangeMin = MEAS_BELOW_RANGE;
    float m_rangeMax = MEAS_ABOVE_RANGE;
};

// The scales through which limits set in a target scale are carried to another
// probe or material when no direct conversion exists, in the order they are tried.
int GetIntermediateScales(int targetScale, int scales[3]);
