// Timing for the benchmarks: wall time and processor time (of this process
// and its finished children) of a piece of work, best of several runs.
#pragma once

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <cstdint>
#include <functional>

namespace morvobench {

inline int64_t ClockNs(clockid_t Clock) {
  timespec ts{};
  clock_gettime(Clock, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

inline double SecondsOf(const std::function<void()>& Work) {
  const int64_t start = ClockNs(CLOCK_MONOTONIC);
  Work();
  return (ClockNs(CLOCK_MONOTONIC) - start) / 1e9;
}

inline double BestOf(int Runs, const std::function<void()>& Work) {
  double best = 1e30;
  for (int i = 0; i < Runs; ++i)
    best = std::min(best, SecondsOf(Work));
  return best;
}

// Processor time (user + system) of this process and of its finished
// children; on a busy machine it shows the work done better than wall time.
inline double CpuSecondsOf(const std::function<void()>& Work) {
  auto total = [] {
    double seconds = 0;
    for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
      rusage usage{};
      getrusage(who, &usage);
      seconds += usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
                 usage.ru_stime.tv_usec / 1e6;
    }
    return seconds;
  };
  const double start = total();
  Work();
  return total() - start;
}

inline double BestCpuOf(int Runs, const std::function<void()>& Work) {
  double best = 1e30;
  for (int i = 0; i < Runs; ++i)
    best = std::min(best, CpuSecondsOf(Work));
  return best;
}

}  // namespace morvobench
