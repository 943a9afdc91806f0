// Processor count and the per-task CPU usage control objects of the player
// library, with the progress callback such a control asks.
//
// Ownership and threading: the task manager owns the one TCpuControl. It
// holds one counted load of the player library for its whole life. Pairs
// (progress callback, control) are made and released on the main thread
// (inside the manager's task hand-out); GetProgress may be called from any
// thread the player library chooses and reads the pair list under a small
// lock of its own, so a hand-out on the main thread never pulls the list
// away under it. No other lock is taken while that lock is held and no
// object is released under it.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "codecs/uEncodeIntf.h"

class TCpuControl;

// Reference-counted; lives as long as the pair list of its TCpuControl
// (or a caller) holds a reference.
// IProgressCallback has no identifier of its own; IUnknown is all it answers.
class TProgressCallback final : public TComObject<IProgressCallback> {
public:
  explicit TProgressCallback(TCpuControl* CpuControl) : FCpuControl(CpuControl) {}

  // The progress stored in the callback paired with Control; 0 if none.
  int64_t MORVO_STDCALL GetProgress(IThreadCpuUsageControl* Control) override;

  // The owning worker's last percentage; written by the worker thread.
  std::atomic<int64_t> FProgress = 0;
  TCpuControl* const FCpuControl;  // not owned

private:
  ~TProgressCallback() override = default;
};

class TCpuControl {
public:
  // Counts the processors and loads the player library's control factory.
  TCpuControl();
  // Releases every pair, then the library load.
  ~TCpuControl();
  TCpuControl(const TCpuControl&) = delete;
  TCpuControl& operator=(const TCpuControl&) = delete;

  // At least 1.
  static int32_t GetProcessorCount();

  // Main thread. Both outputs are new references owned by the caller (the
  // pair list keeps its own); both null when the library made no control.
  void CreateUsageControl(TProgressCallback*& Callback, IThreadCpuUsageControl*& Control);
  // Main thread. Drops the pair of Control (releasing the list's two
  // references), then releases and clears the caller's reference.
  void ReleaseUsageControl(IThreadCpuUsageControl*& Control);
  void ClearPairs();

  // Any thread: the progress of the callback paired with Control, 0 if none.
  int64_t ProgressOf(IThreadCpuUsageControl* Control);
  size_t PairCount();

  const int32_t FProcessorCount;

private:
  // Control comes last so that a dropped pair releases it first.
  struct TPair {
    TComPtr<TProgressCallback> Callback;
    TComPtr<IThreadCpuUsageControl> Control;
  };
  std::mutex FPairsLock;
  std::vector<TPair> FPairs;
  bool FLibraryLoaded = false;
};
