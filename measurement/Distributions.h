#pragma once
#include "measurement/MeasValues.h"

class FObjf;

// Tail probabilities and quantiles of the normal, chi-square and Student t distributions, as the
// series statistics need them (confidence interval, capability bounds, outlier test).
//
// Everything is computed in single precision with single-precision constants: the statistics
// shown and exported must come out the same, digit for digit, as on the testers' own software.
// The quantiles take upper-tail probabilities and are refined from closed-form start values by
// SecantRoot.

// Q(x) = P(X > x) of the standard normal distribution.
float NormalUpperTail(float x);
// Closed-form x with Q(x) = p (Abramowitz and Stegun 26.2.22); +-1e8 for p <= 0 and p >= 1.
float InverseNormalApprox(float p);
// x with Q(x) = p. p <= 0 and p >= 1 give large but finite values.
float NormalUpperQuantile(float p);

// Q(x | n) = P(chi-square with n degrees of freedom > x).
float ChiSquareUpperTail(float x, int n);
// x with Q(x | n) = p. startHint is the normal upper quantile of p when the caller has it,
// otherwise kNoStartHint.
float ChiSquareUpperQuantile(float p, int n, float startHint);
// The start hint that asks ChiSquareUpperQuantile to derive its own: the "no value"
// sentinel, which callers pass through unchanged.
inline constexpr float kNoStartHint = MEAS_NO_VALUE;

// A(t | n) = P(-t < T < t) for Student's t with n degrees of freedom; 0 for t <= 0.
float StudentTCentralProbability(float t, int n);
// (1 - A(t | n)) / 2.
float StudentTUpperTail(float t, int n);
// t with StudentTUpperTail(t, n) = p.
float StudentTUpperQuantile(float p, int n);
// Two-sided critical value for the confidence c (a fraction), negated for a negative c.
float StudentTQuantileTwoSided(float c, int n);

// x with f(x) = y by the secant method from x0 and x1; at most 100 rounds, never fails.
float SecantRoot(const FObjf& f, float y, float x0, float x1);
