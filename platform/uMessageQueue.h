// The main thread's message queue. Workers hand work to the main thread with
// PostMessage (returns at once), SendMessage and Synchronize (both wait until
// the main thread has handled it). Messages to one target are handled in the
// order they were queued, by whichever loop serves the main thread: the
// platform's own (RunMessageLoop, used by the command line and tests) or a
// GUI loop that installs a wake-up handler and calls ProcessMessages.
// All functions may be called from any thread unless stated otherwise.
// SendMessage and Synchronize from a worker wait until the main thread
// serves the queue: the main thread must not block waiting for that worker.
// A target must outlive the messages queued for it or call
// RemoveMessages(target) on the main thread before it dies.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>

namespace platform {

constexpr uint32_t WM_USER = 0x400;
constexpr uint32_t WM_ENCODE_NOTIFY = 3024;
constexpr uint32_t WM_ENCODE_RESTORE = 3025;

// A receiver of messages; its handler runs on the main thread only.
class IMessageTarget {
public:
  virtual intptr_t HandleMessage(uint32_t Msg, uintptr_t WParam, intptr_t LParam) = 0;

protected:
  ~IMessageTarget() = default;
};

bool PostMessage(IMessageTarget* Target, uint32_t Msg, uintptr_t WParam, intptr_t LParam);
// Called on the main thread, the handler runs at once. Returns its result;
// 0 when the target's messages were removed before it ran.
intptr_t SendMessage(IMessageTarget* Target, uint32_t Msg, uintptr_t WParam, intptr_t LParam);
// Runs Fn on the main thread and waits for it; exceptions of Fn are
// rethrown in the caller.
void Synchronize(const std::function<void()>& Fn);

// Main thread only: handles every message queued so far (not those its
// handlers queue); returns how many.
int ProcessMessages();
// Main thread only: serves the queue until QuitMessageLoop; returns the code
// given to it.
int RunMessageLoop();
// Ends RunMessageLoop once the messages it is handling now are done; later
// ones stay queued (any thread).
void QuitMessageLoop(int ExitCode = 0);
// Main thread only: drops queued messages to Target; waiting senders get 0.
void RemoveMessages(IMessageTarget* Target);
// A GUI loop's hook: called (on the posting thread) whenever something is
// queued, so the loop can schedule ProcessMessages on the main thread.
void SetWakeHandler(std::function<void()> Handler);
// Receives exceptions that escape a posted message's handler (on the main
// thread); without one they are printed to stderr. The loop goes on.
void SetUnhandledErrorHandler(std::function<void(std::exception_ptr)> Handler);
// The application's default error handling for an exception that escaped a
// window command (a toolkit cannot carry it out of its event handlers): the
// handler above gets it, as for a posted message. Main thread.
void ReportUnhandledError(const std::exception_ptr& Error);

}  // namespace platform
