// Threads and time slices: kernel thread ids, the main thread, the processor
// count, Sleep and the clocks a thread measures itself with. All functions may be called from any
// thread.
#pragma once

#include <cstdint>

namespace platform {

// The calling thread's kernel id (gettid).
uint32_t CurrentThreadId();
// The main thread is the process's first thread unless a front end names
// another one (call RegisterMainThread on the thread that runs the loop).
void RegisterMainThread();
uint32_t MainThreadId();
bool IsMainThread();
// This process's id.
uint32_t CurrentProcessId();
// Processors this process may run on (at least 1).
uint32_t ProcessorCount();
// A fixed pause, not a way to wait for something.
void Sleep(uint32_t Milliseconds);
// Processor time the calling thread has used, in nanoseconds.
int64_t ThreadCpuTimeNs();
// A monotonic clock in nanoseconds (never set back; origin unspecified).
int64_t MonotonicTimeNs();

}  // namespace platform
