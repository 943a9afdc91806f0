// Converts a batch of real music to MP3 (CBR 320) and to FLAC (level 5) with
// the engine (one worker per processor) and with the lame/flac tools run one
// after another, and prints the engine's wall time as a ratio to the tools'.
//
// Usage: morvo_engine_bench [FILES] [MUSIC_FOLDER] [--tags | --many]
//   FILES: how many of the longest Ogg files to use (default 8).
//   --tags: instead, converts tagged FLAC files with a cover to MP3 and to
//   FLAC with the engine, with and without writing tags, several rounds in
//   turn, and prints the time with tags as a ratio to the time without; then
//   times the tag steps alone on copies of the targets made without tags,
//   as a share of the conversion's worker time (a figure that a busy
//   machine skews far less than the ratio of two whole runs).
//   --many: instead, cuts FILES (default 200) sources of 2 s from the music
//   and converts them to FLAC level 5 with the engine and with flac -5 run
//   once per source, one after another (best of 3 each): the per-task cost.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench/uBenchProcess.h"
#include "engine/uCpuControl.h"
#include "engine/uTargetTags.h"
#include "engine/uTaskItem.h"
#include "engine/uTaskManager.h"
#include "params/uParamManager.h"
#include "platform/uCodePage.h"
#include "platform/uMessageQueue.h"
#include "tests/support/uWavHeader.h"

namespace fs = std::filesystem;
using TClock = std::chrono::steady_clock;

namespace {

double Seconds(TClock::time_point From) {
  return std::chrono::duration<double>(TClock::now() - From).count();
}

bool Run(const std::string& Command) { return std::system(Command.c_str()) == 0; }

std::vector<fs::path> LongestOggs(const fs::path& Folder, size_t Count) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(Folder))
    if (entry.path().extension() == ".ogg") files.push_back(entry.path());
  std::sort(files.begin(), files.end(), [](const fs::path& a, const fs::path& b) {
    return fs::file_size(a) > fs::file_size(b);
  });
  if (files.size() > Count) files.resize(Count);
  return files;
}

// Converts every WAV to Ext with the engine; returns the wall time.
// Also gives the processor time the engine used meanwhile (all its threads).
double RunEngine(const std::vector<fs::path>& Wavs, const fs::path& OutDir, const char* Ext,
                 int& Succeeded, double& CpuSeconds, bool WriteTags = true) {
  TTaskManager manager;
  manager.FWriteTags = WriteTags;
  manager.SetDestPath(platform::Utf8ToWide(OutDir.string() + "/"));
  manager.FExistPolicy = epOverwrite;
  if (auto* mp3 = dynamic_cast<TMp3Param*>(manager.FParamManager->FindByExtension(".mp3"))) {
    mp3->FBitRateMode = 0;
    mp3->FCbrIndex = 0;  // 320 kbit/s
    mp3->FMode = 0;      // stereo
  }
  if (auto* flac = dynamic_cast<TFlacParam*>(manager.FParamManager->FindByExtension(".flac")))
    flac->FQuality = 5;
  for (const fs::path& wav : Wavs) {
    auto item = std::make_unique<TTaskItem>();
    item->FSource = platform::Utf8ToWide(wav.string());
    item->FTargetName = platform::Utf8ToWide(wav.stem().string() + Ext);
    item->FTargetExt = platform::Utf8ToWide(Ext);
    item->FQueued = 1;
    manager.AddTask(std::move(item));
  }
  manager.FOnTaskChanged = [&manager](int32_t, uint8_t Kind) {
    if (Kind == nkRunning && !manager.IsRunning()) platform::QuitMessageLoop(0);
  };
  const TClock::time_point start = TClock::now();
  const std::clock_t cpuStart = std::clock();
  manager.StartConvert();
  platform::RunMessageLoop();
  const double elapsed = Seconds(start);
  CpuSeconds = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  Succeeded = manager.FSucceededCount;
  manager.Shutdown();
  return elapsed;
}

