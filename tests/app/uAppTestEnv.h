// A task manager for tests of the adding side: its configuration lives in a
// temporary program folder, the test's thread is the main thread, and the
// desktop is a UTF-8 desktop of a Chinese user (GBK for 8-bit text that is
// not UTF-8).
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "engine/uTaskManager.h"
#include "platform/uMessageQueue.h"
#include "platform/uThreads.h"
#include "tests/support/uCueTestFiles.h"

namespace cuetest {

class TManagerTest : public ::testing::Test {
protected:
  void SetUp() override {
    platform::RegisterMainThread();
    FManager = std::make_unique<TTaskManager>();
  }
  void TearDown() override { FManager.reset(); }

  std::vector<TTaskItem*> Tasks() {
    std::vector<TTaskItem*> Result;
    for (int32_t I = 0; I < FManager->TaskCount(); ++I)
      Result.push_back(FManager->GetTask(I));
    return Result;
  }

  // Starts a run and serves the main thread's queue until the run ends; a
  // watchdog ends a run that hangs.
  void RunConversion(std::chrono::seconds Limit = std::chrono::seconds(120)) {
    FManager->FOnTaskChanged = [this](int32_t, uint8_t Kind) {
      if (Kind == nkRunning && !FManager->IsRunning()) platform::QuitMessageLoop(0);
    };
    std::mutex Lock;
    std::condition_variable Done;
    bool Finished = false;
    std::thread Watchdog([&] {
      std::unique_lock<std::mutex> Guard(Lock);
      if (!Done.wait_for(Guard, Limit, [&] { return Finished; })) platform::QuitMessageLoop(1);
    });
    FManager->StartConvert();
    const int Code = platform::RunMessageLoop();
    {
      std::lock_guard<std::mutex> Guard(Lock);
      Finished = true;
    }
    Done.notify_one();
    Watchdog.join();
    FManager->FOnTaskChanged = nullptr;
    EXPECT_EQ(Code, 0) << "the run did not end";
  }

  TChineseUtf8Desktop FDesktop;
  TTempDir FProgramDir;
  morvotest::TScopedEnv FProgramEnv{"MORVO_PROGRAM_DIR", FProgramDir.Path().string()};
  TTempDir FDir;
  std::unique_ptr<TTaskManager> FManager;
};

}  // namespace cuetest
