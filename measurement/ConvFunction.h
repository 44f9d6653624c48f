#pragma once
#include "measurement/ConvRecord.h"

#include <cstddef>
#include <cstdint>

// A conversion function loaded from a conversion record. The base holds what every
// record header gives; a subclass per function type adds its data and its evaluation.
// All values are single precision.
class CConvFunction
{
public:
    CConvFunction() = default;
    CConvFunction(const CConvFunction&) = delete;
    CConvFunction& operator=(const CConvFunction&) = delete;
    virtual ~CConvFunction() = default;

    // Validates and takes the record (which must fit into the bytes at hand).
    virtual bool Load(const uint8_t* record, size_t available) = 0;
    virtual float GetMinX() const { return m_minX; }
    virtual float GetMaxX() const { return m_maxX; }
    virtual bool IsInRange(float x) const;
    virtual float Evaluate(float x) = 0;
    // The input that gives y (regula falsi over the range); 0.0 when the range does not
    // bracket y.
    virtual float EvaluateInverse(float y);
    // Strictly rising (flag set) or strictly falling over the range.
    virtual bool IsMonotonic(bool rising);
    virtual void GetInfo(SConvFunctionInfo& info) const = 0;
    // Whether the raw record is the one that is loaded.
    virtual bool IsSameRecord(const uint8_t* record, size_t available) const = 0;

    uint16_t GetSourceScale() const { return m_source; }
    uint16_t GetTargetScale() const { return m_target; }

protected:
    // The header part of Load; on success the header fields are taken. Returns the offset
    // of the function data, or 0 when the header is refused.
    size_t LoadHeader(const uint8_t* record, size_t available);
    // A failed load leaves no range.
    void ResetHeader();
    bool IsSameHeader(const uint8_t* record, size_t available) const;

    char16_t m_name[32] = {};
    uint8_t m_matType = 0;
    uint8_t m_matGroup = 0;
    uint8_t m_standard = 0;
    uint8_t m_revision = 0;
    uint16_t m_source = 0;
    uint16_t m_target = 0;
    float m_probeMin = 0.0f;
    float m_probeMax = 0.0f;
    float m_minSpan = 0.0f;
    float m_minX = 0.0f;
    float m_maxX = 0.0f;
};
