#pragma once
#include "measurement/ConvFunction.h"

// Type 0: the value itself, over the record's range (the table's identity records).
class CIdentityConvFunction : public CConvFunction
{
public:
    bool Load(const uint8_t* record, size_t available) override;
    float Evaluate(float x) override { return x; }
    float EvaluateInverse(float y) override { return y; }
    void GetInfo(SConvFunctionInfo& info) const override;
    bool IsSameRecord(const uint8_t* record, size_t available) const override;
};
