#pragma once
#include "measurement/ConvFunction.h"

// Type 3: a linear correction offset + factor * x on top of a base conversion that the
// record identifies by source and target scale, material and standard. The table finds
// the base, loads it and attaches it after every load.
class C2PointConvFunction : public CConvFunction
{
public:
    ~C2PointConvFunction() override;

    bool Load(const uint8_t* record, size_t available) override;
    // The own range clipped to the base's range; 0.0 without a base.
    float GetMinX() const override;
    float GetMaxX() const override;
    float Evaluate(float x) override;
    void GetInfo(SConvFunctionInfo& info) const override;
    bool IsSameRecord(const uint8_t* record, size_t available) const override;

    // Attaches the base conversion; with the owned flag the object deletes it.
    void SetBase(CConvFunction* base, bool owned);
    CConvFunction* GetBase() const { return m_base; }
    // What identifies the base record: scales, material and standard; no name, range 0,
    // revision 0, function type 0xFF, length 0.
    void GetBaseRecordInfo(SConvRecordInfo& info) const;

private:
    void DetachBase();

    uint8_t m_baseStandard = 0; // low nibble as stored
    uint8_t m_baseMaterial = 0; // type in bits 0-3, group in bits 4-7
    uint16_t m_baseSource = 0;
    uint16_t m_baseTarget = 0;
    float m_offset = 0.0f;
    float m_factor = 0.0f;
    CConvFunction* m_base = nullptr;
    bool m_ownsBase = false;
};
