#include "platform/uMessageQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/uThreads.h"

using namespace platform;

namespace {

// Records every message with the thread it was handled on.
class TRecorder : public IMessageTarget {
public:
  intptr_t HandleMessage(uint32_t Msg, uintptr_t WParam, intptr_t LParam) override {
    std::lock_guard<std::mutex> Lock(FMutex);
    OnMainThread = OnMainThread && IsMainThread();
    Seen.push_back({Msg, WParam, LParam});
    if (Msg == WM_USER + 1) QuitMessageLoop(static_cast<int>(WParam));
    return static_cast<intptr_t>(WParam) * 10;
  }
  struct TMsg {
    uint32_t Msg;
    uintptr_t WParam;
    intptr_t LParam;
  };
  std::mutex FMutex;
  std::vector<TMsg> Seen;
  bool OnMainThread = true;
};

}  // namespace

TEST(MessageQueue, WorkersPostSendAndSynchronizeOntoTheMainThreadInOrder) {
  ASSERT_TRUE(IsMainThread());
  TRecorder Target;
  constexpr int Workers = 4, PerWorker = 200;
  std::atomic<int> SendResults{0}, SyncRuns{0}, Finished{0};
  std::vector<std::thread> Threads;
  for (int W = 0; W < Workers; ++W) {
    Threads.emplace_back([&, W] {
      for (int I = 0; I < PerWorker; ++I) {
        if (I % 50 == 49) {
          // Send blocks until handled; the result comes back.
          if (SendMessage(&Target, WM_ENCODE_NOTIFY, static_cast<uintptr_t>(I), W) == I * 10)
            ++SendResults;
        } else if (I % 50 == 25) {
          Synchronize([&] {
            if (IsMainThread()) ++SyncRuns;
          });
        } else {
          PostMessage(&Target, WM_ENCODE_NOTIFY, static_cast<uintptr_t>(I), W);
        }
      }
      if (++Finished == Workers) PostMessage(&Target, WM_USER + 1, 7, -1);  // ends the loop
    });
  }
  EXPECT_EQ(RunMessageLoop(), 7);
  for (auto& T : Threads)
    T.join();
  ProcessMessages();

  EXPECT_TRUE(Target.OnMainThread);
  EXPECT_EQ(SendResults, Workers * 4);
  EXPECT_EQ(SyncRuns, Workers * 4);
  // Per worker, the messages arrive in the order they were posted or sent.
  std::map<intptr_t, std::vector<uintptr_t>> PerSender;
  for (const auto& M : Target.Seen)
    if (M.Msg == WM_ENCODE_NOTIFY) PerSender[M.LParam].push_back(M.WParam);
  ASSERT_EQ(PerSender.size(), static_cast<size_t>(Workers));
  for (const auto& [Sender, Values] : PerSender) {
    EXPECT_EQ(Values.size(), static_cast<size_t>(PerWorker - 4));
    EXPECT_TRUE(std::is_sorted(Values.begin(), Values.end())) << "sender " << Sender;
  }
}

TEST(MessageQueue, SendOnTheMainThreadRunsAtOnce) {
  TRecorder Target;
  EXPECT_EQ(SendMessage(&Target, WM_ENCODE_RESTORE, 3, 0), 30);
  ASSERT_EQ(Target.Seen.size(), 1u);
  EXPECT_EQ(Target.Seen[0].Msg, WM_ENCODE_RESTORE);
}

TEST(MessageQueue, SynchronizeRethrowsInTheWorker) {
  std::string Caught;
  std::thread Worker([&] {
    try {
      Synchronize([] { throw std::runtime_error("boom"); });
    } catch (const std::runtime_error& E) {
      Caught = E.what();
    }
    QuitMessageLoop(0);
  });
  RunMessageLoop();
  Worker.join();
  EXPECT_EQ(Caught, "boom");
}

TEST(MessageQueue, RemovedTargetReleasesItsWaitingSender) {
  TRecorder Target;
  std::atomic<bool> Queued{false};
  intptr_t Result = -1;
  PostMessage(&Target, WM_USER, 1, 0);
  std::thread Worker([&] {
    SetWakeHandler([&] {
      Queued = true;
      Queued.notify_one();
    });
    Result = SendMessage(&Target, WM_USER, 2, 0);
  });
  Queued.wait(false);  // the wake handler tells us the send is queued
  SetWakeHandler(nullptr);
  RemoveMessages(&Target);
  Worker.join();
  EXPECT_EQ(Result, 0);
  EXPECT_EQ(ProcessMessages(), 0);
  EXPECT_TRUE(Target.Seen.empty());
}

TEST(MessageQueue, TargetRemovedByAHandlerGetsNoneOfItsQueuedMessages) {
  TRecorder Doomed;
  struct TCloser : IMessageTarget {
    intptr_t HandleMessage(uint32_t, uintptr_t, intptr_t) override {
      RemoveMessages(Victim);  // as a window does when it closes another
      return 0;
    }
    IMessageTarget* Victim = nullptr;
  } Closer;
  Closer.Victim = &Doomed;
  PostMessage(&Closer, WM_USER, 0, 0);
  PostMessage(&Doomed, WM_USER, 1, 0);
  PostMessage(&Doomed, WM_USER, 2, 0);
  EXPECT_EQ(ProcessMessages(), 1);
  EXPECT_TRUE(Doomed.Seen.empty());
}

TEST(MessageQueue, ErrorInAPostedHandlerDoesNotStopTheQueue) {
  struct TThrower : IMessageTarget {
    intptr_t HandleMessage(uint32_t Msg, uintptr_t, intptr_t) override {
      if (Msg == 1) throw std::runtime_error("handler failed");
      ++Handled;
      return 0;
    }
    int Handled = 0;
  } Target;
  std::string Reported;
  SetUnhandledErrorHandler([&](std::exception_ptr Error) {
    try {
      std::rethrow_exception(Error);
    } catch (const std::exception& E) {
      Reported = E.what();
    }
  });
  PostMessage(&Target, 1, 0, 0);
  PostMessage(&Target, 2, 0, 0);
  EXPECT_EQ(ProcessMessages(), 2);
  SetUnhandledErrorHandler(nullptr);
  EXPECT_EQ(Reported, "handler failed");
  EXPECT_EQ(Target.Handled, 1);
}
