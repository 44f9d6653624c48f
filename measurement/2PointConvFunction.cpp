#include "measurement/2PointConvFunction.h"

#include "platform/core/ByteOrder.h"
#include "measurement/ScaleCodes.h"

#include <algorithm>

C2PointConvFunction::~C2PointConvFunction()
{
    DetachBase();
}

void C2PointConvFunction::DetachBase()
{
    if (m_ownsBase)
        delete m_base;
    m_base = nullptr;
    m_ownsBase = false;
}

void C2PointConvFunction::SetBase(CConvFunction* base, bool owned)
{
    if (base != m_base)
        DetachBase();
    m_base = base;
    m_ownsBase = owned && base != nullptr;
}

bool C2PointConvFunction::Load(const uint8_t* r, size_t available)
{
    DetachBase();
    size_t offset = 0;
    if (r != nullptr && available >= 1 && r[0] == conv2Point)
        offset = LoadHeader(r, available);
    if (offset == 0 || available < offset + 14)
    {
        ResetHeader();
        return false;
    }
    const uint16_t baseSource = ReadLe16(r + offset + 2);
    const uint16_t baseTarget = ReadLe16(r + offset + 4);
    if (!IsProbeCode(baseSource) || !IsScaleCode(baseTarget))
    {
        ResetHeader();
        return false;
    }
    m_baseStandard = r[offset] & 0x0F;
    m_baseMaterial = r[offset + 1];
    m_baseSource = baseSource;
    m_baseTarget = baseTarget;
    m_offset = ReadLeFloat(r + offset + 6);
    m_factor = ReadLeFloat(r + offset + 10);
    return true;
}

float C2PointConvFunction::GetMinX() const
{
    return m_base ? std::max(m_minX, m_base->GetMinX()) : 0.0f;
}

float C2PointConvFunction::GetMaxX() const
{
    return m_base ? std::min(m_maxX, m_base->GetMaxX()) : 0.0f;
}

float C2PointConvFunction::Evaluate(float x)
{
    if (m_base == nullptr)
        return 0.0f;
    return m_base->Evaluate(x) + m_offset + m_factor * x;
}

void C2PointConvFunction::GetInfo(SConvFunctionInfo& info) const
{
    info = SConvFunctionInfo();
    info.type = conv2Point;
    info.minX = GetMinX();
    info.maxX = GetMaxX();
    info.degree1 = m_factor != 0.0f ? 1 : 0;
}

bool C2PointConvFunction::IsSameRecord(const uint8_t* r, size_t available) const
{
    if (m_source == 0 || r == nullptr || available < 1 || r[0] != conv2Point || !IsSameHeader(r, available))
        return false;
    const size_t offset = 16 + 2 * size_t(r[7]);
    if (available < offset + 14)
        return false;
    return ReadLe32(r + offset + 6) == std::bit_cast<uint32_t>(m_offset) &&
           ReadLe32(r + offset + 10) == std::bit_cast<uint32_t>(m_factor) &&
           ReadLe16(r + offset + 2) == m_baseSource && ReadLe16(r + offset + 4) == m_baseTarget &&
           (r[offset] & 0x0F) == m_baseStandard && r[offset + 1] == m_baseMaterial;
}

void C2PointConvFunction::GetBaseRecordInfo(SConvRecordInfo& info) const
{
    info = SConvRecordInfo();
    info.source = m_baseSource;
    info.matType = m_baseMaterial & 0x0F;
    info.matGroup = m_baseMaterial >> 4;
    info.target = m_baseTarget;
    info.standard = m_baseStandard;
    info.type = 0xFF;
}
