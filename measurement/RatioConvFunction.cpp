#include "measurement/RatioConvFunction.h"

#include "platform/core/ByteOrder.h"

#include <cmath>
#include <cstring>

bool CRatioConvFunction::Load(const uint8_t* r, size_t available)
{
    m_numerator = -1;
    size_t offset = 0;
    if (r != nullptr && available >= 1 && r[0] == convRatio)
        offset = LoadHeader(r, available);
    if (offset == 0 || available < offset + 6)
    {
        ResetHeader();
        return false;
    }
    const float x0 = ReadLeFloat(r + offset);
    const int n = r[offset + 4] & 0x7F;
    const int d = r[offset + 5] & 0x1F;
    const size_t count = static_cast<size_t>(n + d + 1);
    if (!(x0 >= -m_probeMin && x0 <= 2.0f * m_probeMax) || count > kMaxCoefficients ||
        available < offset + 6 + 4 * count)
    {
        ResetHeader();
        return false;
    }
    m_x0 = x0;
    m_squareInput = (r[offset + 4] & 0x80) != 0;
    m_multiplyByInput = (r[offset + 5] & 0x20) != 0;
    m_squareResult = (r[offset + 5] & 0x40) != 0;
    m_rootResult = (r[offset + 5] & 0x80) != 0;
    for (size_t i = 0; i < count; ++i)
        m_c[i] = ReadLeFloat(r + offset + 6 + 4 * i);
    m_denominator = d;
    m_numerator = n;
    return true;
}

float CRatioConvFunction::GetMinX() const
{
    return IsLoaded() ? m_minX : 0.0f;
}

float CRatioConvFunction::GetMaxX() const
{
    return IsLoaded() ? m_maxX : 0.0f;
}

bool CRatioConvFunction::IsInRange(float x) const
{
    return IsLoaded() && CConvFunction::IsInRange(x);
}

float CRatioConvFunction::Evaluate(float x)
{
    if (!IsLoaded())
        return 0.0f;
    float b = x - m_x0;
    if (m_squareInput)
        b = b * b;
    const int n = m_numerator;
    float p = m_c[n];
    for (int i = n - 1; i >= 0; --i)
        p = p * b + m_c[i];
    float result = p;
    if (m_denominator > 0)
    {
        // Monic denominator; c[N] is its constant term as well as the numerator's.
        float q = 1.0f;
        for (int i = n + m_denominator - 1; i >= n; --i)
            q = q * b + m_c[i];
        if (std::fabs(q) > 1e-20f)
            result = p / q;
        else
            result = q * p >= 0.0f ? 1e15f : -1e15f;
    }
    if (m_multiplyByInput)
        result = result * x;
    const float floor = x * 1e-7f;
    if (result < floor)
        result = floor;
    if (m_squareResult)
        return result * result;
    if (m_rootResult)
        return std::sqrt(result);
    return result;
}

void CRatioConvFunction::GetInfo(SConvFunctionInfo& info) const
{
    info = SConvFunctionInfo();
    info.type = convRatio;
    info.minX = GetMinX();
    info.maxX = GetMaxX();
    info.degree1 = static_cast<int16_t>(m_numerator);
    info.degree2 = static_cast<int16_t>(IsLoaded() ? m_denominator : 0);
    info.flags = static_cast<uint16_t>((m_multiplyByInput ? 0x01 : 0) | (m_squareResult ? 0x02 : 0) |
                                       (m_rootResult ? 0x04 : 0) | (m_squareInput ? 0x80 : 0));
}

bool CRatioConvFunction::IsSameRecord(const uint8_t* r, size_t available) const
{
    if (!IsLoaded() || r == nullptr || available < 1 || r[0] != convRatio || !IsSameHeader(r, available))
        return false;
    const size_t offset = 16 + 2 * size_t(r[7]);
    if (available < offset + 6 || ReadLe32(r + offset) != std::bit_cast<uint32_t>(m_x0))
        return false;
    const uint8_t first = r[offset + 4];
    const uint8_t second = r[offset + 5];
    if ((first & 0x7F) != m_numerator || (second & 0x1F) != m_denominator ||
        ((first & 0x80) != 0) != m_squareInput || ((second & 0x20) != 0) != m_multiplyByInput ||
        ((second & 0x40) != 0) != m_squareResult || ((second & 0x80) != 0) != m_rootResult)
        return false;
    const size_t count = static_cast<size_t>(m_numerator + m_denominator + 1);
    if (available < offset + 6 + 4 * count)
        return false;
    for (size_t i = 0; i < count; ++i)
        if (ReadLe32(r + offset + 6 + 4 * i) != std::bit_cast<uint32_t>(m_c[i]))
            return false;
    return true;
}
