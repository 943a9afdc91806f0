// One conversion of the list (a whole source file or one track of a cue
// sheet), its states, result codes and the notification kinds the engine
// reports to the window.
//
// Threading: a task item is owned by the task manager. Its fields are
// written on the main thread, except FProgress (the worker thread that
// converts the task) and FResult (that worker, between hand-out and its
// final synchronised step). Readers on other threads take what they see.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

// Task states (FState).
constexpr uint8_t tsWaiting = 0;
constexpr uint8_t tsConverting = 1;
constexpr uint8_t tsDone = 2;
constexpr uint8_t tsFailed = 3;

// Task kinds (FKind).
constexpr uint8_t tkWholeFile = 0;
constexpr uint8_t tkCueTrack = 1;

// Source classes (FSourceClass).
constexpr uint8_t scOptical = 0;
constexpr uint8_t scOther = 1;

// Result codes (FResult). 1..11 name the step that failed.
constexpr int32_t rcUserAbort = 1;
constexpr int32_t rcEncodeFailed = 2;
constexpr int32_t rcLowToHigh = 3;
constexpr int32_t rcExistsUserAbort = 4;
constexpr int32_t rcSourceMissing = 5;
constexpr int32_t rcReadFailed = 6;
constexpr int32_t rcBadFolder = 7;
constexpr int32_t rcCannotOverwrite = 8;
constexpr int32_t rcLossyToLossless = 9;
constexpr int32_t rcMp3TooLow = 10;
constexpr int32_t rcAbortedInPump = 11;
constexpr int32_t rcSucceeded = 12;
constexpr int32_t rcNotRun = 13;

// True for the codes of a user abort, which the run counters leave out.
inline bool IsUserAbort(int32_t Result) { return Result == rcUserAbort || Result == rcAbortedInPump; }

// The failure text of a result code; empty for 12, 13 and unknown codes.
std::u16string TaskResultText(int32_t Result);

// Notification kinds, shared by the change callback and WM_ENCODE_NOTIFY.
constexpr uint8_t nkAdded = 0;
constexpr uint8_t nkRemoved = 1;
constexpr uint8_t nkChanged = 2;
constexpr uint8_t nkListChanged = 3;
constexpr uint8_t nkSelect = 4;
constexpr uint8_t nkRefused = 5;
constexpr uint8_t nkProgress = 6;
constexpr uint8_t nkRunning = 7;
constexpr uint8_t nkParamsChanged = 8;
constexpr uint8_t nkPlaylistQueued = 9;

class TTaskItem {
public:
  int32_t FId = -1;
  uint8_t FKind = tkWholeFile;
  std::u16string FSource;
  uint8_t FSourceClass = scOther;
  std::u16string FTargetName;
  std::u16string FTargetExt;
  uint8_t FQueued = 0;
  uint8_t FTaken = 0;
  int32_t FStartMs = 0;
  int32_t FEndMs = 0;
  int32_t FParamId = -1;
  std::atomic<int32_t> FProgress = 0;
  uint8_t FState = tsWaiting;
  uint8_t FSelected = 0;
  int32_t FColor = -1;
  std::atomic<int32_t> FResult = rcNotRun;
};
