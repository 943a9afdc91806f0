// The wall time of one short conversion from start to exit: morvo-convert
// turning a 1-second WAV into FLAC level 5, against the flac tool doing the
// same, run in turns in the same run. The fastest run of each counts (the
// machine is shared); the median is printed beside it.
//
// Usage: morvo_cli_bench [RUNS] [MORVO_CONVERT]
//   RUNS: runs of each (default 15); MORVO_CONVERT: the program to measure
//   (default the one built beside this benchmark).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/uBenchProcess.h"

namespace fs = std::filesystem;
using TClock = std::chrono::steady_clock;

namespace {

double MillisecondsOf(const std::vector<std::string>& Args, bool& Ok) {
  const TClock::time_point start = TClock::now();
  Ok = morvobench::RunProgram(Args) && Ok;
  return std::chrono::duration<double, std::milli>(TClock::now() - start).count();
}

double Median(std::vector<double> Values) {
  std::sort(Values.begin(), Values.end());
  return Values[Values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
  const std::string program = argc > 2 ? argv[2] : std::string(MORVO_BIN_DIR) + "/morvo-convert";
  char pattern[] = "/tmp/morvo-cli-bench-XXXXXX";
  const fs::path root = mkdtemp(pattern);
  // A settings folder and a trash of the benchmark's own.
  setenv("MORVO_PROGRAM_DIR", (root.string() + "/prog/").c_str(), 1);
  setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
  fs::create_directories(root / "prog");
  fs::create_directories(root / "morvo");
  fs::create_directories(root / "flac");
  const fs::path source = root / "one-second.wav";
  if (!morvobench::RunProgram({"ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                               "sine=frequency=440:duration=1", "-ac", "2", "-ar", "44100", "-c:a",
                               "pcm_s16le", source.string()})) {
    std::fprintf(stderr, "ffmpeg could not make the source\n");
    return 2;
  }
  const std::vector<std::string> ours{
      program,        "-f",        "flac",    "-q", "5",
      "-e",           "overwrite", "--quiet", "-o", (root / "morvo").string(),
      source.string()};
  const std::vector<std::string> peer{"flac",
                                      "-s",
                                      "-f",
                                      "-5",
                                      source.string(),
                                      "-o",
                                      (root / "flac" / "one-second.flac").string()};
  bool ok = true;
  // Once each before measuring: the settings file is written, the page
  // cache holds the programs.
  MillisecondsOf(ours, ok);
  MillisecondsOf(peer, ok);
  std::vector<double> oursMs, peerMs;
  for (int run = 0; run < runs; ++run) {
    oursMs.push_back(MillisecondsOf(ours, ok));
    peerMs.push_back(MillisecondsOf(peer, ok));
  }
  const double best = *std::min_element(oursMs.begin(), oursMs.end());
  const double peerBest = *std::min_element(peerMs.begin(), peerMs.end());
  const bool met = ok && best < 25.0;
  std::printf("1-second WAV to FLAC 5: morvo-convert %.1f ms (median %.1f), flac -5 %.1f ms "
              "(median %.1f), best of %d: morvo-convert / flac = %.2f; target < 25 ms %s%s; "
              "load average %s\n",
              best, Median(oursMs), peerBest, Median(peerMs), runs, best / peerBest,
              met ? "met" : "NOT met", ok ? "" : " (a run failed)",
              morvobench::LoadAverage().c_str());
  std::error_code ignored;
  fs::remove_all(root, ignored);
  return met ? 0 : 1;
}
