// Encodes a few minutes of real music with the codec library and with the
// reference command-line tools at the same settings, and prints how fast
// (library throughput ÷ tool throughput, target ≥ 0.95) and how large
// (library size ÷ tool size, target within 1 %) the library's output is.
//
//   codecs_bench [music folder] [seconds of music, default 240] [rounds, default 3]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "tests/player/codecs/uCodecTestKit.h"

using namespace codectest;
namespace fs = std::filesystem;

namespace {

constexpr const char* kDefaultMusic = "/usr/share/games/wesnoth/1.16/data/core/music";

double Seconds(const std::function<void()>& Work) {
  const auto start = std::chrono::steady_clock::now();
  Work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double DurationOf(const fs::path& File) {
  const auto probe =
      RunTool("ffprobe -v error -show_entries format=duration -of csv=p=0 " + Quote(File));
  return probe.ExitCode == 0 ? std::atof(probe.Output.c_str()) : 0;
}

// Joins the first Ogg files (by name) until Seconds of music are reached
// into one 16-bit stereo 44.1 kHz WAV file.
bool PrepareInput(const fs::path& Music, double Seconds, const fs::path& Wav) {
  std::vector<fs::path> all;
  for (const auto& entry : fs::directory_iterator(Music))
    if (entry.path().extension() == ".ogg") all.push_back(entry.path());
  std::sort(all.begin(), all.end());
  std::string inputs;
  int count = 0;
  double total = 0;
  for (const auto& file : all) {
    if (total >= Seconds) break;
    inputs += " -i " + Quote(file);
    total += DurationOf(file);
    ++count;
  }
  if (count == 0) return false;
  std::printf("input: %d files, %.1f s of music\n", count, total);
  const auto result =
      RunTool("ffmpeg -v error -y" + inputs + " -filter_complex concat=n=" + std::to_string(count) +
              ":v=0:a=1 -ac 2 -ar 44100 -c:a pcm_s16le " + Quote(Wav));
  if (result.ExitCode != 0) std::printf("%s", result.Output.c_str());
  return result.ExitCode == 0;
}

struct TCase {
  std::string Name;
  TGUID ClassId;
  std::function<void(IUnknown*, const TPcm&)> Configure;
  std::string Tool;  // command with {in} and {out}
  std::string Extension;
};

std::string Expand(std::string Command, const fs::path& In, const fs::path& Out) {
  Command.replace(Command.find("{in}"), 4, Quote(In));
  Command.replace(Command.find("{out}"), 5, Quote(Out));
  return Command;
}

double EncodeWithLibrary(const TCase& Case, const TPcm& Pcm, const fs::path& Out) {
  TFileCallback output(Out);
  TEncoderPair pair;
  if (!CreateLibraryEncoder(Case.ClassId, pair)) return -1;
  Case.Configure(pair.Param, Pcm);
  bool ok = false;
  const double time = Seconds([&] { ok = Drive(pair.Encoder, output, Pcm).FinishResult == 0; });
  return ok ? time : -1;
}

double EncodeWithTool(const TCase& Case, const fs::path& In, const fs::path& Out) {
  int exitCode = -1;
  const double time = Seconds([&] { exitCode = RunTool(Expand(Case.Tool, In, Out)).ExitCode; });
  return exitCode == 0 ? time : -1;
}

std::vector<TCase> Cases() {
  auto mp3 = [](int32_t Mode, int32_t Value) {
    return [Mode, Value](IUnknown* Param, const TPcm& Pcm) {
      auto* lame = static_cast<ILameStreamEncoder*>(static_cast<void*>(Param));
      lame->SetChannelMode(0);
      lame->SetBitrateMode(Mode);
      if (Mode == 2)
        lame->SetVbrPreset(Value);
      else
        lame->SetBitrate(Value);
      lame->SetSampleCount(int32_t(Pcm.Frames()));
    };
  };
  auto flac = [](int32_t Level) {
    return [Level](IUnknown* Param, const TPcm& Pcm) {
      auto* encoder = static_cast<IFlacEncoderParam*>(static_cast<void*>(Param));
      encoder->SetCompressionLevel(Level);
      encoder->SetSampleCount(int32_t(int64_t(Pcm.Frames()) * 101 / 100));
    };
  };
  return {
      {"MP3 CBR 320", CLSID_Mp3Encoder, mp3(0, 320), "lame --quiet -m s -b 320 --cbr {in} {out}",
       ".mp3"},
      {"MP3 VBR fast standard", CLSID_Mp3Encoder, mp3(2, 1004),
       "lame --quiet -m s --preset fast standard {in} {out}", ".mp3"},
      {"FLAC 5", CLSID_FlacEncoder, flac(5), "flac -s -f -5 -o {out} {in}", ".flac"},
      {"FLAC 8", CLSID_FlacEncoder, flac(8), "flac -s -f -8 -o {out} {in}", ".flac"},
  };
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path music = argc > 1 && argv[1][0] ? argv[1] : kDefaultMusic;
  const double seconds = argc > 2 ? std::atof(argv[2]) : 240;
  const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
  TTempDir dir;
  const fs::path wav = dir / "input.wav";
  if (!fs::is_directory(music) || !PrepareInput(music, seconds, wav)) {
    std::printf("no music in %s (package wesnoth-1.16-music) or ffmpeg failed\n", music.c_str());
    return 1;
  }
  TPcm pcm;
  pcm.Format = {WAVE_FORMAT_PCM, 2, 44100, 44100 * 4, 4, 16, 0};
  pcm.Bytes = ReadWavData(wav);
  const double audioSeconds = double(pcm.Frames()) / 44100;

  std::printf("%-24s %10s %10s %8s %12s %12s %8s\n", "setting", "lib x RT", "tool x RT", "speed",
              "lib bytes", "tool bytes", "size");
  bool allMet = true;
  for (const TCase& c : Cases()) {
    const fs::path libOut = dir / ("lib" + c.Extension);
    const fs::path toolOut = dir / ("tool" + c.Extension);
    double libBest = 1e30, toolBest = 1e30;
    for (int round = 0; round < rounds; ++round) {  // alternate, keep the best of each
      const double lib = EncodeWithLibrary(c, pcm, libOut);
      const double tool = EncodeWithTool(c, wav, toolOut);
      if (lib < 0 || tool < 0) {
        std::printf("%-24s failed (library %s, tool %s)\n", c.Name.c_str(),
                    lib < 0 ? "failed" : "ok", tool < 0 ? "failed" : "ok");
        return 1;
      }
      libBest = std::min(libBest, lib);
      toolBest = std::min(toolBest, tool);
    }
    const double speed = toolBest / libBest;
    const double size = double(fs::file_size(libOut)) / double(fs::file_size(toolOut));
    const bool met = speed >= 0.95 && size >= 0.99 && size <= 1.01;
    allMet = allMet && met;
    std::printf("%-24s %10.1f %10.1f %8.3f %12ju %12ju %8.4f%s\n", c.Name.c_str(),
                audioSeconds / libBest, audioSeconds / toolBest, speed,
                uintmax_t(fs::file_size(libOut)), uintmax_t(fs::file_size(toolOut)), size,
                met ? "" : "  (target missed)");
  }
  std::printf("targets: speed >= 0.95, size within 1 %%: %s\n", allMet ? "met" : "missed");
  return 0;
}
