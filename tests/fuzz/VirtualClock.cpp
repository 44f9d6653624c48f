// The clock of the fuzz targets that drive device code. The program measures waits and
// time-outs on the monotonic clock and sleeps in short slices; on the thread that runs
// the inputs, that clock moves only when the program looks at it (a tenth of a
// millisecond a look) or sleeps (by the time it asks for), and every sleep returns at
// once, and so does a timed wait on a condition variable (nothing else on that thread could
// wake it: what would end it early runs on the same thread). So a wait of minutes costs no real time, and an input takes the same path on
// every run, however busy the machine is.
//
// Linked into a target, these definitions take the place of the C library's for the whole
// process. Other threads (libFuzzer's own) and other clocks (the wall time libFuzzer
// measures its run by) stay real. They are left out of the coverage the fuzzer follows, as
// libFuzzer's threads call them at any time.
#include <atomic>
#include <cstdint>
#include <cerrno>
#include <dlfcn.h>
#include <ctime>
#include <pthread.h>
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

// Condition variables wait on the monotonic clock through this call (std::condition_variable
// with steady_clock): the wait ends at its deadline at once, the mutex still held.
extern "C" __attribute__((no_sanitize("coverage"))) int pthread_cond_clockwait(pthread_cond_t* cond,
                                                                               pthread_mutex_t* mutex,
                                                                               clockid_t id,
                                                                               const struct timespec* abstime)
{
    if (!OnInputThread() || !IsMonotonic(id))
    {
        using Real = int (*)(pthread_cond_t*, pthread_mutex_t*, clockid_t, const struct timespec*);
        static const auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "pthread_cond_clockwait"));
        return real(cond, mutex, id, abstime);
    }
    const int64_t deadline = static_cast<int64_t>(abstime->tv_sec) * kNsPerSecond + abstime->tv_nsec;
    int64_t now = g_now.load();
    while (now < deadline && !g_now.compare_exchange_weak(now, deadline))
    {
    }
    return ETIMEDOUT;
}
