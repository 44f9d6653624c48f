#pragma once
#include <cstdint>

struct SProbeId;
struct SPackedReading;

// The correction added to a measured value before conversion: for a rebound probe it
// depends on the impact direction (the coefficients hold the corrections at 90 and 180
// degrees), for an indentation-tester probe on the diameter code. One object per series,
// re-targeted whenever the series' probe changes.
class CImpactCorrection
{
public:
    // Row value that only marks an indentation-tester probe.
    static constexpr int kBenchRow = 256;

    CImpactCorrection() = default;

    // False (and the object emptied) for a code of neither probe family.
    bool SetProbe(const SProbeId& probe);
    // The correction to add to value x measured at angle a (or with diameter code a).
    float GetCorrection(float x, int a) const;
    // The correction of a packed reading, from its direction and plain value.
    float Correct(const SPackedReading& reading) const;
    // The impact directions the probe supports, one per call (360 first when the probe
    // detects the direction itself); -1 at the end. The restart flag starts over.
    int NextDirection(bool restart);

    int GetProbeCode() const { return m_probeCode; }
    int GetMaxAngle() const { return m_maxAngle; }
    bool IsAutomaticCapable() const { return m_automatic; }

private:
    void Empty();

    // Small fields: every series of a project holds one.
    int m_probeCode = 0;
    int16_t m_row = -1;      // a coefficient row, kBenchRow, or -1
    int16_t m_maxAngle = 0;  // degrees, -1 for none
    int16_t m_cursor = -1;   // degrees, kAutomatic, or -1
    bool m_automatic = false;
};
