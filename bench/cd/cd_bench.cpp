// Rip speed of the player library's CD reader (cdparanoia, full paranoia)
// on a disc image, in times real time, against peers measured in the same
// run: the cd-paranoia tool reading the same image (same library, same
// mode), and the library decoding the same PCM from a WAV file. Also the
// share of the rip that the rip report's checksums (CRC32, AccurateRip)
// add. Wall time and processor time (with children) are both printed; the
// processor time is the steadier figure on a busy machine.
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/uCdChecksums.h"
#include "bench/uBenchTiming.h"
#include "interfaces/uCodecInterfaces.h"
#include "tests/support/uBuiltLibrary.h"

namespace fs = std::filesystem;
using namespace morvobench;

namespace {

constexpr int Tracks = 10;
constexpr int SectorsPerTrack = 4500;  // 60 s
constexpr double AudioSeconds = Tracks * SectorsPerTrack / 75.0;

bool Run(const std::string& Command) { return std::system(Command.c_str()) == 0; }

std::string Quoted(const fs::path& Path) { return "'" + Path.string() + "'"; }

// Reads Path to its end with the library's decoder; with Sums, every block
// also goes through the checksums. Returns the bytes read, -1 on failure.
int64_t ReadWhole(TLxPlayerCreateDecoder Create, const fs::path& Path, bool Sums, bool First,
                  bool Last) {
  IDecoderEx* decoder = nullptr;
  Create(&decoder);
  const std::u16string wide = Path.u16string();
  if (!decoder || !(decoder->Open(wide.c_str()) & 0xFF)) {
    if (decoder) decoder->Release();
    return -1;
  }
  TCdTrackChecksums checksums(int64_t(SectorsPerTrack) * 588, First, Last);
  std::vector<uint8_t> buffer(16384);
  int64_t total = 0;
  for (int32_t got; (got = decoder->Read(buffer.data(), 16384)) > 0;) {
    if (Sums) checksums.Update(buffer.data(), size_t(got));
    total += got;
  }
  decoder->Release();
  return total;
}

std::string TrackPath(const fs::path& Cue, int Number) {
  char name[24];
  std::snprintf(name, sizeof name, "/Track%02d.cda", Number);
  return Cue.string() + name;
}

}  // namespace

int main() {
  void* handle = morvotest::OpenBuiltLibrary("libLxPlayer.so");
  const auto create = morvotest::BuiltEntry<TLxPlayerCreateDecoder>(handle, "LxPlayerOrdinal2");
  if (!create) {
    std::fprintf(stderr, "cannot load libLxPlayer.so: %s\n", dlerror());
    return 1;
  }
  char pattern[] = "/tmp/cd_bench_XXXXXX";
  if (!mkdtemp(pattern)) return 1;
  const fs::path dir = pattern;
  const fs::path bin = dir / "disc.bin", cue = dir / "disc.cue", wav = dir / "disc.wav";
  const std::string music =
      "ffmpeg -v error -y -f lavfi -i \"sine=frequency=440:duration=" +
      std::to_string(int(AudioSeconds)) +
      ",volume=0.5[a];anoisesrc=duration=" + std::to_string(int(AudioSeconds)) +
      ":amplitude=0.1[b];[a][b]amix\" -ac 2 -ar 44100 ";
  if (!Run(music + "-f s16le " + Quoted(bin)) ||
      !Run("ffmpeg -v error -y -f s16le -ac 2 -ar 44100 -i " + Quoted(bin) + " -c:a pcm_s16le " +
           Quoted(wav))) {
    std::fprintf(stderr, "could not make the image\n");
    return 1;
  }
  std::string sheet = "FILE \"disc.bin\" BINARY\n";
  for (int t = 0; t < Tracks; ++t) {
    const int sector = t * SectorsPerTrack;
    char line[96];
    std::snprintf(line, sizeof line, "  TRACK %02d AUDIO\n    INDEX 01 %02d:%02d:%02d\n", t + 1,
                  sector / 4500, sector / 75 % 60, sector % 75);
    sheet += line;
  }
  if (FILE* f = std::fopen(cue.c_str(), "w")) {
    std::fputs(sheet.c_str(), f);
    std::fclose(f);
  }

  const auto ripAll = [&](bool sums) {
    for (int t = 1; t <= Tracks; ++t)
      if (ReadWhole(create, TrackPath(cue, t), sums, t == 1, t == Tracks) !=
          int64_t(SectorsPerTrack) * 2352)
        std::fprintf(stderr, "track %d did not read whole\n", t);
  };
  const std::string tool = "cd-paranoia -q -c -r -d " + Quoted(cue) + " 1-" +
                           std::to_string(Tracks) + " /dev/null 2>/dev/null";
  const bool haveTool = Run("cd-paranoia -V >/dev/null 2>&1");

  struct TRow {
    const char* Name;
    std::function<void()> Work;
  };
  const std::vector<TRow> rows = {
      {"our CD reader", [&] { ripAll(false); }},
      {"our CD reader + checksums", [&] { ripAll(true); }},
      {"cd-paranoia (same image)", [&] { Run(tool); }},
      {"our decoder on the WAV", [&] { ReadWhole(create, wav, false, false, false); }},
  };
  std::printf("%.0f s of audio, %d tracks; times real time (x RT) and ratio to our CD reader\n",
              AudioSeconds, Tracks);
  std::printf("%-28s %9s %8s %7s | %9s %8s %7s\n", "", "wall s", "x RT", "ratio", "cpu s", "x RT",
              "ratio");
  double oursWall = 0, oursCpu = 0;
  for (const TRow& row : rows) {
    if (row.Work == nullptr || (!haveTool && std::string(row.Name).rfind("cd-paranoia", 0) == 0))
      continue;
    const double wall = BestOf(3, row.Work);
    const double cpu = BestCpuOf(3, row.Work);
    if (oursWall == 0) oursWall = wall, oursCpu = cpu;
    std::printf("%-28s %9.3f %8.1f %7.2f | %9.3f %8.1f %7.2f\n", row.Name, wall,
                AudioSeconds / wall, wall / oursWall, cpu, AudioSeconds / cpu, cpu / oursCpu);
  }
  fs::remove_all(dir);
  return 0;
}
