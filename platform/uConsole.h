// The terminal a command-line front end runs in, and Ctrl+C.
#pragma once

#include <functional>

namespace platform {

enum class TStdStream { Input, Output, Error };

bool IsTerminal(TStdStream Stream);
// Columns of the terminal on standard output; 80 when unknown.
int TerminalColumns();

// What asks the program to stop: Ctrl+C (SIGINT), a request to end
// (SIGTERM) or the loss of its terminal (SIGHUP).
enum class TInterruptKind { Interrupt, Terminate, HangUp };

// The exit status of a program that ends because of Kind, after its own
// clean-up: 128 + the signal's number, as shells report a program killed
// by it (130, 143, 129).
int InterruptExitStatus(TInterruptKind Kind);

// Delivers Ctrl+C, SIGTERM and SIGHUP to Handler on a watcher thread of its
// own, with their kind and the number of interrupts so far (1, 2, ...).
// Call on the main thread before any other thread starts, so that every
// thread inherits the blocked signals and none is interrupted in a system
// call. The handler typically posts a message to the main thread.
void WatchInterrupts(std::function<void(TInterruptKind Kind, int Count)> Handler);

}  // namespace platform
