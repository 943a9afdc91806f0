// A program started by a test: its standard output read line by line, its
// standard input and error tied to /dev/null, its environment extended for
// it alone. Killed when the object goes unless it was waited for.
// Threading: one test thread.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace morvotest {

inline constexpr int StartTimeoutMs = 60000;

class TChildProcess {
public:
  TChildProcess(const std::string& Program, const std::vector<std::string>& Args,
                const std::vector<std::pair<std::string, std::string>>& Env) {
    int Pipe[2];
    if (pipe2(Pipe, O_CLOEXEC) != 0) return;
    FPid = fork();
    if (FPid == 0) {
      dup2(Pipe[1], STDOUT_FILENO);
      const int Null = open("/dev/null", O_RDWR);
      dup2(Null, STDIN_FILENO);
      dup2(Null, STDERR_FILENO);
      for (const auto& [Name, Value] : Env)
        setenv(Name.c_str(), Value.c_str(), 1);
      std::vector<char*> Argv{const_cast<char*>(Program.c_str())};
      for (const std::string& Arg : Args)
        Argv.push_back(const_cast<char*>(Arg.c_str()));
      Argv.push_back(nullptr);
      execv(Program.c_str(), Argv.data());
      _exit(127);
    }
    close(Pipe[1]);
    FOut = Pipe[0];
  }
  ~TChildProcess() {
    if (FPid > 0 && !FExited) {
      kill(FPid, SIGKILL);
      waitpid(FPid, nullptr, 0);
    }
    if (FOut >= 0) close(FOut);
  }

  // The next line, or nothing when the output ended or Ms passed.
  std::optional<std::string> ReadLine(int Ms) {
    const auto Deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(Ms);
    for (;;) {
      if (const size_t End = FBuffer.find('\n'); End != std::string::npos) {
        std::string Line = FBuffer.substr(0, End);
        FBuffer.erase(0, End + 1);
        FLines.push_back(Line);
        return Line;
      }
      const auto Left = std::chrono::duration_cast<std::chrono::milliseconds>(
          Deadline - std::chrono::steady_clock::now());
      if (Left.count() <= 0) return std::nullopt;
      pollfd Fd{FOut, POLLIN, 0};
      if (poll(&Fd, 1, static_cast<int>(Left.count())) <= 0) continue;
      char Chunk[4096];
      const ssize_t Got = read(FOut, Chunk, sizeof(Chunk));
      if (Got <= 0) return std::nullopt;
      FBuffer.append(Chunk, static_cast<size_t>(Got));
    }
  }
  // Lines up to and including the first that equals Wanted; empty when it
  // never came.
  std::vector<std::string> LinesUntil(const std::string& Wanted, int Ms = StartTimeoutMs) {
    std::vector<std::string> Lines;
    while (std::optional<std::string> Line = ReadLine(Ms)) {
      Lines.push_back(*Line);
      if (*Line == Wanted) return Lines;
    }
    ADD_FAILURE() << "no line \"" << Wanted << "\"; got " << ::testing::PrintToString(Lines);
    return {};
  }
  // The exit status; -1 when it was killed or did not end in Ms.
  int Wait(int Ms = StartTimeoutMs) {
    const auto Deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(Ms);
    int Status = 0;
    while (waitpid(FPid, &Status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > Deadline) return -1;
      ReadLine(20);  // keeps the pipe drained
    }
    FExited = true;
    return WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
  }
  void Signal(int Number) { kill(FPid, Number); }
  int Pid() const { return FPid; }
  const std::vector<std::string>& Lines() const { return FLines; }

private:
  pid_t FPid = -1;
  int FOut = -1;
  bool FExited = false;
  std::string FBuffer;
  std::vector<std::string> FLines;
};

}  // namespace morvotest
