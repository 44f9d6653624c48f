#pragma once
#include <benchmark/benchmark.h>

#include <chrono>

// Goals are ratios, measured in one run: to a baseline timed beside the subject, or to a rate.
struct BaselineTimes
{
    double subjectSeconds = 0.0;  // all iterations
    double baselineSeconds = 0.0; // all iterations, per baseline run

    // How many times the baseline's time the subject takes.
    double Ratio() const { return baselineSeconds > 0.0 ? subjectSeconds / baselineSeconds : 0.0; }
    // The subject's rate over a goal rate, `units` a subject run: 1 or more meets the goal.
    double RateOverGoal(double units, int64_t iterations, double goalPerSecond) const
    {
        return subjectSeconds > 0.0 ? units * double(iterations) / subjectSeconds / goalPerSecond : 0.0;
    }
};

// Runs a subject and its baseline alternately in every iteration, so that both meet the same
// load on a shared machine. The subject's time becomes the benchmark's time: register the
// benchmark with UseManualTime(). A short baseline is called `baselineRuns` times an iteration
// so that it spans many clock ticks; its time is taken per run.
template <typename Subject, typename Baseline>
BaselineTimes TimeAgainstBaseline(benchmark::State& state, Subject subject, Baseline baseline,
                                  int baselineRuns = 1)
{
    using Clock = std::chrono::steady_clock;
    using Seconds = std::chrono::duration<double>;
    BaselineTimes times;
    for (auto _ : state)
    {
        const Clock::time_point start = Clock::now();
        subject();
        const Clock::time_point middle = Clock::now();
        for (int i = 0; i < baselineRuns; ++i)
            baseline();
        const Clock::time_point end = Clock::now();
        const double seconds = Seconds(middle - start).count();
        state.SetIterationTime(seconds);
        times.subjectSeconds += seconds;
        times.baselineSeconds += Seconds(end - middle).count() / baselineRuns;
    }
    return times;
}