double RunTools(const std::vector<fs::path>& Wavs, const fs::path& OutDir, bool Mp3) {
  const TClock::time_point start = TClock::now();
  for (const fs::path& wav : Wavs) {
    const std::string out = (OutDir / wav.stem()).string() + (Mp3 ? ".mp3" : ".flac");
    const std::string cmd = Mp3 ? "lame --silent -m s -b 320 '" + wav.string() + "' '" + out + "'"
                                : "flac -s -f -5 '" + wav.string() + "' -o '" + out + "'";
    if (!Run(cmd)) std::fprintf(stderr, "failed: %s\n", cmd.c_str());
  }
  return Seconds(start);
}

// The machine's load while measuring (other work skews the figures).
using morvobench::LoadAverage;

// Tagged FLAC copies of the WAVs (every kept field and a 300 KB cover);
// empty when ffmpeg cannot make them.
std::vector<fs::path> TaggedFlacs(const std::vector<fs::path>& Wavs, const fs::path& Root) {
  const fs::path cover = Root / "cover.jpg";
  if (!Run("ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=s=1000x1000:d=1 -frames:v 1 -q:v 2 '" +
           cover.string() + "'"))
    return {};
  fs::create_directories(Root / "tagged");
  std::vector<fs::path> flacs;
  int number = 0;
  for (const fs::path& wav : Wavs) {
    const fs::path flac = Root / "tagged" / (wav.stem().string() + ".flac");
    ++number;
    const std::string meta =
        " -metadata title='Title " + std::to_string(number) +
        "' -metadata artist=Artist -metadata album=Album -metadata album_artist=Band"
        " -metadata date=1999 -metadata genre=Rock -metadata composer=Writer"
        " -metadata comment=Notes -metadata ISRC=XXAAA9900001 -metadata track=" +
        std::to_string(number) + "/" + std::to_string(Wavs.size());
    if (!Run("ffmpeg -nostdin -v error -y -i '" + wav.string() + "' -i '" + cover.string() +
             "' -map 0:a -map 1:v -c:a flac -c:v copy -disposition:v attached_pic" + meta + " '" +
             flac.string() + "'"))
      return {};
    flacs.push_back(flac);
  }
  return flacs;
}

// The tags' own work, timed apart from the conversion so that a busy machine
// cannot hide or inflate it: the source's tags read and written into a copy
// of every target made without tags, on one thread, as a share of the worker
// time (wall time times workers) the conversion without tags took.
double TagStepShare(const std::vector<fs::path>& Sources, const fs::path& PlainDir, const char* Ext,
                    double PlainWall) {
  const fs::path copies = PlainDir.string() + "-tagged";
  fs::create_directories(copies);
  double seconds = 0;
  for (const fs::path& source : Sources) {
    const fs::path copy = copies / (source.stem().string() + Ext);
    fs::copy_file(PlainDir / copy.filename(), copy, fs::copy_options::overwrite_existing);
    TTaskItem task;
    task.FSource = platform::Utf8ToWide(source.string());
    task.FTargetExt = platform::Utf8ToWide(Ext);
    const TClock::time_point start = TClock::now();
    const TTagSet tags = CollectTaskTags(task, nullptr);
    const std::u16string failure = WriteTargetTags(task, tags, platform::Utf8ToWide(copy.string()));
    seconds += Seconds(start);
    if (!failure.empty() || tags.Empty())
      std::fprintf(stderr, "the tags of %s were not written\n", source.c_str());
  }
  const double workers = static_cast<double>(TCpuControl::GetProcessorCount());
  return seconds / (PlainWall * workers);
}

