// Size, speed and memory of our APE encoder per compression level, next to the
// official encoder ("mac") when one is found, on the same input in one run.
//
//   ape_bench [input]   input: a music file FFmpeg reads (decoded to 16-bit
//                       44.1 kHz stereo); default: some of Debian's Wesnoth
//                       music. MORVO_APE_REFERENCE names a mac binary;
//                       otherwise mac is looked up on PATH.
#include <malloc.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/player/codecs/ape/uApeTestSupport.h"

using namespace apetest;

namespace {

const char* kDefaultMusic[] = {
    "/usr/share/games/wesnoth/1.16/data/core/music/battle.ogg",
    "/usr/share/games/wesnoth/1.16/data/core/music/knalgan_theme.ogg",
    "/usr/share/games/wesnoth/1.16/data/core/music/elvish-theme.ogg",
};

// Processor time (user + system) of this process or of its finished
// children: on a shared machine it varies far less than wall time.
double CpuSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         1e-6 * (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

long FileSize(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : -1;
}

std::string FindReference() {
  if (const char* env = std::getenv("MORVO_APE_REFERENCE"); env && access(env, X_OK) == 0)
    return env;
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "";
  for (size_t start = 0; start <= dirs.size();) {
    const size_t end =
        dirs.find(':', start) == std::string::npos ? dirs.size() : dirs.find(':', start);
    const std::string candidate = dirs.substr(start, end - start) + "/mac";
    if (end > start && access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return {};
}

// A line of /proc/self/status in kB ("VmRSS", "VmHWM"); -1 when absent.
long StatusKb(const char* key) {
  FILE* f = std::fopen("/proc/self/status", "r");
  if (!f) return -1;
  char line[256];
  long value = -1;
  const size_t length = std::strlen(key);
  while (std::fgets(line, sizeof line, f))
    if (std::strncmp(line, key, length) == 0 && line[length] == ':')
      value = std::strtol(line + length + 1, nullptr, 10);
  std::fclose(f);
  return value;
}

// The memory our encoder takes at Level: encodes in a child process and
// gives the growth of its peak resident size over what it started with
// (the input it shares with this process), in kB; -1 on failure.
long OurPeakKb(const TPcm& pcm, int level, const std::string& path) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return -1;
  const pid_t child = fork();
  if (child == 0) {
    close(pipeEnds[0]);
    const long before = StatusKb("VmRSS");
    const TEncodeResult result = EncodeFile(pcm, level, path);
    const long grown = result.FinishResult == 0 ? StatusKb("VmHWM") - before : -1;
    (void)!write(pipeEnds[1], &grown, sizeof grown);
    _exit(0);
  }
  close(pipeEnds[1]);
  long grown = -1;
  if (child < 0 || read(pipeEnds[0], &grown, sizeof grown) != sizeof grown) grown = -1;
  close(pipeEnds[0]);
  if (child > 0) waitpid(child, nullptr, 0);
  return grown;
}

// The whole peak resident size of the reference encoder's run, in kB.
long ChildPeakKb(const std::string& command, int& rc) {
  const pid_t child = fork();
  if (child == 0) {
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (child < 0 || wait4(child, &status, 0, &usage) != child) return rc = -1, -1;
  rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return usage.ru_maxrss;
}

void WriteWav(const TPcm& pcm, const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  const uint32_t data = static_cast<uint32_t>(pcm.Bytes.size());
  const uint16_t align = static_cast<uint16_t>(pcm.Bits / 8 * pcm.Channels);
  auto put32 = [&](uint32_t v) { std::fwrite(&v, 4, 1, f); };
  auto put16 = [&](uint16_t v) { std::fwrite(&v, 2, 1, f); };
  std::fwrite("RIFF", 1, 4, f);
  put32(36 + data);
  std::fwrite("WAVEfmt ", 1, 8, f);
  put32(16);
  put16(1);
  put16(static_cast<uint16_t>(pcm.Channels));
  put32(pcm.Rate);
  put32(pcm.Rate * align);
  put16(align);
  put16(static_cast<uint16_t>(pcm.Bits));
  std::fwrite("data", 1, 4, f);
  put32(data);
  std::fwrite(pcm.Bytes.data(), 1, pcm.Bytes.size(), f);
  std::fclose(f);
}

}  // namespace

int main(int argc, char** argv) {
  // Large blocks always mapped and unmapped when freed, so that each
  // measured child starts without the heap earlier runs left resident.
  mallopt(M_MMAP_THRESHOLD, 128 * 1024);
  mallopt(M_TRIM_THRESHOLD, 128 * 1024);
  TPcm pcm;
  if (argc > 1) {
    if (!FFmpegDecodeMusic(argv[1], pcm, 36000))
      return std::fprintf(stderr, "cannot decode %s\n", argv[1]), 1;
  } else {
    for (const char* music : kDefaultMusic) {
      TPcm part;
      if (FFmpegDecodeMusic(music, part, 36000))
        pcm.Bytes.insert(pcm.Bytes.end(), part.Bytes.begin(), part.Bytes.end());
    }
    if (pcm.Bytes.empty())
      return std::fprintf(stderr, "no input: install wesnoth-1.16-music or name a file\n"), 1;
  }
  const double audioSeconds = static_cast<double>(pcm.Blocks()) / pcm.Rate;
  const std::string dir = TempDir();
  const std::string reference = FindReference();
  const std::string wav = dir + "/bench.wav";
  if (!reference.empty()) WriteWav(pcm, wav);

  std::printf("input: %.1f s of 16-bit stereo, %zu bytes of PCM\n", audioSeconds, pcm.Bytes.size());
  std::printf("reference: %s\n", reference.empty() ? "(none found)" : reference.c_str());
  std::printf(
      "speed: seconds of audio per second of processor time; memory: peak resident MiB (ours: "
      "the encoder's growth over the input it is given; mac: its whole process); last columns: "
      "ours against mac\n");
  std::printf("%-6s %14s %8s %9s %7s | %14s %8s %9s %7s | %8s %8s %8s\n", "level", "our bytes",
              "ratio", "speed", "memory", "mac bytes", "ratio", "speed", "memory", "size", "speed",
              "memory");
  for (int level = 1000; level <= 5000; level += 1000) {
    const std::string ours = dir + "/ours.ape";
    const double start = CpuSeconds(RUSAGE_SELF);
    const TEncodeResult result = EncodeFile(pcm, level, ours);
    const double ourTime = CpuSeconds(RUSAGE_SELF) - start;
    const long ourSize = FileSize(ours);
    if (result.FinishResult != 0) std::printf("level %d: our encoder failed\n", level);
    const long ourPeak = OurPeakKb(pcm, level, ours);
    std::printf("%-6d %14ld %7.2f%% %9.1f %7.1f |", level, ourSize,
                100.0 * ourSize / pcm.Bytes.size(), audioSeconds / ourTime, ourPeak / 1024.0);
    if (!reference.empty()) {
      const std::string theirs = dir + "/ref.ape";
      const std::string command = "'" + reference + "' '" + wav + "' '" + theirs + "' -c" +
                                  std::to_string(level) + " >/dev/null 2>&1";
      const double refStart = CpuSeconds(RUSAGE_CHILDREN);
      int rc = -1;
      const long refPeak = ChildPeakKb(command, rc);
      const double refTime = CpuSeconds(RUSAGE_CHILDREN) - refStart;
      const long refSize = FileSize(theirs);
      if (rc == 0 && refSize > 0)
        std::printf(" %14ld %7.2f%% %9.1f %7.1f | %+7.3f%% %7.2fx %7.2fx\n", refSize,
                    100.0 * refSize / pcm.Bytes.size(), audioSeconds / refTime, refPeak / 1024.0,
                    100.0 * (ourSize - refSize) / refSize, refTime / ourTime,
                    double(ourPeak) / double(refPeak));
      else
        std::printf(" reference failed\n");
      std::remove(theirs.c_str());
    } else {
      std::printf("\n");
    }
    std::remove(ours.c_str());
  }
  if (!reference.empty()) std::remove(wav.c_str());
  return 0;
}
