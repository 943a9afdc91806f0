// The player library's CPU usage control, used as the system uses it: made
// by ordinal 6 on one thread, attached to a worker thread that decodes.
#include <gtest/gtest.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "uLxPlayerTestSupport.h"

namespace {

int64_t ClockNs(clockid_t Clock) {
  timespec ts{};
  clock_gettime(Clock, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

// Stands in for the engine's progress object (it lives outside the library).
class TFixedProgress final : public IProgressCallback {
public:
  HRESULT MORVO_STDCALL QueryInterface(const TGUID&, void** obj) override {
    *obj = nullptr;
    return E_NOINTERFACE;
  }
  uint32_t MORVO_STDCALL AddRef() override { return ++FRefs; }
  uint32_t MORVO_STDCALL Release() override { return --FRefs; }
  int64_t MORVO_STDCALL GetProgress(IThreadCpuUsageControl*) override { return 42; }
  std::atomic<uint32_t> FRefs{1};
};

struct TDecodeRun {
  double CpuShare = 0;  // thread CPU time over wall time
  double LongestReadSeconds = 0;
  int64_t Bytes = 0;
};

// Decodes Path over and over on the calling thread for Seconds.
TDecodeRun DecodeFor(const std::filesystem::path& Path, double Seconds) {
  TComPtr<IDecoderEx> decoder(OpenDecoder(Path));
  TDecodeRun run;
  if (!decoder) return run;
  std::vector<uint8_t> buffer(16384);
  const int64_t wall0 = ClockNs(CLOCK_MONOTONIC);
  const int64_t cpu0 = ClockNs(CLOCK_THREAD_CPUTIME_ID);
  int64_t now = wall0;
  while (now - wall0 < static_cast<int64_t>(Seconds * 1e9)) {
    const int32_t got = decoder->Read(buffer.data(), 16384);
    const int64_t after = ClockNs(CLOCK_MONOTONIC);
    run.LongestReadSeconds = std::max(run.LongestReadSeconds, (after - now) / 1e9);
    now = after;
    if (got > 0) run.Bytes += got;
    if (got <= 0) decoder->Seek(0);
  }
  run.CpuShare = static_cast<double>(ClockNs(CLOCK_THREAD_CPUTIME_ID) - cpu0) / (now - wall0);
  return run;
}

TEST(CpuUsageControl, HoldsTheAttachedDecodingThreadAtItsLimit) {
  const TPlayerLibrary& lib = TPlayerLibrary::Get();
  ASSERT_NE(lib.Ordinal6, nullptr);
  TTempDir dir;
  const auto source = dir / "tone.flac";
  ASSERT_TRUE(
      RunCommand("ffmpeg -v error -y -f lavfi -i anoisesrc=duration=20:sample_rate=44100 -ac 2 " +
                 std::string("-c:a flac -compression_level 12 ") + Quote(source)));

  TFixedProgress progress;
  std::promise<uint32_t> threadId;
  std::promise<void> started;
  std::future<TDecodeRun> result = std::async(std::launch::async, [&] {
    threadId.set_value(static_cast<uint32_t>(gettid()));
    started.get_future().wait();
    return DecodeFor(source, 3.0);
  });

  // The main thread makes, sets up and starts the control, as the task
  // manager does when it hands out a task.
  IThreadCpuUsageControl* control = nullptr;
  ASSERT_EQ(lib.Ordinal6(&control), S_OK);
  ASSERT_NE(control, nullptr);
  control->AttachThread(threadId.get_future().get());
  control->SetProgressCallback(&progress);
  control->SetCpuLimit(30);
  control->SetCpuLimitMode(1);
  control->Start();
  EXPECT_EQ(progress.FRefs, 2u) << "the control keeps the progress object while it lives";
  started.set_value();

  const TDecodeRun run = result.get();
  control->Release();
  EXPECT_EQ(progress.FRefs, 1u) << "releasing the control gives the progress object back";
  EXPECT_GT(run.Bytes, 0);
  EXPECT_LE(run.CpuShare, 0.40) << "measured share of one core";
  EXPECT_LT(run.LongestReadSeconds, 1.0) << "a held thread must still see a stop within a second";
  RecordProperty("cpu_share_at_30", std::to_string(run.CpuShare));
}

TEST(CpuUsageControl, StartWithoutThreadAndUnknownInterfacesAreRefused) {
  IThreadCpuUsageControl* control = nullptr;
  ASSERT_EQ(TPlayerLibrary::Get().Ordinal6(&control), S_OK);
  EXPECT_LT(control->Start(), 0);
  void* other = reinterpret_cast<void*>(1);
  EXPECT_EQ(control->QueryInterface(IID_IEncoder, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(control->Release(), 0u);
  EXPECT_EQ(TPlayerLibrary::Get().Ordinal6(nullptr), E_POINTER);
  EXPECT_EQ(TPlayerLibrary::Get().Ordinal2(nullptr), E_POINTER);
}

}  // namespace
