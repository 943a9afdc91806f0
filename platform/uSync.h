// Events and critical sections.
// TEvent: a named event (auto-reset unless asked otherwise) built from a
// mutex and a condition variable. The name is only kept for the log; two
// events of the same name are separate objects. Set/Reset/Wait may be called
// from any thread; the owner frees the event after its waiters have gone.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

namespace platform {

// A critical section is re-entrant for its owning thread, as on Windows.
using TCriticalSection = std::recursive_mutex;
using TCriticalSectionLock = std::lock_guard<std::recursive_mutex>;

constexpr uint32_t INFINITE = 0xFFFFFFFFu;

class TEvent {
public:
  explicit TEvent(std::u16string Name = {}, bool ManualReset = false, bool InitiallySet = false);
  TEvent(const TEvent&) = delete;
  TEvent& operator=(const TEvent&) = delete;

  void SetEvent();
  void ResetEvent();
  // True when the event was set (an auto-reset event is reset again by the
  // one waiter it releases); false on timeout.
  bool WaitFor(uint32_t Milliseconds = INFINITE);
  const std::u16string& Name() const { return FName; }

private:
  std::u16string FName;
  bool FManualReset;
  bool FSignaled;
  std::mutex FMutex;
  std::condition_variable FCondition;
};

}  // namespace platform
