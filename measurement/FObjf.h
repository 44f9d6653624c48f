#pragma once

// A float function of one float, as the secant root finder sees it.
class FObjf
{
public:
    virtual float operator()(float x) const = 0;
    virtual ~FObjf() = default;
};
