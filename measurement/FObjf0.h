#pragma once
#include "measurement/FObjf.h"

// Wraps a plain function of one float.
class FObjf0 : public FObjf
{
public:
    using Function = float (*)(float);

    explicit FObjf0(Function function) : m_function(function) {}
    float operator()(float x) const override { return m_function(x); }

private:
    Function m_function;
};
