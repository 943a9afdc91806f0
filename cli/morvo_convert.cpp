// morvo-convert: the headless front end of the converter.
#include <cstdlib>
#include <iostream>
#include <mutex>

#include "app/uProgramUnits.h"
#include "cli/uCliOptions.h"
#include "cli/uCliSession.h"
#include "infra/uUnitLifetime.h"
#include "platform/uConsole.h"
#include "platform/uThreads.h"

namespace {

// The session while it runs. The lock keeps an interrupt that is being
// handed to the session from overlapping the session's end (and the
// message queue's destruction at exit).
std::mutex SessionLock;
TCliSession* RunningSession = nullptr;

void SetRunningSession(TCliSession* Session) {
  std::lock_guard Lock(SessionLock);
  RunningSession = Session;
}

// Ctrl+C, SIGTERM and SIGHUP go to the session, which stops the run as the
// window's Stop does; before and after the session there is nothing to
// clean up.
void OnInterrupt(platform::TInterruptKind Kind, int Count) {
  std::lock_guard Lock(SessionLock);
  if (RunningSession)
    RunningSession->Interrupt(Kind, Count);
  else
    std::_Exit(platform::InterruptExitStatus(Kind));
}

}  // namespace

int main(int argc, char** argv) {
  const TCliParseResult Parsed = ParseCliOptions(argc, argv);
  if (!Parsed.Run) {
    (Parsed.ExitCode == 0 ? std::cout : std::cerr) << Parsed.Message;
    return Parsed.ExitCode;
  }
  std::cerr << Parsed.Warning;
  platform::RegisterMainThread();
  // Before any other thread exists, so that all of them inherit the
  // blocked signals.
  platform::WatchInterrupts(OnInterrupt);
  RegisterProgramUnits();
  StartUnits();
  int Status;
  {
    TCliSession Session(Parsed.Options);
    SetRunningSession(&Session);
    Status = Session.Run();
    SetRunningSession(nullptr);
  }
  EndUnits();
  return Status;
}
