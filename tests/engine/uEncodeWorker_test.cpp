// Whole conversions through the task manager and its workers: formats,
// cue tracks, refusals and the order of the reports.
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <thread>

#include "engine/uEncodeWorker.h"
#include "engine/uWorkerHost.h"
#include "params/uParamManager.h"
#include "platform/uCdDrives.h"
#include "tests/support/uCdImage.h"
#include "tests/support/uFifoWatch.h"
#include "tests/support/uScopedEnv.h"
#include "uEngineTestKit.h"

namespace fs = std::filesystem;

namespace enginetest {
namespace {

class ConversionTest : public TEngineTest {
protected:
  template <class T> T* Param(const char* Ext) {
    return dynamic_cast<T*>(FManager->FParamManager->FindByExtension(Ext));
  }
};

TEST_F(ConversionTest, WavToFlacAndBackIsBitExact) {
  const TSources& s = TSources::Get();
  const int32_t toFlac = Add(s.Wav16, "n16.flac");
  const int32_t fromFlac = Add(s.Flac, "fromflac.wav");
  ConvertAll();
  ASSERT_EQ(Task(toFlac)->FResult, rcSucceeded);
  ASSERT_EQ(Task(fromFlac)->FResult, rcSucceeded);
  const TWavData source = ReadWav(s.Wav16);
  ASSERT_TRUE(source.Valid);
  EXPECT_EQ(DecodeWithFfmpeg(TargetPath(toFlac), "pcm_s16le").Pcm, source.Pcm);
  const TWavData back = ReadWav(TargetPath(fromFlac));
  EXPECT_EQ(back.Bits, 16);
  EXPECT_EQ(back.Channels, 2);
  EXPECT_EQ(back.Pcm, source.Pcm);
  EXPECT_EQ(FManager->FSucceededCount, 2);
  EXPECT_EQ(FManager->FFinishedCount, 2);
}

TEST_F(ConversionTest, WavToMp3AtTheChosenBitrate) {
  const int32_t id = Add(TSources::Get().Wav16, "n16.mp3");
  Param<TMp3Param>(".mp3")->FCbrIndex = 0;  // 320 kbit/s
  ConvertAll();
  ASSERT_EQ(Task(id)->FResult, rcSucceeded);
  EXPECT_EQ(Probe(TargetPath(id)), "mp3,320000");
  // About three seconds of audio came through.
  const TWavData decoded = DecodeWithFfmpeg(TargetPath(id), "pcm_s16le");
  EXPECT_NEAR(decoded.Pcm.size() / 4.0 / 44100.0, 3.0, 0.1);
}

TEST_F(ConversionTest, WavTargetsAtEveryOutputWidth) {
  const TSources& s = TSources::Get();
  const TWavData source = ReadWav(s.Wav24);
  const size_t frames = source.Pcm.size() / 6;
  // 0 "原始比特" keeps the source's 24 bits; 4 (hand-edited) is 32 bits;
  // any other value falls back to the source's width.
  const int expectedBits[] = {24, 8, 16, 24, 32, 24};
  const uint8_t choices[] = {0, 1, 2, 3, 4, 9};
  for (size_t i = 0; i < std::size(choices); ++i) {
    const uint8_t choice = choices[i];
    if (FManager->TaskCount() > 0) FManager->RemoveTask(FManager->GetTask(0)->FId);
    Param<TWavParam>(".wav")->FOutputBps = choice;
    const int32_t id = Add(s.Wav24, "w" + std::to_string(choice) + ".wav");
    ConvertAll();
    ASSERT_EQ(Task(id)->FResult, rcSucceeded) << int(choice);
    const TWavData out = ReadWav(TargetPath(id));
    const int bits = expectedBits[i];
    EXPECT_EQ(out.Bits, bits) << int(choice);
    EXPECT_EQ(out.Rate, 48000u);
    EXPECT_EQ(out.Pcm.size(), frames * 2 * bits / 8) << int(choice);
    if (bits == 24) {
      EXPECT_TRUE(out.Pcm == source.Pcm) << int(choice);
    }
  }
}

TEST_F(ConversionTest, CueTrackCoversExactlyItsRange) {
  const TSources& s = TSources::Get();
  const int32_t middle = Add(s.Long16, "middle.wav", tkCueTrack, 60000, 90000);
  const int32_t last = Add(s.Long16, "last.wav", tkCueTrack, 90000, 95000);
  const int32_t odd = Add(s.Long16, "odd.wav", tkCueTrack, 1001, 2003);
  ConvertAll();
  const TWavData source = ReadWav(s.Long16);
  ASSERT_EQ(source.Pcm.size(), 95u * 44100 * 4);

  ASSERT_EQ(Task(middle)->FResult, rcSucceeded);
  const TWavData m = ReadWav(TargetPath(middle));
  ASSERT_EQ(m.Pcm.size(), 5292000u);
  EXPECT_TRUE(m.Pcm == source.Pcm.substr(60u * 44100 * 4, 5292000)) << "the track's samples differ";

  // The last track runs to the end of the source and gets all of it.
  ASSERT_EQ(Task(last)->FResult, rcSucceeded);
  EXPECT_TRUE(ReadWav(TargetPath(last)).Pcm == source.Pcm.substr(90u * 44100 * 4));

  // Bounds that fall between samples: whole frames, rounded the same way at
  // both ends (1001 ms -> frame 44144, 2003 ms -> frame 88332).
  ASSERT_EQ(Task(odd)->FResult, rcSucceeded);
  EXPECT_TRUE(ReadWav(TargetPath(odd)).Pcm == source.Pcm.substr(44144u * 4, (88332u - 44144u) * 4));
}

// A cue track given in CD frames is cut at (mm * 60 + ss) * rate +
// ff * rate / 75, also at a rate where a frame is no whole number of
// samples (32 kHz: 426.67); its milliseconds do not move the cut.
TEST_F(ConversionTest, CueTrackInCdFramesCutsAtTheExactSample) {
  const TSources& s = TSources::Get();
  const std::string odd = s.Dir + "/noise32k.wav";
  ASSERT_TRUE(
      morvotest::RunCommand("ffmpeg -nostdin -v error -y -f lavfi -i \"aevalsrc=0.4*random(0)-0.2|"
                            "0.4*random(1)-0.2:s=32000:d=3\" -bitexact -c:a pcm_s16le " +
                            Quote(odd)));
  // 00:01:40 to 00:02:10, and 00:00:33 to the end of a 44.1 kHz source.
  const int32_t inner = Add(odd, "inner.wav", tkCueTrack, 1533, 2133);
  Task(inner)->FStartFrame = 75 + 40;
  Task(inner)->FEndFrame = 2 * 75 + 10;
  const int32_t tail = Add(s.Flac, "tail.wav", tkCueTrack, 440, 3000);
  Task(tail)->FStartFrame = 33;
  Task(tail)->FEndFrame = -1;
  const int32_t backwards = Add(s.Wav16, "back.wav", tkCueTrack, 0, 1000);
  Task(backwards)->FStartFrame = 80;
  Task(backwards)->FEndFrame = 80;
  ConvertAll();

  ASSERT_EQ(Task(inner)->FResult, rcSucceeded);
  const int64_t first = 32000 + 40 * 32000 / 75, end = 2 * 32000 + 10 * 32000 / 75;  // 49066, 68266
  EXPECT_TRUE(ReadWav(TargetPath(inner)).Pcm ==
              ReadWav(odd).Pcm.substr(size_t(first) * 4, size_t(end - first) * 4));
  ASSERT_EQ(Task(tail)->FResult, rcSucceeded);
  EXPECT_TRUE(ReadWav(TargetPath(tail)).Pcm == ReadWav(s.Wav16).Pcm.substr(33 * 588 * 4));
  EXPECT_EQ(Task(backwards)->FResult, rcReadFailed);
  EXPECT_FALSE(FileExists(TargetPath(backwards)));
}

TEST_F(ConversionTest, CueTrackEndingBeforeItsStartFailsBeforeAnyFile) {
  const int32_t backwards = Add(TSources::Get().Long16, "back.wav", tkCueTrack, 5000, 4000);
  const int32_t empty = Add(TSources::Get().Long16, "empty.wav", tkCueTrack, 5000, 5000);
  ConvertAll();
  for (int32_t id : {backwards, empty}) {
    EXPECT_EQ(Task(id)->FResult, rcReadFailed);
    EXPECT_EQ(Task(id)->FState, tsFailed);
    EXPECT_FALSE(FileExists(TargetPath(id)));
  }
}

TEST_F(ConversionTest, SourceThatDeliversNothingFailsInsteadOfSpinning) {
  // A track that starts after the end of its audio file: every read gives 0.
  const int32_t id = Add(TSources::Get().Long16, "beyond.wav", tkCueTrack, 200000, 210000);
  ConvertAll();
  EXPECT_EQ(Task(id)->FResult, rcReadFailed);
  EXPECT_FALSE(FileExists(TargetPath(id)));
}

TEST_F(ConversionTest, TrackOfMoreThanFourGibibytesConvertsWhole) {
  const std::filesystem::space_info space = std::filesystem::space(FOut);
  if (space.available < (uint64_t(10) << 30)) GTEST_SKIP() << "needs 10 GiB of free disk";
  const std::string source = NewDir("big") + "/big.wav";
  MakeSparseRf64(source, 25010);
  // 1 s to 25 000 s: 1 102 455 900 frames, 4 409 823 600 bytes of PCM. (A
  // WAV target cannot hold that much; FLAC can.)
  Param<TFlacParam>(".flac")->FQuality = 0;
  const int32_t id = Add(source, "big-track.flac", tkCueTrack, 1000, 25000000);
  ConvertAll(1800);
  const std::string target = TargetPath(id);
  EXPECT_EQ(Task(id)->FResult, rcSucceeded);
  EXPECT_EQ(Task(id)->FProgress, 100);
  int progressReports = 0;
  for (const TReport& r : ReportsOf(id))
    progressReports += r.Kind == nkProgress;
  EXPECT_LE(progressReports, 101);
  const std::string samples =
      morvotest::RunTool("metaflac --show-total-samples " + Quote(target)).Output;
  EXPECT_EQ(samples, "1102455900\n");
  std::error_code ignored;
  std::filesystem::remove(target, ignored);
  std::filesystem::remove(source, ignored);
}

TEST_F(ConversionTest, NormalTaskReportsInOrder) {
  const int32_t id = Add(TSources::Get().Long16, "order.flac");
  FReports.clear();
  ConvertAll();
  ASSERT_EQ(Task(id)->FResult, rcSucceeded);
  std::vector<TReport> reports = ReportsOf(id);
  // Kind 3 (reset) and 7 (running) come first.
  ASSERT_GE(reports.size(), 4u);
  size_t i = 0;
  while (i < reports.size() && !(reports[i].Kind == nkChanged && !reports[i].Posted))
    ++i;
  ASSERT_LT(i, reports.size());
  ++i;  // converting
  int32_t progressCount = 0;
  for (; i < reports.size() && reports[i].Kind == nkProgress; ++i) {
    EXPECT_TRUE(reports[i].Posted);
    ++progressCount;
  }
  // At most one report per new percentage, and fewer when they would
  // come faster than a person can read them.
  EXPECT_GE(progressCount, 1);
  EXPECT_LE(progressCount, 101);
  EXPECT_EQ(Task(id)->FProgress, 100);
  ASSERT_LT(i + 1, reports.size());
  EXPECT_FALSE(reports[i].Posted);
  EXPECT_EQ(reports[i].Kind, nkChanged);  // done
  EXPECT_FALSE(reports[i + 1].Posted);
  EXPECT_EQ(reports[i + 1].Kind, nkRunning);
  EXPECT_FALSE(FManager->IsRunning());
}

TEST_F(ConversionTest, LosslessCodecsBehindOtherExtensionsConvertToLossless) {
  // AIFF and ALAC are lossless although their extensions are not listed.
  const std::string dir = NewDir("src");
  ASSERT_TRUE(morvotest::RunCommand("ffmpeg -nostdin -v error -y -i " +
                                    Quote(TSources::Get().Wav16) + " -c:a pcm_s16be " +
                                    Quote(dir + "/a.aiff")));
  ASSERT_TRUE(morvotest::RunCommand("ffmpeg -nostdin -v error -y -i " +
                                    Quote(TSources::Get().Wav16) + " -c:a alac " +
                                    Quote(dir + "/a.m4a")));
  const int32_t aiff = Add(dir + "/a.aiff", "aiff.flac");
  const int32_t alac = Add(dir + "/a.m4a", "alac.wav");
  ConvertAll();
  ASSERT_EQ(Task(aiff)->FResult, rcSucceeded);
  ASSERT_EQ(Task(alac)->FResult, rcSucceeded);
  const TWavData source = ReadWav(TSources::Get().Wav16);
  EXPECT_EQ(DecodeWithFfmpeg(TargetPath(aiff), "pcm_s16le").Pcm, source.Pcm);
  EXPECT_EQ(ReadWav(TargetPath(alac)).Pcm, source.Pcm);
}

TEST_F(ConversionTest, LossyToLosslessIsRefused) {
  const int32_t id = Add(TSources::Get().Mp3_128, "lossy.flac");
  ConvertAll();
  EXPECT_EQ(Task(id)->FResult, rcLossyToLossless);
  EXPECT_FALSE(FileExists(TargetPath(id)));
  EXPECT_EQ(FManager->FFinishedCount, 1);
  EXPECT_EQ(FManager->FSucceededCount, 0);
}

TEST_F(ConversionTest, Mp3BitrateRefusals) {
  const TSources& s = TSources::Get();
  auto* mp3 = Param<TMp3Param>(".mp3");
  mp3->FBitRateMode = 0;
  mp3->FCbrIndex = 0;  // 320 from a 128 kbit/s source
  const int32_t up = Add(s.Mp3_128, "up.mp3");
  ConvertAll();
  EXPECT_EQ(Task(up)->FResult, rcLowToHigh);
  EXPECT_FALSE(FileExists(TargetPath(up))) << "the target made for the refused task is removed";

  FManager->RemoveTask(up);
  mp3->FCbrIndex = 5;  // 128 from a lossless source
  const int32_t low = Add(s.Wav16, "low.mp3");
  ConvertAll();
  EXPECT_EQ(Task(low)->FResult, rcMp3TooLow);
  EXPECT_FALSE(FileExists(TargetPath(low)));

  // A hand-edited mode other than VBR hands the CBR bitrate on, and it is
  // checked like any other.
  FManager->RemoveTask(low);
  mp3->FBitRateMode = 3;
  const int32_t odd = Add(s.Wav16, "odd.mp3");
  ConvertAll();
  EXPECT_EQ(Task(odd)->FResult, rcMp3TooLow);

  FManager->RemoveTask(odd);
  mp3->FBitRateMode = 2;  // VBR is never refused
  const int32_t vbr = Add(s.Mp3_128, "vbr.mp3");
  ConvertAll();
  EXPECT_EQ(Task(vbr)->FResult, rcSucceeded);
  EXPECT_EQ(Probe(TargetPath(vbr)).substr(0, 3), "mp3");
}

TEST_F(ConversionTest, MissingSourceAndUnusableFolder) {
  const int32_t missing = Add(FOut + "/nothing-here.wav", "nothing.flac");
  ConvertAll();
  EXPECT_EQ(Task(missing)->FResult, rcSourceMissing);

  // A file where the target folder should be.
  FManager->RemoveTask(missing);
  WriteBytes(FOut + "/blocker", "x");
  FManager->SetDestPath(W(FOut + "/blocker/sub/"));
  const int32_t folder = Add(TSources::Get().Wav16, "f.flac");
  ConvertAll();
  EXPECT_EQ(Task(folder)->FResult, rcBadFolder);

  // A folder that can be made is made.
  FManager->RemoveTask(folder);
  FManager->SetDestPath(W(FOut + "/new/deeper"));
  const int32_t made = Add(TSources::Get().Wav16, "m.flac");
  ConvertAll();
  EXPECT_EQ(Task(made)->FResult, rcSucceeded);
  EXPECT_TRUE(FileExists(FOut + "/new/deeper/m.flac"));
}

TEST_F(ConversionTest, TargetThatCannotBeCreatedFailsWithCode2) {
  // A dangling symbolic link into a missing folder is no existing file, so
  // no policy applies, yet creating the target through it fails.
  std::filesystem::create_symlink(FOut + "/missing/dir/x.wav", FOut + "/dangling.wav");
  const int32_t id = Add(TSources::Get().Wav16, "dangling.wav");
  ConvertAll();
  EXPECT_EQ(Task(id)->FResult, rcEncodeFailed);
  EXPECT_EQ(Task(id)->FState, tsFailed);
  EXPECT_FALSE(std::filesystem::exists(FOut + "/missing"));
}

// --- Cut and damaged sources -----------------------------------------------

class DamagedSourceTest : public ConversionTest {
protected:
  // The first Percent of Path's bytes, under Name in a folder of its own.
  std::string Cut(const std::string& Path, const std::string& Name, int Percent) {
    std::string bytes = ReadBytes(Path);
    bytes.resize(bytes.size() * Percent / 100 + 3);
    const std::string cut = NewDir("cut") + "/" + Name;
    WriteBytes(cut, bytes);
    return cut;
  }
  void ExpectReadFailure(int32_t Id) {
    EXPECT_EQ(Task(Id)->FResult, rcReadFailed) << U(Task(Id)->FSource);
    EXPECT_EQ(Task(Id)->FState, tsFailed);
    EXPECT_FALSE(FileExists(TargetPath(Id))) << "the target of a cut source is deleted";
    EXPECT_FALSE(Task(Id)->FDetail.empty());
  }
};

TEST_F(DamagedSourceTest, CutWavFlacAndApeSourcesFailWithCode6) {
  const TSources& s = TSources::Get();
  // An APE source made by our own encoder, checked before it is cut.
  const int32_t ape = Add(s.Wav16, "whole.ape");
  ConvertAll();
  ASSERT_EQ(Task(ape)->FResult, rcSucceeded);
  const std::string apePath = NewDir("ape") + "/whole.ape";
  std::filesystem::rename(TargetPath(ape), apePath);
  FManager->RemoveTask(ape);
  const int32_t wholeApe = Add(apePath, "whole-ape.wav");
  ConvertAll();
  ASSERT_EQ(Task(wholeApe)->FResult, rcSucceeded);
  EXPECT_EQ(ReadWav(TargetPath(wholeApe)).Pcm, ReadWav(s.Wav16).Pcm);
  FManager->RemoveTask(wholeApe);

  const int32_t wav = Add(Cut(s.Wav16, "cut.wav", 30), "cut-wav.flac");
  const int32_t flac = Add(Cut(s.Flac, "cut.flac", 50), "cut-flac.wav");
  const int32_t cutApe = Add(Cut(apePath, "cut.ape", 50), "cut-ape.wav");
  ConvertAll();
  for (int32_t id : {wav, flac, cutApe})
    ExpectReadFailure(id);
  EXPECT_EQ(U(Task(wav)->FDetail), "the file ends before the length its header states");
  EXPECT_EQ(FManager->FSucceededCount, 0);
}

TEST_F(DamagedSourceTest, ADamagedFlacFrameInTheMiddleFailsWithCode6) {
  std::string bytes = ReadBytes(TSources::Get().Flac);
  for (size_t i = bytes.size() / 2; i < bytes.size() / 2 + 32; ++i)
    bytes[i] ^= 0x5A;
  const std::string damaged = NewDir("damaged") + "/damaged.flac";
  WriteBytes(damaged, bytes);
  ASSERT_NE(Shell("flac -s -t " + Quote(damaged)), 0) << "the flac tool sees the damage";
  const int32_t id = Add(damaged, "damaged.wav");
  ConvertAll();
  ExpectReadFailure(id);
  EXPECT_EQ(U(Task(id)->FDetail), "the audio data is damaged");
}

TEST_F(DamagedSourceTest, ACutMp3StillConvertsWhatIsThere) {
  // An MP3's length is only estimated: a cut one ends where its data ends.
  const int32_t id = Add(Cut(TSources::Get().Mp3_128, "cut.mp3", 50), "cut-mp3.mp3");
  Param<TMp3Param>(".mp3")->FBitRateMode = 2;  // VBR: no bitrate check
  ConvertAll();
  EXPECT_EQ(Task(id)->FResult, rcSucceeded);
}

TEST_F(ConversionTest, FullDiskFailsTheTaskWithCode2) {
  // A 64 KiB file system for a 500 KiB target (needs the right to mount).
  const std::string small = NewDir("small");
  if (Shell("mount -t tmpfs -o size=64k morvo-test " + Quote(small)) != 0)
    GTEST_SKIP() << "cannot mount a small file system here";
  FManager->SetDestPath(W(small + "/"));
  const int32_t id = Add(TSources::Get().Wav16, "full.wav");
  ConvertAll();
  EXPECT_EQ(Task(id)->FResult, rcEncodeFailed) << "a target that lost data is no success";
  EXPECT_EQ(U(Task(id)->FDetail), "No space left on device");
  EXPECT_FALSE(FileExists(small + "/full.wav"));
  EXPECT_TRUE(std::filesystem::is_empty(small)) << "no temporary file is left";
  Shell("umount " + Quote(small));
}

// A host that is not the task manager: one task, and a record of what the
// worker reports.
class TFakeHost final : public IWorkerHost {
public:
  explicit TFakeHost(std::unique_ptr<TTaskItem> Task) : FTask(std::move(Task)) {
    FParams.Register(std::string(".flac"));
    FTask->FParamId = FParams.FindIdByExtension(".flac");
  }
  void RequestTask(TEncodeWorker* Worker) override {
    Worker->FTask = nullptr;
    if (FHandedOut || !Worker->FActive) return;
    FHandedOut = true;
    Worker->FTask = FTask.get();
  }
  std::unique_ptr<IPcmTap> MakePcmTap(const TTaskItem&) override { return nullptr; }
  void SetTaskState(int32_t, TTaskState State) override {
    FStates.push_back(State);
    FTask->FState = State;
  }
  bool SetTaskProgress(TTaskItem* Item, int32_t Percent) override {
    Item->FProgress = Percent;
    return true;
  }
  void PostNotify(uint8_t, int32_t) override {}
  void RemoveTask(int32_t) override { ++FRemoved; }
  void AddConverted(const std::u16string& Target) override { FConverted.push_back(Target); }
  void QueueForPlaylist(const std::u16string&) override {}
  std::u16string DestPath() const override { return FDest; }
  uint8_t ExistPolicy() const override { return epRename; }
  platform::IMessageTarget* MainForm() const override { return nullptr; }
  TEncodeParam* FindParam(int32_t ParamId) const override { return FParams.FindById(ParamId); }
  void WorkerEnded(TEncodeWorker*) override {}
  bool ClaimTarget(int32_t, const std::u16string&) override { return true; }
  bool IsTargetOfRun(int32_t, const std::u16string&) override { return false; }
  bool IsSourceOfRun(int32_t, const std::u16string&) override { return false; }
  void TargetWritten(int32_t, const std::u16string& Path) override { FWritten.push_back(Path); }
  void ReleaseTarget(int32_t) override {}

