// The terminal a command-line front end runs in, and Ctrl+C.
#pragma once

#include <functional>

namespace platform {

enum class TStdStream { Input, Output, Error };

bool IsTerminal(TStdStream Stream);
// Columns of the terminal on standard output; 80 when unknown.
int TerminalColumns();

// Delivers Ctrl+C (SIGINT) and SIGTERM to Handler on a watcher thread of its
// own, with the number of interrupts so far (1, 2, ...). Call on the main
// thread before any other thread starts, so that every thread inherits the
// blocked signals and none is interrupted in a system call. The handler
// typically posts a message to the main thread.
void WatchInterrupts(std::function<void(int Count)> Handler);

}  // namespace platform
