#include "measurement/ImpactCorrection.h"

#include "measurement/PackedReading.h"
#include "measurement/ProbeId.h"

#include <algorithm>

namespace
{

struct SCoefficientRow
{
    int code;
    float offset90;
    float slope90;
    float offset180;
    float slope180;
    int maxAngle;
    bool automatic;
};

const SCoefficientRow kCoefficients[] = {
    {0x101, -16.847094f, 0.0135604f, -38.36343f, 0.029247f, 180, true},
    {0x102, -11.9828f, 0.00805f, -34.67028f, 0.026976f, 180, true},
    {0x103, -18.2795f, 0.01253f, -47.9969f, 0.03212f, 180, true},
    {0x104, -11.9828f, 0.00805f, -34.67028f, 0.026976f, 180, true},
    {0x105, -21.41125f, 0.0162f, -44.2f, 0.0186f, 90, true},
    {0x106, -5.0f, 0.0f, -24.5f, 0.02f, 180, true},
    {0x107, -12.751f, 0.012f, -32.545f, 0.029f, 180, false},
    {0x108, -4.0f, 0.0f, -10.0f, 0.0f, 180, false},
    {0x10F, 0.0f, 0.0f, 0.0f, 0.0f, 0, false},
    {0, 0.0f, 0.0f, 0.0f, 0.0f, 0, false},
};

constexpr int kAutomatic = 360;

} // namespace

void CImpactCorrection::Empty()
{
    m_probeCode = 0;
    m_row = -1;
    m_maxAngle = -1;
    m_automatic = false;
}

bool CImpactCorrection::SetProbe(const SProbeId& probe)
{
    m_cursor = 0;
    const int code = probe.code & 0xFFFF;
    const int family = code >> 8;
    if (family == 0x01)
    {
        if (code != m_probeCode)
        {
            m_row = -1;
            m_maxAngle = -1;
            for (int i = 0; kCoefficients[i].code != 0; ++i)
            {
                if (kCoefficients[i].code == code)
                {
                    m_row = int16_t(i);
                    m_maxAngle = int16_t(kCoefficients[i].maxAngle);
                    break;
                }
            }
            m_probeCode = code;
        }
        m_automatic = m_row >= 0 && kCoefficients[m_row].automatic && probe.HasSerial() && probe.flags >= 0 &&
                      (probe.flags & 1) != 0;
        return true;
    }
    if (family == 0x02)
    {
        if (code != m_probeCode)
        {
            m_row = kBenchRow;
            m_maxAngle = -1;
            m_automatic = true;
            m_probeCode = code;
        }
        return true;
    }
    Empty();
    return false;
}

float CImpactCorrection::GetCorrection(float x, int a) const
{
    if (a <= 0 || m_probeCode == 0 || m_row < 0)
        return 0.0f;
    if (m_row == kBenchRow)
    {
        if (a < 3 || a > 30) // 31 means off
            return 0.0f;
        const float fa = static_cast<float>(a);
        return (fa * fa * 4.073696e-05f - fa * 0.002481379f + 0.04337154f) * (200.0f - x);
    }

    const SCoefficientRow& row = kCoefficients[m_row];
    const int e = std::min(a, int(m_maxAngle));
    const float v90 = row.offset90 + row.slope90 * x;
    const float v180 = row.offset180 + row.slope180 * x;
    if (e >= 180)
        return v180;
    if (e == 90)
        return v90;
    // Cubics through 0 at 0 degrees, V90 at 90 and V180 at 180 degrees.
    const float g = (v180 - v90) * 0.017453292f;
    const float fe = static_cast<float>(e);
    if (e < 90)
        return ((((g - v90 * 0.019444445f) * 0.00012345679f * fe) + (v90 * 0.027777778f - g) * 0.011111111f) *
                    fe +
                v90 * 0.0027777778f) *
               fe;
    const float l = static_cast<float>(e - 90);
    return ((g * -3.373328e-05f * l + g * -0.0010015632f) * l + g) * l + v90;
}

float CImpactCorrection::Correct(const SPackedReading& reading) const
{
    int fine = 0;
    const int direction = reading.GetDirection(&fine);
    const int angle = (direction == kAutomatic && fine >= 0) ? fine : direction;
    return GetCorrection(reading.GetPlainValue(), angle);
}

int CImpactCorrection::NextDirection(bool restart)
{
    if (restart)
    {
        if (m_probeCode == 0)
        {
            m_cursor = -1;
            return -1;
        }
        m_cursor = int16_t(m_automatic ? kAutomatic : 0);
    }
    if (m_cursor < 0)
        return -1;
    const int result = m_cursor;
    if (m_cursor == kAutomatic)
        m_cursor = m_maxAngle < 0 ? -1 : 0;
    else
        m_cursor = int16_t(m_cursor + 45 > m_maxAngle ? -1 : m_cursor + 45);
    return result;
}
