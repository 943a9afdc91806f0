// The output object handed to encoders and the CPU usage control pairs.
#include <filesystem>

#include "engine/uCpuControl.h"
#include "engine/uEncoderCallBack.h"
#include "platform/uThreads.h"
#include "uEngineTestKit.h"

namespace enginetest {
namespace {

class CallbackTest : public TEngineTest {};

TEST_F(CallbackTest, OutputWritesReadsAndSeeks) {
  const std::string path = FOut + "/out.bin";
  WriteFile(path, "previous content that must go");
  auto* out = new TEncoderCallBack(W(path));
  ASSERT_TRUE(out->HasFile());
  EXPECT_EQ(ReadFile(path), "") << "the file is created anew";
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
  EXPECT_EQ(ReadFile(path), "abZdef");
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
  const int32_t id = Add(TSources::Get().Wav16, "limited.flac");
  ConvertAll();
  EXPECT_EQ(Task(id)->FResult, rcSucceeded);
  // One pair per worker that took a task, at most.
  EXPECT_LE(FManager->FCpuControl->PairCount(), FManager->Workers().size());
}

}  // namespace
}  // namespace enginetest
