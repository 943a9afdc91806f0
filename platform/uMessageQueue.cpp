#include "platform/uMessageQueue.h"

#include <cassert>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <utility>

#include "platform/uThreads.h"

namespace platform {

namespace {

// Completion of a sent message, shared by the sender and the queue.
struct TReply {
  std::mutex Mutex;
  std::condition_variable Done;
  bool Finished = false;
  intptr_t Result = 0;
  std::exception_ptr Error;

  void Finish(intptr_t Value, std::exception_ptr Failure) {
    {
      std::lock_guard<std::mutex> Lock(Mutex);
      Finished = true;
      Result = Value;
      Error = std::move(Failure);
    }
    Done.notify_all();
  }
  intptr_t Wait() {
    std::unique_lock<std::mutex> Lock(Mutex);
    Done.wait(Lock, [this] { return Finished; });
    if (Error) std::rethrow_exception(Error);
    return Result;
  }
};

struct TQueued {
  IMessageTarget* Target = nullptr;
  uint32_t Msg = 0;
  uintptr_t WParam = 0;
  intptr_t LParam = 0;
  std::function<void()> Fn;       // set for Synchronize
  std::shared_ptr<TReply> Reply;  // set for SendMessage and Synchronize
  uint64_t Serial = 0;            // order of queuing, set by the queue
};

class TQueue {
public:
  void Push(TQueued Item) {
    std::function<void()> Wake;
    {
      std::lock_guard<std::mutex> Lock(FMutex);
      Item.Serial = FNextSerial++;
      FItems.push_back(std::move(Item));
      Wake = FWake;
    }
    FChanged.notify_all();
    if (Wake) Wake();
  }

  // Where the queue stands now: items queued from here on are later ones.
  uint64_t NextSerial() {
    std::lock_guard<std::mutex> Lock(FMutex);
    return FNextSerial;
  }

  // Takes the oldest item if it was queued before Limit. One at a time, so
  // that a handler's RemoveMessages still reaches the items not yet handled.
  bool TakeBefore(uint64_t Limit, TQueued& Item) {
    std::lock_guard<std::mutex> Lock(FMutex);
    if (FItems.empty() || FItems.front().Serial >= Limit) return false;
    Item = std::move(FItems.front());
    FItems.pop_front();
    return true;
  }

  // Waits until something is queued or quit is asked; true on quit.
  bool WaitForWork(int& ExitCode) {
    std::unique_lock<std::mutex> Lock(FMutex);
    FChanged.wait(Lock, [this] { return FQuit || !FItems.empty(); });
    if (!FQuit) return false;
    FQuit = false;
    ExitCode = FExitCode;
    return true;
  }

  void Quit(int ExitCode) {
    {
      std::lock_guard<std::mutex> Lock(FMutex);
      FQuit = true;
      FExitCode = ExitCode;
    }
    FChanged.notify_all();
  }

  std::deque<TQueued> TakeFor(IMessageTarget* Target) {
    std::lock_guard<std::mutex> Lock(FMutex);
    std::deque<TQueued> Taken, Kept;
    for (TQueued& Item : FItems)
      (Item.Target == Target && !Item.Fn ? Taken : Kept).push_back(std::move(Item));
    FItems = std::move(Kept);
    return Taken;
  }

  void SetWake(std::function<void()> Handler) {
    std::lock_guard<std::mutex> Lock(FMutex);
    FWake = std::move(Handler);
  }

private:
  std::mutex FMutex;
  std::condition_variable FChanged;
  std::deque<TQueued> FItems;
  std::function<void()> FWake;
  uint64_t FNextSerial = 0;
  bool FQuit = false;
  int FExitCode = 0;
};

std::mutex ErrorHandlerMutex;
std::function<void(std::exception_ptr)> ErrorHandler;

// An exception escaping a posted message's handler goes to the front end's
// handler (the GUI shows it, as a toolkit's default error handling would);
// the loop goes on either way.
void ReportUnhandled(const std::exception_ptr& Error) {
  std::function<void(std::exception_ptr)> Handler;
  {
    std::lock_guard<std::mutex> Lock(ErrorHandlerMutex);
    Handler = ErrorHandler;
  }
  if (Handler) {
    Handler(Error);
    return;
  }
  try {
    std::rethrow_exception(Error);
  } catch (const std::exception& E) {
    std::fprintf(stderr, "unhandled error in a message handler: %s\n", E.what());
  } catch (...) {
    std::fprintf(stderr, "unhandled error in a message handler\n");
  }
}

TQueue& Queue() {
  static TQueue Instance;
  return Instance;
}

// A waiting sender gets the result or the exception; a posted message's
// exception is reported.
void Handle(TQueued& Item) {
  intptr_t Result = 0;
  std::exception_ptr Failure;
  try {
    if (Item.Fn)
      Item.Fn();
    else
      Result = Item.Target->HandleMessage(Item.Msg, Item.WParam, Item.LParam);
  } catch (...) {
    Failure = std::current_exception();
  }
  if (Item.Reply)
    Item.Reply->Finish(Result, Failure);
  else if (Failure)
    ReportUnhandled(Failure);
}

}  // namespace

bool PostMessage(IMessageTarget* Target, uint32_t Msg, uintptr_t WParam, intptr_t LParam) {
  if (!Target) return false;
  Queue().Push(TQueued{Target, Msg, WParam, LParam, {}, {}});
  return true;
}

intptr_t SendMessage(IMessageTarget* Target, uint32_t Msg, uintptr_t WParam, intptr_t LParam) {
  if (!Target) return 0;
  if (IsMainThread()) return Target->HandleMessage(Msg, WParam, LParam);
  auto Reply = std::make_shared<TReply>();
  Queue().Push(TQueued{Target, Msg, WParam, LParam, {}, Reply});
  return Reply->Wait();
}

void Synchronize(const std::function<void()>& Fn) {
  if (IsMainThread()) {
    Fn();
    return;
  }
  auto Reply = std::make_shared<TReply>();
  Queue().Push(TQueued{nullptr, 0, 0, 0, Fn, Reply});
  Reply->Wait();
}

int ProcessMessages() {
  assert(IsMainThread() && "the queue is served by the main thread only");
  // What handlers queue meanwhile waits for the next call.
  const uint64_t Limit = Queue().NextSerial();
  int Handled = 0;
  for (TQueued Item; Queue().TakeBefore(Limit, Item); ++Handled)
    Handle(Item);
  return Handled;
}

int RunMessageLoop() {
  int ExitCode = 0;
  for (;;) {
    if (Queue().WaitForWork(ExitCode)) return ExitCode;
    ProcessMessages();
  }
}

void QuitMessageLoop(int ExitCode) { Queue().Quit(ExitCode); }

void RemoveMessages(IMessageTarget* Target) {
  assert(IsMainThread());
  for (TQueued& Item : Queue().TakeFor(Target))
    if (Item.Reply) Item.Reply->Finish(0, nullptr);
}

void SetWakeHandler(std::function<void()> Handler) { Queue().SetWake(std::move(Handler)); }

void SetUnhandledErrorHandler(std::function<void(std::exception_ptr)> Handler) {
  std::lock_guard<std::mutex> Lock(ErrorHandlerMutex);
  ErrorHandler = std::move(Handler);
}

void ReportUnhandledError(const std::exception_ptr& Error) { ReportUnhandled(Error); }

}  // namespace platform