// Tags cost: the engine's time with tags over its time without, the best of
// several rounds taken in turn so that the machine's load hits both alike.
int RunTagsBench(const std::vector<fs::path>& Wavs, const fs::path& Root, int Rounds) {
  const std::vector<fs::path> flacs = TaggedFlacs(Wavs, Root);
  if (flacs.empty()) {
    std::fprintf(stderr, "ffmpeg could not make the tagged sources\n");
    return 2;
  }
  bool met = true;
  for (const char* ext : {".mp3", ".flac"}) {
    double best[2] = {1e9, 1e9};
    int succeeded[2] = {0, 0};
    for (int round = 0; round < Rounds; ++round) {
      for (const bool tags : {false, true}) {
        const fs::path out = Root / (std::string(tags ? "tags" : "plain") + ext);
        fs::create_directories(out);
        double cpu = 0;
        best[tags] = std::min(best[tags], RunEngine(flacs, out, ext, succeeded[tags], cpu, tags));
      }
    }
    const double stepShare = TagStepShare(flacs, Root / (std::string("plain") + ext), ext, best[0]);
    const double ratio = best[1] / best[0];
    // The verdict: the ratio on an idle machine, or the tag steps' own share
    // where the load leaves the ratio of two runs to chance.
    const bool allConverted =
        succeeded[0] == int(flacs.size()) && succeeded[1] == int(flacs.size());
    const bool ok = allConverted && (ratio < 1.02 || stepShare < 0.02);
    met = met && ok;
    std::printf(
        "%-6s with tags %7.2f s, without %7.2f s (best of %d, %d/%d ok): with / without = %.3f; "
        "load average %s\n"
        "       the tag steps alone (read the source's tags, write them into each plain "
        "target): %.2f %% of the run's worker time; target < 2 %% more: %s\n",
        ext, best[1], best[0], Rounds, succeeded[1], succeeded[0], ratio, LoadAverage().c_str(),
        stepShare * 100, ok ? "met" : "NOT met");
    std::fflush(stdout);
  }
  return met ? 0 : 1;
}

