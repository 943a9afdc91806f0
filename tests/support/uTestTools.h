// Running the command-line tools that make and inspect test files (ffmpeg,
// ffprobe, flac, lame). Plain functions, safe on any thread.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

namespace morvotest {

// Path as one single-quoted shell word.
inline std::string Quote(const std::filesystem::path& Path) {
  std::string Quoted = "'";
  for (char C : Path.string())
    Quoted += C == '\'' ? std::string("'\\''") : std::string(1, C);
  return Quoted + "'";
}

struct TCommandResult {
  int ExitCode = -1;   // -1 when the command could not run or was killed
  std::string Output;  // standard output and standard error together
};

inline TCommandResult RunTool(const std::string& Command) {
  TCommandResult Result;
  FILE* Pipe = popen((Command + " 2>&1").c_str(), "r");
  if (!Pipe) return Result;
  std::array<char, 4096> Chunk;
  size_t Got;
  while ((Got = std::fread(Chunk.data(), 1, Chunk.size(), Pipe)) > 0)
    Result.Output.append(Chunk.data(), Got);
  const int Status = pclose(Pipe);
  Result.ExitCode = WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
  return Result;
}

// Success when Command exits with 0; otherwise a failure that names the
// command and shows what it printed.
inline ::testing::AssertionResult RunCommand(const std::string& Command) {
  const TCommandResult Result = RunTool(Command);
  if (Result.ExitCode == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << Command << "\nexited with " << Result.ExitCode << ":\n"
                                       << Result.Output;
}

}  // namespace morvotest
