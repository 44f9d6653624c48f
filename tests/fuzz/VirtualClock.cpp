// The clock of the fuzz targets that drive device code. The program measures waits and
// time-outs on the monotonic clock and sleeps in short slices; on the thread that runs
// the inputs, that clock moves only when the program looks at it (a tenth of a
// millisecond a look) or sleeps (by the time it asks for), and every sleep returns at
// once. So a wait of minutes costs no real time, and an input takes the same path on
// every run, however busy the machine is.
//
// Linked into a target, these definitions take the place of the C library's for the whole
// process. Other threads (libFuzzer's own) and other clocks (the wall time libFuzzer
// measures its run by) stay real. They are left out of the coverage the fuzzer follows, as
// libFuzzer's threads call them at any time.
#include <atomic>
#include <cstdint>
#include <ctime>
#include <sys/syscall.h>
#include <unistd.h>

namespace
{
constexpr int64_t kNsPerSecond = 1000000000;
constexpr int64_t kLookNs = 100000;

std::atomic<int64_t> g_now{kNsPerSecond};

// libFuzzer runs the inputs on the main thread.
__attribute__((no_sanitize("coverage"))) bool OnInputThread()
{
    thread_local const bool main = syscall(SYS_gettid) == getpid();
    return main;
}

__attribute__((no_sanitize("coverage"))) bool IsMonotonic(clockid_t id)
{
    return id == CLOCK_MONOTONIC || id == CLOCK_MONOTONIC_RAW || id == CLOCK_MONOTONIC_COARSE ||
           id == CLOCK_BOOTTIME;
}
} // namespace

extern "C" __attribute__((no_sanitize("coverage"))) int clock_gettime(clockid_t id, struct timespec* ts)
{
    if (!IsMonotonic(id) || !OnInputThread())
        return static_cast<int>(syscall(SYS_clock_gettime, id, ts));
    const int64_t now = g_now.fetch_add(kLookNs) + kLookNs;
    ts->tv_sec = static_cast<time_t>(now / kNsPerSecond);
    ts->tv_nsec = static_cast<long>(now % kNsPerSecond);
    return 0;
}

extern "C" __attribute__((no_sanitize("coverage"))) int nanosleep(const struct timespec* request,
                                                                  struct timespec* remaining)
{
    if (!OnInputThread() || !request || request->tv_sec < 0 || request->tv_nsec < 0 ||
        request->tv_nsec >= kNsPerSecond)
        return static_cast<int>(syscall(SYS_nanosleep, request, remaining));
    g_now += static_cast<int64_t>(request->tv_sec) * kNsPerSecond + request->tv_nsec;
    if (remaining)
        *remaining = timespec{};
    return 0;
}