// Count WAVs of Seconds each, cut one after another from the PCM of Wavs
// (44-byte headers), starting over when the music runs out.
std::vector<fs::path> ShortWavs(const std::vector<fs::path>& Wavs, const fs::path& Folder,
                                size_t Count, int Seconds) {
  const size_t pieceBytes = size_t(Seconds) * 176400;
  std::vector<char> pcm;
  for (const fs::path& wav : Wavs) {
    std::ifstream in(wav, std::ios::binary);
    in.seekg(44);
    pcm.insert(pcm.end(), std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (pcm.size() >= Count * pieceBytes) break;
  }
  std::vector<fs::path> pieces;
  if (pcm.size() < pieceBytes) return pieces;
  fs::create_directories(Folder);
  size_t offset = 0;
  for (size_t n = 0; n < Count; ++n) {
    if (offset + pieceBytes > pcm.size()) offset = 0;
    const fs::path piece = Folder / ("piece" + std::to_string(n) + ".wav");
    std::ofstream out(piece, std::ios::binary);
    morvotest::WritePcm16WavHeader(out, 44100, 2, uint32_t(pieceBytes));
    out.write(pcm.data() + offset, std::streamsize(pieceBytes));
    offset += pieceBytes;
    pieces.push_back(piece);
  }
  return pieces;
}

// Many short sources to FLAC 5: the engine against flac -5 run once per
// source, one after another, in turns, the fastest of Rounds counting.
int RunManyBench(const std::vector<fs::path>& Wavs, const fs::path& Root, size_t Count,
                 int Rounds) {
  constexpr int seconds = 2;
  const std::vector<fs::path> pieces = ShortWavs(Wavs, Root / "pieces", Count, seconds);
  if (pieces.size() != Count) {
    std::fprintf(stderr, "not enough music for %zu pieces\n", Count);
    return 2;
  }
  double engine = 1e9, tools = 1e9;
  int succeeded = int(Count);
  for (int round = 0; round < Rounds; ++round) {
    const fs::path engineOut = Root / "many-engine", toolOut = Root / "many-flac";
    morvobench::MakeEmptyFolders({engineOut, toolOut});
    int ok = 0;
    double cpu = 0;
    engine = std::min(engine, RunEngine(pieces, engineOut, ".flac", ok, cpu));
    succeeded = std::min(succeeded, ok);
    const TClock::time_point start = TClock::now();
    for (const fs::path& piece : pieces)
      if (!morvobench::RunProgram({"flac", "-s", "-f", "-5", piece.string(), "-o",
                                   (toolOut / piece.stem()).string() + ".flac"}))
        std::fprintf(stderr, "flac failed on %s\n", piece.c_str());
    tools = std::min(tools, Seconds(start));
  }
  const double ratio = engine / tools;
  const bool met = ratio <= 0.6 && succeeded == int(Count);
  std::printf("%zu sources of %d s to FLAC 5: engine %.2f s (%d/%zu ok), flac -5 one after "
              "another %.2f s (best of %d): engine time / flac time = %.3f (target <= 0.600) %s; "
              "load average %s\n",
              Count, seconds, engine, succeeded, Count, tools, Rounds, ratio,
              met ? "met" : "NOT met", LoadAverage().c_str());
  std::fflush(stdout);
  return met ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  const bool tagsMode = std::erase(args, "--tags") > 0;
  const bool manyMode = std::erase(args, "--many") > 0;
  const size_t count = !args.empty() ? static_cast<size_t>(std::max(1, std::atoi(args[0].c_str())))
                                     : (manyMode ? 200 : 8);
  const fs::path music =
      args.size() > 1 ? args[1] : "/usr/share/games/wesnoth/1.16/data/core/music";
  if (!fs::is_directory(music)) {
    std::fprintf(stderr, "no music in %s (Debian package wesnoth-1.16-music)\n", music.c_str());
    return 2;
  }
  char pattern[] = "/tmp/morvo-engine-bench-XXXXXX";
  const fs::path root = mkdtemp(pattern);
  setenv("MORVO_PROGRAM_DIR", (root.string() + "/").c_str(), 1);
  fs::create_directories(root / "wav");

  std::vector<fs::path> wavs;
  double audioSeconds = 0;
  // The short pieces are cut from the longest files: a handful is enough.
  for (const fs::path& ogg : LongestOggs(music, manyMode ? 4 : count)) {
    const fs::path wav = root / "wav" / (ogg.stem().string() + ".wav");
    if (!Run("ffmpeg -nostdin -v error -y -i '" + ogg.string() +
             "' -map_metadata -1 -ar 44100 -ac 2 -c:a pcm_s16le '" + wav.string() + "'"))
      continue;
    wavs.push_back(wav);
    audioSeconds += (fs::file_size(wav) - 44) / 176400.0;
  }
  // The task manager makes one worker per processor.
  const unsigned workers = static_cast<unsigned>(TCpuControl::GetProcessorCount());
  std::printf("%zu files, %.0f s of audio, %u workers\n", wavs.size(), audioSeconds, workers);
  std::fflush(stdout);
  if (tagsMode || manyMode) {
    const int result = tagsMode ? RunTagsBench(wavs, root, 3) : RunManyBench(wavs, root, count, 3);
    std::error_code ignored;
    fs::remove_all(root, ignored);
    return result;
  }

  bool met = true;
  for (const bool mp3 : {true, false}) {
    const char* ext = mp3 ? ".mp3" : ".flac";
    const fs::path engineOut = root / (std::string("engine") + ext);
    const fs::path toolOut = root / (std::string("tools") + ext);
    fs::create_directories(engineOut);
    fs::create_directories(toolOut);
    int succeeded = 0;
    double cpu = 0;
    const double engine = RunEngine(wavs, engineOut, ext, succeeded, cpu);
    const double tools = RunTools(wavs, toolOut, mp3);
    const double speedup = tools / engine;
    const double target = 0.9 * workers;
    met = met && speedup >= target && succeeded == static_cast<int>(wavs.size());
    std::printf("%-28s engine %7.2f s (%d/%zu ok), %s one after another %7.2f s: engine time / "
                "tools time = %.3f, "
                "throughput x%.2f (target x%.2f) %s\n",
                mp3 ? "MP3 CBR 320:" : "FLAC level 5:", engine, succeeded, wavs.size(),
                mp3 ? "lame" : "flac", tools, engine / tools, speedup, target,
                speedup >= target ? "met" : "NOT met");
    std::printf("%-28s the engine kept %.2f processors busy on average (processor time %.2f s); "
                "load average %s\n",
                "", cpu / engine, cpu, LoadAverage().c_str());
    std::fflush(stdout);
  }
  std::error_code ignored;
  fs::remove_all(root, ignored);
  return met ? 0 : 1;
}
