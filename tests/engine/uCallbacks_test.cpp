// The output object handed to encoders and the CPU usage control pairs.
#include <filesystem>
#include <string>
#include <vector>

#include "engine/uCpuControl.h"
#include "engine/uEncodeWorker.h"
#include "engine/uEncoderCallBack.h"
#include "platform/uThreads.h"
#include "uEngineTestKit.h"

namespace enginetest {
namespace {

class CallbackTest : public TEngineTest {};

TEST_F(CallbackTest, OutputWritesReadsAndSeeks) {
  const std::string path = FOut + "/out.bin";
  WriteBytes(path, "previous content that must go");
  auto* out = new TEncoderCallBack(W(path));
  ASSERT_TRUE(out->HasFile());
  EXPECT_EQ(ReadBytes(path), "") << "the file is created anew";
  EXPECT_EQ(out->Write("abcdef", 6), 0);
  int64_t position = -1;
  EXPECT_EQ(out->Seek(0, 2, &position), 0);
  EXPECT_EQ(position, 6);
  char buffer[8] = {'x', 'x'};
  EXPECT_EQ(out->Read(buffer, 4), 0);  // at the end: nothing read
  EXPECT_EQ(buffer[0], 'x');
  EXPECT_EQ(out->Seek(1, 0, nullptr), 0);  // moves without reporting
  EXPECT_EQ(out->Read(buffer, 2), 0);
  EXPECT_EQ(std::string(buffer, 2), "bc");
  EXPECT_EQ(out->Seek(-1, 1, &position), 0);
  EXPECT_EQ(position, 2);
  EXPECT_EQ(out->Write("Z", 1), 0);
  EXPECT_EQ(out->Write(nullptr, 3), -1);
  EXPECT_EQ(out->Read(nullptr, 3), -1);
  // Positions beyond 32 bits are kept whole.
  EXPECT_EQ(out->Seek(int64_t(5) << 32, 0, &position), 0);
  EXPECT_EQ(position, int64_t(5) << 32);
  EXPECT_TRUE(out->WriteFailed());  // the null write counts
  out->Release();
  std::filesystem::resize_file(path, 6);
  EXPECT_EQ(ReadBytes(path), "abZdef");
}

TEST_F(CallbackTest, OutputWithoutFileAnswersMinusOne) {
  auto* out = new TEncoderCallBack(W(FOut + "/no/such/folder/x.wav"));
  EXPECT_FALSE(out->HasFile());
  char buffer[4];
  int64_t position = 7;
  EXPECT_EQ(out->Write("ab", 2), -1);
  EXPECT_EQ(out->Read(buffer, 2), -1);
  EXPECT_EQ(out->Seek(0, 0, &position), -1);
  EXPECT_EQ(position, 7);
  void* asked = nullptr;
  EXPECT_EQ(out->QueryInterface(IID_IEncoderCallback, &asked), S_OK);
  EXPECT_EQ(asked, static_cast<IEncoderCallback*>(out));
  out->Release();
  EXPECT_EQ(out->Release(), 0u);
}

TEST_F(CallbackTest, CpuControlPairsAndProgress) {
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

TEST_F(CallbackTest, WorkersCarryAControlWhileConverting) {
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
  for (int32_t id : ids) EXPECT_EQ(Task(id)->FResult, rcSucceeded);
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
