// Benchmark of libLxPlayer.so, loaded with dlopen as the system loads it:
//  1. decode throughput of its decoder against `ffmpeg -i SRC -f s16le -`
//     on the same files in the same run (ratio = ffmpeg time / our time);
//  2. the share of one core that a decoding thread uses under a CPU usage
//     control with limits 30 and 100;
//  3. MIDI rendering (x real time) against the fluidsynth tool rendering
//     the same file with the same SoundFont, and what loading FluidSynth
//     costs the first MIDI source; Musepack decoding against mpcdec.
// Sources are made at start with ffmpeg and lame (ten minutes each). The
// ffmpeg tool's fixed start-up cost (measured on a half-second file) is
// printed, and a second ratio leaves it out; the processor-time ratio (start-up
// left out as well) is the steadier figure on a busy machine.
#include <dlfcn.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <string>
#include <vector>

#include "bench/uBenchTiming.h"
#include "interfaces/uCodecInterfaces.h"
#include "tests/support/uBuiltLibrary.h"
#include "tests/support/uMidiWriter.h"

namespace fs = std::filesystem;

using namespace morvobench;

namespace {

struct TLibrary {
  TLxPlayerCreateDecoder CreateDecoder = nullptr;
  TLxPlayerCreateCpuControl CreateControl = nullptr;
};

bool Run(const std::string& Command) { return std::system(Command.c_str()) == 0; }

IDecoderEx* Open(const TLibrary& Lib, const fs::path& Path) {
  IDecoderEx* decoder = nullptr;
  Lib.CreateDecoder(&decoder);
  const std::u16string wide = Path.u16string();
  if (decoder && (decoder->Open(wide.c_str()) & 0xFF)) return decoder;
  if (decoder) decoder->Release();
  return nullptr;
}

int64_t DecodeWhole(const TLibrary& Lib, const fs::path& Path) {
  IDecoderEx* decoder = Open(Lib, Path);
  if (!decoder) return -1;
  std::vector<uint8_t> buffer(16384);
  int64_t total = 0;
  for (int32_t got; (got = decoder->Read(buffer.data(), 16384)) > 0;)
    total += got;
  decoder->Release();
  return total;
}

// Share of one core used by a thread decoding Path for Seconds under a
// control with the given limit.
double ShareUnderLimit(const TLibrary& Lib, const fs::path& Path, int Limit, double Seconds) {
  std::promise<uint32_t> tid;
  std::promise<void> go;
  auto share = std::async(std::launch::async, [&] {
    tid.set_value(static_cast<uint32_t>(gettid()));
    go.get_future().wait();
    IDecoderEx* decoder = Open(Lib, Path);
    if (!decoder) return -1.0;
    std::vector<uint8_t> buffer(16384);
    const int64_t wall0 = ClockNs(CLOCK_MONOTONIC);
    const int64_t cpu0 = ClockNs(CLOCK_THREAD_CPUTIME_ID);
    while (ClockNs(CLOCK_MONOTONIC) - wall0 < static_cast<int64_t>(Seconds * 1e9))
      if (decoder->Read(buffer.data(), 16384) <= 0) decoder->Seek(0);
    const double result = static_cast<double>(ClockNs(CLOCK_THREAD_CPUTIME_ID) - cpu0) /
                          (ClockNs(CLOCK_MONOTONIC) - wall0);
    decoder->Release();
    return result;
  });
  IThreadCpuUsageControl* control = nullptr;
  Lib.CreateControl(&control);
  control->AttachThread(tid.get_future().get());
  control->SetCpuLimit(Limit);
  control->SetCpuLimitMode(1);
  control->Start();
  go.set_value();
  const double result = share.get();
  control->Release();
  return result;
}

// The tests' song played Repeats times in a row (150 bpm after the first
// second), as one type 1 file.
std::vector<uint8_t> LongSong(int Repeats) {
  using morvotest::TTestSong;
  std::vector<morvotest::TMidiEvent> notes;
  for (int i = 0; i < Repeats; ++i)
    for (morvotest::TMidiEvent note : TTestSong::Notes()) {
      note.Tick += uint32_t(i) * TTestSong::kEndTick;
      notes.push_back(note);
    }
  const uint32_t end = uint32_t(Repeats) * TTestSong::kEndTick;
  return morvotest::MidiFile(
      1, TTestSong::kDivision,
      {morvotest::MidiTrack(TTestSong::TempoMap(), end), morvotest::MidiTrack(notes, end)});
}

void MidiAndMusepack(const TLibrary& Lib, const fs::path& Dir) {
  const char* soundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";
  setenv("MORVO_SOUNDFONT", soundFont, 1);
  const fs::path song = Dir / "song.mid";
  const std::vector<uint8_t> bytes = LongSong(60);
  std::ofstream(song, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  // The first open loads FluidSynth and the SoundFont; the second only the
  // SoundFont.
  const double firstOpen = SecondsOf([&] {
    if (IDecoderEx* d = Open(Lib, song)) d->Release();
  });
  const double laterOpen = BestOf(3, [&] {
    if (IDecoderEx* d = Open(Lib, song)) d->Release();
  });
  std::printf("first MIDI open (loads FluidSynth) %.3f s, later opens %.3f s\n", firstOpen,
              laterOpen);
  int64_t bytesOut = 0;
  const double ours = BestOf(3, [&] { bytesOut = DecodeWhole(Lib, song); });
  const double seconds = bytesOut / (4.0 * 44100);
  const std::string tool = std::string("HOME=/nonexistent fluidsynth -q -ni -f /dev/null -F '") +
                           (Dir / "tool.wav").string() + "' -r 44100 " + soundFont + " '" +
                           song.string() + "'";
  const double theirs = BestOf(3, [&] { Run(tool); });
  std::printf(
      "MIDI %.0f s: ours %.3f s (%.0fx real time), fluidsynth tool %.3f s (%.0fx), ratio %.2f\n",
      seconds, ours, seconds / ours, theirs, seconds / theirs, theirs / ours);

  const fs::path mpc = Dir / "music.mpc";
  if (!Run("mpcenc --silent --overwrite '" + (Dir / "music.wav").string() + "' '" + mpc.string() +
           "'"))
    return;
  const double oursMpc = BestOf(3, [&] { DecodeWhole(Lib, mpc); });
  const double theirsMpc =
      BestOf(3, [&] { Run("mpcdec '" + mpc.string() + "' /dev/null 2>/dev/null"); });
  std::printf("Musepack 600 s: ours %.3f s, mpcdec %.3f s, ratio %.2f\n", oursMpc, theirsMpc,
              theirsMpc / oursMpc);
}

}  // namespace

// With the argument "midi" only the MIDI and Musepack figures are measured.
int main(int argc, char** argv) {
  const bool midiOnly = argc > 1 && std::string(argv[1]) == "midi";
  void* handle = morvotest::OpenBuiltLibrary("libLxPlayer.so");
  if (!handle) {
    std::fprintf(stderr, "cannot load libLxPlayer.so: %s\n", dlerror());
    return 1;
  }
  TLibrary lib;
  lib.CreateDecoder = morvotest::BuiltEntry<TLxPlayerCreateDecoder>(handle, "LxPlayerOrdinal2");
  lib.CreateControl = morvotest::BuiltEntry<TLxPlayerCreateCpuControl>(handle, "LxPlayerOrdinal6");
  if (!lib.CreateDecoder || !lib.CreateControl) return 1;

  char pattern[] = "/tmp/lxplayer_bench_XXXXXX";
  if (!mkdtemp(pattern)) return 1;
  const fs::path dir = pattern;
  const std::string music =
      "ffmpeg -v error -y -f lavfi -i \"sine=frequency=440:duration=600,"
      "volume=0.5[a];anoisesrc=duration=600:amplitude=0.1[b];[a][b]amix\" -ac 2 -ar 44100 ";
  const std::vector<std::pair<std::string, std::string>> sources = {
      {"music.wav", "-c:a pcm_s16le"},
      {"music.flac", "-c:a flac"},
      {"music.m4a", "-c:a aac -b:a 192k"},
      {"music.ogg", "-c:a libvorbis -q:a 5"},
      {"music24.flac", "-c:a flac -sample_fmt s32"}};
  if (midiOnly) {
    const bool made = Run(music + "-c:a pcm_s16le '" + (dir / "music.wav").string() + "'");
    if (made) MidiAndMusepack(lib, dir);
    fs::remove_all(dir);
    return made ? 0 : 1;
  }
  bool ok = true;
  for (const auto& [name, codec] : sources)
    ok = ok && Run(music + codec + " '" + (dir / name).string() + "'");
  ok = ok && Run("lame --quiet -b 192 '" + (dir / "music.wav").string() + "' '" +
                 (dir / "music.mp3").string() + "'");
  if (!ok) {
    std::fprintf(stderr, "could not make the sources\n");
    return 1;
  }

  const fs::path tiny = dir / "tiny.wav";
  Run("ffmpeg -v error -y -f lavfi -i sine=duration=0.5 -c:a pcm_s16le '" + tiny.string() + "'");
  const double startup = BestOf(
      5, [&] { Run("ffmpeg -v error -nostdin -i '" + tiny.string() + "' -f s16le - >/dev/null"); });
  std::printf("ffmpeg start-up (0.5 s file): %.3f s\n", startup);
  const double startupCpu = BestCpuOf(
      5, [&] { Run("ffmpeg -v error -nostdin -i '" + tiny.string() + "' -f s16le - >/dev/null"); });
  std::printf("ffmpeg start-up CPU time: %.3f s\n", startupCpu);
  std::printf("%-14s %10s %10s %7s %9s | %10s %10s %7s\n", "source (600 s)", "ours wall",
              "ffm wall", "ratio", "w/o start", "ours cpu", "ffm cpu", "ratio");
  for (const std::string name :
       {"music.wav", "music.flac", "music24.flac", "music.mp3", "music.m4a", "music.ogg"}) {
    const fs::path path = dir / name;
    const std::string tool =
        "ffmpeg -v error -nostdin -i '" + path.string() + "' -f s16le - >/dev/null";
    const double ours = BestOf(3, [&] { DecodeWhole(lib, path); });
    const double theirs = BestOf(3, [&] { Run(tool); });
    const double oursCpu = BestCpuOf(3, [&] { DecodeWhole(lib, path); });
    const double theirsCpu = BestCpuOf(3, [&] { Run(tool); });
    std::printf("%-14s %10.3f %10.3f %7.2f %9.2f | %10.3f %10.3f %7.2f\n", name.c_str(), ours,
                theirs, theirs / ours, (theirs - startup) / ours, oursCpu, theirsCpu,
                (theirsCpu - startupCpu) / oursCpu);
  }

  // A cue track near the end of a long image: the seek and the first block.
  for (const std::string name : {"music.flac", "music.mp3", "music.m4a"}) {
    IDecoderEx* decoder = Open(lib, dir / name);
    if (!decoder) continue;
    std::vector<uint8_t> buffer(16384);
    const double seconds = BestOf(3, [&] {
      decoder->Seek(5'400'000'000LL);  // 540 s
      decoder->Read(buffer.data(), 16384);
    });
    std::printf("seek to 540 s and first read, %-12s %.3f s\n", name.c_str(), seconds);
    decoder->Release();
  }

  MidiAndMusepack(lib, dir);

  for (int limit : {30, 100})
    std::printf("CPU share of a decoding thread under limit %3d: %.1f %% of one core\n", limit,
                100 * ShareUnderLimit(lib, dir / "music.mp3", limit, 4.0));
  fs::remove_all(dir);
  return 0;
}
