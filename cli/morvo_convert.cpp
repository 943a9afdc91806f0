// morvo-convert: the headless front end of the converter.
#include <atomic>
#include <cstdlib>
#include <iostream>

#include "app/uProgramUnits.h"
#include "cli/uCliOptions.h"
#include "cli/uCliSession.h"
#include "infra/uUnitLifetime.h"
#include "platform/uConsole.h"
#include "platform/uThreads.h"

namespace {

std::atomic<TCliSession*> RunningSession = nullptr;

// Ctrl+C, SIGTERM and SIGHUP go to the session, which stops the run as the
// window's Stop does; before and after the session there is nothing to
// clean up.
void OnInterrupt(platform::TInterruptKind Kind, int Count) {
  if (TCliSession* Session = RunningSession.load())
    Session->Interrupt(Kind, Count);
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
    RunningSession = &Session;
    Status = Session.Run();
    RunningSession = nullptr;
  }
  EndUnits();
  return Status;
}
