#include "measurement/IpolConvFunction.h"

#include "platform/core/ByteOrder.h"

#include <algorithm>
#include <cmath>

namespace
{

// Ratio of two neighbouring end slopes for the geometric extension beyond a table end,
// at most 10. A zero neighbour slope gives the cap instead of a division by zero.
float EndRatio(float outer, float inner)
{
    if (inner == 0.0f)
        return outer == 0.0f ? 1.0f : 10.0f;
    return std::min(outer / inner, 10.0f);
}

bool AllFinite(const std::vector<float>& v, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        if (!std::isfinite(v[i]))
            return false;
    return true;
}

template <class T> void Grow(std::vector<T>& v, size_t size)
{
    if (v.size() < size)
        v.resize(size);
}

} // namespace

bool CIpolConvFunction::Load(const uint8_t* r, size_t available)
{
    m_points = 0;
    size_t offset = 0;
    if (r != nullptr && available >= 1 && r[0] == convIpol)
        offset = LoadHeader(r, available);
    const int k = (offset != 0 && available > offset) ? r[offset] : 0;
    if (k < 2 || available < offset + 1 + 8 * size_t(k))
    {
        ResetHeader();
        return false;
    }

    const size_t n = static_cast<size_t>(k);
    Grow(m_x, n);
    Grow(m_y, n);
    Grow(m_b, n);
    Grow(m_c, n);
    Grow(m_d, n);
    Grow(m_left, n);
    Grow(m_right, n);
    Grow(m_slope, n + 3);
    for (size_t i = 0; i < n; ++i)
    {
        m_x[i] = ReadLeFloat(r + offset + 1 + 8 * i);
        m_y[i] = ReadLeFloat(r + offset + 5 + 8 * i);
    }
    // The segment search and the slopes need strictly rising, finite x.
    if (!AllFinite(m_x, n) || !AllFinite(m_y, n))
    {
        ResetHeader();
        return false;
    }
    for (size_t i = 1; i < n; ++i)
    {
        if (!(m_x[i] > m_x[i - 1]))
        {
            ResetHeader();
            return false;
        }
    }

    // m(i) lives at m_slope[i + 2], for i = -2 .. k.
    float* m = m_slope.data() + 2;
    const int last = k - 2; // index of the last segment
    for (int i = 0; i <= last; ++i)
        m[i] = (m_y[i + 1] - m_y[i]) / (m_x[i + 1] - m_x[i]);
    // A table of two points has one segment: it continues straight on both sides.
    const float r0 = k > 2 ? EndRatio(m[0], m[1]) : 1.0f;
    m[-1] = m[0] * r0;
    m[-2] = m[0] * r0 * r0;
    const float r1 = k > 2 ? EndRatio(m[last], m[last - 1]) : 1.0f;
    m[k - 1] = m[last] * r1;
    m[k] = m[last] * r1 * r1;

    for (int i = 0; i < k; ++i)
    {
        const float t = std::fabs(m[i - 1] - m[i - 2]);
        const float u = std::fabs(m[i + 1] - m[i]) + t;
        if (u > 1e-10f)
        {
            m_left[i] = m[i - 1] + (m[i] - m[i - 1]) * t / u;
            m_right[i] = m_left[i];
        }
        else
        {
            m_left[i] = m[i - 1];
            m_right[i] = m[i];
        }
    }
    for (int i = 0; i <= last; ++i)
    {
        const float h = m_x[i + 1] - m_x[i];
        m_b[i] = m_right[i];
        m_c[i] = (3.0f * m[i] - 2.0f * m_right[i] - m_left[i + 1]) / h;
        m_d[i] = (m_right[i] + m_left[i + 1] - 2.0f * m[i]) / (h * h);
    }
    // Extreme tables can overflow single precision on the way; such a table is refused
    // rather than evaluated into infinities.
    const size_t segments = static_cast<size_t>(k - 1);
    if (!AllFinite(m_b, segments) || !AllFinite(m_c, segments) || !AllFinite(m_d, segments))
    {
        ResetHeader();
        return false;
    }
    m_lastSegment = 0;
    m_points = k;
    return true;
}

float CIpolConvFunction::GetMinX() const
{
    return m_points > 0 ? m_minX : 0.0f;
}

float CIpolConvFunction::GetMaxX() const
{
    return m_points > 0 ? m_maxX : 0.0f;
}

bool CIpolConvFunction::IsInRange(float x) const
{
    return m_points > 0 && CConvFunction::IsInRange(x);
}

int CIpolConvFunction::FindSegment(float x)
{
    const int s = m_lastSegment;
    if (s <= m_points - 2 && m_x[s] <= x && x < m_x[s + 1])
        return s;
    // x[0] <= x < x[k-1] here, so the segment exists.
    const auto end = m_x.begin() + m_points;
    const int found = static_cast<int>(std::upper_bound(m_x.begin(), end, x) - m_x.begin()) - 1;
    m_lastSegment = found;
    return found;
}

float CIpolConvFunction::Evaluate(float x)
{
    const int k = m_points;
    if (k == 0)
        return 0.0f;
    if (std::isnan(x))
        return x;
    if (x < m_x[0])
    {
        const float y = m_y[0] - (m_x[0] - x) * m_right[0];
        const float floor = x * 1e-7f;
        return y < floor ? floor : y;
    }
    if (x >= m_x[k - 1])
    {
        const int s = k - 2;
        const float w = m_x[k - 1] - m_x[s];
        const float slope = (3.0f * m_d[s] * w + 2.0f * m_c[s]) * w + m_b[s];
        return m_y[k - 1] + slope * (x - m_x[k - 1]);
    }
    const int s = FindSegment(x);
    const float dx = x - m_x[s];
    return m_y[s] + ((m_d[s] * dx + m_c[s]) * dx + m_b[s]) * dx;
}

void CIpolConvFunction::GetInfo(SConvFunctionInfo& info) const
{
    info = SConvFunctionInfo();
    info.type = convIpol;
    info.minX = GetMinX();
    info.maxX = GetMaxX();
    info.degree1 = static_cast<int16_t>(m_points);
}

bool CIpolConvFunction::IsSameRecord(const uint8_t* r, size_t available) const
{
    if (m_points == 0 || r == nullptr || available < 1 || r[0] != convIpol || !IsSameHeader(r, available))
        return false;
    const size_t offset = 16 + 2 * size_t(r[7]);
    if (available < offset + 1 || r[offset] != m_points || available < offset + 1 + 8 * size_t(m_points))
        return false;
    for (int i = 0; i < m_points; ++i)
    {
        if (ReadLe32(r + offset + 1 + 8 * i) != std::bit_cast<uint32_t>(m_x[i]) ||
            ReadLe32(r + offset + 5 + 8 * i) != std::bit_cast<uint32_t>(m_y[i]))
            return false;
    }
    return true;
}
