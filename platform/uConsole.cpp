#include "platform/uConsole.h"

#include <csignal>
#include <pthread.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

namespace platform {

namespace {

int DescriptorOf(TStdStream Stream) {
  switch (Stream) {
  case TStdStream::Input:
    return STDIN_FILENO;
  case TStdStream::Output:
    return STDOUT_FILENO;
  case TStdStream::Error:
    return STDERR_FILENO;
  }
  return -1;
}

sigset_t InterruptSignals() {
  sigset_t Set;
  sigemptyset(&Set);
  sigaddset(&Set, SIGINT);
  sigaddset(&Set, SIGTERM);
  sigaddset(&Set, SIGHUP);
  return Set;
}

TInterruptKind KindOf(int Signal) {
  switch (Signal) {
  case SIGTERM:
    return TInterruptKind::Terminate;
  case SIGHUP:
    return TInterruptKind::HangUp;
  default:
    return TInterruptKind::Interrupt;
  }
}

}  // namespace

bool IsTerminal(TStdStream Stream) { return isatty(DescriptorOf(Stream)) == 1; }

int TerminalColumns() {
  winsize Size{};
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &Size) == 0 && Size.ws_col > 0) return Size.ws_col;
  return 80;
}

int InterruptExitStatus(TInterruptKind Kind) {
  switch (Kind) {
  case TInterruptKind::Terminate:
    return 128 + SIGTERM;
  case TInterruptKind::HangUp:
    return 128 + SIGHUP;
  case TInterruptKind::Interrupt:
    break;
  }
  return 128 + SIGINT;
}

void WatchInterrupts(std::function<void(TInterruptKind Kind, int Count)> Handler) {
  const sigset_t Set = InterruptSignals();
  pthread_sigmask(SIG_BLOCK, &Set, nullptr);
  // The watcher lives as long as the process: sigwait has no clean way out,
  // and the process ends with it.
  std::thread([Set, Handler = std::move(Handler)] {
    int Count = 0;
    for (;;) {
      int Signal = 0;
      if (sigwait(&Set, &Signal) != 0) return;
      Handler(KindOf(Signal), ++Count);
    }
  }).detach();
}

}  // namespace platform
