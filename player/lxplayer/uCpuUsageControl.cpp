#include "uCpuUsageControl.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <unordered_map>

#include "platform/uThreads.h"

namespace {

// Idle time (waiting for the main thread, for the disk) earns no more than
// this much credit, so the share holds over any window of about a second.
constexpr int64_t kMaxCreditNs = 50'000'000;
constexpr int64_t kMaxPauseNs = 250'000'000;

}  // namespace

// What a started control shares with the thread it holds.
struct TThrottle {
  std::atomic<int32_t> Limit{100};
  std::mutex Lock;
  std::condition_variable Wake;
  bool Detached = false;  // guarded by Lock

  // The held thread's ledger; touched by that thread only.
  bool Primed = false;
  int64_t LastCpuNs = 0;
  int64_t LastWallNs = 0;
  int64_t DebtNs = 0;  // wall time the thread still has to stay idle

  void Pace();
};

namespace {

struct TThrottleRegistry {
  std::mutex Lock;
  std::unordered_map<uint32_t, std::shared_ptr<TThrottle>> ByThread;
};

TThrottleRegistry& Registry() {
  static TThrottleRegistry registry;
  return registry;
}

}  // namespace

void TThrottle::Pace() {
  const int32_t limit = Limit.load();
  // An unlimited thread keeps no ledger (no clock reads on its reads); it
  // starts a fresh one when it is limited.
  if (limit >= 100) {
    Primed = false;
    return;
  }
  const int64_t cpu = platform::ThreadCpuTimeNs();
  const int64_t wall = platform::MonotonicTimeNs();
  if (!Primed) {
    Primed = true;
    LastCpuNs = cpu;
    LastWallNs = wall;
    return;
  }
  // Each nanosecond of CPU needs 100/limit nanoseconds of wall time.
  DebtNs += (cpu - LastCpuNs) * 100 / limit - (wall - LastWallNs);
  DebtNs = std::max(DebtNs, -kMaxCreditNs);
  LastCpuNs = cpu;
  LastWallNs = wall;
  if (DebtNs <= 0) return;

  std::unique_lock lock(Lock);
  Wake.wait_for(lock, std::chrono::nanoseconds(std::min(DebtNs, kMaxPauseNs)),
                [this] { return Detached; });
}

void ThrottleCurrentThread() {
  thread_local const uint32_t self = platform::CurrentThreadId();
  std::shared_ptr<TThrottle> throttle;
  {
    TThrottleRegistry& registry = Registry();
    std::lock_guard lock(registry.Lock);
    const auto it = registry.ByThread.find(self);
    if (it == registry.ByThread.end()) return;
    throttle = it->second;
  }
  throttle->Pace();
}

TThreadCpuUsageControl::~TThreadCpuUsageControl() { Detach(); }

int32_t MORVO_STDCALL TThreadCpuUsageControl::AttachThread(uint32_t ThreadId) {
  if (FThrottle && ThreadId != FThreadId) Detach();
  FThreadId = ThreadId;
  return 0;
}

int32_t MORVO_STDCALL TThreadCpuUsageControl::SetProgressCallback(IProgressCallback* Callback) {
  if (Callback) Callback->AddRef();
  FCallback = TComPtr<IProgressCallback>(Callback);
  return 0;
}

int32_t MORVO_STDCALL TThreadCpuUsageControl::SetCpuLimit(int32_t Percent) {
  FLimit = std::clamp(Percent, 1, 100);
  if (FThrottle) FThrottle->Limit = FLimit;
  return 0;
}

int32_t MORVO_STDCALL TThreadCpuUsageControl::Start() {
  if (FThreadId == 0) return -1;
  if (FThrottle) {
    FThrottle->Limit = FLimit;
    return 0;
  }
  try {
    auto throttle = std::make_shared<TThrottle>();
    throttle->Limit = FLimit;
    TThrottleRegistry& registry = Registry();
    std::lock_guard lock(registry.Lock);
    // A newer control for the same thread replaces the older one.
    registry.ByThread[FThreadId] = throttle;
    FThrottle = std::move(throttle);
    return 0;
  } catch (...) {  // out of memory: the thread runs unthrottled
    return -1;
  }
}

void TThreadCpuUsageControl::Detach() {
  if (!FThrottle) return;
  {
    TThrottleRegistry& registry = Registry();
    std::lock_guard lock(registry.Lock);
    const auto it = registry.ByThread.find(FThreadId);
    if (it != registry.ByThread.end() && it->second == FThrottle) registry.ByThread.erase(it);
  }
  {
    std::lock_guard lock(FThrottle->Lock);
    FThrottle->Detached = true;
  }
  FThrottle->Wake.notify_all();
  FThrottle.reset();
}
