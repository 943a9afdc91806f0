#include "platform/uSync.h"

#include <chrono>

namespace platform {

TEvent::TEvent(std::u16string Name, bool ManualReset, bool InitiallySet)
    : FName(std::move(Name)), FManualReset(ManualReset), FSignaled(InitiallySet) {}

void TEvent::SetEvent() {
  {
    std::lock_guard<std::mutex> Lock(FMutex);
    FSignaled = true;
  }
  if (FManualReset)
    FCondition.notify_all();
  else
    FCondition.notify_one();
}

void TEvent::ResetEvent() {
  std::lock_guard<std::mutex> Lock(FMutex);
  FSignaled = false;
}

bool TEvent::WaitFor(uint32_t Milliseconds) {
  std::unique_lock<std::mutex> Lock(FMutex);
  const auto IsSet = [this] { return FSignaled; };
  if (Milliseconds == INFINITE)
    FCondition.wait(Lock, IsSet);
  else if (!FCondition.wait_for(Lock, std::chrono::milliseconds(Milliseconds), IsSet))
    return false;
  if (!FManualReset) FSignaled = false;
  return true;
}

}  // namespace platform
