// Cuts a 20-minute image (white noise, 16-bit stereo 44.1 kHz) into the
// tracks of a 12-track sheet with the engine (one worker per processor) and
// with shntool's shnsplit on the same image, in the same run, once from a
// WAV image to WAV tracks and once from a FLAC image to FLAC tracks. Prints
// each wall time and the engine's time as a ratio to shnsplit's.
//
// Usage: morvo_cue_split_bench [MINUTES] [ROUNDS]
//   MINUTES: length of the image (default 20); ROUNDS: runs of each, the
//   fastest counts (default 3; the machine is shared).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "app/uSourceAdding.h"
#include "bench/uBenchProcess.h"
#include "engine/uTaskManager.h"
#include "params/uParamManager.h"
#include "platform/uCodePage.h"
#include "platform/uMessageQueue.h"
#include "platform/uThreads.h"
#include "tests/support/uWavHeader.h"

namespace fs = std::filesystem;
using TClock = std::chrono::steady_clock;

namespace {

constexpr int Rate = 44100;
constexpr int TrackCount = 12;

double Seconds(TClock::time_point From) {
  return std::chrono::duration<double>(TClock::now() - From).count();
}

bool Run(const std::string& Command) { return std::system(Command.c_str()) == 0; }

// A canonical 44-byte-header WAV of Frames stereo frames of white noise.
void WriteNoiseWav(const fs::path& File, uint64_t Frames) {
  std::ofstream Out(File, std::ios::binary);
  const uint32_t DataBytes = uint32_t(Frames * 4);
  morvotest::WritePcm16WavHeader(Out, Rate, 2, DataBytes);
  std::mt19937 Noise(20240601);
  std::vector<uint32_t> Block(65536);
  for (uint64_t Done = 0; Done < Frames;) {
    const uint64_t N = std::min<uint64_t>(Block.size(), Frames - Done);
    for (uint64_t I = 0; I < N; ++I)
      Block[I] = Noise() & 0x3FFF3FFF;  // half scale: FLAC has work to do
    Out.write(reinterpret_cast<const char*>(Block.data()), std::streamsize(N * 4));
    Done += N;
  }
}

// Track starts spread over the image, none on a whole second.
std::string Sheet(const std::string& Image, int Minutes) {
  std::string Text = "PERFORMER \"Bench\"\nTITLE \"Image\"\nFILE \"" + Image + "\" WAVE\n";
  const int TotalFrames = Minutes * 60 * 75;
  for (int N = 1; N <= TrackCount; ++N) {
    const int Frame = N == 1 ? 0 : (N - 1) * (TotalFrames / TrackCount) + 37 * N % 75;
    char Line[160];
    std::snprintf(Line, sizeof Line,
                  "  TRACK %02d AUDIO\n    TITLE \"Track %02d\"\n    INDEX 01 %02d:%02d:%02d\n", N,
                  N, Frame / 75 / 60, Frame / 75 % 60, Frame % 75);
    Text += Line;
  }
  return Text;
}

// Splits the sheet with the engine into Out; returns the wall time.
double RunEngine(const fs::path& Cue, const fs::path& Out, const char* Ext, int& Succeeded) {
  TTaskManager Manager;
  Manager.SetDestPath(platform::Utf8ToWide(Out.string() + "/"));
  Manager.FExistPolicy = epOverwrite;
  if (auto* Flac = dynamic_cast<TFlacParam*>(Manager.FParamManager->FindByExtension(".flac")))
    Flac->FQuality = 5;
  TSourceAdder Adder(Manager);
  Adder.SetTargetExt(platform::Utf8ToWide(Ext));
  Adder.AddSources({platform::Utf8ToWide(Cue.string())}, TSourceAdder::ModeUser);
  Manager.FOnTaskChanged = [&Manager](int32_t, uint8_t Kind) {
    if (Kind == nkRunning && !Manager.IsRunning()) platform::QuitMessageLoop(0);
  };
  const TClock::time_point Start = TClock::now();
  Manager.StartConvert();
  platform::RunMessageLoop();
  const double Elapsed = Seconds(Start);
  Succeeded = Manager.FSucceededCount;
  Manager.Shutdown();
  return Elapsed;
}

double RunShnsplit(const fs::path& Cue, const fs::path& Image, const fs::path& Out, bool Flac) {
  const std::string Command =
      "shnsplit -q -O always -d '" + Out.string() + "' -f '" + Cue.string() + "' -o " +
      (Flac ? "'flac flac -s -5 -o %f -'" : "wav") + " '" + Image.string() + "' >/dev/null 2>&1";
  const TClock::time_point Start = TClock::now();
  if (!Run(Command)) std::fprintf(stderr, "failed: %s\n", Command.c_str());
  return Seconds(Start);
}

using morvobench::LoadAverage;

}  // namespace

int main(int argc, char** argv) {
  const int Minutes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
  const int Rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  platform::RegisterMainThread();
  char Pattern[] = "/tmp/morvo-cue-bench-XXXXXX";
  const fs::path Root = mkdtemp(Pattern);
  setenv("MORVO_PROGRAM_DIR", (Root.string() + "/").c_str(), 1);

  // An odd number of samples after the last whole frame.
  const uint64_t Frames = uint64_t(Minutes) * 60 * Rate + 4321;
  WriteNoiseWav(Root / "image.wav", Frames);
  if (!Run("flac -s -f -5 -o '" + (Root / "image.flac").string() + "' '" +
           (Root / "image.wav").string() + "'"))
    return 2;
  std::ofstream(Root / "wav.cue") << Sheet("image.wav", Minutes);
  std::ofstream(Root / "flac.cue") << Sheet("image.flac", Minutes);
  std::printf("%d-minute image, %d tracks, %d rounds (fastest counts)\n", Minutes, TrackCount,
              Rounds);

  int Failures = 0;
  for (const bool Flac : {false, true}) {
    const char* Ext = Flac ? ".flac" : ".wav";
    const fs::path Cue = Root / (Flac ? "flac.cue" : "wav.cue");
    const fs::path Image = Root / (Flac ? "image.flac" : "image.wav");
    double Engine = 1e9, Peer = 1e9;
    for (int Round = 0; Round < Rounds; ++Round) {
      const fs::path EngineOut = Root / "engine", PeerOut = Root / "shnsplit";
      morvobench::MakeEmptyFolders({EngineOut, PeerOut});
      int Succeeded = 0;
      Engine = std::min(Engine, RunEngine(Cue, EngineOut, Ext, Succeeded));
      if (Succeeded != TrackCount) ++Failures;
      Peer = std::min(Peer, RunShnsplit(Cue, Image, PeerOut, Flac));
    }
    // Splitting a WAV image is all file work: the engine should come close
    // to the tool that only copies bytes.
    const std::string Goal = Flac                   ? ""
                             : Engine / Peer <= 1.5 ? " (target <= 1.500) met"
                                                    : " (target <= 1.500) NOT met";
    std::printf("%-22s engine %7.2f s, shnsplit %7.2f s: engine time / shnsplit time = %.3f%s; "
                "load average %s\n",
                Flac ? "FLAC image to FLAC:" : "WAV image to WAV:", Engine, Peer, Engine / Peer,
                Goal.c_str(), LoadAverage().c_str());
    std::fflush(stdout);
  }
  std::error_code Ignored;
  fs::remove_all(Root, Ignored);
  if (Failures) std::printf("%d run(s) did not convert every track\n", Failures);
  return Failures ? 1 : 0;
}
