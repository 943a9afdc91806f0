// Interrupts reach the watcher with their kind; each test runs in a child
// process, since the watch blocks the signals for the whole process.
#include "platform/uConsole.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <string>

using namespace platform;

namespace {

// Forks; the child watches, sends itself Signals in order and writes one
// letter per kind delivered (i, t, h) and the count to a pipe. The parent
// returns what the child wrote.
std::string KindsSeen(std::initializer_list<int> Signals) {
  int Pipe[2];
  if (pipe(Pipe) != 0) return "pipe failed";
  const pid_t Child = fork();
  if (Child == 0) {
    close(Pipe[0]);
    const int Out = Pipe[1];
    WatchInterrupts([Out](TInterruptKind Kind, int Count) {
      const char Text[2] = {Kind == TInterruptKind::Interrupt   ? 'i'
                            : Kind == TInterruptKind::Terminate ? 't'
                                                                : 'h',
                            static_cast<char>('0' + Count)};
      if (write(Out, Text, 2) != 2) _exit(3);
    });
    for (const int Signal : Signals) {
      kill(getpid(), Signal);
      usleep(100000);  // delivered one at a time
    }
    usleep(200000);
    _exit(0);
  }
  close(Pipe[1]);
  std::string Seen;
  char Buffer[64];
  for (ssize_t Got; (Got = read(Pipe[0], Buffer, sizeof Buffer)) > 0;)
    Seen.append(Buffer, size_t(Got));
  close(Pipe[0]);
  int Status = 0;
  waitpid(Child, &Status, 0);
  if (!WIFEXITED(Status) || WEXITSTATUS(Status) != 0) Seen += " (child did not end normally)";
  return Seen;
}

}  // namespace

TEST(Console, InterruptsArriveWithTheirKindAndCount) {
  EXPECT_EQ(KindsSeen({SIGINT, SIGTERM, SIGHUP}), "i1t2h3");
}
