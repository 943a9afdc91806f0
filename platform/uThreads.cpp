#include "platform/uThreads.h"

#include <sched.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace platform {

namespace {
std::atomic<uint32_t> RegisteredMainThread{0};
}

// Not cached: a forked child's thread must get its own id.
uint32_t CurrentThreadId() { return static_cast<uint32_t>(syscall(SYS_gettid)); }

uint32_t CurrentProcessId() { return static_cast<uint32_t>(getpid()); }

void RegisterMainThread() { RegisteredMainThread.store(CurrentThreadId()); }

uint32_t MainThreadId() {
  const uint32_t Registered = RegisteredMainThread.load();
  // The kernel gives the first thread the process id.
  return Registered != 0 ? Registered : static_cast<uint32_t>(getpid());
}

bool IsMainThread() { return CurrentThreadId() == MainThreadId(); }

uint32_t ProcessorCount() {
  cpu_set_t Set;
  if (sched_getaffinity(0, sizeof(Set), &Set) == 0) {
    const int Count = CPU_COUNT(&Set);
    if (Count > 0) return static_cast<uint32_t>(Count);
  }
  const unsigned Hardware = std::thread::hardware_concurrency();
  return Hardware > 0 ? Hardware : 1;
}

void Sleep(uint32_t Milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(Milliseconds));
}

namespace {
int64_t ClockNs(clockid_t Clock) {
  timespec Now{};
  clock_gettime(Clock, &Now);
  return int64_t(Now.tv_sec) * 1000000000 + Now.tv_nsec;
}
}  // namespace

int64_t ThreadCpuTimeNs() { return ClockNs(CLOCK_THREAD_CPUTIME_ID); }

int64_t MonotonicTimeNs() { return ClockNs(CLOCK_MONOTONIC); }

}  // namespace platform
