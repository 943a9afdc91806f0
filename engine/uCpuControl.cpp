#include "engine/uCpuControl.h"

#include <utility>

#include "platform/uThreads.h"

int64_t MORVO_STDCALL TProgressCallback::GetProgress(IThreadCpuUsageControl* Control) {
  return FCpuControl ? FCpuControl->ProgressOf(Control) : 0;
}

TCpuControl::TCpuControl() : FProcessorCount(GetProcessorCount()) {
  FLibraryLoaded = LoadCpuControlLibrary();
}

TCpuControl::~TCpuControl() {
  ClearPairs();
  if (FLibraryLoaded) ReleaseCpuControlLibrary();
}

int32_t TCpuControl::GetProcessorCount() {
  return static_cast<int32_t>(platform::ProcessorCount());
}

void TCpuControl::CreateUsageControl(TProgressCallback*& Callback,
                                     IThreadCpuUsageControl*& Control) {
  Callback = nullptr;
  Control = nullptr;
  TLxPlayerCreateCpuControl factory = CpuControlFactory();
  if (!factory) return;
  IThreadCpuUsageControl* made = nullptr;
  factory(&made);
  if (!made) return;
  TPair pair{TComPtr<TProgressCallback>(new TProgressCallback(this)),
             TComPtr<IThreadCpuUsageControl>(made)};
  Callback = pair.Callback.Get();
  Control = made;
  Callback->AddRef();
  Control->AddRef();
  std::lock_guard lock(FPairsLock);
  FPairs.push_back(std::move(pair));
}

void TCpuControl::ReleaseUsageControl(IThreadCpuUsageControl*& Control) {
  if (!Control) return;
  TPair dropped;
  {
    std::lock_guard lock(FPairsLock);
    for (auto it = FPairs.begin(); it != FPairs.end(); ++it) {
      if (it->Control.Get() == Control) {
        dropped = std::move(*it);
        FPairs.erase(it);
        break;
      }
    }
  }
  // dropped releases its references here, outside the lock: a control may
  // ask for progress while it shuts down.
  std::exchange(Control, nullptr)->Release();
}

void TCpuControl::ClearPairs() {
  std::vector<TPair> dropped;
  {
    std::lock_guard lock(FPairsLock);
    dropped.swap(FPairs);
  }
  // dropped releases the pairs here, outside the lock; a pair lets go of its
  // control before its callback.
}

int64_t TCpuControl::ProgressOf(IThreadCpuUsageControl* Control) {
  std::lock_guard lock(FPairsLock);
  for (const TPair& pair : FPairs)
    if (pair.Control.Get() == Control) return pair.Callback->FProgress.load();
  return 0;
}

size_t TCpuControl::PairCount() {
  std::lock_guard lock(FPairsLock);
  return FPairs.size();
}