  TParamManager FParams;
  std::unique_ptr<TTaskItem> FTask;
  bool FHandedOut = false;
  std::vector<TTaskState> FStates;
  std::vector<std::u16string> FConverted;
  std::vector<std::u16string> FWritten;
  int FRemoved = 0;
  std::u16string FDest;
};

// Serves the main thread's queue until Done holds or a minute has passed.
bool ServeUntil(const std::function<bool()>& Done) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (!Done() && std::chrono::steady_clock::now() < end) {
    if (platform::ProcessMessages() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return Done();
}

TEST(WorkerWithItsOwnHost, ConvertsTheTaskItIsGiven) {
  const TSources& s = TSources::Get();
  auto task = std::make_unique<TTaskItem>();
  task->FId = 7;
  task->FSource = W(s.Wav16);
  task->FTargetName = u"hosted.flac";
  task->FTargetExt = u".flac";
  TFakeHost host(std::move(task));
  const std::string out = s.Root + "/fake-host";
  std::filesystem::create_directories(out);
  host.FDest = W(out + "/");
  {
    TEncodeWorker worker(&host);
    worker.FNumber = 1;
    worker.Activate();
    ASSERT_TRUE(
        ServeUntil([&] { return host.FTask->FState == tsDone || host.FTask->FState == tsFailed; }));
    worker.TerminateWorker();
    ASSERT_TRUE(ServeUntil([&] { return worker.Ended(); }));
  }
  EXPECT_EQ(host.FStates, (std::vector<TTaskState>{tsConverting, tsDone}));
  EXPECT_EQ(host.FTask->FProgress, 100);
  ASSERT_EQ(host.FConverted.size(), 1u);
  EXPECT_EQ(U(host.FConverted[0]), out + "/hosted.flac");
  EXPECT_EQ(host.FWritten, host.FConverted);
  EXPECT_EQ(DecodeWithFfmpeg(out + "/hosted.flac", "pcm_s16le").Pcm, ReadWav(s.Wav16).Pcm);
  EXPECT_EQ(host.FRemoved, 0);
}

TEST_F(ConversionTest, AFifoInTheSourcesPlaceFailsWithCode5WithoutBeingOpened) {
  const std::string fifo = NewDir("fifo") + "/pipe.wav";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  morvotest::TFifoWatch watch(fifo);
  const int32_t id = Add(fifo, "pipe.flac");
  ConvertAll();
  EXPECT_FALSE(watch.Stop()) << "the FIFO was opened for reading";
  EXPECT_EQ(Task(id)->FResult, rcSourceMissing);
  EXPECT_FALSE(FileExists(FOut + "/pipe.flac"));
}

TEST_F(ConversionTest, ASourceThatCannotGoToTheTrashStaysAndTheTaskSaysWhy) {
  const std::string source = CopySource(TSources::Get().Wav16, NewDir("kept"), "kept.wav");
  // A plain file where the trash folder belongs: no trash can be made.
  const std::filesystem::path trash = std::filesystem::path(getenv("XDG_DATA_HOME")) / "Trash";
  const std::filesystem::path aside = trash.string() + ".aside";
  if (std::filesystem::exists(trash)) std::filesystem::rename(trash, aside);
  WriteBytes(trash, "not a folder");
  Param<TFlacParam>(".flac")->FDelAftSucc = 1;
  const int32_t id = Add(source, "kept.flac");
  std::u16string detailWhenDone;
  FOnReport = [&](const TReport& r) {
    if (r.Kind == nkChanged && r.Value == id && Task(id)->FState == tsDone)
      detailWhenDone = Task(id)->FDetail;
  };
  ConvertAll();
  std::filesystem::remove(trash);
  if (std::filesystem::exists(aside)) std::filesystem::rename(aside, trash);

  EXPECT_TRUE(FileExists(source)) << "the source is never deleted outright";
  EXPECT_TRUE(FileExists(FOut + "/kept.flac"));
  ASSERT_NE(Task(id), nullptr) << "the task stays in the list to show why";
  EXPECT_EQ(Task(id)->FResult, rcSucceeded);
  const std::string prefix = "源文件未能移到回收站: ";
  EXPECT_EQ(U(detailWhenDone).substr(0, prefix.size()), prefix)
      << "known when the task is reported done";
  EXPECT_GT(detailWhenDone.size(), W(prefix).size()) << "with the system's reason";
  FManager->ResetAll();
  EXPECT_TRUE(Task(id)->FDetail.empty()) << "a new run starts without the old note";
}

// ---------------------------------------------------------------------------
// The pump at its edges: a source that stops reading in the middle, and the
// listeners that see a task's PCM.

// What one tap saw.
struct TTapRecord {
  std::string Pcm;
  std::optional<int32_t> Result;  // set by Finish
  std::u16string Target;
};

class TRecordingTap final : public IPcmTap {
public:
  explicit TRecordingTap(TTapRecord& Record) : FRecord(Record) {}
  void Write(const uint8_t* Data, size_t Size) override {
    FRecord.Pcm.append(reinterpret_cast<const char*>(Data), Size);
  }
  void Finish(int32_t Result, const std::u16string& TargetPath) override {
    EXPECT_FALSE(FRecord.Result.has_value()) << "finished twice";
    FRecord.Result = Result;
    FRecord.Target = TargetPath;
  }

private:
  TTapRecord& FRecord;
};

class WorkerPumpTest : public TEngineTest {
protected:
  void TearDown() override {
    TEngineTest::TearDown();
    FDrives.reset();
    platform::RefreshCdDrives();
  }
  // A one-track disc image that serves as a drive.
  morvotest::TCdImage MakeDrive(size_t Sectors) {
    const morvotest::TCdImage Image =
        morvotest::MakeCdImage(NewDir("disc"), "disc", morvotest::PlainTracks({Sectors}), 31);
    FDrives.emplace("MORVO_CD_DRIVES", Image.Cue.string());
    platform::RefreshCdDrives();
    return Image;
  }

  std::optional<morvotest::TScopedEnv> FDrives;
};

TEST_F(WorkerPumpTest, ASourceThatStopsReadingFailsItsTaskAndLeavesNoTarget) {
  const morvotest::TCdImage Image = MakeDrive(1500);
  const int32_t id =
      Add(Image.Cue.string() + "/Track01.cda", "lost.wav", tkWholeFile, 0, 0, scOptical);
  ASSERT_GT(id, 0);
  // Once the pump is about to start, most of the disc goes.
  FOnReport = [&](const TReport& Report) {
    if (!Report.Posted && Report.Kind == nkChanged && Report.Value == id &&
        Task(id)->FState == tsConverting)
      fs::resize_file(Image.Bin, 200 * morvotest::CdSectorBytes);
  };
  ConvertAll();
  EXPECT_EQ(Task(id)->FState, tsFailed);
  EXPECT_EQ(Task(id)->FResult, rcReadFailed);
  EXPECT_FALSE(FileExists(TargetPath(id)));
  EXPECT_EQ(FManager->FFinishedCount, 1);
  EXPECT_EQ(FManager->FSucceededCount, 0);
}

TEST_F(WorkerPumpTest, ACdTrackConvertsToTheBytesOfTheDisc) {
  const morvotest::TCdImage Image = MakeDrive(400);
  const int32_t id =
      Add(Image.Cue.string() + "/Track01.cda", "track.wav", tkWholeFile, 0, 0, scOptical);
  ConvertAll();
  ASSERT_EQ(Task(id)->FResult, rcSucceeded);
  const TWavData Wav = ReadWav(TargetPath(id));
  EXPECT_EQ(Wav.Rate, 44100u);
  EXPECT_TRUE(Wav.Pcm == std::string(Image.TrackPcm[0].begin(), Image.TrackPcm[0].end()));
}

TEST_F(WorkerPumpTest, ATapSeesTheEncodedPcmAndHowEachTaskEnded) {
  const TSources& s = TSources::Get();
  std::map<std::u16string, TTapRecord> Records;
  std::vector<std::u16string> Asked;
  FManager->FPcmTapFactory = [&](const TTaskItem& Task) -> std::unique_ptr<IPcmTap> {
    Asked.push_back(Task.FTargetName);
    if (Task.FTargetName == u"skipped.wav") return nullptr;
    return std::make_unique<TRecordingTap>(Records[Task.FTargetName]);
  };
  const int32_t done = Add(s.Wav16, "done.flac");
  const int32_t refused = Add(s.Mp3_128, "refused.flac");  // lossy to lossless
  const int32_t skipped = Add(s.Wav16, "skipped.wav");
  ConvertAll();
  ASSERT_EQ(Task(done)->FResult, rcSucceeded);
  ASSERT_EQ(Task(refused)->FResult, rcLossyToLossless);
  ASSERT_EQ(Task(skipped)->FResult, rcSucceeded);
  EXPECT_EQ(Asked.size(), 3u);

  const TTapRecord& Done = Records[u"done.flac"];
  EXPECT_EQ(Done.Result, rcSucceeded);
  EXPECT_EQ(Done.Target, W(TargetPath(done)));
  EXPECT_TRUE(Done.Pcm == ReadWav(s.Wav16).Pcm);
  const TTapRecord& Refused = Records[u"refused.flac"];
  EXPECT_EQ(Refused.Result, rcLossyToLossless);
  EXPECT_TRUE(Refused.Pcm.empty());
  EXPECT_EQ(Records.count(u"skipped.wav"), 0u);
}

}  // namespace
}  // namespace enginetest
