#pragma once
#include "measurement/FObjf.h"

// Wraps a function of a float and an integer with the integer (degrees of freedom) held fixed.
class FObjf1 : public FObjf
{
public:
    using Function = float (*)(float, int);

    FObjf1(Function function, int n) : m_function(function), m_n(n) {}
    float operator()(float x) const override { return m_function(x, m_n); }

private:
    Function m_function;
    int m_n;
};
