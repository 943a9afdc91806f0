// Running a peer tool (flac, lame, morvo-convert) from a benchmark without a
// shell in between, so that its measured time is its own; fresh output
// folders for each round; and the machine's load, printed beside every
// figure.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

extern char** environ;

namespace morvobench {

// Runs Args[0] (looked up in PATH) with its output thrown away; true when
// it ran and exited with 0.
inline bool RunProgram(const std::vector<std::string>& Args) {
  std::vector<char*> argv;
  for (const std::string& Arg : Args)
    argv.push_back(const_cast<char*>(Arg.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t Actions;
  posix_spawn_file_actions_init(&Actions);
  posix_spawn_file_actions_addopen(&Actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&Actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&Actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t Child = -1;
  const int Failed = posix_spawnp(&Child, argv[0], &Actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&Actions);
  if (Failed != 0) return false;
  int Status = 0;
  while (waitpid(Child, &Status, 0) < 0) {
  }
  return WIFEXITED(Status) && WEXITSTATUS(Status) == 0;
}

// Empties each folder for the next round (making it when missing).
inline void MakeEmptyFolders(std::initializer_list<std::filesystem::path> Folders) {
  for (const std::filesystem::path& Folder : Folders) {
    std::filesystem::remove_all(Folder);
    std::filesystem::create_directories(Folder);
  }
}

// The one- and five-minute load averages, "1.23 / 0.98".
inline std::string LoadAverage() {
  std::ifstream In("/proc/loadavg");
  std::string One, Five;
  In >> One >> Five;
  return One + " / " + Five;
}

}  // namespace morvobench
