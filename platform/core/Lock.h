#pragma once
#include <mutex>

// A re-entrant lock, as the critical sections shared between threads need: the same
// thread may take it again while it holds it.
using RecursiveLock = std::recursive_mutex;
using RecursiveLockGuard = std::lock_guard<std::recursive_mutex>;
