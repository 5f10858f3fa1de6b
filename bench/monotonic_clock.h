#pragma once

#include <ctime>

namespace bench {

inline long long MicrosecondsOn(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return static_cast<long long>(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
}

// Comparable across the processes of one boot, which is how a bench times a program from
// before it is started to the moment it reports.
inline long long MonotonicMicroseconds() { return MicrosecondsOn(CLOCK_MONOTONIC); }

}  // namespace bench
