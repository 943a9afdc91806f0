// The CPU usage control pairs handed to the workers and the progress the
// controls read through them.
#include <string>
#include <vector>

#include "engine/uCpuControl.h"
#include "engine/uEncodeWorker.h"
#include "platform/uThreads.h"
#include "uEngineTestKit.h"

namespace enginetest {
namespace {

class CpuControlTest : public TEngineTest {};

TEST_F(CpuControlTest, CpuControlPairsAndProgress) {
  TCpuControl& control = *FManager->FCpuControl;
  EXPECT_EQ(control.FProcessorCount, static_cast<int32_t>(platform::ProcessorCount()));
  EXPECT_EQ(FManager->Workers().size(), static_cast<size_t>(control.FProcessorCount));
  TProgressCallback* callback = nullptr;
  IThreadCpuUsageControl* usage = nullptr;
  control.CreateUsageControl(callback, usage);
  if (!usage) GTEST_SKIP() << "the player library makes no CPU usage control";
  ASSERT_NE(callback, nullptr);
  EXPECT_EQ(control.PairCount(), 1u);
  callback->FProgress = 42;
  EXPECT_EQ(callback->GetProgress(usage), 42);
  EXPECT_EQ(callback->GetProgress(nullptr), 0);
  callback->Release();
  control.ReleaseUsageControl(usage);
  EXPECT_EQ(usage, nullptr);
  EXPECT_EQ(control.PairCount(), 0u);
}

TEST_F(CpuControlTest, WorkersCarryAControlWhileConverting) {
  FManager->FPriority = tpResourcesFirst;
  const size_t workers = FManager->Workers().size();
  std::vector<int32_t> ids;
  for (size_t i = 0; i < workers + 2; ++i)
    ids.push_back(Add(TSources::Get().Wav16, "limited" + std::to_string(i) + ".flac"));
  int converting = 0, withoutControl = 0;
  FOnReport = [&](const TReport& r) {
    if (r.Posted || r.Kind != nkChanged) return;
    for (const auto& worker : FManager->Workers()) {
      const TTaskItem* task = worker->FTask;
      if (!task || task->FId != r.Value || task->FState != tsConverting) continue;
      ++converting;
      withoutControl += !worker->FCpuUsage || !worker->FProgressCallback;
    }
  };
  ConvertAll();
  for (int32_t id : ids)
    EXPECT_EQ(Task(id)->FResult, rcSucceeded);
  TCpuControl& control = *FManager->FCpuControl;
  if (control.PairCount() == 0) GTEST_SKIP() << "the player library makes no CPU usage control";
  EXPECT_EQ(converting, static_cast<int>(ids.size()));
  EXPECT_EQ(withoutControl, 0);
  // Each hand-out replaces the worker's previous pair: one per worker at
  // most, however many tasks it took.
  EXPECT_LE(control.PairCount(), workers);
  // The pump keeps the worker's callback up to date, and the control finds
  // it through its pair.
  for (const auto& worker : FManager->Workers()) {
    if (!worker->FCpuUsage) continue;
    const int64_t progress = worker->FProgressCallback->FProgress.load();
    EXPECT_GT(progress, 0);
    EXPECT_EQ(control.ProgressOf(worker->FCpuUsage.Get()), progress);
  }
}

}  // namespace
}  // namespace enginetest
