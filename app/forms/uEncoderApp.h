// The window program's entry: the program's units, the single-instance
// guard and the hand-over, the main window and its message loop.
//   - a second start hands its "/EncodeConvert path" to the running
//     instance, waits until it was added, asks that instance to come to the
//     front and ends without a window;
//   - the first start opens the window, listens for hand-overs and, when
//     the window closes, ends (the window has written "encode.log" and the
//     configuration).
// A termination signal (SIGTERM, Ctrl+C) closes the window as its close box
// does. Main thread only.
#pragma once

#include <functional>
#include <memory>

namespace platform {
class IMessageBoxAnswerer;
}
class TfrmMain;

// What a test program may watch or replace; a plain start uses none.
struct TEncoderHooks {
  // Answers the message boxes instead of Qt boxes.
  std::shared_ptr<platform::IMessageBoxAnswerer> Answerer;
  // The window exists and a second start can reach it.
  std::function<void(TfrmMain& Form)> OnWindowReady;
};

int RunEncoder(int& argc, char** argv, const TEncoderHooks& Hooks = {});
