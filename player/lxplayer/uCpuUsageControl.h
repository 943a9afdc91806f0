// CPU usage control objects (IThreadCpuUsageControl, made by ordinal 6).
//
// A started control holds one thread (a kernel thread id) to a share of one
// core. The library cannot stop another thread from outside, so the holding
// happens where that thread passes through this library: each decoder Read
// on a held thread calls ThrottleCurrentThread, which pauses the thread as
// long as its CPU time (thread CPU clock) is ahead of the allowed share of
// wall time. Pauses last at most a quarter second each, so the thread still
// sees a stop request within a second; releasing the control ends a pause at
// once and detaches the thread.
//
// Threading: the setters and Start run on any one thread (the system's main
// thread); Release may run on any thread. ThrottleCurrentThread is called by
// the held thread itself. The progress callback is held (one reference)
// until the control is released; this library does not call it.
#pragma once

#include <memory>

#include "interfaces/uCodecInterfaces.h"

struct TThrottle;

class TThreadCpuUsageControl final : public TComObject<IThreadCpuUsageControl> {
public:
  TThreadCpuUsageControl() = default;
  ~TThreadCpuUsageControl() override;

  int32_t MORVO_STDCALL AttachThread(uint32_t ThreadId) override;
  int32_t MORVO_STDCALL SetProgressCallback(IProgressCallback* Callback) override;
  // Percent of one core, 1..100; 100 leaves the thread unthrottled.
  int32_t MORVO_STDCALL SetCpuLimit(int32_t Percent) override;
  // One way of measuring is offered, whatever the mode.
  int32_t MORVO_STDCALL SetCpuLimitMode(int32_t) override { return 0; }
  int32_t MORVO_STDCALL Reserved1(int32_t) override { return 0; }
  int32_t MORVO_STDCALL Reserved2(int32_t) override { return 0; }
  // Begins holding the attached thread; -1 when no thread is attached.
  int32_t MORVO_STDCALL Start() override;
  int32_t MORVO_STDCALL Reserved3(int32_t) override { return 0; }
  int32_t MORVO_STDCALL Reserved4(int32_t) override { return 0; }

private:
  void Detach();

  uint32_t FThreadId = 0;
  int32_t FLimit = 100;
  TComPtr<IProgressCallback> FCallback;
  std::shared_ptr<TThrottle> FThrottle;  // set once started
};

// Paces the calling thread when a started control holds it; returns at once
// otherwise.
void ThrottleCurrentThread();
