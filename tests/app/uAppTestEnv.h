// A task manager for tests of the adding side: its configuration lives in a
// temporary program folder, the test's thread is the main thread, and the
// desktop is a UTF-8 desktop of a Chinese user (GBK for 8-bit text that is
// not UTF-8).
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "engine/uTaskManager.h"
#include "platform/uThreads.h"
#include "tests/support/uCueTestFiles.h"

namespace cuetest {

class TManagerTest : public ::testing::Test {
protected:
  void SetUp() override {
    platform::RegisterMainThread();
    FManager = std::make_unique<TTaskManager>();
  }
  void TearDown() override {
    FManager.reset();
  }

  std::vector<TTaskItem*> Tasks() {
    std::vector<TTaskItem*> Result;
    for (int32_t I = 0; I < FManager->TaskCount(); ++I)
      Result.push_back(FManager->GetTask(I));
    return Result;
  }

  TChineseUtf8Desktop FDesktop;
  TTempDir FProgramDir;
  morvotest::TScopedEnv FProgramEnv{"MORVO_PROGRAM_DIR", FProgramDir.Path().string()};
  TTempDir FDir;
  std::unique_ptr<TTaskManager> FManager;
};

} // namespace cuetest
