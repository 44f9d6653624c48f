#include "measurement/ConvFunction.h"

#include "platform/core/ByteOrder.h"
#include "measurement/ScaleCodes.h"

#include <algorithm>
#include <cmath>
#include <cstring>

bool CConvFunction::IsInRange(float x) const
{
    return m_minX <= x && x <= m_maxX;
}

void CConvFunction::ResetHeader()
{
    m_source = 0;
    m_minX = 0.0f;
    m_maxX = 0.0f;
}

size_t CConvFunction::LoadHeader(const uint8_t* r, size_t available)
{
    if (r == nullptr || available < 8)
        return 0;
    const int matType = r[2] & 0x0F;
    if ((matType > 9 && matType != MAT_INDEPENDENT) || r[2] >= 128)
        return 0;
    const uint16_t source = ReadLe16(r + 3);
    const uint16_t target = ReadLe16(r + 5);
    if (!IsProbeCode(source) || !IsScaleCode(target))
        return 0;
    const int n = r[7];
    if (n > CONV_NAME_MAX || (n == 0 && matType == MAT_CUSTOM))
        return 0;
    const size_t data = 16 + 2 * size_t(n);
    if (available < data)
        return 0;
    const float pmin = GetProbeMin(source);
    const float pmax = GetProbeMax(source);
    const float lo = ReadLeFloat(r + 8 + 2 * n);
    const float hi = ReadLeFloat(r + 12 + 2 * n);
    const float span = (pmax - pmin) * 0.01f;
    if (!(lo >= pmin && hi <= pmax && hi - lo >= span))
        return 0;

    m_probeMin = pmin;
    m_probeMax = pmax;
    m_minSpan = span;
    m_minX = lo;
    m_maxX = hi;
    m_standard = (r[1] & 0x0F) == 0 ? 15 : (r[1] & 0x0F);
    m_revision = r[1] >> 4;
    m_matType = static_cast<uint8_t>(matType);
    m_matGroup = r[2] >> 4;
    m_source = source;
    m_target = target;
    std::fill(std::begin(m_name), std::end(m_name), u'\0');
    for (int i = 0; i < n; ++i)
        m_name[i] = ReadLe16(r + 8 + 2 * i);
    return data;
}

bool CConvFunction::IsSameHeader(const uint8_t* r, size_t available) const
{
    if (r == nullptr || available < 8)
        return false;
    const int n = r[7];
    if (n > CONV_NAME_MAX || available < 16 + 2 * size_t(n))
        return false;
    const uint8_t standard = (r[1] & 0x0F) == 0 ? 15 : (r[1] & 0x0F);
    if (ReadLe16(r + 3) != m_source || ReadLe16(r + 5) != m_target || (r[2] & 0x0F) != m_matType ||
        (r[2] >> 4) != m_matGroup || standard != m_standard || (r[1] >> 4) != m_revision)
        return false;
    if (ReadLe32(r + 8 + 2 * n) != std::bit_cast<uint32_t>(m_minX) ||
        ReadLe32(r + 12 + 2 * n) != std::bit_cast<uint32_t>(m_maxX))
        return false;
    for (int i = 0; i < CONV_NAME_MAX + 1; ++i)
    {
        const char16_t c = i < n ? ReadLe16(r + 8 + 2 * i) : u'\0';
        if (c != m_name[i])
            return false;
        if (c == 0)
            break;
    }
    return true;
}

float CConvFunction::EvaluateInverse(float y)
{
    float a = GetMinX();
    float b = GetMaxX();
    float fa = Evaluate(a) - y;
    float fb = Evaluate(b) - y;
    if (std::fabs(fa) < 0.001f)
        return a;
    if (std::fabs(fb) < 0.001f)
        return b;
    if (fa * fb > 0.0f)
        return 0.0f;
    float x = b;
    for (int round = 0; round < 25; ++round)
    {
        if (fb - fa == 0.0f)
            return b;
        const float m = (b - a) * fb / (fb - fa);
        x = b - m;
        if ((std::fabs(b) + 0.5f) * 1e-6f > std::fabs(m))
            return x;
        const float fx = Evaluate(x) - y;
        if (fx == 0.0f)
            return x;
        if (fx * fb < 0.0f)
        {
            a = b;
            fa = fb;
        }
        else
        {
            // Pegasus step: shrink the retained end's value so the interval keeps closing.
            fa = fa * fb / (fb + fx);
        }
        b = x;
        fb = fx;
    }
    return x;
}

bool CConvFunction::IsMonotonic(bool rising)
{
    const float lo = GetMinX();
    const float hi = GetMaxX();
    if (!(lo >= m_probeMin && hi <= m_probeMax && hi - lo >= m_minSpan))
        return false;
    constexpr int kSteps = 1000; // 0.1 % of the range
    const float step = (hi - lo) / kSteps;
    float previous = Evaluate(lo);
    for (int i = 1; i <= kSteps; ++i)
    {
        const float x = i == kSteps ? hi : lo + step * static_cast<float>(i);
        const float y = Evaluate(x);
        if (!(y >= 0.0f) || (rising ? !(y > previous) : !(y < previous)))
            return false;
        previous = y;
    }
    return true;
}
