#include "uEngineTestKit.h"

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>

#include "platform/uCodePage.h"

namespace fs = std::filesystem;

namespace enginetest {

std::u16string W(const std::string& Utf8) { return platform::Utf8ToWide(Utf8); }
std::string U(const std::u16string& Wide) { return platform::WideToUtf8(Wide); }

int Shell(const std::string& Command) { return morvotest::RunTool(Command).ExitCode; }

bool FileExists(const std::string& Path) { return fs::is_regular_file(Path); }

TWavData ReadWav(const std::string& Path) { return morvotest::ParseWav(ReadBytes(Path)); }

TWavData DecodeWithFfmpeg(const std::string& Path, const std::string& PcmCodec) {
  const std::string out = Path + ".decoded.wav";
  const std::string cmd = "ffmpeg -nostdin -v error -y -i " + Quote(Path) +
                          " -map_metadata -1 -bitexact -c:a " + PcmCodec + " " + Quote(out);
  if (!morvotest::RunCommand(cmd)) return {};
  TWavData wav = ReadWav(out);
  fs::remove(out);
  return wav;
}

std::string Probe(const std::string& Path) {
  std::string result = morvotest::RunTool("ffprobe -v error -select_streams a:0 -show_entries "
                                          "stream=codec_name,bit_rate -of csv=p=0 " +
                                          Quote(Path))
                           .Output;
  while (!result.empty() && (result.back() == '\n' || result.back() == '\r'))
    result.pop_back();
  return result;
}

// ---------------------------------------------------------------------------
// Sources

static std::string MakeNoise(const std::string& Dir, const std::string& Name, int Seconds, int Rate,
                             const std::string& Codec) {
  const std::string path = Dir + "/" + Name;
  const std::string cmd =
      "ffmpeg -nostdin -v error -y -f lavfi -i \"aevalsrc=0.4*random(0)-0.2|0.4*random(1)-0.2:s=" +
      std::to_string(Rate) + ":d=" + std::to_string(Seconds) +
      "\" -map_metadata -1 -bitexact -c:a " + Codec + " " + Quote(path);
  EXPECT_TRUE(morvotest::RunCommand(cmd));
  return path;
}

const TSources& TSources::Get() {
  static const TSources sources = [] {
    TSources s;
    char pattern[] = "/tmp/morvo-engine-XXXXXX";
    s.Root = mkdtemp(pattern);
    // Configuration, encode.log, the trash and the "registry" live here.
    setenv("MORVO_PROGRAM_DIR", (s.Root + "/program/").c_str(), 1);
    setenv("XDG_DATA_HOME", (s.Root + "/data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (s.Root + "/config").c_str(), 1);
    fs::create_directories(s.Root + "/program");
    fs::create_directories(s.Root + "/data");
    fs::create_directories(s.Root + "/config");
    s.Dir = s.Root + "/sources";
    fs::create_directories(s.Dir);
    s.Wav16 = MakeNoise(s.Dir, "noise16.wav", 3, 44100, "pcm_s16le");
    s.Wav24 = MakeNoise(s.Dir, "noise24.wav", 2, 48000, "pcm_s24le");
    s.Long16 = MakeNoise(s.Dir, "long16.wav", 95, 44100, "pcm_s16le");
    s.Mp3_128 = s.Dir + "/noise128.mp3";
    EXPECT_TRUE(
        morvotest::RunCommand("lame --silent -b 128 " + Quote(s.Wav16) + " " + Quote(s.Mp3_128)));
    s.Flac = s.Dir + "/noise16.flac";
    EXPECT_TRUE(morvotest::RunCommand("flac -s -f -5 " + Quote(s.Wav16) + " -o " + Quote(s.Flac)));
    return s;
  }();
  return sources;
}

// Removes the scratch folder when the test program ends.
class TScratchCleanup : public ::testing::Environment {
public:
  void TearDown() override {
    if (getenv("MORVO_KEEP_SCRATCH")) return;  // for looking at what a test made
    const TSources& s = TSources::Get();
    Shell("chattr -R -i " + Quote(s.Root));
    std::error_code ignored;
    fs::remove_all(s.Root, ignored);
  }
};
static ::testing::Environment* const ScratchCleanup =
    ::testing::AddGlobalTestEnvironment(new TScratchCleanup);

// ---------------------------------------------------------------------------
// Fixture

void TEngineTest::SetUp() {
  TSources::Get();
  FAnswerer = std::make_shared<platform::TScriptedAnswerer>();
  platform::SetMessageBoxAnswerer(FAnswerer);
  FManager = std::make_unique<TTaskManager>();
  FManager->FMainForm = this;
  FManager->FOnTaskChanged = [this](int32_t Value, uint8_t Kind) { Record({false, Kind, Value}); };
  FOut = NewDir("out");
  FManager->SetDestPath(W(FOut + "/"));
}

void TEngineTest::TearDown() {
  // The shutdown serves the queue: notices still posted (the end of a run)
  // must not reach a test's callbacks, which look at the manager going away.
  FOnReport = nullptr;
  FDone = nullptr;
  FManager.reset();
  platform::RemoveMessages(this);
  platform::SetMessageBoxAnswerer(nullptr);
}

std::string TEngineTest::NewDir(const std::string& Name) {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string dir =
      TSources::Get().Root + "/" + info->test_suite_name() + "." + info->name() + "/" + Name;
  fs::create_directories(dir);
  return dir;
}

std::string TEngineTest::CopySource(const std::string& Source, const std::string& Dir,
                                    const std::string& Name) {
  const std::string path = Dir + "/" + Name;
  fs::copy_file(Source, path, fs::copy_options::overwrite_existing);
  return path;
}

int32_t TEngineTest::Add(const std::string& Source, const std::string& TargetName, uint8_t Kind,
                         int32_t StartMs, int32_t EndMs, uint8_t SourceClass) {
  auto item = std::make_unique<TTaskItem>();
  item->FKind = Kind;
  item->FSource = W(Source);
  item->FSourceClass = SourceClass;
  item->FTargetName = W(TargetName);
  const size_t dot = TargetName.rfind('.');
  item->FTargetExt = dot == std::string::npos ? u"" : W(TargetName.substr(dot));
  item->FQueued = 1;
  item->FStartMs = StartMs;
  item->FEndMs = EndMs;
  const size_t before = FReports.size();
  FManager->AddTask(std::move(item));
  for (size_t i = before; i < FReports.size(); ++i)
    if (!FReports[i].Posted && FReports[i].Kind == nkAdded) return FReports[i].Value;
  return -1;
}

intptr_t TEngineTest::HandleMessage(uint32_t Msg, uintptr_t WParam, intptr_t LParam) {
  if (Msg == platform::WM_ENCODE_NOTIFY) {
    Record({true, static_cast<uint8_t>(WParam), static_cast<int32_t>(LParam)});
  } else if (FOnOtherMessage) {
    FOnOtherMessage(Msg);
  }
  return 0;
}

void TEngineTest::Record(const TReport& Report) {
  FReports.push_back(Report);
  if (FOnReport) FOnReport(Report);
  if (FDone && FDone()) platform::QuitMessageLoop(0);
}

void TEngineTest::OnFirstProgress(const std::function<void()>& Action) {
  FOnReport = [Action, done = false](const TReport& r) mutable {
    if (r.Posted && r.Kind == nkProgress && !done) {
      done = true;
      Action();
    }
  };
}

void TEngineTest::ShutDownAtFirstProgress() {
  bool shut = false;
  OnFirstProgress([&] {
    shut = true;
    FManager->Shutdown();
    platform::QuitMessageLoop(0);
  });
  FManager->StartConvert();
  RunUntil([&] { return shut; });
}

void TEngineTest::RunUntil(const std::function<bool()>& Done, int TimeoutSeconds) {
  if (Done()) return;
  FDone = Done;
  std::mutex lock;
  std::condition_variable wake;
  bool finished = false, timedOut = false;
  std::thread watchdog([&] {
    std::unique_lock guard(lock);
    if (!wake.wait_for(guard, std::chrono::seconds(TimeoutSeconds), [&] { return finished; })) {
      timedOut = true;
      platform::QuitMessageLoop(1);
    }
  });
  while (!Done() && !timedOut)
    platform::RunMessageLoop();
  {
    std::lock_guard guard(lock);
    finished = true;
  }
  wake.notify_all();
  watchdog.join();
  FDone = nullptr;
  ASSERT_FALSE(timedOut) << "the engine did not get there in time";
}

bool TEngineTest::AllEnded() {
  for (int32_t i = 0; i < FManager->TaskCount(); ++i) {
    const uint8_t state = FManager->GetTask(i)->FState;
    if (state != tsDone && state != tsFailed) return false;
  }
  return true;
}

void TEngineTest::ConvertAll(int TimeoutSeconds) {
  FManager->ResetAll();
  FManager->StartConvert();
  RunUntil([this] { return AllEnded() && !FManager->IsRunning(); }, TimeoutSeconds);
}

std::string TEngineTest::TargetPath(int32_t Id) { return FOut + "/" + U(Task(Id)->FTargetName); }

std::vector<TReport> TEngineTest::ReportsOf(int32_t Id) {
  std::vector<TReport> result;
  for (const TReport& r : FReports)
    if (r.Value == Id || r.Value == -1) result.push_back(r);
  return result;
}

}  // namespace enginetest
